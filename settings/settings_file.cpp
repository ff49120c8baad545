// The file in force: what Tabrin last read or wrote, the start's read, a save with the menu's
// change on top of what the file holds now, its retries, the folder's watch and its quiet period,
// and Exit with a save still waiting. The only part of the settings file that keeps state.
#include <cstdint>

#include "platform/desktop.h"
#include "platform/session.h"
#include "settings/settings.h"
#include "settings/settings_disk.h"

namespace {

// The file is kept in the user's Roaming AppData instead: Tabrin's folder refused a new file
// (Program Files), or only that copy was there at start.
bool keptPerUser = false;

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
    bool refused = false;  // the last save found no place that takes the file
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

Save writeBytes(const char* bytes, std::uint32_t count) {
    const platform::Utf8String path = settingsFilePath();
    return path ? writeWhole(path.get(), bytes, count) : Save::Failed;
}

void watchFolderInUse();

// %APPDATA%\Tabrin, made if need be, becomes the file's place; false where there is none.
bool keepPerUser() {
    if (!makePerUserFolder()) return false;
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
    fileState.refused = saved == Save::Refused;
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

platform::Utf8String unsavedSettingsFolder() {
    platform::Utf8String folder = fileState.refused ? settingsFilePath() : nullptr;
    if (folder && !cutAtFolder(folder.get())) folder.reset();
    return folder;
}

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
    fileState = FileState{};
    keptPerUser = false;
}
