// libFuzzer target: the settings reader against a small model of the file rules, the round trip,
// and a save after the file was edited on disk.
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

namespace {

// tabrin.ini in memory, for the saves: written whole through its temporary file, never busy.
struct Disk {
    bool present = false;
    std::string bytes;
    std::string temporary;
    std::uint64_t writes = 0;   // the file's write time
    std::vector<char> reading;  // fmemopen's buffer while the file is read
} iniFile;
constexpr char kExecutable[] = "C:\\fuzz\\tabrin.exe";
bool isFile(const char* path) { return std::strcmp(path, "C:\\fuzz\\tabrin.ini") == 0 && iniFile.present; }

}  // namespace

namespace platform {
InstanceHandle instance = nullptr;  // the shell's handles, which the save's retry timer names
WindowHandle mainWindow = nullptr;
Utf8String GetModuleFileNameUtf8(InstanceHandle) {
    Utf8String path(static_cast<char*>(std::malloc(sizeof kExecutable)));
    std::memcpy(path.get(), kExecutable, sizeof kExecutable);
    return path;
}
std::FILE* OpenFileUtf8(const char* path, const char*) {
    if (!isFile(path)) return nullptr;
    iniFile.reading.assign(iniFile.bytes.begin(), iniFile.bytes.end());
    iniFile.reading.push_back('\0');  // fmemopen wants a buffer even for no bytes
    return fmemopen(iniFile.reading.data(), iniFile.bytes.size(), "r");
}
std::uint32_t GetFileAttributesUtf8(const char* path) {
    return isFile(path) ? FILE_ATTRIBUTE_ARCHIVE : INVALID_FILE_ATTRIBUTES;
}
bool GetFileAttributesExUtf8(const char* path, FileInformation* information) {
    if (!isFile(path)) return false;
    *information = FileInformation{FILE_ATTRIBUTE_ARCHIVE, iniFile.bytes.size(), iniFile.writes};
    return true;
}
FileHandle CreateFileUtf8(const char*, std::uint32_t, std::uint32_t, void*, std::uint32_t, std::uint32_t,
                          FileHandle) {
    iniFile.temporary.clear();
    return reinterpret_cast<FileHandle>(&iniFile);
}
bool WriteFile(FileHandle, const void* bytes, std::uint32_t count, std::uint32_t* written, void*) {
    iniFile.temporary.append(static_cast<const char*>(bytes), count);
    *written = count;
    return true;
}
bool FlushFileBuffers(FileHandle) { return true; }
bool CloseHandle(FileHandle) { return true; }
std::uint32_t MoveFileExUtf8(const char*, const char*, std::uint32_t) {
    iniFile.bytes = iniFile.temporary;
    iniFile.present = true;
    ++iniFile.writes;
    return ERROR_SUCCESS;
}
std::uint32_t ReplaceFileUtf8(const char*, const char* replacement, const char*, std::uint32_t, void*, void*) {
    return MoveFileExUtf8(replacement, nullptr, 0);
}
std::uint32_t DeleteFileUtf8(const char*) { return ERROR_FILE_NOT_FOUND; }
std::uint32_t GetLastError() { return 0; }
std::uintptr_t SetTimer(WindowHandle, std::uintptr_t, unsigned, void*) { return 0; }
bool KillTimer(WindowHandle, std::uintptr_t) { return false; }
void Sleep(std::uint32_t) {}
ChangeHandle FindFirstChangeNotificationUtf8(const char*, bool, std::uint32_t) { return nullptr; }
bool FindNextChangeNotification(ChangeHandle) { return false; }
bool FindCloseChangeNotification(ChangeHandle) { return false; }
// The folder always takes the file: the per-user place is never needed.
Utf8String GetRoamingAppDataUtf8() { return nullptr; }
std::uint32_t CreateDirectoryUtf8(const char*) { return ERROR_ACCESS_DENIED; }
std::uint32_t GetCurrentProcessId() { return 1; }
std::uint32_t GetTickCount() { return 0; }
// Long after every write: the look at a file is trusted.
std::uint64_t GetSystemTimeAsFileTime() { return UINT64_MAX / 2; }
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
    // Key lines: blanks, tabs and CRs around the key and the value do not count, nor the key's case.
    const auto trim = [](const std::string& text) {
        const std::size_t first = text.find_first_not_of(" \t\r");
        return first == std::string::npos ? std::string()
                                          : text.substr(first, text.find_last_not_of(" \t\r") + 1 - first);
    };
    std::string name = trim(key);
    for (char& c : name)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    for (int i = 0; i < kLineCount; ++i)
        if (name == kLineKeys[i]) record.lines[i] = trim(value);
}

// The file a save writes for the record, lines ending in `newline`.
std::string fileOf(const Model& record, const char* newline) {
    std::string text;
    for (int i = 0; i < kKeyCount; ++i) text += kKeys[i] + ("=" + std::to_string(record.numbers[i])) + newline;
    for (int i = 0; i < kLineCount; ++i)
        if (record.lines[i] != "\n") text += kLineKeys[i] + ("=" + record.lines[i]) + newline;
    return text;
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

    // The writer's bytes against the model's rendering.
    char text[4096];
    const std::size_t length = formatSettings(real, realKeys, text, sizeof text);
    const std::string expectedText = fileOf(expected, "\n");
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

    // The input is an edit made on disk between two menu changes: the second save keeps all of it
    // and puts its own change on top; a toggle takes the opposite of the check mark clicked.
    resetSettingsState();
    resetSettingsFileState();
    iniFile = Disk{};
    loadSettings();  // no file: the defaults
    setStepSize(3);
    Model clicked;
    toModel(settings, keyLines, clicked);
    if (iniFile.bytes != fileOf(clicked, "\r\n")) fail("the first save did not write the record");
    iniFile.bytes.assign(reinterpret_cast<const char*>(data), size);
    ++iniFile.writes;
    const int row = static_cast<int>(size % kKeyCount);
    if (row == 0) {
        setStepSize(static_cast<int>(size % 50) + 1);
        expected.numbers[0] = static_cast<int>(size % 50) + 1;
    } else {
        expected.numbers[row] = !clicked.numbers[row];
        toggleSetting(settings.*kSettingRows[row].field);
    }
    if (iniFile.bytes != fileOf(expected, "\r\n")) {
        std::fprintf(stderr, "settings fuzz: saved after an edit\n%s\nexpected\n%s", iniFile.bytes.c_str(),
                     fileOf(expected, "\r\n").c_str());
        std::abort();
    }
    return 0;
}
