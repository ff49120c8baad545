// libFuzzer target: the settings reader against a small model of the file rules, and the round trip.
#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "platform/desktop.h"
#include "settings/settings.h"

// settings_file.cpp also locates, opens and replaces the real file; the fuzzer never goes there.
namespace platform {
InstanceHandle instance = nullptr;  // the shell's handles, which the save's retry timer names
WindowHandle mainWindow = nullptr;
Utf8String GetModuleFileNameUtf8(InstanceHandle) { return nullptr; }
std::FILE* OpenFileUtf8(const char*, const char*) { return nullptr; }
std::uint32_t GetFileAttributesUtf8(const char*) { return INVALID_FILE_ATTRIBUTES; }
FileHandle CreateFileUtf8(const char*, std::uint32_t, std::uint32_t, void*, std::uint32_t, std::uint32_t,
                          FileHandle) {
    return INVALID_HANDLE_VALUE;
}
bool WriteFile(FileHandle, const void*, std::uint32_t, std::uint32_t*, void*) { return false; }
bool FlushFileBuffers(FileHandle) { return false; }
bool CloseHandle(FileHandle) { return false; }
std::uint32_t ReplaceFileUtf8(const char*, const char*, const char*, std::uint32_t, void*, void*) {
    return ERROR_ACCESS_DENIED;
}
std::uint32_t MoveFileExUtf8(const char*, const char*, std::uint32_t) { return ERROR_ACCESS_DENIED; }
std::uint32_t DeleteFileUtf8(const char*) { return ERROR_ACCESS_DENIED; }
std::uint32_t GetLastError() { return 0; }
std::uintptr_t SetTimer(WindowHandle, std::uintptr_t, unsigned, void*) { return 0; }
bool KillTimer(WindowHandle, std::uintptr_t) { return false; }
}  // namespace platform

namespace {

// The model keeps the record as plain arrays in file order, so it shares nothing with Settings.
constexpr int kKeyCount = 7;
const char* const kKeys[kKeyCount] = {"stepsize",      "confirmexit",       "invertarrows", "persistentmenu",
                                      "ignoreunnamed", "enablemousescroll", "invertedmouse"};
constexpr int kLineCount = 10;
const char* const kLineKeys[kLineCount] = {"centerkey", "taskbarkey",  "shorterkey",  "tallerkey",
                                           "narrowerkey", "widerkey",  "moveupkey",   "movedownkey",
                                           "moveleftkey", "moverightkey"};
struct Model {
    std::int64_t numbers[kKeyCount];
    std::string lines[kLineCount];  // the value as written; "\n", which no value holds, for none
};
constexpr std::size_t kPiece = 254;  // fgets into a 255-byte buffer

void toModel(const Settings& s, const KeyLines& keys, Model& out) {
    const int fields[kKeyCount] = {s.stepsize,      s.confirmexit,       s.invertarrows, s.persistentmenu,
                                   s.ignoreunnamed, s.enablemousescroll, s.invertedmouse};
    for (int i = 0; i < kKeyCount; ++i) out.numbers[i] = fields[i];
    for (int i = 0; i < kLineCount; ++i)
        out.lines[i] = keys.line[i].present ? std::string(keys.line[i].value) : "\n";
}

// atol with a 32-bit long: strtoll (64-bit, C locale) does the parsing, the clamp the saturation.
std::int64_t modelNumber(const std::string& value) {
    long long n = std::strtoll(value.c_str(), nullptr, 10);
    if (n > INT32_MAX) n = INT32_MAX;
    if (n < INT32_MIN) n = INT32_MIN;
    return n;
}

void modelLine(std::string text, Model& record) {
    if (!text.empty() && text.back() == '\n') text.pop_back();
    const std::size_t equals = text.find('=');
    if (equals == std::string::npos) return;
    const std::string key = text.substr(0, equals);
    std::string value = text.substr(equals + 1);
    for (int i = 0; i < kKeyCount; ++i) {
        if (key != kKeys[i]) continue;
        const std::int64_t n = modelNumber(value);
        record.numbers[i] = i == 0 ? n : (n != 0);
        return;
    }
    if (!value.empty() && value.back() == '\r') value.pop_back();
    for (int i = 0; i < kLineCount; ++i)
        if (key == kLineKeys[i]) record.lines[i] = value;
}

// UTF-16 after FF FE: a piece ends after a newline or at kPiece characters; a character beyond
// 8 bits spoils its piece and the rest of its line.
void modelReadUtf16(const std::uint8_t* data, std::size_t size, Model& record) {
    std::string piece;
    bool spoiled = false;
    for (std::size_t at = 2; at + 1 < size; at += 2) {
        const unsigned unit = data[at] | data[at + 1] << 8;
        spoiled = spoiled || unit > 0xFF;
        piece += static_cast<char>(unit);
        if (unit != '\n' && piece.size() < kPiece) continue;
        if (!spoiled) modelLine(piece.substr(0, piece.find('\0')), record);
        if (unit == '\n') spoiled = false;
        piece.clear();
    }
    if (!piece.empty() && !spoiled) modelLine(piece.substr(0, piece.find('\0')), record);
}

// A piece ends after a newline or at kPiece bytes; a NUL ends its text.
void modelRead(const std::uint8_t* data, std::size_t size, Model& record) {
    if (size >= 2 && data[0] == 0xFF && data[1] == 0xFE) return modelReadUtf16(data, size, record);
    std::size_t at = size >= 3 && data[0] == 0xEF && data[1] == 0xBB && data[2] == 0xBF ? 3 : 0;
    while (at < size) {
        std::size_t end = at;
        while (end < size && end - at < kPiece && data[end++] != '\n') {
        }
        std::string piece(reinterpret_cast<const char*>(data + at), end - at);
        modelLine(piece.substr(0, piece.find('\0')), record);
        at = end;
    }
}

[[noreturn]] void fail(const char* what) {
    std::fprintf(stderr, "settings fuzz: %s\n", what);
    std::abort();
}

void readReal(const char* bytes, std::size_t size, Settings& record, KeyLines& keys) {
    // fmemopen wants a mutable buffer, and a non-null one even for an empty input.
    std::vector<char> copy(bytes, bytes + size);
    copy.push_back('\0');
    std::FILE* file = fmemopen(copy.data(), size, "r");
    if (!file) fail("fmemopen failed");
    readSettings(record, keys, file);
    std::fclose(file);
}

[[noreturn]] void mismatch(const char* what, const Model& expected, const Model& seen) {
    std::fprintf(stderr, "settings fuzz: %s\n", what);
    for (int i = 0; i < kKeyCount; ++i)
        std::fprintf(stderr, "  %-18s expected %lld, saw %lld%s\n", kKeys[i],
                     static_cast<long long>(expected.numbers[i]), static_cast<long long>(seen.numbers[i]),
                     expected.numbers[i] != seen.numbers[i] ? "   <--" : "");
    for (int i = 0; i < kLineCount; ++i)
        std::fprintf(stderr, "  %-18s expected \"%s\", saw \"%s\"%s\n", kLineKeys[i], expected.lines[i].c_str(),
                     seen.lines[i].c_str(), expected.lines[i] != seen.lines[i] ? "   <--" : "");
    std::abort();
}

bool same(const Model& a, const Model& b) {
    for (int i = 0; i < kKeyCount; ++i)
        if (a.numbers[i] != b.numbers[i]) return false;
    for (int i = 0; i < kLineCount; ++i)
        if (a.lines[i] != b.lines[i]) return false;
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    Settings real;
    KeyLines realKeys = {};
    Model expected;
    toModel(real, realKeys, expected);
    modelRead(data, size, expected);
    readReal(reinterpret_cast<const char*>(data), size, real, realKeys);
    Model seen;
    toModel(real, realKeys, seen);
    if (!same(expected, seen)) mismatch("the reader disagrees with the model", expected, seen);

    // The writer's bytes against printf's rendering of the same seven lines, then the key lines.
    char text[4096];
    const std::size_t length = formatSettings(real, realKeys, text, sizeof text);
    char seven[512];
    std::snprintf(seven, sizeof seven,
                  "stepsize=%d\nconfirmexit=%d\ninvertarrows=%d\npersistentmenu=%d\n"
                  "ignoreunnamed=%d\nenablemousescroll=%d\ninvertedmouse=%d\n",
                  real.stepsize, real.confirmexit, real.invertarrows, real.persistentmenu,
                  real.ignoreunnamed, real.enablemousescroll, real.invertedmouse);
    std::string expectedText = seven;
    for (int i = 0; i < kLineCount; ++i)
        if (expected.lines[i] != "\n") expectedText += std::string(kLineKeys[i]) + "=" + expected.lines[i] + "\n";
    if (length != expectedText.size() || text != expectedText) {
        std::fprintf(stderr, "settings fuzz: formatted\n%s\nexpected\n%s", text, expectedText.c_str());
        std::abort();
    }

    // A buffer too small keeps a terminated prefix and still reports the whole length.
    const std::size_t small = size ? data[0] % (length + 2) : 0;
    std::vector<char> cut(small + 1, '#');
    if (formatSettings(real, realKeys, cut.data(), small) != length) fail("a short buffer changed the length");
    if (cut[small] != '#') fail("the writer went past the end of a short buffer");
    if (small && (std::strlen(cut.data()) != std::min(small - 1, length) ||
                  std::strncmp(cut.data(), text, small - 1) != 0))
        fail("a short buffer does not hold the text's beginning");

    // Start the second read from a record unlike the first, so a line the writer drops shows; read
    // what the save puts on disk, each line ending in CR LF.
    std::string disk;
    for (std::size_t i = 0; i < length; ++i) disk += text[i] == '\n' ? std::string("\r\n") : std::string(1, text[i]);
    Settings again;
    again.stepsize = real.stepsize ^ 1;
    again.confirmexit = !real.confirmexit;
    again.invertarrows = !real.invertarrows;
    again.persistentmenu = !real.persistentmenu;
    again.ignoreunnamed = !real.ignoreunnamed;
    again.enablemousescroll = !real.enablemousescroll;
    again.invertedmouse = !real.invertedmouse;
    KeyLines againKeys = {};
    readReal(disk.data(), disk.size(), again, againKeys);
    Model reread;
    toModel(again, againKeys, reread);
    if (!same(seen, reread)) mismatch("formatting and reading again changed the record", seen, reread);
    return 0;
}
