// tabrin.ini: seven "key=value" lines and the user's key lines beside the executable, read once
// and rewritten on each change.
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "platform/desktop.h"
#include "platform/session.h"
#include "settings/text_buffer.h"
#include "settings/settings.h"

namespace {

const char kFileName[] = "tabrin.ini";
const char kTemporarySuffix[] = ".tmp";  // tabrin.ini.tmp, beside the file it replaces

bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// atol's rules with a 32-bit long, as on Windows: blanks, a sign, digits; out of range saturates.
int toInteger(const char* text) {
    while (isBlank(*text)) ++text;
    bool negative = false;
    if (*text == '+' || *text == '-') negative = *text++ == '-';
    std::int64_t value = 0;
    const std::int64_t limit = negative ? -static_cast<std::int64_t>(INT32_MIN) : INT32_MAX;
    for (; *text >= '0' && *text <= '9'; ++text) {
        value = value * 10 + (*text - '0');
        if (value > limit) value = limit;
    }
    return static_cast<int>(negative ? -value : value);
}

}  // namespace

void applySettingsLine(Settings& record, KeyLines& lines, char* line) {
    std::size_t length = std::strlen(line);
    if (length > 0 && line[length - 1] == '\n') line[--length] = '\0';

    char* equals = std::strchr(line, '=');
    if (!equals) return;
    *equals = '\0';
    const char* key = line;
    char* value = equals + 1;

    for (const SettingRow& row : kSettingRows) {
        if (std::strcmp(key, row.key) != 0) continue;
        const int number = toInteger(value);
        record.*row.field = row.flag ? (number != 0 ? 1 : 0) : number;
        return;
    }
    for (int i = 0; i < kActionCount; ++i) {
        if (std::strcmp(key, kActions[i].key) != 0) continue;
        // The CR of a CR LF line end is not part of what the user wrote.
        const std::size_t valueLength = std::strlen(value);
        if (valueLength > 0 && value[valueLength - 1] == '\r') value[valueLength - 1] = '\0';
        KeyLine& keyLine = lines.line[i];
        keyLine.present = true;
        std::memcpy(keyLine.value, value, std::strlen(value) + 1);  // a piece always fits
        return;
    }
}

namespace {

// Notepad's "Unicode": little-endian UTF-16 after an FF FE mark. Each character becomes one byte
// of 8-bit text, in pieces as the 8-bit reader takes them; a piece holding a character beyond
// 8 bits matches no key, nor does the rest of its line.
void readUtf16(Settings& record, KeyLines& lines, std::FILE* file) {
    char piece[kSettingsLinePiece + 1];
    std::size_t length = 0;
    bool unmatched = false;
    for (;;) {
        const int low = std::getc(file);
        const int high = low == EOF ? EOF : std::getc(file);
        const bool end = high == EOF;  // an odd last byte is no character
        const unsigned unit = end ? 0 : static_cast<unsigned>(low | high << 8);
        if (!end) {
            if (unit > 0xFF) unmatched = true;
            piece[length++] = static_cast<char>(unit);
        }
        if (end || unit == '\n' || length == kSettingsLinePiece) {
            piece[length] = '\0';
            if (length > 0 && !unmatched) applySettingsLine(record, lines, piece);
            if (end) return;
            if (unit == '\n') unmatched = false;
            length = 0;
        }
    }
}

}  // namespace

void readSettings(Settings& record, KeyLines& lines, std::FILE* file) {
    unsigned char mark[3] = {};
    const std::size_t marked = std::fread(mark, 1, sizeof mark, file);
    if (marked >= 2 && mark[0] == 0xFF && mark[1] == 0xFE) {
        if (std::fseek(file, 2, SEEK_SET) == 0) readUtf16(record, lines, file);
        return;
    }
    // A UTF-8 mark is skipped; anything else is read from its first byte.
    const bool utf8 = marked == 3 && mark[0] == 0xEF && mark[1] == 0xBB && mark[2] == 0xBF;
    if (!utf8 && std::fseek(file, 0, SEEK_SET) != 0) return;
    char line[kSettingsLinePiece + 1];
    while (!std::feof(file)) {
        std::memset(line, 0, sizeof line);
        if (!std::fgets(line, sizeof line, file)) {
            if (std::ferror(file)) break;  // a failing read must not spin forever short of the end
            continue;
        }
        applySettingsLine(record, lines, line);
    }
}

std::size_t formatSettings(const Settings& record, const KeyLines& lines, char* buffer,
                           std::size_t capacity) {
    TextBuffer text(buffer, capacity);
    for (const SettingRow& row : kSettingRows) {
        const int value = record.*row.field;
        text << row.key << "=" << (row.flag ? (value ? 1 : 0) : value) << "\n";
    }
    // The user's key lines as they stood, valid or not: a menu click must not lose them.
    for (int i = 0; i < kActionCount; ++i)
        if (lines.line[i].present) text << kActions[i].key << "=" << lines.line[i].value << "\n";
    return text.length();
}

platform::Utf8String settingsPathFor(const char* executablePath) {
    const std::size_t length = std::strlen(executablePath);
    std::size_t keep = length;  // no separator: the path is used whole
    char separator = '\\';
    for (std::size_t i = length; i-- > 1;) {
        if (executablePath[i] == '\\' || executablePath[i] == '/') {
            keep = i;
            separator = executablePath[i];
            break;
        }
    }
    const std::size_t size = keep + 1 + sizeof kFileName;
    platform::Utf8String path(static_cast<char*>(std::malloc(size)));
    if (!path) return nullptr;
    std::memcpy(path.get(), executablePath, keep);
    path.get()[keep] = separator;
    std::memcpy(path.get() + keep + 1, kFileName, sizeof kFileName);
    return path;
}

platform::Utf8String settingsFilePath() {
    const platform::Utf8String executable = platform::GetModuleFileNameUtf8(platform::instance);
    return executable ? settingsPathFor(executable.get()) : nullptr;
}

namespace {

// tabrin.ini.tmp beside the file.
platform::Utf8String temporaryPathFor(const char* path) {
    const std::size_t length = std::strlen(path);
    platform::Utf8String temporary(
        static_cast<char*>(std::malloc(length + sizeof kTemporarySuffix)));
    if (!temporary) return nullptr;
    std::memcpy(temporary.get(), path, length);
    std::memcpy(temporary.get() + length, kTemporarySuffix, sizeof kTemporarySuffix);
    return temporary;
}

}  // namespace

void loadSettings() {
    using namespace platform;
    const Utf8String path = settingsFilePath();
    if (!path) return;
    // Bytes as they are: text mode would end the file at a stray Ctrl+Z. A CR before the
    // newline stays on the value, where the number's conversion stops anyway.
    std::FILE* file = OpenFileUtf8(path.get(), "rb");
    // No file, but a save that could not put its new file in place left it under this name.
    if (!file && GetFileAttributesUtf8(path.get()) == INVALID_FILE_ATTRIBUTES) {
        const Utf8String temporary = temporaryPathFor(path.get());
        if (temporary) file = OpenFileUtf8(temporary.get(), "rb");
    }
    if (!file) return;
    readSettings(settings, keyLines, file);
    std::fclose(file);
}

namespace {

enum class Save { Done, Failed, Busy };  // Busy: worth trying again in a moment

// How the calls fail while another program has the file open without delete sharing.
bool isMomentary(std::uint32_t error) {
    return error == platform::ERROR_SHARING_VIOLATION || error == platform::ERROR_ACCESS_DENIED ||
           error == platform::ERROR_UNABLE_TO_REMOVE_REPLACED;
}

bool isFile(const char* path) {
    const std::uint32_t attributes = platform::GetFileAttributesUtf8(path);
    return attributes != platform::INVALID_FILE_ATTRIBUTES &&
           !(attributes & platform::FILE_ATTRIBUTE_DIRECTORY);
}

// Writes the bytes to a temporary file beside the settings file and puts it in the file's place,
// so that the file on disk is always either the old one or the new one, whole.
Save replaceWhole(const char* path, const char* temporary, const char* bytes, std::uint32_t count) {
    using namespace platform;
    const std::uint32_t moveFlags = MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH;
    std::uint32_t attributes = GetFileAttributesUtf8(path);
    // The temporary file is the only whole copy left by a save that could not finish: it goes
    // into place first, so that nothing below can lose it.
    if (attributes == INVALID_FILE_ATTRIBUTES && isFile(temporary)) {
        const std::uint32_t error = MoveFileExUtf8(temporary, path, moveFlags);
        if (error != ERROR_SUCCESS) return isMomentary(error) ? Save::Busy : Save::Failed;
        attributes = GetFileAttributesUtf8(path);
    }
    const bool exists = attributes != INVALID_FILE_ATTRIBUTES;
    // Read-only: the user froze the file. A folder cannot be replaced by a file.
    if (exists && (attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY)))
        return Save::Failed;
    // ReplaceFile keeps the old file's security and streams but not these two marks.
    const std::uint32_t marks =
        exists ? attributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM) : 0;

    DeleteFileUtf8(temporary);  // left behind by a crash in the middle of a save
    ScopedFile file(CreateFileUtf8(temporary, GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                   marks ? marks : FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.valid()) return Save::Failed;
    std::uint32_t written = 0;
    // Flushed before the rename: otherwise a power cut can leave the new name on empty blocks.
    bool saved = WriteFile(file.get(), bytes, count, &written, nullptr) && written == count &&
                 FlushFileBuffers(file.get());
    saved = file.close() && saved;
    if (!saved) {
        DeleteFileUtf8(temporary);
        return Save::Failed;
    }
    const std::uint32_t error =
        exists ? ReplaceFileUtf8(path, temporary, nullptr, REPLACEFILE_IGNORE_MERGE_ERRORS,
                                 nullptr, nullptr)
               : MoveFileExUtf8(temporary, path, moveFlags);
    if (error == ERROR_SUCCESS) return Save::Done;
    // The old file is already gone (deleted meanwhile, or moved away by ReplaceFile before it
    // failed): the new one stands whole under the temporary name, and stays there if it cannot
    // be moved in either.
    if (exists && (error == ERROR_UNABLE_TO_MOVE_REPLACEMENT ||
                   error == ERROR_UNABLE_TO_MOVE_REPLACEMENT_2 || error == ERROR_FILE_NOT_FOUND))
        return MoveFileExUtf8(temporary, path, moveFlags) == ERROR_SUCCESS ? Save::Done
                                                                             : Save::Busy;
    DeleteFileUtf8(temporary);
    return isMomentary(error) ? Save::Busy : Save::Failed;
}

Save writeSettingsFile() {
    // The seven lines and ten key lines of at most a piece each, with room to spare.
    static char text[kSettingCount * 32 + kActionCount * (kSettingsLinePiece + 2)];
    if (formatSettings(settings, keyLines, text, sizeof text) >= sizeof text) return Save::Failed;
    // On disk each line ends in CR LF, as text mode has always written it.
    static char bytes[sizeof text + kSettingCount + kActionCount];
    std::uint32_t count = 0;
    for (const char* c = text; *c; ++c) {
        if (*c == '\n') bytes[count++] = '\r';
        bytes[count++] = *c;
    }

    const platform::Utf8String path = settingsFilePath();
    const platform::Utf8String temporary = path ? temporaryPathFor(path.get()) : nullptr;
    return temporary ? replaceWhole(path.get(), temporary.get(), bytes, count) : Save::Failed;
}

int saveRetriesLeft = 0;

}  // namespace

// Never waits for the file: a busy one is tried again from the timer while the program goes on.
void saveSettings() {
    using namespace platform;
    if (writeSettingsFile() == Save::Busy) {
        saveRetriesLeft = kSaveRetries;
        SetTimer(mainWindow, kSaveRetryTimer, kSaveRetryInterval, nullptr);
    } else {
        KillTimer(mainWindow, kSaveRetryTimer);  // an older save still waiting is outdated
    }
}

platform::LResult onSaveTimer() {
    if (writeSettingsFile() != Save::Busy || --saveRetriesLeft <= 0)
        platform::KillTimer(platform::mainWindow, kSaveRetryTimer);
    return 0;
}

void resetSettingsFileState() { saveRetriesLeft = 0; }
