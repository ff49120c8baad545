// The tray icon, its menu tree and check marks, and what each command does to the settings file.
#include <gtest/gtest.h>

#include <map>

#include "app/shell.h"
#include "control/hotkeys.h"
#include "control/mouse_hook.h"
#include "platform/session.h"
#include "settings/settings.h"
#include "simulated_desktop.h"
#include "test_support.h"
#include "tray/menus.h"
#include "tray/tray_icon.h"

using namespace platform;

namespace {

// Tabrin's hidden window and its tray, as bring-up leaves them, with the file in a temp folder.
struct TrayDesk : DeskWithFolder {
    WindowHandle other = addWindow("Editor", {0, 0, 100, 100});
    WindowHandle taskbar = addTaskbar(40);

    explicit TrayDesk(const std::string& file = "") {
        if (!file.empty()) folder.write("tabrin.ini", file);
        mainWindow = addWindow("TabrIN", {0, 0, 0, 0}, false, "TabrINWndClass");
        windows[mainWindow].proc = mainWindowProc;  // timers, "TaskbarCreated" and WM_CLOSE
        focus(other);
        loadSettings();
        buildMenus();
        addTrayIcon();
        refreshMenuChecks();
    }

    // Opens the menu with a click on the icon and picks the command.
    void choose(int command) {
        chooseFromMenu(command);
        clickTrayIcon(kTrayIconId, WM_RBUTTONDOWN);
    }
    std::string file() const { return folder.read("tabrin.ini"); }
    bool closed() const { return !queue.empty() && queue.back().message == 0x0012; }
    const Icon* icon() const {
        auto shown = trayIcons.find(kTrayIconId);
        if (shown == trayIcons.end()) return nullptr;
        auto loaded = icons.find(shown->second.hIcon);
        return loaded == icons.end() ? nullptr : &loaded->second;
    }
};

const char kHelp[] =
    "Resize Window\t\tHOLD (WIN + ALT) + ARROWS\nScroll Window\t\tHOLD (WIN + CTRL) + "
    "ARROWS\nCenter Window\t\tHOLD (WIN + CTRL) + T\nHide Task Bar\t\tHOLD (WIN) + "
    "X\n\nIF MOUSE SCROLL IS CHECKED:\nScroll Up/Down\t\tHOLD (WIN + CTRL) + MOUSE "
    "WHEEL\n\t\t\tHOLD (WIN + ALT)  + LFT/RGT CLICK\n\nScroll Left/Right\t\tHOLD (WIN + "
    "ALT)  + MOUSE WHEEL\n\t\t\tHOLD (WIN + CTRL) + LFT/RGT CLICK\n";

std::vector<std::string> labels(const SimulatedDesktop& desk, MenuHandle menu) {
    std::vector<std::string> out;
    for (const auto& item : desk.itemsOf(menu))
        out.push_back(item.flags & MF_SEPARATOR ? "-" : item.label);
    return out;
}

std::vector<unsigned> checked(const SimulatedDesktop& desk) {
    std::vector<unsigned> out;
    for (unsigned id : {1u, 2u, 3u, 4u, 5u, 6u, 7u, 8u, 9u, 10u, 20u, 21u, 23u, 24u, 25u, 26u})
        if (desk.isChecked(mainMenu, id)) out.push_back(id);
    return out;
}

}  // namespace

TEST(TrayMenu, TheTreeHasItsLabelsIdentifiersAndSeparators) {
    TrayDesk desk;
    EXPECT_EQ(labels(desk, mainMenu),
              (std::vector<std::string>{"Scroll/Resize", "Mouse Scroll", "-", "Settings", "-",
                                        "Help", "About...", "-", "Exit"}));
    const auto& main = desk.itemsOf(mainMenu);
    EXPECT_EQ(main[0].id, reinterpret_cast<std::uintptr_t>(stepMenu));
    EXPECT_EQ(main[1].id, reinterpret_cast<std::uintptr_t>(mouseMenu));
    EXPECT_EQ(main[3].id, reinterpret_cast<std::uintptr_t>(settingsMenu));
    for (int i : {0, 1, 3}) EXPECT_EQ(main[i].flags, MF_POPUP);
    EXPECT_EQ(main[5].id, 30u);
    EXPECT_EQ(main[6].id, 40u);
    EXPECT_EQ(main[8].id, 102u);

    EXPECT_EQ(labels(desk, stepMenu),
              (std::vector<std::string>{"1 px", "2 px", "3 px", "5 px", "10 px", "20 px", "30 px",
                                        "40 px", "50 px", "60 px"}));
    for (unsigned i = 0; i < 10; ++i) EXPECT_EQ(desk.itemsOf(stepMenu)[i].id, i + 1);
    EXPECT_EQ(labels(desk, settingsMenu),
              (std::vector<std::string>{"Invert Arrows", "Persistent PopUp",
                                        "Ignore Unnamed windows", "Confirm Exit"}));
    std::vector<std::uintptr_t> ids;
    for (const auto& item : desk.itemsOf(settingsMenu)) ids.push_back(item.id);
    EXPECT_EQ(ids, (std::vector<std::uintptr_t>{21, 23, 24, 20}));
    EXPECT_EQ(labels(desk, mouseMenu), (std::vector<std::string>{"Enabled", "Invert"}));
}

TEST(TrayMenu, CheckMarksFollowTheSettings) {
    {
        TrayDesk desk;
        EXPECT_EQ(checked(desk), (std::vector<unsigned>{6, 20, 24, 25, 26}));
    }
    {
        TrayDesk desk("stepsize=7\n");
        EXPECT_EQ(checked(desk), (std::vector<unsigned>{20, 24, 25, 26}));
        desk.choose(4);  // "5 px"
        EXPECT_EQ(checked(desk), (std::vector<unsigned>{4, 20, 24, 25, 26}));
    }
}

TEST(TrayCommands, EachChoiceIsSavedAtOnce) {
    struct Case {
        int command;
        const char* changedLine;
    };
    const Case cases[] = {
        {1, "stepsize=1"},          {3, "stepsize=3"},           {10, "stepsize=60"},
        {6, "stepsize=20"},  // the step already checked still rewrites the file
        {20, "confirmexit=0"},      {21, "invertarrows=1"},      {23, "persistentmenu=1"},
        {24, "ignoreunnamed=0"},    {25, "enablemousescroll=0"}, {26, "invertedmouse=0"},
    };
    for (const Case& c : cases) {
        TrayDesk desk;
        desk.choose(c.command);
        const std::string file = desk.file();
        EXPECT_NE(file.find(std::string(c.changedLine) + "\r\n"), std::string::npos)
            << c.command << ": " << file;
        EXPECT_EQ(std::count(file.begin(), file.end(), '\n'), 7) << c.command;
        EXPECT_EQ(desk.records.popups.size(), 1u);
    }
}

TEST(TrayCommands, DismissalHelpAndAboutWriteNothing) {
    TrayDesk desk;
    desk.choose(0);
    desk.choose(12345);  // no such command
    EXPECT_EQ(desk.file(), "<missing>");
    EXPECT_TRUE(desk.records.boxes.empty());

    registerHotkeys();
    desk.choose(30);
    desk.choose(40);
    EXPECT_EQ(desk.file(), "<missing>");
    ASSERT_EQ(desk.records.boxes.size(), 2u);
    EXPECT_EQ(desk.records.boxes[0].caption, ":: TabrIN Keys Help ::");
    EXPECT_EQ(desk.records.boxes[0].text, kHelp);
    EXPECT_EQ(desk.records.boxes[1].caption, ":: About Tabrin ::");
    const std::string& about = desk.records.boxes[1].text;
    EXPECT_EQ(about.substr(0, about.find('\n') + 1), "Tabrin v0.35beta\n");
    EXPECT_EQ(std::count(about.begin(), about.end(), '\n'), 1);
    for (const auto& box : desk.records.boxes) {
        EXPECT_EQ(box.type, MB_OK);
        EXPECT_EQ(box.owner, nullptr);
    }
}

TEST(TrayCommands, EnabledSavesFirstThenSwitchesTheGestures) {
    TrayDesk desk;
    desk.hold({VK_LWIN, VK_MENU});  // a gesture under way: the hook is in place
    startMouseGestures();
    ASSERT_EQ(desk.hooksInstalled(), 1);
    // The file is in place once it has been moved or replaced into its name.
    auto savedBeforeSwitch = [&](const char* hookCall) {
        const std::vector<std::string>& calls = desk.records.calls;
        auto saved = std::find_if(calls.begin(), calls.end(), [](const std::string& call) {
            return call == "MoveFileEx" || call == "ReplaceFile";
        });
        auto switched = std::find(calls.begin(), calls.end(), hookCall);
        return saved != calls.end() && switched != calls.end() && saved < switched;
    };
    desk.records.calls.clear();

    desk.choose(25);
    EXPECT_EQ(desk.hooksInstalled(), 0);
    EXPECT_EQ(desk.rawKeyboardTarget, nullptr);
    EXPECT_NE(desk.file().find("enablemousescroll=0\r\n"), std::string::npos);
    EXPECT_TRUE(savedBeforeSwitch("RegisterRawInputDevices REMOVE"));
    EXPECT_TRUE(savedBeforeSwitch("UnhookWindowsHookEx"));

    desk.records.calls.clear();
    desk.choose(25);  // still held: armed at once
    EXPECT_EQ(desk.hooksInstalled(), 1);
    EXPECT_EQ(desk.rawKeyboardTarget, mainWindow);
    EXPECT_NE(desk.file().find("enablemousescroll=1\r\n"), std::string::npos);
    EXPECT_TRUE(savedBeforeSwitch("RegisterRawInputDevices"));
    EXPECT_TRUE(savedBeforeSwitch("SetWindowsHookExA"));
}

TEST(TrayCommands, ExitAsksFirstOnlyWhenConfirmExitIsSet) {
    {
        TrayDesk desk;
        desk.answerBox(IDNO);
        desk.choose(102);
        ASSERT_EQ(desk.records.boxes.size(), 1u);
        EXPECT_EQ(desk.records.boxes[0].caption, "Quit Confirmation");
        EXPECT_EQ(desk.records.boxes[0].text, "Do you really want to Exit TabrIN?");
        EXPECT_EQ(desk.records.boxes[0].type, 0x50024u);
        EXPECT_FALSE(desk.closed());

        desk.answerBox(IDYES);
        desk.choose(102);
        EXPECT_TRUE(desk.closed());
    }
    {
        TrayDesk desk("confirmexit=0\n");
        desk.choose(102);
        EXPECT_TRUE(desk.records.boxes.empty());
        EXPECT_TRUE(desk.closed());
    }
}

TEST(TrayIcon, ButtonPressesOpenTheMenuAndEverythingElseGoesOn) {
    TrayDesk desk;
    desk.cursor = {1000, 700};
    EXPECT_EQ(onTrayMessage(kTrayIconId, WM_LBUTTONDOWN), 0);
    ASSERT_EQ(desk.records.popups.size(), 1u);
    EXPECT_EQ(desk.records.popups[0].menu, mainMenu);
    EXPECT_EQ(desk.records.popups[0].flags, 0x1A8u);
    EXPECT_EQ(desk.records.popups[0].x, 1000);
    EXPECT_EQ(desk.records.popups[0].y, 700);
    EXPECT_EQ(desk.records.popups[0].owner, mainWindow);
    EXPECT_EQ(desk.records.popups[0].foregroundAtOpen, mainWindow);

    for (unsigned message : {WM_LBUTTONUP, WM_RBUTTONUP, WM_LBUTTONDBLCLK, WM_MOUSEMOVE, WM_MBUTTONDOWN})
        onTrayMessage(kTrayIconId, message);
    EXPECT_EQ(desk.records.popups.size(), 1u);
    ASSERT_EQ(desk.records.defaultHandled.size(), 5u);
    EXPECT_EQ(desk.records.defaultHandled[0].message, kTrayCallbackMessage);
    EXPECT_EQ(desk.records.defaultHandled[0].lParam, WM_LBUTTONUP);

    EXPECT_EQ(onTrayMessage(4999, WM_RBUTTONDOWN), 0);  // not our icon
    EXPECT_EQ(desk.records.popups.size(), 1u);
}

TEST(TrayIcon, PersistentPopUpLeavesTheForegroundAlone) {
    TrayDesk desk("persistentmenu=1\n");
    onTrayMessage(kTrayIconId, WM_RBUTTONDOWN);
    ASSERT_EQ(desk.records.popups.size(), 1u);
    EXPECT_EQ(desk.records.popups[0].foregroundAtOpen, desk.other);
}

TEST(TrayIcon, TheIconCarriesItsFixedFields) {
    TrayDesk desk;
    ASSERT_EQ(desk.trayIcons.count(kTrayIconId), 1u);
    const NotifyIconData& icon = desk.trayIcons[kTrayIconId];
    EXPECT_EQ(icon.cbSize, 88u);
    EXPECT_EQ(icon.hWnd, mainWindow);
    EXPECT_EQ(icon.uFlags, 7u);
    EXPECT_EQ(icon.uCallbackMessage, 3025u);
    ASSERT_NE(desk.icon(), nullptr);
    EXPECT_EQ(desk.icon()->resource, 102);
    EXPECT_STREQ(icon.szTip, "TabrIN");
    removeTrayIcon();
    EXPECT_TRUE(desk.trayIcons.empty());
}

// The help text with its first four lines replaced by the ten actions' combinations.
std::string keysHelp(std::map<int, std::string> changed) {
    const char* const names[] = {"Center Window", "Hide Task Bar", "Shorter",   "Taller",
                                 "Narrower",      "Wider",         "Move Up",   "Move Down",
                                 "Move Left",     "Move Right"};
    const char* const defaults[] = {"WIN + CTRL + T",   "WIN + X",          "WIN + ALT + UP",
                                    "WIN + ALT + DOWN", "WIN + ALT + LEFT", "WIN + ALT + RIGHT",
                                    "WIN + CTRL + UP",  "WIN + CTRL + DOWN", "WIN + CTRL + LEFT",
                                    "WIN + CTRL + RIGHT"};
    std::string text;
    for (int i = 0; i < 10; ++i)
        text += std::string(names[i]) + "\t\t" + (changed.count(i) ? changed[i] : defaults[i]) + "\n";
    return text + std::string(kHelp).substr(std::string(kHelp).find("\nIF MOUSE"));
}

TEST(TrayCommands, HelpShowsTheKeysInForceAndEveryLineItCouldNotUse) {
    constexpr unsigned kWinCtrl = MOD_WIN | MOD_CONTROL, kWinAlt = MOD_WIN | MOD_ALT;
    struct Held {
        unsigned modifiers, key;
    };
    struct Case {
        std::string file;
        std::vector<Held> held;  // by other programs before Tabrin starts
        std::string help;
    };
    const std::string help = kHelp;
    const std::string line = "\nNot available (used by another program): ";
    const std::string others = "\nOther keys can be chosen in tabrin.ini (see README.txt).\n";
    const Case cases[] = {
        {"", {}, help},
        {"", {{MOD_WIN, 'X'}}, help + line + "WIN + X" + others},
        // Windows 10 and later: Win+X, and Win+Ctrl+Left and Right for the virtual desktops.
        {"", {{kWinCtrl, VK_RIGHT}, {MOD_WIN, 'X'}, {kWinCtrl, VK_LEFT}},
         help + line + "WIN + X, WIN + CTRL + LEFT, WIN + CTRL + RIGHT" + others},
        {"", {{kWinCtrl, 'T'}, {MOD_WIN, 'X'}, {kWinAlt, VK_UP}, {kWinAlt, VK_DOWN}, {kWinAlt, VK_LEFT},
          {kWinAlt, VK_RIGHT}, {kWinCtrl, VK_UP}, {kWinCtrl, VK_DOWN}, {kWinCtrl, VK_LEFT},
          {kWinCtrl, VK_RIGHT}},
         help + line + "WIN + CTRL + T, WIN + X, WIN + ALT + UP, WIN + ALT + DOWN, WIN + ALT + LEFT, "
                "WIN + ALT + RIGHT, WIN + CTRL + UP, WIN + CTRL + DOWN, WIN + CTRL + LEFT, "
                "WIN + CTRL + RIGHT" + others},
        // Chosen keys get round the system's own; a refused choice is named as chosen.
        {"taskbarkey=Win+Shift+X\r\nmoveleftkey=off\r\nwiderkey=ctrl + alt + f9\r\n"
         "moverightkey=off\r\n",  // two actions without keys do not clash
         {{MOD_WIN, 'X'}, {MOD_CONTROL | MOD_ALT, VK_F1 + 8}},
         keysHelp({{1, "WIN + SHIFT + X"}, {5, "CTRL + ALT + F9"}, {8, "off"}, {9, "off"}}) +
             line + "CTRL + ALT + F9" + others},
        {"taskbarkey=Win+Shift+X\r\n", {}, keysHelp({{1, "WIN + SHIFT + X"}})},
        {"centerkey=Win+Ctrl+Tee\n", {},
         help + "\ntabrin.ini: centerkey=Win+Ctrl+Tee is not a key combination; WIN + CTRL + T is used\n"},
        {"centerkey=Ctrl+Alt+E\ntaskbarkey=Shift+F9\n", {},
         help + "\ntabrin.ini: centerkey=Ctrl+Alt+E: a letter, digit or Space needs Win; WIN + CTRL + T is used\n"
                "tabrin.ini: taskbarkey=Shift+F9: a key needs Win, Ctrl or Alt; WIN + X is used\n"},
        {"centerkey=Win+Ctrl+Home\ncenterkey=Win+F1\n", {}, keysHelp({{0, "WIN + F1"}})},  // shorter, later
        // Names that look meant for Tabrin; a longer word, or one not ending in "key", is silent.
        {"StepSize=30\r\n stepsize = 30 \r\nstepsizes=2\r\ncentrekey=Win+C\r\nkeys=1\r\nbogus=4\r\n", {},
         help + "\ntabrin.ini: StepSize=30: write stepsize=30\ntabrin.ini:  stepsize = 30: write stepsize=30\n"
                "tabrin.ini: centrekey=Win+C: no key line is called centrekey\n"},
        {"1key=\n2key=\n3key=\n4key=\n5key=\n6key=\n7key=\nInvertArrows=1\n9key=\n", {},  // 8 named
         help + "\ntabrin.ini: 1key=: no key line is called 1key\ntabrin.ini: 2key=: no key line is called 2key\n"
                "tabrin.ini: 3key=: no key line is called 3key\ntabrin.ini: 4key=: no key line is called 4key\n"
                "tabrin.ini: 5key=: no key line is called 5key\ntabrin.ini: 6key=: no key line is called 6key\n"
                "tabrin.ini: 7key=: no key line is called 7key\ntabrin.ini: InvertArrows=1: write invertarrows=1\n"},
        // A chosen combination beats a default; of two chosen ones the first in the table wins.
        {"moveupkey=Win+Ctrl+Down\ntallerkey=Alt+Ctrl+End\nshorterkey=Ctrl+Alt+End\n"
         "narrowerkey=Win+Ctrl+T\ncenterkey=Win+\n",
         {},
         keysHelp({{0, "off"}, {2, "CTRL + ALT + END"}, {3, "off"}, {4, "WIN + CTRL + T"},
                   {6, "WIN + CTRL + DOWN"}, {7, "off"}}) +
             "\ntabrin.ini: centerkey=Win+ is not a key combination; WIN + CTRL + T is used\n"
             "tabrin.ini: centerkey has no keys: WIN + CTRL + T is narrowerkey's\n"
             "tabrin.ini: tallerkey has no keys: CTRL + ALT + END is shorterkey's\n"
             "tabrin.ini: movedownkey has no keys: WIN + CTRL + DOWN is moveupkey's\n"},
    };
    // Vista refuses MOD_NOREPEAT: the plain combination registered after it is not unavailable.
    for (bool vista : {false, true}) {
        for (const Case& c : cases) {
            TrayDesk desk(c.file);
            desk.faults.refuseNoRepeat = vista;
            for (const Held& h : c.held) desk.takeHotkeyElsewhere(h.modifiers, h.key);
            registerHotkeys();
            desk.choose(kCommandHelp);
            ASSERT_EQ(desk.records.boxes.size(), 1u);
            EXPECT_EQ(desk.records.boxes[0].text, c.help) << c.file << ", vista " << vista;
            EXPECT_EQ(desk.records.boxes[0].caption, ":: TabrIN Keys Help ::");
        }
    }
}

TEST(TrayIcon, TheUsersWindowGetsTheForegroundBack) {
    struct Case {
        const char* name;
        std::string file;
        int command;
        int answer;  // to a box, when there is one
        std::function<void(TrayDesk&)> meanwhile;  // while the menu is open
        std::function<void(TrayDesk&)> inTheBox;   // while a box is open
        bool editorInFront;                        // else the window named below
    };
    // Windows may hand the foreground to Tabrin's window when an unowned box closes.
    auto boxLeavesTabrinInFront = [](TrayDesk& d) { d.focus(mainWindow); };
    const Case cases[] = {
        {"dismissed", "", 0, 0, nullptr, nullptr, true},
        {"5 px", "", 4, 0, nullptr, nullptr, true},
        {"Persistent PopUp never takes it", "persistentmenu=1\n", 0, 0, nullptr, nullptr, true},
        {"Help", "", 30, IDOK, nullptr, boxLeavesTabrinInFront, true},
        {"About...", "", 40, IDOK, nullptr, boxLeavesTabrinInFront, true},
        {"Exit answered No", "", 102, IDNO, nullptr, boxLeavesTabrinInFront, true},
        {"a box closing leaves no window in front", "", 30, IDOK, nullptr,
         [](TrayDesk& d) { d.focus(kNoWindow); }, true},
        {"the user clicked another window", "", 0, 0,
         [](TrayDesk& d) { d.focus(d.addWindow("Browser", {0, 0, 50, 50})); }, nullptr, false},
        {"the window closed meanwhile", "", 0, 0, [](TrayDesk& d) { d.removeWindow(d.other); },
         nullptr, false},
        {"the window closed meanwhile, then Help", "", 30, IDOK,
         [](TrayDesk& d) { d.removeWindow(d.other); }, boxLeavesTabrinInFront, false},
    };
    for (const Case& c : cases) {
        TrayDesk desk(c.file);
        desk.whileMenuOpen = [&] { if (c.meanwhile) c.meanwhile(desk); };
        desk.whileBoxOpen = [&] { if (c.inTheBox) c.inTheBox(desk); };
        if (c.answer) desk.answerBox(c.answer);
        desk.choose(c.command);
        ASSERT_EQ(desk.records.popups.size(), 1u) << c.name;
        if (c.editorInFront) {
            EXPECT_EQ(desk.foreground, desk.other) << c.name;
        } else if (desk.windows.count(desk.other)) {
            EXPECT_EQ(desk.title(desk.foreground), "Browser") << c.name;
        } else {
            EXPECT_EQ(desk.foreground, mainWindow) << c.name;  // nothing left to give it to
        }
        ASSERT_FALSE(desk.queue.empty()) << c.name;
        EXPECT_EQ(desk.queue.front().message, WM_NULL) << c.name;
        EXPECT_EQ(desk.queue.front().window, mainWindow) << c.name;
    }
}

TEST(TrayIcon, AfterAClickOnTheTaskbarTheWindowBelowItGetsTheForeground) {
    struct Case {
        const char* name;
        std::function<void(TrayDesk&)> before;  // the desktop at the click
        const char* inFront;                    // afterwards; null: Tabrin's window, nothing else
    };
    auto above = [](TrayDesk& d, const std::string& title, const std::string& className = "") {
        WindowHandle window = d.addWindow(title, {0, 0, 50, 50}, true, className);
        d.raise(window);
        return window;
    };
    // Above the editor, none of them a window the user works in.
    auto noneForTheUser = [=](TrayDesk& d) {
        d.windows[above(d, "Hidden")].visible = false;
        d.windows[above(d, "Minimised")].iconic = true;
        d.windows[above(d, "Palette")].exStyle = WS_EX_TOOLWINDOW;
        d.cloak(above(d, "Suspended store app"));
        above(d, "Program Manager", "Progman");
        d.windows[above(d, ":: About Tabrin ::", "#32770")].proc = DefWindowProcA;  // Tabrin's
    };
    const Case cases[] = {
        {"in Windows 10's overflow area",
         [=](TrayDesk& d) { d.trayIconHost = above(d, "", "NotifyIconOverflowWindow"); }, "Editor"},
        {"in Windows 11's overflow area",
         [=](TrayDesk& d) { d.trayIconHost = above(d, "", "TopLevelWindowForOverflowXamlIsland"); },
         "Editor"},
        {"windows above the editor that no user works in",
         [=](TrayDesk& d) { noneForTheUser(d), d.addWindow("Lower", {0, 0, 50, 50}); }, "Editor"},
        {"no window a user works in",
         [=](TrayDesk& d) { noneForTheUser(d), d.removeWindow(d.other); }, nullptr},
    };
    for (const Case& c : cases) {
        TrayDesk desk;
        c.before(desk);
        desk.choose(0);
        EXPECT_EQ(desk.title(desk.foreground), c.inFront ? c.inFront : "TabrIN") << c.name;
    }
}

TEST(TrayIcon, TwoHundredMenusInARowEachCloseOnAClickElsewhere) {
    TrayDesk desk;
    desk.cursor = {1900, 1070};
    for (int i = 0; i < 200; ++i) {
        desk.choose(i % 2 ? 0 : 4);
        // The menu opens with Tabrin's window in front and closes with the editor back there.
        ASSERT_EQ(desk.records.popups.back().foregroundAtOpen, mainWindow) << i;
        ASSERT_EQ(desk.foreground, desk.other) << i;
    }
    EXPECT_EQ(desk.records.popups.size(), 200u);
    EXPECT_EQ(std::count_if(desk.queue.begin(), desk.queue.end(),
                            [](const SimulatedDesktop::Message& m) { return m.message == WM_NULL; }),
              200);
    EXPECT_EQ(desk.file(), "stepsize=5\r\nconfirmexit=1\r\ninvertarrows=0\r\npersistentmenu=0\r\n"
                           "ignoreunnamed=1\r\nenablemousescroll=1\r\ninvertedmouse=1\r\n");
}

TEST(TrayIcon, RetriedEveryTwoSecondsWhileTheShellIsBusyForUpToTwoMinutes) {
    struct Case {
        const char* name;
        unsigned long long busyFor;  // ms after start
        int addsTimingOut;
        std::vector<unsigned long long> adds;  // when NIM_ADD was tried
        bool shown;
    };
    std::vector<unsigned long long> everyTwoSeconds;
    for (unsigned long long t = 0; t <= 120000; t += 2000) everyTwoSeconds.push_back(t);
    const Case cases[] = {
        {"the shell answers at once", 0, 0, {0}, true},
        {"busy for five seconds", 5000, 0, {0, 2000, 4000, 6000}, true},
        {"the add timed out but went in", 0, 1, {0}, true},
        {"busy for good: sixty retries, then quiet", 1000000, 0, everyTwoSeconds, false},
    };
    for (const Case& c : cases) {
        TrayDesk desk;
        removeTrayIcon();
        desk.records.iconAdds.clear();
        desk.faults.shellBusyUntil = c.busyFor;
        desk.faults.addsTimingOut = c.addsTimingOut;
        addTrayIcon();
        desk.passTime(10 * 60 * 1000);
        EXPECT_EQ(desk.records.iconAdds, c.adds) << c.name;
        EXPECT_EQ(desk.trayIcons.count(kTrayIconId), c.shown ? 1u : 0u) << c.name;
        EXPECT_TRUE(desk.timers.empty()) << c.name;  // nothing wakes Tabrin any more
    }
    {
        TrayDesk desk;  // a busy shell after an Explorer restart is waited for the same way
        desk.faults.shellBusyUntil = 3000;
        desk.restartExplorer();
        desk.passTime(60000);
        EXPECT_EQ(desk.trayIcons.count(kTrayIconId), 1u);
        EXPECT_TRUE(desk.timers.empty());
        removeTrayIcon();
        desk.faults.shellBusyUntil = 1000000;
        addTrayIcon();
        desk.passTime(3000);
        removeTrayIcon();  // Exit while still retrying: the timer goes too
        EXPECT_TRUE(desk.timers.empty());
    }
}

TEST(TrayIcon, ComesBackAfterExplorerRestartsEvenWhenElevated) {
    struct Case {
        bool elevated;
        bool hasMessageFilterEx;
        bool back;
    };
    const Case cases[] = {{false, true, true}, {true, true, true}, {false, false, true},
                          {true, false, false}};  // Vista, elevated: nothing lets it through
    for (const Case& c : cases) {
        TrayDesk desk;
        desk.faults.elevated = c.elevated;
        desk.faults.hasMessageFilterEx = c.hasMessageFilterEx;
        desk.messagesAllowed.clear();  // as in a process started under these conditions
        removeTrayIcon();
        addTrayIcon();
        desk.restartExplorer();
        EXPECT_EQ(desk.trayIcons.count(kTrayIconId), c.back ? 1u : 0u)
            << c.elevated << c.hasMessageFilterEx;
    }
}

TEST(TrayIcon, SharpAtEveryDisplayScale) {
    struct Case {
        int signInSize;  // GetSystemMetrics, for the scale at sign-in
        unsigned dpi;    // the display's scale now
        bool hasDpiFunctions;
        int size;
    };
    const Case cases[] = {
        {16, 96, true, 16},  {16, 120, true, 20}, {16, 144, true, 24}, {24, 192, true, 32},
        {32, 96, true, 16},  {20, 144, false, 20},  // before Windows 10 (1607): today's call
    };
    for (const Case& c : cases) {
        TrayDesk desk;
        desk.smallIconSize = c.signInSize;
        desk.windows[mainWindow].dpi = c.dpi;
        desk.faults.hasDpiFunctions = c.hasDpiFunctions;
        desk.restartExplorer();  // the icon is loaded again on each add
        ASSERT_NE(desk.icon(), nullptr) << c.dpi;
        EXPECT_EQ(desk.icon()->resource, 102) << c.dpi;
        EXPECT_EQ(desk.icon()->cx, c.size) << c.dpi;
        EXPECT_EQ(desk.icon()->cy, c.size) << c.dpi;
        EXPECT_EQ(desk.icons.size(), 1u) << c.dpi;  // the image of the old shell is destroyed
    }
}
