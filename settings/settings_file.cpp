// tabrin.ini: seven "key=value" lines beside the executable, read once and rewritten on each change.
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "platform/desktop.h"
#include "platform/session.h"
#include "platform/text_buffer.h"
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

void applySettingsLine(Settings& record, char* line) {
    std::size_t length = std::strlen(line);
    if (length > 0 && line[length - 1] == '\n') line[length - 1] = '\0';

    char* equals = std::strchr(line, '=');
    if (!equals) return;
    *equals = '\0';
    const char* key = line;
    const int number = toInteger(equals + 1);
    const int flag = number != 0 ? 1 : 0;

    if (std::strcmp(key, "stepsize") == 0) record.stepsize = number;
    else if (std::strcmp(key, "confirmexit") == 0) record.confirmexit = flag;
    else if (std::strcmp(key, "invertarrows") == 0) record.invertarrows = flag;
    else if (std::strcmp(key, "persistentmenu") == 0) record.persistentmenu = flag;
    else if (std::strcmp(key, "ignoreunnamed") == 0) record.ignoreunnamed = flag;
    else if (std::strcmp(key, "enablemousescroll") == 0) record.enablemousescroll = flag;
    else if (std::strcmp(key, "invertedmouse") == 0) record.invertedmouse = flag;
}

void readSettings(Settings& record, std::FILE* file) {
    char line[kSettingsLinePiece + 1];
    while (!std::feof(file)) {
        std::memset(line, 0, sizeof line);
        if (!std::fgets(line, sizeof line, file)) {
            if (std::ferror(file)) break;  // a failing read must not spin forever short of the end
            continue;
        }
        applySettingsLine(record, line);
    }
}

std::size_t formatSettings(const Settings& record, char* buffer, std::size_t capacity) {
    TextBuffer text(buffer, capacity);
    text << "stepsize=" << record.stepsize << "\n"
         << "confirmexit=" << (record.confirmexit ? 1 : 0) << "\n"
         << "invertarrows=" << (record.invertarrows ? 1 : 0) << "\n"
         << "persistentmenu=" << (record.persistentmenu ? 1 : 0) << "\n"
         << "ignoreunnamed=" << (record.ignoreunnamed ? 1 : 0) << "\n"
         << "enablemousescroll=" << (record.enablemousescroll ? 1 : 0) << "\n"
         << "invertedmouse=" << (record.invertedmouse ? 1 : 0) << "\n";
    return text.length();
}

char* settingsPathFor(const char* executablePath) {
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
    char* path = static_cast<char*>(std::malloc(size));
    if (!path) return nullptr;
    std::memcpy(path, executablePath, keep);
    path[keep] = separator;
    std::memcpy(path + keep + 1, kFileName, sizeof kFileName);
    return path;
}

char* settingsFilePath() {
    char* executable = platform::GetModuleFileNameUtf8(platform::instance);
    if (!executable) return nullptr;
    char* path = settingsPathFor(executable);
    std::free(executable);
    return path;
}

namespace {

// tabrin.ini.tmp beside the file; malloc'd.
char* temporaryPathFor(const char* path) {
    const std::size_t length = std::strlen(path);
    char* temporary = static_cast<char*>(std::malloc(length + sizeof kTemporarySuffix));
    if (!temporary) return nullptr;
    std::memcpy(temporary, path, length);
    std::memcpy(temporary + length, kTemporarySuffix, sizeof kTemporarySuffix);
    return temporary;
}

}  // namespace

void loadSettings() {
    using namespace platform;
    char* path = settingsFilePath();
    if (!path) return;
    // Bytes as they are: text mode would end the file at a stray Ctrl+Z. A CR before the
    // newline stays on the value, where the number's conversion stops anyway.
    std::FILE* file = OpenFileUtf8(path, "rb");
    // No file, but a save that could not put its new file in place left it under this name.
    if (!file && GetFileAttributesUtf8(path) == INVALID_FILE_ATTRIBUTES) {
        char* temporary = temporaryPathFor(path);
        if (temporary) file = OpenFileUtf8(temporary, "rb");
        std::free(temporary);
    }
    std::free(path);
    if (!file) return;
    readSettings(settings, file);
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
        if (!MoveFileExUtf8(temporary, path, moveFlags))
            return isMomentary(GetLastError()) ? Save::Busy : Save::Failed;
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
    FileHandle file = CreateFileUtf8(temporary, GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                     marks ? marks : FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return Save::Failed;
    std::uint32_t written = 0;
    // Flushed before the rename: otherwise a power cut can leave the new name on empty blocks.
    bool saved = WriteFile(file, bytes, count, &written, nullptr) && written == count &&
                 FlushFileBuffers(file);
    saved = CloseHandle(file) && saved;
    if (saved && (exists ? ReplaceFileUtf8(path, temporary, nullptr,
                                           REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr, nullptr)
                         : MoveFileExUtf8(temporary, path, moveFlags)))
        return Save::Done;

    const std::uint32_t error = saved ? GetLastError() : 0;
    // The old file is already gone (deleted meanwhile, or moved away by ReplaceFile before it
    // failed): the new one stands whole under the temporary name, and stays there if it cannot
    // be moved in either.
    if (exists && (error == ERROR_UNABLE_TO_MOVE_REPLACEMENT ||
                   error == ERROR_UNABLE_TO_MOVE_REPLACEMENT_2 || error == ERROR_FILE_NOT_FOUND))
        return MoveFileExUtf8(temporary, path, moveFlags) ? Save::Done : Save::Busy;
    DeleteFileUtf8(temporary);
    return isMomentary(error) ? Save::Busy : Save::Failed;
}

Save writeSettingsFile() {
    char text[512];
    if (formatSettings(settings, text, sizeof text) >= sizeof text) return Save::Failed;
    // On disk each line ends in CR LF, as text mode has always written it.
    char bytes[sizeof text + 7];
    std::uint32_t count = 0;
    for (const char* c = text; *c; ++c) {
        if (*c == '\n') bytes[count++] = '\r';
        bytes[count++] = *c;
    }

    char* path = settingsFilePath();
    if (!path) return Save::Failed;
    char* temporary = temporaryPathFor(path);
    const Save outcome = temporary ? replaceWhole(path, temporary, bytes, count) : Save::Failed;
    std::free(temporary);
    std::free(path);
    return outcome;
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
