// What settings_file.cpp and settings_watch.cpp share of the file in force: what Tabrin last read
// or wrote, the changes waiting to be saved, and the read and save they both use.
#pragma once

#include <cstdint>

#include "platform/desktop.h"
#include "settings/settings.h"
#include "settings/settings_disk.h"

// What the file in force held when Tabrin last read or wrote it; never the bytes themselves,
// which may be many.
struct Fingerprint {
    enum State : unsigned char { Unknown, Missing, Present } state = Unknown;
    std::uint64_t size = 0;
    std::uint64_t hash = 0;
};
// Unknown (a file that could not be read) matches nothing, not even itself.
bool operator==(const Fingerprint& a, const Fingerprint& b);

// The file in force by its size and time alone, taken without opening it.
struct FileLook {
    bool taken = false;      // false: no look to trust, the file must be read
    bool temporary = false;  // tabrin.ini.tmp, tabrin.ini being missing
    platform::FileInformation information = {};
};
bool operator==(const FileLook& a, const FileLook& b);

struct FileState {
    Fingerprint known;
    FileLook look;  // at the last read, for the cheap look after a change in the folder
    // The settings changed from the menu since the last save that landed, by their bit in
    // kSettingRows' order: they go on top of whatever the file holds until one lands.
    unsigned waiting = 0;
    Save lastSave = Save::Done;  // for Help
    int saveRetriesLeft = 0;
    int readRetriesLeft = 0;
    bool quietTimerSet = false;  // a burst of changes in the folder began at burstStart
    std::uint32_t burstStart = 0;
    bool probeLeft = false;  // a probe file could not be deleted, in the user's folder or beside
    bool probePerUser = false;
    platform::ChangeHandle watch = nullptr;
    SettingsApplied applied = nullptr;
};
extern FileState fileState;

// The key lines of a read not yet taken in: too many bytes for the stack of a message handler.
extern KeyLines freshLines;

FileLook lookAtFileInForce();
// The look matches the one taken at the last read, and both can be trusted.
bool unchangedSinceRead(const FileLook& look);
// What a start would read now, from the defaults up: tabrin.ini; when it is missing, the
// temporary file a save could not put in its place; when both are, nothing.
Read readFileInForce(Settings& record, KeyLines& lines, Fingerprint& seen);
// The settings in force become what was read, with the menu's waiting changes on top.
void takeIn(Settings& record, const KeyLines& lines, const Fingerprint& seen);
// Reads the file in force, takes in an edit, and writes the result.
Save saveNow();
// The watch goes to the folder of the file in force.
void watchFolderInUse();
