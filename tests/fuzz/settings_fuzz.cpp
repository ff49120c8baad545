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
char* GetModuleFileNameUtf8(InstanceHandle) { return nullptr; }
std::FILE* OpenFileUtf8(const char*, const char*) { return nullptr; }
std::uint32_t GetFileAttributesUtf8(const char*) { return INVALID_FILE_ATTRIBUTES; }
FileHandle CreateFileUtf8(const char*, std::uint32_t, std::uint32_t, void*, std::uint32_t, std::uint32_t,
                          FileHandle) {
    return INVALID_HANDLE_VALUE;
}
bool WriteFile(FileHandle, const void*, std::uint32_t, std::uint32_t*, void*) { return false; }
bool FlushFileBuffers(FileHandle) { return false; }
bool CloseHandle(FileHandle) { return false; }
bool ReplaceFileUtf8(const char*, const char*, const char*, std::uint32_t, void*, void*) { return false; }
bool MoveFileExUtf8(const char*, const char*, std::uint32_t) { return false; }
bool DeleteFileUtf8(const char*) { return false; }
std::uint32_t GetLastError() { return 0; }
std::uintptr_t SetTimer(WindowHandle, std::uintptr_t, unsigned, void*) { return 0; }
bool KillTimer(WindowHandle, std::uintptr_t) { return false; }
}  // namespace platform

namespace {

// The model keeps the record as a plain array in file order, so it shares nothing with Settings.
constexpr int kKeyCount = 7;
const char* const kKeys[kKeyCount] = {"stepsize",      "confirmexit",       "invertarrows", "persistentmenu",
                                      "ignoreunnamed", "enablemousescroll", "invertedmouse"};
using Model = std::int64_t[kKeyCount];
constexpr std::size_t kPiece = 254;  // fgets into a 255-byte buffer

void toModel(const Settings& s, Model out) {
    const int fields[kKeyCount] = {s.stepsize,      s.confirmexit,       s.invertarrows, s.persistentmenu,
                                   s.ignoreunnamed, s.enablemousescroll, s.invertedmouse};
    for (int i = 0; i < kKeyCount; ++i) out[i] = fields[i];
}

// atol with a 32-bit long: strtoll (64-bit, C locale) does the parsing, the clamp the saturation.
std::int64_t modelNumber(const std::string& value) {
    long long n = std::strtoll(value.c_str(), nullptr, 10);
    if (n > INT32_MAX) n = INT32_MAX;
    if (n < INT32_MIN) n = INT32_MIN;
    return n;
}

void modelLine(std::string text, Model record) {
    if (!text.empty() && text.back() == '\n') text.pop_back();
    const std::size_t equals = text.find('=');
    if (equals == std::string::npos) return;
    const std::string key = text.substr(0, equals);
    for (int i = 0; i < kKeyCount; ++i) {
        if (key != kKeys[i]) continue;
        const std::int64_t n = modelNumber(text.substr(equals + 1));
        record[i] = i == 0 ? n : (n != 0);
        return;
    }
}

// A piece ends after a newline or at kPiece bytes; a NUL ends its text.
void modelRead(const std::uint8_t* data, std::size_t size, Model record) {
    std::size_t at = 0;
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

void readReal(const char* bytes, std::size_t size, Settings& record) {
    // fmemopen wants a mutable buffer, and a non-null one even for an empty input.
    std::vector<char> copy(bytes, bytes + size);
    copy.push_back('\0');
    std::FILE* file = fmemopen(copy.data(), size, "r");
    if (!file) fail("fmemopen failed");
    readSettings(record, file);
    std::fclose(file);
}

[[noreturn]] void mismatch(const char* what, const Model expected, const Model seen) {
    std::fprintf(stderr, "settings fuzz: %s\n", what);
    for (int i = 0; i < kKeyCount; ++i)
        std::fprintf(stderr, "  %-18s expected %lld, saw %lld%s\n", kKeys[i], static_cast<long long>(expected[i]),
                     static_cast<long long>(seen[i]), expected[i] != seen[i] ? "   <--" : "");
    std::abort();
}

bool same(const Model a, const Model b) {
    for (int i = 0; i < kKeyCount; ++i)
        if (a[i] != b[i]) return false;
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    Settings real;
    Model expected;
    toModel(real, expected);
    modelRead(data, size, expected);
    readReal(reinterpret_cast<const char*>(data), size, real);
    Model seen;
    toModel(real, seen);
    if (!same(expected, seen)) mismatch("the reader disagrees with the model", expected, seen);

    // The writer's bytes against printf's rendering of the same seven lines.
    char text[512];
    const std::size_t length = formatSettings(real, text, sizeof text);
    char expectedText[512];
    std::snprintf(expectedText, sizeof expectedText,
                  "stepsize=%d\nconfirmexit=%d\ninvertarrows=%d\npersistentmenu=%d\n"
                  "ignoreunnamed=%d\nenablemousescroll=%d\ninvertedmouse=%d\n",
                  real.stepsize, real.confirmexit, real.invertarrows, real.persistentmenu,
                  real.ignoreunnamed, real.enablemousescroll, real.invertedmouse);
    if (length != std::strlen(expectedText) || std::strcmp(text, expectedText) != 0) {
        std::fprintf(stderr, "settings fuzz: formatted\n%s\nexpected\n%s", text, expectedText);
        std::abort();
    }

    // A buffer too small keeps a terminated prefix and still reports the whole length.
    const std::size_t small = size ? data[0] % (length + 2) : 0;
    std::vector<char> cut(small + 1, '#');
    if (formatSettings(real, cut.data(), small) != length) fail("a short buffer changed the length");
    if (cut[small] != '#') fail("the writer went past the end of a short buffer");
    if (small && (std::strlen(cut.data()) != std::min(small - 1, length) ||
                  std::strncmp(cut.data(), text, small - 1) != 0))
        fail("a short buffer does not hold the text's beginning");

    // Start the second read from a record unlike the first, so a line the writer drops shows.
    Settings again;
    again.stepsize = real.stepsize ^ 1;
    again.confirmexit = !real.confirmexit;
    again.invertarrows = !real.invertarrows;
    again.persistentmenu = !real.persistentmenu;
    again.ignoreunnamed = !real.ignoreunnamed;
    again.enablemousescroll = !real.enablemousescroll;
    again.invertedmouse = !real.invertedmouse;
    readReal(text, length, again);
    Model reread;
    toModel(again, reread);
    if (!same(seen, reread)) mismatch("formatting and reading again changed the record", seen, reread);
    return 0;
}
