// tabrin.ini: the reading rules, key-line values, hostile bytes and the written form; where it
// lives, how a save replaces it whole, busy and refusing places; a menu change on top of an
// edit, edits applied while Tabrin runs, and Exit with a save waiting.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <random>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

#include "app/shell.h"
#include "control/hotkeys.h"
#include "tray/menus.h"
#include "tray/tray_icon.h"
#include "platform/desktop.h"
#include "platform/session.h"
#include "settings/settings.h"
#include "settings/settings_disk.h"
#include "simulated_desktop.h"
#include "test_support.h"

using namespace platform;

namespace {

Settings readText(const std::string& text) {
    Settings record;
    KeyLines lines = {};
    std::FILE* file = fmemopen(const_cast<char*>(text.data()), text.size(), "r");
    if (text.empty()) file = std::fopen("/dev/null", "r");
    readSettings(record, lines, file);
    std::fclose(file);
    return record;
}

std::string format(const Settings& record) {
    char text[512];
    formatSettings(record, KeyLines{}, text, sizeof text);
    return text;
}

bool flagsAreBits(const Settings& s) {
    for (int flag : {s.confirmexit, s.invertarrows, s.persistentmenu, s.ignoreunnamed,
                     s.enablemousescroll, s.invertedmouse})
        if (flag != 0 && flag != 1) return false;
    return true;
}

// Notepad's "Unicode": FF FE, then each character in two bytes, low first.
std::string utf16(const std::u16string& text) {
    std::string bytes = "\xFF\xFE";
    for (char16_t c : text) bytes += {static_cast<char>(c & 0xFF), static_cast<char>(c >> 8)};
    return bytes;
}

const char kDefaultFile[] =
    "stepsize=20\nconfirmexit=1\ninvertarrows=0\npersistentmenu=0\n"
    "ignoreunnamed=1\nenablemousescroll=1\ninvertedmouse=1\n";

std::string pathFor(const std::string& executable) {
    return settingsPathFor(executable.c_str()).get();
}

const char kDefaultDiskFile[] =
    "stepsize=20\r\nconfirmexit=1\r\ninvertarrows=0\r\npersistentmenu=0\r\n"
    "ignoreunnamed=1\r\nenablemousescroll=1\r\ninvertedmouse=1\r\n";

std::string withStep(int step) {
    std::string text = kDefaultDiskFile;
    return text.replace(9, 2, std::to_string(step));
}

// What the folder beside tabrin.exe holds of tabrin.ini and the temporary files of saves.
std::vector<std::string> namesIn(const TempFolder& folder) {
    std::vector<std::string> names;
    DIR* listing = opendir(folder.path().c_str());
    while (const dirent* entry = readdir(listing)) {
        const std::string name = entry->d_name;
        if (name == "tabrin.ini" || (name.size() > 4 && name.substr(name.size() - 4) == ".tmp"))
            names.push_back(name);
    }
    closedir(listing);
    std::sort(names.begin(), names.end());
    return names;
}

}  // namespace

TEST(SettingsReading, FollowsTheLineRules) {
    struct Case {
        const char* name;
        std::string text;
        int stepsize = 20;  // what the record holds afterwards: the defaults unless given
        int invertarrows = 0;
        int confirmexit = 1;
    };
    const Case cases[] = {
        {"empty file keeps defaults", ""},
        {"some keys leave the rest", "invertarrows=1\n", 20, 1},
        {"odd step", "stepsize=7\n", 7},
        {"negative step", "stepsize=-5\n", -5},
        {"blanks around the key are another key", "stepsize = 5\n"},
        {"keys are case-sensitive", "StepSize=5\n"},
        {"number ends at the first other character", "stepsize=5 px\n", 5},
        {"leading blanks and a sign", "stepsize=  +12\n", 12},
        {"flag from any non-zero", "invertarrows=2\nconfirmexit=-1\n", 20, 1, 1},
        {"flag without digits is 0", "invertarrows=abc\nconfirmexit=\n", 20, 0, 0},
        {"later line wins", "stepsize=3\nstepsize=40\n", 40},
        {"last line without newline", "confirmexit=0\nstepsize=9", 9, 0, 0},
        {"junk lines skipped", "\n\nno equals here\nbogus=4\n=5\nstepsize=30\n", 30},
        {"CR LF line ends", "stepsize=11\r\ninvertarrows=1\r\n", 11, 1},
        {"Ctrl+Z is just a byte", "stepsize=4\n\x1a\ninvertarrows=1\n", 4, 1},
        {"first '=' splits", "stepsize==5\nstepsize=6=7\n", 6},
        {"out of range saturates", "stepsize=99999999999\n", 2147483647},
        {"below range saturates", "stepsize=-99999999999\n", -2147483647 - 1},
        {"NUL ends the line's text",
         std::string("stepsize=8\0garbage\ninvertarrows=1\n", 33), 8, 1},
        {"a UTF-8 mark is skipped", "\xEF\xBB\xBFstepsize=8\n", 8},
        {"UTF-16 from Notepad", utf16(u"stepsize=9\r\ninvertarrows=1\r\nconfirmexit=0"), 9, 1, 0},
        {"a character beyond 8 bits spoils its line only",
         utf16(u"invertarrows=1\u263A\r\nstepsize=6\r\n"), 6},
        {"UTF-16 of odd length", utf16(u"stepsize=5") + "\n", 5},
        {"only a mark", "\xFF\xFE"},
        {"a key starting the second piece of 254", std::string(254, 'x') + "stepsize=9\n", 9},
        {"a key glued to the first piece", std::string(253, 'x') + "stepsize=9\n"},
        {"a 100 KiB line, then a setting", std::string(100 * 1024, 'a') + "\ninvertarrows=1\n",
         20, 1},
    };
    for (const Case& c : cases) {
        const Settings s = readText(c.text);
        EXPECT_EQ(s.stepsize, c.stepsize) << c.name;
        EXPECT_EQ(s.invertarrows, c.invertarrows) << c.name;
        EXPECT_EQ(s.confirmexit, c.confirmexit) << c.name;
        EXPECT_EQ(s.ignoreunnamed, 1) << c.name;
        EXPECT_EQ(s.invertedmouse, 1) << c.name;
    }
}

TEST(KeyLines, ValuesAreCombinationsOrRefused) {
    constexpr unsigned kWin = MOD_WIN, kCtrl = MOD_CONTROL, kAlt = MOD_ALT, kShift = MOD_SHIFT;
    constexpr KeyCombination kRefused = {99, 99};  // left as it was
    struct Case {
        std::string value;
        KeyCombination parsed;
    };
    const Case cases[] = {
        {"Win+Shift+X", {kWin | kShift, 'X'}},
        {" win + SHIFT + right \r", {kWin | kShift, VK_RIGHT}},
        {"\tcontrol+Alt+f9", {kCtrl | kAlt, VK_F1 + 8}},
        {"Shift+Alt+Ctrl+Win+F24", {kWin | kCtrl | kAlt | kShift, VK_F24}},
        {"Win+Alt+0", {kWin | kAlt, '0'}},
        {"Win+PageUp", {kWin, VK_PRIOR}},
        {"ctrl+pagedown", {kCtrl, VK_NEXT}},
        {"Win+Home", {kWin, VK_HOME}},
        {"Win+End", {kWin, VK_END}},
        {"Win+Insert", {kWin, VK_INSERT}},
        {"Alt+Delete", {kAlt, VK_DELETE}},
        {"Win+Ctrl+Alt+Space", {kWin | kCtrl | kAlt, VK_SPACE}},
        {"Win+F1", {kWin, VK_F1}},
        {"Ctrl+Alt+Shift+Left", {kCtrl | kAlt | kShift, VK_LEFT}},
        {"off", {0, 0}},
        {" OFF\r", {0, 0}},
        {"", {0, 0}},
        {"X", kRefused},  // a bare key would be taken from typing
        {"Shift+X", kRefused},
        {"Shift+F9", kRefused},  // Shift is no modifier of its own
        {"Ctrl+Alt+E", kRefused},  // AltGr+E types the euro sign
        {"Ctrl+Shift+7", kRefused},
        {"Alt+Space", kRefused},
        {"Win+A+B", kRefused},
        {"Win+Win+X", kRefused},
        {"Ctrl+Control+X", kRefused},
        {"Win+Ctrl", kRefused},
        {"Win+Upper", kRefused},  // a name is matched whole, never a word it starts
        {"Win+Spacebar", kRefused},
        {"Win+F1x", kRefused},
        {"offline", kRefused},
        {"Win+F25", kRefused},
        {"Win+F01", kRefused},
        {"Win+Esc", kRefused},
        {"+", kRefused},
        {"Win+", kRefused},
        {"++X", kRefused},
        {"Win+\xE9", kRefused},
        {"Win+X off", kRefused},
        {"Win+" + std::string(296, 'X'), kRefused},
    };
    for (const Case& c : cases) {
        KeyCombination combination = kRefused;
        EXPECT_EQ(parseKeyCombination(c.value.c_str(), &combination), c.parsed != kRefused)
            << c.value;
        EXPECT_EQ(combination.modifiers, c.parsed.modifiers) << c.value;
        EXPECT_EQ(combination.key, c.parsed.key) << c.value;
    }
}

TEST(SettingsReading, RandomBytesNeverBreakTheRecord) {
    std::mt19937 random(2024);
    for (int round = 0; round < 200; ++round) {
        std::string bytes(1 + random() % 4000, '\0');
        for (char& c : bytes) c = static_cast<char>(random());
        if (round % 2) bytes += "\nstepsize=33\n";  // a valid line after the noise still counts
        const Settings s = readText(bytes);
        EXPECT_TRUE(flagsAreBits(s)) << "round " << round;
        if (round % 2) {
            EXPECT_EQ(s.stepsize, 33) << "round " << round;
        }
    }
}

TEST(SettingsWriting, SevenLinesInFixedOrderWithFlagsAsBits) {
    EXPECT_EQ(format(Settings{}), kDefaultFile);

    Settings changed;
    changed.stepsize = -7;
    changed.confirmexit = 5;  // any non-zero flag is written as 1
    changed.invertarrows = 1;
    changed.enablemousescroll = 0;
    EXPECT_EQ(format(changed),
              "stepsize=-7\nconfirmexit=1\ninvertarrows=1\npersistentmenu=0\n"
              "ignoreunnamed=1\nenablemousescroll=0\ninvertedmouse=1\n");

    changed.confirmexit = 1;
    const Settings back = readText(format(changed));
    EXPECT_EQ(format(back), format(changed));

    changed.stepsize = -2147483647 - 1;
    EXPECT_EQ(format(changed).substr(0, 21), "stepsize=-2147483648\n");
    char small[16];
    EXPECT_EQ(formatSettings(changed, KeyLines{}, small, sizeof small), format(changed).size());
    EXPECT_STREQ(small, "stepsize=-21474");  // cut short, still terminated
}

TEST(SettingsLocation, BesideTheExecutableWhateverItsLength) {
    EXPECT_EQ(pathFor("C:\\Program Files\\Tabrin\\tabrin.exe"),
              "C:\\Program Files\\Tabrin\\tabrin.ini");
    EXPECT_EQ(pathFor("/opt/tabrin/bin/tabrin.exe"), "/opt/tabrin/bin/tabrin.ini");
    EXPECT_EQ(pathFor("tabrin.exe"), "tabrin.exe\\tabrin.ini");
    EXPECT_EQ(pathFor("\\tabrin.exe"), "\\tabrin.exe\\tabrin.ini");  // first character not a cut

    // A drive's root is "E:\\"; "E:" would be the current folder on E.
    std::string root = "E:\\tabrin.ini";
    ASSERT_TRUE(cutAtFolder(&root[0]));
    EXPECT_STREQ(root.c_str(), "E:\\");

    std::string deep = "C:";
    while (deep.size() < 600) deep += "\\a folder with a long name";
    EXPECT_EQ(pathFor(deep + "\\tabrin.exe"), deep + "\\tabrin.ini");
}

TEST(SettingsFile, LoadsWhatIsThereNeverCreatesItAndSkipsWhatCannotBeRead) {
    DeskWithFolder desk;

    loadSettings();
    EXPECT_FALSE(desk.folder.exists("tabrin.ini"));
    saveSettings();
    EXPECT_EQ(desk.folder.read("tabrin.ini"), kDefaultDiskFile);

    desk.folder.write("tabrin.ini", "stepsize=7\r\ninvertedmouse=0\r\n");
    loadSettings();
    EXPECT_EQ(settings.stepsize, 7);
    EXPECT_EQ(settings.invertedmouse, 0);

    // A folder where the file should be: the values in force stay, and writing fails.
    std::remove(desk.folder.file("tabrin.ini").c_str());
    ASSERT_EQ(std::system(("mkdir '" + desk.folder.file("tabrin.ini") + "'").c_str()), 0);
    loadSettings();
    EXPECT_EQ(settings.stepsize, 7);
    setStepSize(5);
    EXPECT_EQ(settings.stepsize, 5);
    EXPECT_EQ(GetFileAttributesUtf8(desk.folder.file("tabrin.ini").c_str()),
              FILE_ATTRIBUTE_DIRECTORY);
    EXPECT_FALSE(desk.folder.exists("tabrin.ini.tmp"));

    desk.modulePath.clear();  // no path at all
    loadSettings();
    saveSettings();
    EXPECT_EQ(settings.stepsize, 5);
}

TEST(SettingsFile, EachChangeRewritesTheWholeFile) {
    DeskWithFolder desk;
    desk.folder.write("tabrin.ini", "# my notes\nstepsize=3\nunknown=1\n");
    loadSettings();

    setStepSize(50);
    EXPECT_EQ(desk.folder.read("tabrin.ini"),
              "stepsize=50\r\nconfirmexit=1\r\ninvertarrows=0\r\npersistentmenu=0\r\n"
              "ignoreunnamed=1\r\nenablemousescroll=1\r\ninvertedmouse=1\r\n");

    toggleSetting(settings.persistentmenu);
    toggleSetting(settings.ignoreunnamed);
    EXPECT_EQ(desk.folder.read("tabrin.ini"),
              "stepsize=50\r\nconfirmexit=1\r\ninvertarrows=0\r\npersistentmenu=1\r\n"
              "ignoreunnamed=0\r\nenablemousescroll=1\r\ninvertedmouse=1\r\n");

    // Key lines stay as the user wrote them, the last of each, valid or not, in the table's
    // order; the key in the table's spelling and the value without blanks around it.
    desk.folder.write("tabrin.ini", "widerkey=Ctrl+Alt+F9\r\ncenterkey=Win+Tee\r\nnotes=1\r\n"
                                    "centerkey= win + c \r\n\tTaskbarKey = Win+Shift+X\t\r\n"
                                    "Stepsize=9\r\nmoveupkey\t=\r\nwider key=Win+W\r\n");
    loadSettings();
    setStepSize(50);
    EXPECT_EQ(desk.folder.read("tabrin.ini"),
              "stepsize=50\r\nconfirmexit=1\r\ninvertarrows=0\r\npersistentmenu=0\r\n"
              "ignoreunnamed=1\r\nenablemousescroll=1\r\ninvertedmouse=1\r\n"
              "centerkey=win + c\r\ntaskbarkey=Win+Shift+X\r\nwiderkey=Ctrl+Alt+F9\r\n"
              "moveupkey=\r\n");

    // Ten key lines of the longest piece, 254 characters with their line end, survive whole.
    std::string longest;
    for (const Action& action : kActions)
        longest += action.key + ("=" + std::string(251 - std::strlen(action.key), 'x')) + "\r\n";
    desk.folder.write("tabrin.ini", longest);
    loadSettings();
    setStepSize(50);
    EXPECT_EQ(desk.folder.read("tabrin.ini"), withStep(50) + longest);
}


TEST(SettingsFile, ReplacedWholeKeepingItsHiddenAndSystemMarks) {
    DeskWithFolder desk;
    const std::string ini = desk.folder.file("tabrin.ini");

    // No file yet: the new one appears whole, without marks.
    setStepSize(5);
    EXPECT_EQ(desk.folder.read("tabrin.ini"), withStep(5));
    EXPECT_EQ(GetFileAttributesUtf8(ini.c_str()), FILE_ATTRIBUTE_ARCHIVE);

    for (std::uint32_t marks : {FILE_ATTRIBUTE_HIDDEN, FILE_ATTRIBUTE_SYSTEM,
                                FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM}) {
        desk.fileMarks[ini] = marks;
        for (int step : {10, 30}) setStepSize(step);
        EXPECT_EQ(desk.folder.read("tabrin.ini"), withStep(30)) << marks;
        EXPECT_EQ(GetFileAttributesUtf8(ini.c_str()), FILE_ATTRIBUTE_ARCHIVE | marks) << marks;
        EXPECT_EQ(namesIn(desk.folder), std::vector<std::string>{"tabrin.ini"}) << marks;
    }

    // A power cut right after a save finds the bytes on disk.
    setStepSize(40);
    desk.powerCut();
    EXPECT_EQ(desk.folder.read("tabrin.ini"), withStep(40));
}

TEST(SettingsFile, AFailedSaveLeavesTheOldFileWholeAndNoTemporaryFile) {
    struct Case {
        const char* name;
        void (*arrange)(DeskWithFolder& desk);
        std::string fileAfter;  // tabrin.ini after choosing 5 px; "<missing>" for none
    };
    const Case cases[] = {
        {"read-only file",
         [](DeskWithFolder& desk) {
             desk.fileMarks[desk.folder.file("tabrin.ini")] = FILE_ATTRIBUTE_READONLY;
         },
         withStep(7)},
        {"folder refusing new files",
         [](DeskWithFolder& desk) { desk.refusals[desk.folder.path()] = ERROR_ACCESS_DENIED; },
         withStep(7)},
        {"full disk", [](DeskWithFolder& desk) { desk.faults.diskFull = true; }, withStep(7)},
        {"full disk and no file yet",
         [](DeskWithFolder& desk) {
             desk.faults.diskFull = true;
             std::remove(desk.folder.file("tabrin.ini").c_str());
         },
         "<missing>"},
        {"a temporary file left by a crash is replaced",
         [](DeskWithFolder& desk) { desk.folder.write("tabrin.ini.tmp", "stepsize=9\r\n"); },
         withStep(5)},
        {"a leftover temporary file and a full disk",
         [](DeskWithFolder& desk) {
             desk.folder.write("tabrin.ini.tmp", "stepsize=9\r\n");
             desk.faults.diskFull = true;
         },
         withStep(7)},
        {"ReplaceFile removed the old file and could not rename: the new one is moved in",
         [](DeskWithFolder& desk) {
             desk.faults.heldError = ERROR_UNABLE_TO_MOVE_REPLACEMENT;
             desk.faults.heldCalls = 1;
         },
         withStep(5)},
    };
    for (const Case& c : cases) {
        DeskWithFolder desk;
        desk.folder.write("tabrin.ini", withStep(7));
        c.arrange(desk);
        setStepSize(5);
        EXPECT_EQ(desk.folder.read("tabrin.ini"), c.fileAfter) << c.name;
        EXPECT_FALSE(desk.folder.exists("tabrin.ini.tmp")) << c.name;
        EXPECT_TRUE(desk.openFiles.empty()) << c.name;
        EXPECT_EQ(settings.stepsize, 5) << c.name;  // the choice holds for the run
    }
}

namespace {

// Tabrin's hidden window, whose timers retry a save, with tabrin.ini holding a step of 7.
struct HeldFileDesk : DeskWithFolder {
    HeldFileDesk(std::uint32_t error, int calls) {
        folder.write("tabrin.ini", withStep(7));
        mainWindow = addWindow("TabrIN", {0, 0, 0, 0}, false, "TabrINWndClass");
        windows[mainWindow].proc = mainWindowProc;
        faults.heldError = error;
        faults.heldCalls = calls;
    }
};

}  // namespace

TEST(SettingsFile, ASaveOutlastsAFileHeldForAMomentAndNeverLosesTheOnlyWholeCopy) {
    const std::string missing = "<missing>";
    struct Case {
        std::uint32_t error;  // what ReplaceFile fails with while the file is held
        int calls;            // how many calls the hold lasts; -1: for good
        std::string fileAfterOneSecond, fileAfterTenSeconds, temporaryAfterTenSeconds;
    };
    const Case cases[] = {
        {ERROR_SHARING_VIOLATION, 1, withStep(5), withStep(5), missing},
        {ERROR_ACCESS_DENIED, 3, withStep(5), withStep(5), missing},
        {ERROR_UNABLE_TO_REMOVE_REPLACED, -1, withStep(7), withStep(7), missing},
        {ERROR_UNABLE_TO_MOVE_REPLACEMENT, 3, withStep(5), withStep(5), missing},
        {ERROR_UNABLE_TO_MOVE_REPLACEMENT_2, -1, missing, missing, withStep(5)},
    };
    for (const Case& c : cases) {
        HeldFileDesk desk(c.error, c.calls);
        setStepSize(5);
        desk.passTime(1000);
        EXPECT_EQ(desk.folder.read("tabrin.ini"), c.fileAfterOneSecond) << c.error;
        desk.passTime(9000);
        EXPECT_EQ(desk.folder.read("tabrin.ini"), c.fileAfterTenSeconds) << c.error;
        EXPECT_EQ(desk.folder.read("tabrin.ini.tmp"), c.temporaryAfterTenSeconds) << c.error;
        EXPECT_TRUE(desk.timers.empty()) << c.error;  // given up after ten seconds at most

        settings = Settings{};  // the next start finds the newest whole copy
        loadSettings();
        EXPECT_EQ(settings.stepsize, c.fileAfterTenSeconds == withStep(7) ? 7 : 5) << c.error;
        desk.faults.heldCalls = 0;  // and once the file is free, the next save tidies up
        saveSettings();
        EXPECT_EQ(namesIn(desk.folder), std::vector<std::string>{"tabrin.ini"}) << c.error;
    }
}

TEST(SettingsFile, WhileTheFileIsHeldEveryChangeWaitsWithOneTimerUntilASaveLands) {
    HeldFileDesk desk(ERROR_SHARING_VIOLATION, -1);
    toggleSetting(settings.invertarrows);
    for (int step = 1; step <= 50; ++step) {
        setStepSize(step);
        desk.passTime(100);
    }
    EXPECT_EQ(desk.timers.size(), 1u);
    desk.passTime(10000);  // given up: Help says why, and the changes wait
    EXPECT_TRUE(desk.timers.empty());
    runMenuCommand(kCommandHelp);
    const std::string inUse = desk.folder.file("tabrin.ini") + " is in use\n";
    EXPECT_EQ(desk.records.boxes.back().text.substr(desk.records.boxes.back().text.size() - inUse.size()), inUse);
    // The holder (a sync client) puts its own version in place and lets go: the next change
    // lands with every earlier one on top of it.
    desk.faults.heldCalls = 0;
    desk.folder.write("tabrin.ini", withStep(7) + "confirmexit=0\r\n");
    toggleSetting(settings.persistentmenu);
    EXPECT_EQ(desk.folder.read("tabrin.ini"),
              "stepsize=50\r\nconfirmexit=0\r\ninvertarrows=1\r\npersistentmenu=1\r\n"
              "ignoreunnamed=1\r\nenablemousescroll=1\r\ninvertedmouse=1\r\n");
    EXPECT_TRUE(desk.timers.empty());
}

namespace {

// What the message loop does when the folder's change handle is signalled, then time passing.
void settle(SimulatedDesktop& desk, unsigned ms = 200) {
    if (desk.signalled.count(settingsChangeHandle())) onSettingsFolderChanged();
    desk.passTime(ms);
}

}  // namespace

TEST(SettingsFile, AMenuChangeGoesOnTopOfWhatTheFileHoldsNow) {
    const std::string keyLine = "taskbarkey=Win+Shift+X\r\n";
    struct Case {
        const char* name;
        std::string onDisk;  // written by another program after Tabrin's last read; "" for none
        int heldMs;          // and held without read sharing for this long
        std::string saved;   // after choosing 5 px (from a file holding 7 px and invertarrows=1)
    };
    std::string inverted = withStep(5);
    inverted.replace(inverted.find("invertarrows=0"), 14, "invertarrows=1");
    const Case cases[] = {
        {"no change", "", 0, inverted},
        {"a setting edited", withStep(9) + "invertedmouse=0\r\n", 0,
         withStep(5).replace(withStep(5).find("invertedmouse=1"), 15, "invertedmouse=0")},
        {"key lines added", withStep(7) + keyLine, 0, withStep(5) + keyLine},
        {"deleted", "<deleted>", 0, withStep(5)},
        {"garbage", "\x01\xFF=\n\n==", 0, withStep(5)},
        {"rewritten with the same bytes", withStep(7) + "invertarrows=1\r\n", 0, inverted},
        {"edited to the same length", withStep(7) + "invertarrows=0\r\n", 0, withStep(5)},
        {"held, then let go", withStep(7) + keyLine, 600, withStep(5) + keyLine},
    };
    for (const Case& c : cases) {
        HeldFileDesk desk(0, 0);
        desk.folder.write("tabrin.ini", withStep(7) + "invertarrows=1\r\n");
        loadSettings();
        const std::string ini = desk.folder.file("tabrin.ini");
        if (c.onDisk == "<deleted>") std::remove(ini.c_str());
        else if (!c.onDisk.empty()) desk.folder.write("tabrin.ini", c.onDisk);
        if (c.heldMs) desk.locked.insert(ini);
        setStepSize(5);
        desk.passTime(c.heldMs);
        EXPECT_EQ(desk.folder.read("tabrin.ini"), c.heldMs ? c.onDisk : c.saved) << c.name;
        desk.locked.clear();
        desk.passTime(1000);
        EXPECT_EQ(desk.folder.read("tabrin.ini"), c.saved) << c.name;
    }
}

TEST(SettingsFile, EditsApplyAfterAQuietMomentWithoutASave) {
    DeskWithFolder desk;
    // Held by a backup program at start for a whole minute: the defaults until it lets go.
    desk.folder.write("tabrin.ini", "stepsize=2\n");
    desk.locked.insert(desk.folder.file("tabrin.ini"));
    runTabrin(nullptr);  // brought up; the loop ends with nothing queued
    desk.passTime(60000);
    EXPECT_EQ(settings.stepsize, 20);
    desk.locked.clear();
    desk.passTime(250);
    EXPECT_EQ(settings.stepsize, 2);
    const std::string before = desk.folder.read("tabrin.ini");

    desk.edit("tabrin.ini", "stepsize=7\nenablemousescroll=0\nCenterKey = Win+Shift+C\n"
                            "moveupkey=Ctrl+Alt+U\n");
    settle(desk, 100);
    desk.edit("tabrin.ini.bak", "x");  // the quiet period starts again
    settle(desk, 100);
    EXPECT_EQ(settings.stepsize, 2);
    settle(desk, 100);
    EXPECT_EQ(settings.stepsize, 7);
    EXPECT_FALSE(desk.isChecked(mainMenu, kCommandMouseEnabled));
    EXPECT_EQ(desk.rawKeyboardTarget, nullptr);  // gestures off
    EXPECT_TRUE(desk.pressHotkey(MOD_WIN | MOD_SHIFT, 'C'));
    EXPECT_FALSE(desk.pressHotkey(MOD_WIN | MOD_CONTROL, 'T'));
    ASSERT_EQ(hotkeyState.problemCount, 1);  // Help names the AltGr line
    EXPECT_EQ(hotkeyState.problems[0].action, 6);
    EXPECT_EQ(desk.folder.read("tabrin.ini.tmp"), "<missing>");
    EXPECT_NE(desk.folder.read("tabrin.ini"), before);

    // Tabrin's own save is looked at once and not taken in again; deleting the file restores
    // the defaults; held by its writer, it is read once let go.
    runMenuCommand(kCommandStep1 + 3);
    const auto callsAfterSave = desk.records.calls.size();
    settle(desk);
    EXPECT_EQ(std::vector<std::string>(desk.records.calls.begin() + callsAfterSave,
                                       desk.records.calls.end()),
              std::vector<std::string>{"OpenFile rb"});
    std::remove(desk.folder.file("tabrin.ini").c_str());
    desk.changedIn(desk.folder.file("tabrin.ini"));
    settle(desk);
    EXPECT_EQ(settings.stepsize, 20);
    EXPECT_TRUE(desk.pressHotkey(MOD_WIN | MOD_CONTROL, 'T'));
    desk.locked.insert(desk.folder.file("tabrin.ini"));
    desk.edit("tabrin.ini", "stepsize=3\n");
    settle(desk, 2000);
    EXPECT_EQ(settings.stepsize, 20);
    desk.locked.clear();
    settle(desk, 250);
    EXPECT_EQ(settings.stepsize, 3);
    EXPECT_TRUE(desk.timers.size() == 0 || desk.timers[0].id != kSettingsQuietTimer);

    // Two edits of one length within FAT's 2 s carry the same write time: the second is read all
    // the same, and within a second while another program writes in the folder without pause.
    const timespec sameTime[2] = {{std::time(nullptr), 0}, {std::time(nullptr), 0}};
    for (const char* text : {"stepsize=4\n", "stepsize=6\n"}) {
        desk.folder.write("tabrin.ini", text);
        utimensat(AT_FDCWD, desk.folder.file("tabrin.ini").c_str(), sameTime, 0);
        for (int i = 0; i < 10; ++i) {
            desk.edit("tabrin.log", "x");
            settle(desk, 100);
        }
        EXPECT_EQ(settings.stepsize, text[9] - '0');
    }

    // An edit between the start's read and the watch is read too, as nothing signals it; with
    // the watch's wait failed, an edit a save takes in still applies.
    static int applied = 0;
    stopWatchingSettingsFile();
    loadSettings();
    desk.folder.write("tabrin.ini", "stepsize=9\n");
    watchSettingsFile([] { ++applied; });
    settle(desk);
    EXPECT_EQ(settings.stepsize, 9);
    dropSettingsWatch();
    desk.folder.write("tabrin.ini", "stepsize=9\ninvertarrows=1\n");
    toggleSetting(settings.confirmexit);
    EXPECT_EQ(applied, 2);
}

TEST(SettingsFile, ExitAndLogOffGiveAWaitingSaveTwoSeconds) {
    struct Case {
        unsigned message;  // WM_ENDSESSION's wParam 1: the session ends, and the process with it
        int heldCalls;
    };
    for (const Case c : {Case{WM_CLOSE, 3}, Case{WM_CLOSE, -1}, Case{WM_ENDSESSION, 3}}) {
        HeldFileDesk desk(ERROR_SHARING_VIOLATION, c.heldCalls);
        setStepSize(5);
        desk.send(mainWindow, c.message, 1);
        EXPECT_EQ(desk.folder.read("tabrin.ini"), withStep(c.heldCalls > 0 ? 5 : 7)) << c.message;
        EXPECT_LE(desk.records.slept, 2000u) << c.message;
        EXPECT_TRUE(desk.timers.empty()) << c.message;
    }
}

TEST(SettingsFile, KeptBesideTheExecutableUnlessItsFolderRefusesThenInAppData) {
    const std::string none = "<missing>";
    struct Case {
        const char* name;
        std::string beside, perUser;  // tabrin.ini in each place at start; "" for none
        void (*arrange)(DeskWithFolder& desk, const std::string& appData);
        int stepRead;                 // in force after the start
        std::string besideAfter, perUserAfter;  // after choosing 5 px, and 10 s
        const char* unsaved;  // what Help says cannot be written: "beside", "per-user", "file"
    };
    const Case cases[] = {
        {"beside, no file", "", "", nullptr, 20, withStep(5), none, nullptr},
        {"beside, with a file", withStep(7), "", nullptr, 7, withStep(5), none, nullptr},
        {"both there: the one beside wins", withStep(7), withStep(9), nullptr, 7, withStep(5),
         withStep(9), nullptr},
        {"Program Files", "", "",
         [](DeskWithFolder& d, const std::string&) { d.refusals[d.folder.path()] = ERROR_ACCESS_DENIED; },
         20, none, withStep(5), nullptr},
        {"write-protected", "", "",
         [](DeskWithFolder& d, const std::string&) { d.refusals[d.folder.path()] = ERROR_WRITE_PROTECT; },
         20, none, withStep(5), nullptr},
        {"a copy beside and the user's, in Program Files: the user's", withStep(7), withStep(9),
         [](DeskWithFolder& d, const std::string&) { d.refusals[d.folder.path()] = ERROR_ACCESS_DENIED; },
         9, withStep(7), withStep(5), nullptr},
        {"the probe held by a scanner", withStep(7), withStep(9),
         [](DeskWithFolder& d, const std::string&) { d.locked.insert(d.folder.file("tabrin.ini.4.tmp")); },
         7, withStep(5), withStep(9), nullptr},
        {"a read-only tabrin.ini", withStep(7), "",
         [](DeskWithFolder& d, const std::string&) {
             d.fileMarks[d.folder.file("tabrin.ini")] = FILE_ATTRIBUTE_READONLY;
         },
         7, withStep(7), none, "file"},
        {"no AppData", "", "",
         [](DeskWithFolder& d, const std::string&) {
             d.refusals[d.folder.path()] = ERROR_ACCESS_DENIED;
             d.appData.clear();
         },
         20, none, none, "beside"},
        {"a file named Tabrin in the way", "", "",
         [](DeskWithFolder& d, const std::string& appData) {
             d.refusals[d.folder.path()] = ERROR_ACCESS_DENIED;
             rmdir((appData + "/Tabrin").c_str());
             d.folder.write("appdata/Tabrin", "");
         },
         20, none, none, "beside"},
        {"both refuse", "", withStep(9),
         [](DeskWithFolder& d, const std::string& appData) {
             d.refusals[d.folder.path()] = ERROR_ACCESS_DENIED;
             d.refusals[appData + "/Tabrin"] = ERROR_ACCESS_DENIED;
         },
         9, none, withStep(9), "per-user"},
        {"a held temporary file (32)", withStep(7), "",
         [](DeskWithFolder& d, const std::string&) {
             d.refusals[d.folder.file("tabrin.ini.tmp")] = ERROR_SHARING_VIOLATION;
         },
         7, withStep(5), none, nullptr},
        {"a held leftover (80)", withStep(7), "",
         [](DeskWithFolder& d, const std::string&) {
             d.folder.write("tabrin.ini.tmp", "stepsize=3\r\n");
             d.locked.insert(d.folder.file("tabrin.ini.tmp"));
         },
         7, withStep(5), none, nullptr},
        {"a deleted name still reserved (5)", withStep(7), "",
         [](DeskWithFolder& d, const std::string&) {
             d.refusals[d.folder.file("tabrin.ini.tmp")] = ERROR_ACCESS_DENIED;
         },
         7, withStep(5), none, nullptr},
    };
    for (const Case& c : cases) {
        HeldFileDesk desk(0, 0);
        std::remove(desk.folder.file("tabrin.ini").c_str());
        const std::string appData = desk.folder.file("appdata");
        ASSERT_EQ(mkdir(appData.c_str(), 0700), 0);
        ASSERT_EQ(mkdir((appData + "/Tabrin").c_str(), 0700), 0);
        desk.appData = appData;
        if (!c.beside.empty()) desk.folder.write("tabrin.ini", c.beside);
        if (!c.perUser.empty()) desk.folder.write("appdata/Tabrin/tabrin.ini", c.perUser);
        if (c.arrange) c.arrange(desk, appData);
        loadSettings();
        watchSettingsFile([] {});
        EXPECT_EQ(settings.stepsize, c.stepRead) << c.name;
        setStepSize(5);
        desk.passTime(500);  // whatever holds a name lets go
        desk.refusals.erase(desk.folder.file("tabrin.ini.tmp"));
        desk.locked.clear();
        desk.passTime(10000);
        EXPECT_EQ(desk.folder.read("tabrin.ini"), c.besideAfter) << c.name;
        EXPECT_EQ(desk.folder.read("appdata/Tabrin/tabrin.ini"), c.perUserAfter) << c.name;
        EXPECT_EQ(desk.folder.read("tabrin.ini.tmp"), none) << c.name;
        EXPECT_EQ(settings.stepsize, 5) << c.name;
        // The watch follows the file the save went to.
        const std::string savedIn = c.besideAfter == withStep(5)    ? desk.folder.path()
                                    : c.perUserAfter == withStep(5) ? appData + "/Tabrin"
                                                                    : "";
        if (!savedIn.empty()) {
            ASSERT_EQ(desk.watches.size(), 1u) << c.name;
            EXPECT_EQ(desk.watches.begin()->second, savedIn) << c.name;
        }
        const std::string what = !c.unsaved                           ? ""
                                 : std::string(c.unsaved) == "beside" ? desk.folder.path()
                                 : std::string(c.unsaved) == "file"   ? desk.folder.file("tabrin.ini")
                                                                      : appData + "/Tabrin";
        runMenuCommand(kCommandHelp);
        const std::string help = desk.records.boxes.back().text;
        const std::string line = "tabrin.ini could not be saved: " + what + " cannot be written\n";
        if (c.unsaved) {
            EXPECT_EQ(help.substr(help.size() - std::min(help.size(), line.size())), line) << c.name;
        } else {
            EXPECT_EQ(help.find("could not be saved"), std::string::npos) << c.name << ": " << help;
        }
        finishWaitingSave();  // and at Exit, not a probe is left
        EXPECT_EQ(namesIn(desk.folder).size(), c.besideAfter == none ? 0u : 1u) << c.name;
    }

    // The user's folder deleted while Tabrin runs is made again by the next save.
    DeskWithFolder desk;
    desk.appData = desk.folder.file("appdata");
    ASSERT_EQ(std::system(("mkdir -p '" + desk.appData + "/Tabrin'").c_str()), 0);
    desk.folder.write("appdata/Tabrin/tabrin.ini", withStep(9));
    loadSettings();
    ASSERT_EQ(std::system(("rm -r '" + desk.appData + "/Tabrin'").c_str()), 0);
    setStepSize(5);
    EXPECT_EQ(desk.folder.read("appdata/Tabrin/tabrin.ini"), withStep(5));
}
