// The seven user settings, their defaults, the key lines, and the tabrin.ini they live in:
// settings.cpp the record, settings_text.cpp the file's text, settings_disk.cpp where it lives and
// how it is written whole, settings_file.cpp the file in force, settings_watch.cpp its watch.
#pragma once

#include <climits>
#include <cstddef>
#include <cstdio>

#include "platform/desktop.h"
#include "settings/actions.h"

// The longest line piece the reader takes at once; longer lines are read in several pieces.
constexpr std::size_t kSettingsLinePiece = 254;

// The opposite step; the file may hold INT_MIN, whose negation does not fit.
inline int oppositeStep(int step) { return step == INT_MIN ? INT_MAX : -step; }

struct Settings {
    int stepsize = 20;
    int confirmexit = 1;
    int invertarrows = 0;
    int persistentmenu = 0;
    int ignoreunnamed = 1;
    int enablemousescroll = 1;
    int invertedmouse = 1;

    int arrowStep() const { return invertarrows ? oppositeStep(stepsize) : stepsize; }
    int mouseStep() const { return invertedmouse ? oppositeStep(stepsize) : stepsize; }
};

extern Settings settings;

// The key lines as the file last held them, by action: written back as they stood, whether or
// not they name a combination. Apart from Settings, whose defaults are not zero: all zero at
// start, this takes no room in the executable.
struct KeyLine {
    bool present;
    char value[kSettingsLinePiece];  // after the '=', without the line end
};
// A line that does nothing although its name looks meant for Tabrin: a setting's in other
// capitals or with blanks ("StepSize", "stepsize "), or one ending in "key" that no action has.
// Help names it; the file's next read replaces these with its own.
struct UnusedLine {
    int setting;                           // into kSettingRows; -1: no action's key line
    char written[kSettingsLinePiece + 1];  // as read, without the blanks and line end after it
    char meant[kSettingsLinePiece + 1];    // the setting's value, or else the name, trimmed
};
// Help's box has room for the first few of a read; later ones go unnamed.
constexpr int kUnusedLinesKept = 8;
struct KeyLines {
    KeyLine line[kActionCount];
    UnusedLine unused[kUnusedLinesKept];
    int unusedCount;
};
extern KeyLines keyLines;

// The menu items that toggle the flags.
enum SettingCommand : unsigned {
    kCommandConfirmExit = 20,
    kCommandInvertArrows = 21,
    kCommandPersistentMenu = 23,
    kCommandIgnoreUnnamed = 24,
    kCommandMouseEnabled = 25,
    kCommandMouseInvert = 26,
};

// The seven settings, in the file's order.
struct SettingRow {
    const char* key;
    int Settings::*field;
    bool flag;         // 0 or 1; otherwise a number taken as it stands
    unsigned command;  // the menu item that toggles it; 0 for none
};
constexpr int kSettingCount = 7;
extern const SettingRow kSettingRows[kSettingCount];

// Changes from the menu: each is written to the file at once, on top of any edit the file has had
// since Tabrin last read or wrote it.
void setStepSize(int n);
void toggleSetting(int& flag);
// Both come here: the record's field takes the value, and every field changed since the last save
// that landed is put on top of what the file holds until one lands.
void changeSetting(int Settings::*field, int value);

// Full path of the tabrin.ini in use: beside the executable, or %APPDATA%\Tabrin\tabrin.ini
// where Tabrin's folder refuses new files; null if the path cannot be had.
platform::Utf8String settingsFilePath();
// What a start reads: tabrin.ini beside the executable, unless its folder refuses new files and
// the user's copy exists too; or else the user's; or the temporary file a save left in its
// place; or the defaults with no key lines when none is there. A file held by another program is
// read once it is let go (from the watch's timer).
void loadSettings();
void saveSettings();

// A save that finds the file held by another program for a moment (a virus scanner, an indexer,
// a sync client) is tried again from this timer of the main window, every 250 ms for at most
// 10 s; a newer change starts it afresh, and so do an edit of the file and Exit after that. The
// tray icon's retries use timer 1.
constexpr std::uintptr_t kSaveRetryTimer = 2;
constexpr unsigned kSaveRetryInterval = 250;  // ms
constexpr int kSaveRetries = 40;              // ten seconds
// WM_TIMER of kSaveRetryTimer.
platform::LResult onSaveTimer();
// At exit: changes not saved yet are tried once more, and for two seconds while the file is busy.
constexpr int kExitSaveTries = 8;
void finishWaitingSave();

// Why the last save did not land, for Help: the file in use, another failure, or no place that
// takes a new file; *path is what to name, the folder that refused or else the file.
enum class SaveTrouble { None, InUse, Failed, FolderRefused };
SaveTrouble settingsSaveTrouble(platform::Utf8String* path);

// Edits made while Tabrin runs: the folder holding the file is watched, and once changes have
// been quiet for a moment the file is read; whatever differs from what Tabrin last read or wrote
// replaces the settings and key lines in force, and `applied` puts them to work.
using SettingsApplied = void (*)();
void watchSettingsFile(SettingsApplied applied);
void stopWatchingSettingsFile();
// The wait on the handle failed: nothing more is watched, but an edit a save takes in still
// applies.
void dropSettingsWatch();
// For the message loop's wait; null while nothing is watched.
platform::ChangeHandle settingsChangeHandle();
// The handle was signalled: the quiet period starts again, until a second after the burst began.
void onSettingsFolderChanged();
constexpr std::uintptr_t kSettingsQuietTimer = 3;
constexpr unsigned kSettingsQuietPeriod = 150;  // ms: lets the writer finish
constexpr unsigned kSettingsLongestQuiet = 1000;  // ms: the latest look after a burst begins
// WM_TIMER of kSettingsQuietTimer; a file its writer still holds is read again every
// kSaveRetryInterval, kSaveRetries times at most, or until it is read when never read yet.
platform::LResult onSettingsQuietTimer();

// Back to what a new process starts with (for the tests): the record, and the file's retries
// and watch.
void resetSettingsState();
void resetSettingsFileState();

// ---- The file format, over text and streams, without touching the disk's location ----

// Applies one piece as read from the file (trailing newline allowed); other text is ignored.
void applySettingsLine(Settings& record, KeyLines& lines, char* line);
// Reads a whole stream until its end or a read error: 8-bit text, after a UTF-8 byte-order mark
// if there is one, or UTF-16 after its mark (Notepad's "Unicode").
void readSettings(Settings& record, KeyLines& lines, std::FILE* file);
// Writes the seven lines and the key lines into buffer; returns the whole text's length, even
// when cut short.
std::size_t formatSettings(const Settings& record, const KeyLines& lines, char* buffer,
                           std::size_t capacity);
// Path of tabrin.ini for a given executable path.
platform::Utf8String settingsPathFor(const char* executablePath);
