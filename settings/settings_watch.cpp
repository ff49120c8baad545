// Edits of tabrin.ini while Tabrin runs: the folder of the file in force is watched, and once its
// changes have been quiet for a moment the file is looked at, and read if it changed.
#include "platform/desktop.h"
#include "platform/session.h"
#include "settings/file_in_force.h"
#include "settings/settings.h"

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

void watchSettingsFile(SettingsApplied applied) {
    fileState.applied = applied;
    watchFolderInUse();
    // Held by another program at start: read as soon as it is let go. Changed since it was read
    // (while the shell took the tray icon, say): read again, as nothing signals that change.
    if (!unchangedSinceRead(lookAtFileInForce())) onSettingsFolderChanged();
}

void dropSettingsWatch() {
    if (fileState.watch) platform::FindCloseChangeNotification(fileState.watch);
    fileState.watch = nullptr;
}

void stopWatchingSettingsFile() {
    dropSettingsWatch();
    fileState.applied = nullptr;
    fileState.quietTimerSet = false;
    platform::KillTimer(platform::mainWindow, kSettingsQuietTimer);
}

platform::ChangeHandle settingsChangeHandle() { return fileState.watch; }

void onSettingsFolderChanged() {
    using namespace platform;
    // A folder renamed or deleted fails here: its last change is still looked at, then nothing
    // more is watched.
    if (fileState.watch && !FindNextChangeNotification(fileState.watch)) dropSettingsWatch();
    const std::uint32_t now = GetTickCount();
    if (!fileState.quietTimerSet) {
        fileState.quietTimerSet = true;
        fileState.burstStart = now;
    }
    // A folder written to without pause (a log beside tabrin.exe) would put the look off for
    // ever: past a moment, the timer already set is left to fire.
    if (now - fileState.burstStart + kSettingsQuietPeriod > kSettingsLongestQuiet) return;
    fileState.readRetriesLeft = kSaveRetries;
    SetTimer(mainWindow, kSettingsQuietTimer, kSettingsQuietPeriod, nullptr);
}

platform::LResult onSettingsQuietTimer() {
    using namespace platform;
    KillTimer(mainWindow, kSettingsQuietTimer);
    fileState.quietTimerSet = false;
    // Another file of the folder changed: one look at this one's size and time is all it costs.
    const FileLook look = lookAtFileInForce();
    if (unchangedSinceRead(look)) return 0;
    Settings record;
    Fingerprint seen;
    switch (readFileInForce(record, freshLines, seen)) {
    case Read::Busy:
        // Its writer still has it: the settings in force stay meanwhile. Held since the start,
        // it is waited for as long as it takes; otherwise ten seconds, after which the next
        // change in the folder reads it.
        if (fileState.known.state == Fingerprint::Unknown || --fileState.readRetriesLeft > 0)
            SetTimer(mainWindow, kSettingsQuietTimer, kSaveRetryInterval, nullptr);
        else
            fileState.look = FileLook{};
        return 0;
    case Read::Unreadable: break;
    case Read::Done:
        if (!(seen == fileState.known)) takeIn(record, freshLines, seen);
        break;
    }
    fileState.look = look;
    // Changes a busy file made wait past their retries are tried again now that it changed.
    if (fileState.waiting && fileState.lastSave == Save::Busy && fileState.saveRetriesLeft == 0)
        saveSettings();
    return 0;
}
