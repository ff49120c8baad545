// The text of tabrin.ini: the reading rules, key-line values, hostile bytes and the written form.
#include <gtest/gtest.h>

#include <cstdio>
#include <random>
#include <string>

#include "platform/desktop.h"
#include "settings/settings.h"

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

TEST(SettingsReading, LongLinesAreTakenInPiecesOf254) {
    // The second piece of this line starts exactly with a key.
    const std::string split = std::string(254, 'x') + "stepsize=9\n";
    EXPECT_EQ(readText(split).stepsize, 9);
    // One character fewer and the key is glued to the first piece, which has no '='.
    const std::string glued = std::string(253, 'x') + "stepsize=9\n";
    EXPECT_EQ(readText(glued).stepsize, 20);

    std::string huge(100 * 1024, 'a');
    huge += "\ninvertedmouse=0\n";
    const Settings s = readText(huge);
    EXPECT_EQ(s.invertedmouse, 0);
    EXPECT_EQ(s.stepsize, 20);
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
