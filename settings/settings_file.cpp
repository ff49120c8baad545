// The file in force: which copy a start reads, what Tabrin last read or wrote, a save with the
// menu's waiting changes on top of what the file holds now, its retries, and Exit with a save
// still waiting. The only part of the settings file that keeps state; the folder's watch is in
// settings_watch.cpp.
#include "settings/file_in_force.h"

#include <cstdint>

#include "platform/desktop.h"
#include "platform/session.h"
#include "settings/settings.h"
#include "settings/settings_disk.h"

FileState fileState;
KeyLines freshLines;

namespace {

// The file is kept in the user's Roaming AppData instead: Tabrin's folder refused a new file
// (Program Files), or only that copy was there at start.
bool keptPerUser = false;

// 64-bit FNV-1a: enough to tell an edit from the bytes Tabrin last read or wrote.
struct Digest {
    std::uint64_t value = 14695981039346656037ull;
    void add(const char* bytes, std::size_t count) {
        for (std::size_t i = 0; i < count; ++i)
            value = (value ^ static_cast<unsigned char>(bytes[i])) * 1099511628211ull;
    }
};

// FAT keeps write times to 2 s: an edit of the same size within them would look unchanged.
constexpr std::uint64_t kTrustedAge = 2 * 10000000ull;  // FILETIME units

platform::Utf8String filePathIn(bool perUser) {
    if (perUser) return perUserFilePath();
    const platform::Utf8String executable = platform::GetModuleFileNameUtf8(platform::instance);
    return executable ? settingsPathFor(executable.get()) : nullptr;
}

}  // namespace

platform::Utf8String settingsFilePath() { return filePathIn(keptPerUser); }

bool operator==(const Fingerprint& a, const Fingerprint& b) {
    return a.state != Fingerprint::Unknown && a.state == b.state && a.size == b.size &&
           a.hash == b.hash;
}

bool operator==(const FileLook& a, const FileLook& b) {
    return a.taken == b.taken && a.temporary == b.temporary &&
           a.information.attributes == b.information.attributes &&
           a.information.size == b.information.size &&
           a.information.lastWriteTime == b.information.lastWriteTime;
}

FileLook lookAtFileInForce() {
    using namespace platform;
    FileLook look;
    const Utf8String path = settingsFilePath();
    if (!path) return look;
    look.taken = GetFileAttributesExUtf8(path.get(), &look.information);
    if (!look.taken && GetFileAttributesUtf8(path.get()) == INVALID_FILE_ATTRIBUTES) {
        const Utf8String temporary = temporaryPathFor(path.get());
        look.temporary = true;
        look.taken = temporary && (GetFileAttributesExUtf8(temporary.get(), &look.information) ||
                                   GetFileAttributesUtf8(temporary.get()) == INVALID_FILE_ATTRIBUTES);
    }
    // Written so lately that a second write could still carry the same time: not to be trusted.
    if (look.taken && look.information.lastWriteTime + kTrustedAge > GetSystemTimeAsFileTime())
        look.taken = false;
    return look;
}

bool unchangedSinceRead(const FileLook& look) {
    // Until a first read succeeds there is nothing to compare with.
    return fileState.known.state != Fingerprint::Unknown && look.taken && look == fileState.look;
}

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

void takeIn(Settings& record, const KeyLines& lines, const Fingerprint& seen) {
    for (int i = 0; i < kSettingCount; ++i)
        if (fileState.waiting & 1u << i)
            record.*kSettingRows[i].field = settings.*kSettingRows[i].field;
    settings = record;
    keyLines = lines;
    fileState.known = seen;
    if (fileState.applied) fileState.applied();
}

namespace {

// A probe a scanner held open when it was to be deleted: it goes now, if it can.
void deleteLeftProbe() {
    if (!fileState.probeLeft) return;
    const platform::Utf8String path = filePathIn(fileState.probePerUser);
    const platform::Utf8String probe = path ? probePathFor(path.get()) : nullptr;
    const std::uint32_t error = probe ? platform::DeleteFileUtf8(probe.get()) : 0;
    fileState.probeLeft = error != platform::ERROR_SUCCESS && error != platform::ERROR_FILE_NOT_FOUND;
}

void noteProbeLeft(bool left) {
    if (!left) return;
    fileState.probeLeft = true;
    fileState.probePerUser = keptPerUser;
}

// %APPDATA%\Tabrin, made if need be, becomes the file's place; false where there is none. A copy
// already there is taken in by the save that follows, never written over; none is no edit.
bool keepPerUser() {
    if (!makePerUserFolder()) return false;
    keptPerUser = true;
    fileState.known = Fingerprint{Fingerprint::Missing};
    fileState.look = FileLook{};
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
    if (keptPerUser) makePerUserFolder();  // deleted while Tabrin runs: made again
    const platform::Utf8String path = settingsFilePath();
    bool probeLeft = false;
    const Save saved = path ? writeWhole(path.get(), bytes, count, &probeLeft) : Save::Failed;
    noteProbeLeft(probeLeft);
    if (saved == Save::Done) {
        Digest digest;
        digest.add(bytes, count);
        fileState.known = Fingerprint{Fingerprint::Present, count, digest.value};
        fileState.look = FileLook{};  // our own change of the folder is read once, and matches
        keyLines.unusedCount = 0;     // the lines Help named are gone from the file
    }
    return saved;
}

void stopSaveRetries() {
    platform::KillTimer(platform::mainWindow, kSaveRetryTimer);
    fileState.saveRetriesLeft = 0;
}

}  // namespace

Save saveNow() {
    deleteLeftProbe();
    Settings record;
    Fingerprint seen;
    const Read read = readFileInForce(record, freshLines, seen);
    // An edit made since Tabrin last read or wrote the file is taken in first: a save never
    // writes over what the user wrote. A folder in the file's place fails the write on its own.
    if (read == Read::Done && !(seen == fileState.known)) takeIn(record, freshLines, seen);
    const Save saved = read == Read::Busy ? Save::Busy : writeSettingsFile();
    // Tabrin's folder takes no new file: the file lives in the user's AppData from now on.
    if (saved == Save::Refused && !keptPerUser && keepPerUser()) return saveNow();
    fileState.lastSave = saved;
    if (saved == Save::Done) fileState.waiting = 0;
    return saved;
}

void loadSettings() {
    // Beside the executable when a copy is there, unless that folder refuses new files and the
    // user has a copy too (a configured folder copied into Program Files): Tabrin's saves have
    // gone to the user's since. With none beside, the user's, when one is there.
    keptPerUser = false;
    if (anyCopyAt(perUserFilePath())) {
        const platform::Utf8String beside = settingsFilePath();
        bool probeLeft = false;
        keptPerUser = !anyCopyAt(beside) ||
                      probeFolderOf(beside.get(), &probeLeft) == Save::Refused;
        if (probeLeft) {
            fileState.probeLeft = true;
            fileState.probePerUser = false;
        }
    }
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
    for (int i = 0; i < kSettingCount; ++i)
        if (kSettingRows[i].field == field) fileState.waiting |= 1u << i;
    saveSettings();
}

// Never waits for the file: a busy one is tried again from the timer while the program goes on.
void saveSettings() {
    if (saveNow() == Save::Busy) {
        fileState.saveRetriesLeft = kSaveRetries;
        platform::SetTimer(platform::mainWindow, kSaveRetryTimer, kSaveRetryInterval, nullptr);
    } else {
        stopSaveRetries();
    }
}

platform::LResult onSaveTimer() {
    // Given up after ten seconds, the changes stay waiting for the next change, edit or Exit.
    if (saveNow() != Save::Busy || --fileState.saveRetriesLeft <= 0) stopSaveRetries();
    return 0;
}

void finishWaitingSave() {
    deleteLeftProbe();
    Save saved = fileState.waiting ? saveNow() : Save::Done;
    for (int tries = 0; saved == Save::Busy && tries < kExitSaveTries; ++tries) {
        platform::Sleep(kSaveRetryInterval);
        saved = saveNow();
    }
    stopSaveRetries();
}

SaveTrouble settingsSaveTrouble(platform::Utf8String* path) {
    SaveTrouble trouble = SaveTrouble::None;
    switch (fileState.lastSave) {
    case Save::Done: return trouble;
    case Save::Busy: trouble = SaveTrouble::InUse; break;
    case Save::Failed: trouble = SaveTrouble::Failed; break;
    case Save::Refused: trouble = SaveTrouble::FolderRefused; break;
    }
    *path = settingsFilePath();
    if (*path && trouble == SaveTrouble::FolderRefused && !cutAtFolder(path->get())) path->reset();
    return *path ? trouble : SaveTrouble::None;
}

void resetSettingsFileState() {
    fileState = FileState{};
    keptPerUser = false;
}
