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
    const char* value = equals + 1;

    for (const SettingRow& row : kSettingRows) {
        if (std::strcmp(key, row.key) != 0) continue;
        const int number = toInteger(value);
        record.*row.field = row.flag ? (number != 0 ? 1 : 0) : number;
        return;
    }
    // Key lines as people write them: "TaskbarKey = Win+Shift+X" is taskbarkey's. The CR of a
    // CR LF line end is not part of what the user wrote either.
    const int action = actionForKey(key, equals);
    if (action < 0) return;
    const char* valueEnd = value + std::strlen(value);
    trim(&value, &valueEnd);
    KeyLine& keyLine = lines.line[action];
    keyLine.present = true;
    const auto valueLength = static_cast<std::size_t>(valueEnd - value);
    std::memcpy(keyLine.value, value, valueLength);  // a piece always fits
    keyLine.value[valueLength] = '\0';
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

namespace {

// The parts one after the other, in memory of their own; null when there is none to be had.
platform::Utf8String joined(const char* a, const char* b, const char* c = "") {
    const std::size_t lengths[] = {std::strlen(a), std::strlen(b), std::strlen(c)};
    platform::Utf8String text(
        static_cast<char*>(std::malloc(lengths[0] + lengths[1] + lengths[2] + 1)));
    if (!text) return nullptr;
    std::memcpy(text.get(), a, lengths[0]);
    std::memcpy(text.get() + lengths[0], b, lengths[1]);
    std::memcpy(text.get() + lengths[0] + lengths[1], c, lengths[2] + 1);
    return text;
}

// tabrin.ini.tmp beside the file.
platform::Utf8String temporaryPathFor(const char* path) { return joined(path, kTemporarySuffix); }

// The file is kept in the user's Roaming AppData instead: Tabrin's folder refused a new file
// (Program Files), or only that copy was there at start.
bool keptPerUser = false;

// The separator a path uses: a backslash, unless it is spelt with slashes.
const char* separatorIn(const char* path) {
    const char* slash = std::strrchr(path, '/');
    return slash && slash > std::strrchr(path, '\\') ? "/" : "\\";
}

// %APPDATA%\Tabrin, the only place outside Tabrin's own folder it ever writes to.
platform::Utf8String perUserFolder() {
    const platform::Utf8String appData = platform::GetRoamingAppDataUtf8();
    return appData ? joined(appData.get(), separatorIn(appData.get()), "Tabrin") : nullptr;
}

platform::Utf8String perUserFilePath() {
    const platform::Utf8String folder = perUserFolder();
    return folder ? joined(folder.get(), separatorIn(folder.get()), kFileName) : nullptr;
}

}  // namespace

platform::Utf8String settingsFilePath() {
    if (keptPerUser) return perUserFilePath();
    const platform::Utf8String executable = platform::GetModuleFileNameUtf8(platform::instance);
    return executable ? settingsPathFor(executable.get()) : nullptr;
}

namespace {

// 64-bit FNV-1a: enough to tell an edit from the bytes Tabrin last read or wrote.
struct Digest {
    std::uint64_t value = 14695981039346656037ull;
    void add(const char* bytes, std::size_t count) {
        for (std::size_t i = 0; i < count; ++i)
            value = (value ^ static_cast<unsigned char>(bytes[i])) * 1099511628211ull;
    }
};

// What the file in force held when Tabrin last read or wrote it; never the bytes themselves,
// which may be many.
struct Fingerprint {
    enum State : unsigned char { Unknown, Missing, Present } state = Unknown;
    std::uint64_t size = 0;
    std::uint64_t hash = 0;
};
// Unknown (a file that could not be read) matches nothing, not even itself.
bool operator==(const Fingerprint& a, const Fingerprint& b) {
    return a.state != Fingerprint::Unknown && a.state == b.state && a.size == b.size &&
           a.hash == b.hash;
}

// The file in force by its size and time alone, taken without opening it.
struct FileLook {
    bool taken = false;
    bool temporary = false;  // tabrin.ini.tmp, tabrin.ini being missing
    platform::FileInformation information = {};
};
bool operator==(const FileLook& a, const FileLook& b) {
    return a.taken == b.taken && a.temporary == b.temporary &&
           a.information.attributes == b.information.attributes &&
           a.information.size == b.information.size &&
           a.information.lastWriteTime == b.information.lastWriteTime;
}

// The one change the menu asked for, put on top of whatever the file holds until it is saved.
struct SettingsChange {
    int Settings::*field = nullptr;
    int value = 0;
};

struct FileState {
    Fingerprint known;
    FileLook look;           // at the last read, for the cheap look after a change in the folder
    SettingsChange waiting;  // a save of it is under way
    int saveRetriesLeft = 0;
    int readRetriesLeft = 0;
    platform::ChangeHandle watch = nullptr;
    SettingsApplied applied = nullptr;
    // The folder the last save found refusing it, from malloc. Not an Owned: a global with a
    // destructor would need the C runtime's atexit, which the executable does without.
    char* unwritable = nullptr;
};
FileState fileState;

// The key lines of a read not yet taken in: too many bytes for the stack of a message handler.
KeyLines freshLines;

FileLook lookAtFileInForce() {
    using namespace platform;
    FileLook look;
    const Utf8String path = settingsFilePath();
    if (!path) return look;
    look.taken = GetFileAttributesExUtf8(path.get(), &look.information);
    if (look.taken || GetFileAttributesUtf8(path.get()) != INVALID_FILE_ATTRIBUTES) return look;
    const Utf8String temporary = temporaryPathFor(path.get());
    look.temporary = true;
    look.taken = temporary && (GetFileAttributesExUtf8(temporary.get(), &look.information) ||
                               GetFileAttributesUtf8(temporary.get()) == INVALID_FILE_ATTRIBUTES);
    return look;
}

// tabrin.ini or tabrin.ini.tmp at path.
bool anyCopyAt(const platform::Utf8String& path) {
    using namespace platform;
    if (!path) return false;
    const Utf8String temporary = temporaryPathFor(path.get());
    return GetFileAttributesUtf8(path.get()) != INVALID_FILE_ATTRIBUTES ||
           (temporary && GetFileAttributesUtf8(temporary.get()) != INVALID_FILE_ATTRIBUTES);
}

// Cuts a file's path down to its folder's; false when it names no folder.
bool cutAtFolder(char* path) {
    char* separator = std::strrchr(path, '\\');
    char* slash = std::strrchr(path, '/');
    if (slash > separator) separator = slash;
    if (!separator) return false;
    *separator = '\0';
    return true;
}

// Busy: the file is there but held without read sharing (by its writer, typically).
// Unreadable: something that is no file stands in its place.
enum class Read { Done, Busy, Unreadable };

// Opens path for reading; null with *read saying why when that fails, Done for a missing file.
std::FILE* openExisting(const char* path, Read* read) {
    using namespace platform;
    // Bytes as they are: text mode would end the file at a stray Ctrl+Z. A CR before the
    // newline stays on the value, where the number's conversion stops anyway.
    std::FILE* file = OpenFileUtf8(path, "rb");
    const std::uint32_t attributes = file ? 0 : GetFileAttributesUtf8(path);
    if (!file && attributes != INVALID_FILE_ATTRIBUTES)
        *read = attributes & FILE_ATTRIBUTE_DIRECTORY ? Read::Unreadable : Read::Busy;
    return file;
}

// What a start would read now, from the defaults up: tabrin.ini; when it is missing, the
// temporary file a save could not put in its place; when both are, nothing.
Read readFileInForce(Settings& record, KeyLines& lines, Fingerprint& seen) {
    record = Settings{};
    lines = KeyLines{};
    seen = Fingerprint{Fingerprint::Missing};
    const platform::Utf8String path = settingsFilePath();
    if (!path) return Read::Unreadable;
    Read read = Read::Done;
    std::FILE* file = openExisting(path.get(), &read);
    if (!file && read == Read::Done) {
        const platform::Utf8String temporary = temporaryPathFor(path.get());
        if (temporary) file = openExisting(temporary.get(), &read);
    }
    if (!file) return read;
    Digest digest;
    std::uint64_t size = 0;
    char block[512];
    for (std::size_t count; (count = std::fread(block, 1, sizeof block, file)) > 0; size += count)
        digest.add(block, count);
    const bool whole = !std::ferror(file) && std::fseek(file, 0, SEEK_SET) == 0;
    if (whole) readSettings(record, lines, file);
    std::fclose(file);
    if (!whole) return Read::Busy;
    seen = Fingerprint{Fingerprint::Present, size, digest.value};
    return Read::Done;
}

// Busy: worth trying again in a moment. Refused: the folder takes no new file at all.
enum class Save { Done, Failed, Busy, Refused };

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

// Access denied to a new tabrin.ini.tmp: either the folder refuses new files (Program Files, to a
// standard user), or only that name is still reserved by a deleted file someone holds open (FAT,
// Windows before 10 1903). A second, fresh name tells which.
Save whyNotCreated(const char* path, std::uint32_t error) {
    using namespace platform;
    const auto refusal = [](std::uint32_t e) { return e == ERROR_ACCESS_DENIED || e == ERROR_WRITE_PROTECT; };
    if (!refusal(error))
        return error == ERROR_SHARING_VIOLATION || error == ERROR_FILE_EXISTS ? Save::Busy
                                                                              : Save::Failed;
    char suffix[24];
    TextBuffer(suffix, sizeof suffix) << "." << static_cast<int>(GetCurrentProcessId() & 0xFFFF)
                                      << ".tmp";
    const Utf8String probe = joined(path, suffix);
    if (!probe) return Save::Failed;
    ScopedFile file(CreateFileUtf8(probe.get(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                   FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.valid()) return refusal(GetLastError()) ? Save::Refused : Save::Busy;
    file.close();
    DeleteFileUtf8(probe.get());
    return Save::Busy;
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

    // Left behind by a crash in the middle of a save. One that cannot be deleted is held by a
    // scanner or a sync client, and is never the only whole copy while the file exists.
    DeleteFileUtf8(temporary);
    ScopedFile file(CreateFileUtf8(temporary, GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                   marks ? marks : FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.valid()) return whyNotCreated(path, GetLastError());
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

Save writeBytes(const char* bytes, std::uint32_t count) {
    const platform::Utf8String path = settingsFilePath();
    const platform::Utf8String temporary = path ? temporaryPathFor(path.get()) : nullptr;
    return temporary ? replaceWhole(path.get(), temporary.get(), bytes, count) : Save::Failed;
}

void watchFolderInUse();

// %APPDATA%\Tabrin, made if need be, becomes the file's place; false where there is none to be
// had (no AppData, or a file named Tabrin in the way).
bool keepPerUser() {
    using namespace platform;
    const Utf8String folder = perUserFolder();
    if (!folder) return false;
    CreateDirectoryUtf8(folder.get());
    const std::uint32_t attributes = GetFileAttributesUtf8(folder.get());
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY))
        return false;
    keptPerUser = true;
    if (fileState.applied) watchFolderInUse();  // the watch follows the file
    return true;
}

// Writes the record and key lines in force; on success remembers what the file now holds.
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

    Save saved = writeBytes(bytes, count);
    if (saved == Save::Refused && !keptPerUser) {
        // Tabrin's folder takes no new file: the file lives in the user's AppData from now on.
        saved = keepPerUser() ? writeBytes(bytes, count) : Save::Refused;
    }
    // Neither place takes it: the choice holds until Exit, and Help says why it is not saved.
    platform::Utf8String folder = saved == Save::Refused ? settingsFilePath() : nullptr;
    if (folder && !cutAtFolder(folder.get())) folder = nullptr;
    std::free(fileState.unwritable);
    fileState.unwritable = folder.release();
    if (saved == Save::Done) {
        Digest digest;
        digest.add(bytes, count);
        fileState.known = Fingerprint{Fingerprint::Present, count, digest.value};
        fileState.look = FileLook{};  // our own change of the folder is read once, and matches
    }
    return saved;
}

// The settings in force become what was read, with the menu's waiting change on top.
void takeIn(Settings& record, const KeyLines& lines, const Fingerprint& seen) {
    const SettingsChange& change = fileState.waiting;
    if (change.field) record.*change.field = change.value;
    settings = record;
    keyLines = lines;
    fileState.known = seen;
    if (fileState.applied) fileState.applied();
}

// An edit made since Tabrin last read or wrote the file is taken in first: a save never writes
// over what the user wrote.
Save saveNow() {
    Settings record;
    Fingerprint seen;
    switch (readFileInForce(record, freshLines, seen)) {
    case Read::Busy: return Save::Busy;
    case Read::Unreadable: break;  // a folder in its place: the write fails on its own
    case Read::Done:
        if (!(seen == fileState.known)) takeIn(record, freshLines, seen);
        break;
    }
    return writeSettingsFile();
}

void endWaitingSave() {
    platform::KillTimer(platform::mainWindow, kSaveRetryTimer);
    fileState.saveRetriesLeft = 0;
    fileState.waiting = SettingsChange{};
}

}  // namespace

void loadSettings() {
    // Beside the executable when a copy is there; otherwise the user's, when one is there.
    keptPerUser = false;
    keptPerUser = !anyCopyAt(settingsFilePath()) && anyCopyAt(perUserFilePath());
    Settings record;
    fileState.look = lookAtFileInForce();
    if (readFileInForce(record, freshLines, fileState.known) != Read::Done) {
        fileState.known = Fingerprint{};  // whatever it holds, it is read before any save
        return;
    }
    settings = record;
    keyLines = freshLines;
}

void changeSetting(int Settings::*field, int value) {
    settings.*field = value;
    fileState.waiting = SettingsChange{field, value};
    saveSettings();
}

// Never waits for the file: a busy one is tried again from the timer while the program goes on.
void saveSettings() {
    if (saveNow() == Save::Busy) {
        fileState.saveRetriesLeft = kSaveRetries;
        platform::SetTimer(platform::mainWindow, kSaveRetryTimer, kSaveRetryInterval, nullptr);
    } else {
        endWaitingSave();  // an older save still waiting is outdated
    }
}

platform::LResult onSaveTimer() {
    if (saveNow() != Save::Busy || --fileState.saveRetriesLeft <= 0) endWaitingSave();
    return 0;
}

void finishWaitingSave() {
    for (int tries = 0; fileState.saveRetriesLeft > 0 && tries < kExitSaveTries; ++tries) {
        platform::Sleep(kSaveRetryInterval);
        if (saveNow() != Save::Busy) break;
    }
    endWaitingSave();
}

namespace {

// The folder, not the file: editors that save a new file and rename it, or delete and recreate
// it, are followed that way.
void watchFolderInUse() {
    using namespace platform;
    if (fileState.watch) FindCloseChangeNotification(fileState.watch);
    fileState.watch = nullptr;
    const Utf8String path = settingsFilePath();
    if (!path || !cutAtFolder(path.get())) return;
    fileState.watch = FindFirstChangeNotificationUtf8(
        path.get(), false,
        FILE_NOTIFY_CHANGE_FILE_NAME | FILE_NOTIFY_CHANGE_LAST_WRITE | FILE_NOTIFY_CHANGE_SIZE);
}

}  // namespace

void watchSettingsFile(SettingsApplied applied) {
    fileState.applied = applied;
    watchFolderInUse();
    // Held by another program at start: read as soon as it is let go. Changed since it was read
    // (while the shell took the tray icon, say): read again, as nothing signals that change.
    if (fileState.known.state == Fingerprint::Unknown || !(lookAtFileInForce() == fileState.look))
        onSettingsFolderChanged();
}

const char* unsavedSettingsFolder() { return fileState.unwritable; }

void stopWatchingSettingsFile() {
    if (fileState.watch) platform::FindCloseChangeNotification(fileState.watch);
    fileState.watch = nullptr;
    fileState.applied = nullptr;
    platform::KillTimer(platform::mainWindow, kSettingsQuietTimer);
}

platform::ChangeHandle settingsChangeHandle() { return fileState.watch; }

void onSettingsFolderChanged() {
    // A folder renamed or deleted fails here: its last change is still looked at, then nothing
    // more is watched.
    if (fileState.watch && !platform::FindNextChangeNotification(fileState.watch)) {
        platform::FindCloseChangeNotification(fileState.watch);
        fileState.watch = nullptr;
    }
    fileState.readRetriesLeft = kSaveRetries;
    platform::SetTimer(platform::mainWindow, kSettingsQuietTimer, kSettingsQuietPeriod, nullptr);
}

platform::LResult onSettingsQuietTimer() {
    platform::KillTimer(platform::mainWindow, kSettingsQuietTimer);
    // Another file of the folder changed: one look at this one's size and time is all it costs.
    const FileLook look = lookAtFileInForce();
    if (look.taken && look == fileState.look) return 0;
    Settings record;
    Fingerprint seen;
    switch (readFileInForce(record, freshLines, seen)) {
    case Read::Busy:  // its writer still has it: the settings in force stay meanwhile
        if (--fileState.readRetriesLeft > 0)
            platform::SetTimer(platform::mainWindow, kSettingsQuietTimer, kSaveRetryInterval,
                               nullptr);
        return 0;
    case Read::Unreadable: break;
    case Read::Done:
        if (!(seen == fileState.known)) takeIn(record, freshLines, seen);
        break;
    }
    fileState.look = look;
    return 0;
}

void resetSettingsFileState() {
    std::free(fileState.unwritable);
    fileState = FileState{};
    keptPerUser = false;
}
