// The ten hotkeys and the window actions they run on the foreground window.
#include <gtest/gtest.h>

#include <vector>

#include "control/hotkeys.h"
#include "control/mouse_hook.h"
#include "platform/session.h"
#include "settings/settings.h"
#include "simulated_desktop.h"

using namespace platform;

namespace {

struct Press {
    int id;
    Rect expected;
};

// Tabrin's hidden window, handing WM_HOTKEY to onHotkey as the window procedure does.
void makeHotkeyWindow(SimulatedDesktop& desk) {
    mainWindow = desk.addWindow("TabrIN", {0, 0, 0, 0}, false);
    desk.windows[mainWindow].proc = [](WindowHandle, unsigned message, WParam wParam,
                                       LParam) -> LResult {
        return message == WM_HOTKEY ? onHotkey(static_cast<int>(wParam)) : 0;
    };
}

}  // namespace

TEST(WindowActions, MovesFollowTheStepAndItsDirectionResizesOnlyTheStep) {
    for (int invert : {0, 1}) {
        const int a = invert ? -20 : 20;
        for (const Press& press : std::initializer_list<Press>{
                 {kHotkeyMoveUp, {100, 100 - a, 900, 700 - a}},
                 {kHotkeyMoveDown, {100, 100 + a, 900, 700 + a}},
                 {kHotkeyMoveLeft, {100 - a, 100, 900 - a, 700}},
                 {kHotkeyMoveRight, {100 + a, 100, 900 + a, 700}},
                 {kHotkeyResizeUp, {100, 100, 900, 680}},
                 {kHotkeyResizeDown, {100, 100, 900, 720}},
                 {kHotkeyResizeLeft, {100, 100, 880, 700}},
                 {kHotkeyResizeRight, {100, 100, 920, 700}},
             }) {
            SimulatedDesktop desk;
            settings.invertarrows = invert;
            WindowHandle editor = desk.addWindow("Editor", {100, 100, 900, 700});
            desk.focus(editor);
            EXPECT_EQ(onHotkey(press.id), 1);
            EXPECT_EQ(desk.rectOf(editor), press.expected)
                << "invertarrows " << invert << ", hotkey " << press.id;
            // Never wait on the window's program: it may have stopped answering.
            EXPECT_TRUE(desk.lastPositionFlags(editor) & SWP_ASYNCWINDOWPOS) << press.id;
            EXPECT_TRUE(desk.lastPositionFlags(editor) & SWP_NOZORDER) << press.id;
        }
    }
}

TEST(WindowActions, UnusualStepsAreTakenAsTheyStand) {
    struct Case {
        int stepsize;
        int id;
        Rect expected;
    };
    const Case cases[] = {
        {0, kHotkeyMoveRight, {100, 100, 900, 700}},
        {0, kHotkeyResizeLeft, {100, 100, 900, 700}},
        {-5, kHotkeyMoveRight, {95, 100, 895, 700}},
        {-5, kHotkeyResizeRight, {100, 100, 895, 700}},
        {7, kHotkeyMoveUp, {100, 93, 900, 693}},
    };
    for (const Case& c : cases) {
        SimulatedDesktop desk;
        settings.stepsize = c.stepsize;
        WindowHandle editor = desk.addWindow("Editor", {100, 100, 900, 700});
        desk.focus(editor);
        onHotkey(c.id);
        EXPECT_EQ(desk.rectOf(editor), c.expected) << "stepsize " << c.stepsize << ", hotkey " << c.id;
    }

    // The most negative step from the file: moving "left" by it is the largest move right the
    // coordinates allow, not an overflow.
    SimulatedDesktop desk;
    settings.stepsize = -2147483647 - 1;
    WindowHandle editor = desk.addWindow("Editor", {100, 100, 900, 700});
    desk.focus(editor);
    onHotkey(kHotkeyMoveLeft);
    EXPECT_EQ(desk.rectOf(editor).left, 2147483647);
}

TEST(WindowActions, CentringUsesTheWholeMonitorHoldingTheWindowAndTruncatesTowardZero) {
    // Monitors beside the 1920x1080 primary, whose taskbar is not taken into account.
    const std::vector<Rect> alone;
    const std::vector<Rect> flanked = {{1920, 0, 3840, 1080}, {-1280, 0, 0, 1024}};
    const std::vector<Rect> zeroSized = {{5000, 500, 5000, 500}};
    struct Case {
        const std::vector<Rect>* others;
        Rect window;
        Rect expected;
        Rect invisibleBorders = {0, 0, 0, 0};  // of Windows 10 and 11: the visible part centred
    };
    const Case cases[] = {
        {&alone, {0, 0, 800, 600}, {560, 240, 1360, 840}},
        {&alone, {0, 0, 800, 600}, {560, 243, 1360, 843}, {7, 0, 7, 7}},     // 100 %
        {&alone, {0, 0, 800, 600}, {560, 245, 1360, 845}, {10, 0, 10, 10}},  // 150 %
        {&alone, {10, 10, 2011, 100}, {-40, 495, 1961, 585}},  // (1920 - 2001) / 2 = -40.5 -> -40
        {&alone, {0, 0, 1921, 1081}, {0, 0, 1921, 1081}},        // -0.5 -> 0 on both axes
        {&alone, {3000, 200, 3800, 800}, {560, 240, 1360, 840}},  // off-screen: the nearest
        {&alone, {2147483000, -2147483000, 2147483647, -2147482400}, {636, 240, 1283, 840}},
        // The primary's windows stay where they were with monitors beside it.
        {&flanked, {0, 0, 800, 600}, {560, 240, 1360, 840}},
        {&flanked, {10, 10, 2011, 100}, {-40, 495, 1961, 585}},
        {&flanked, {2000, 100, 2800, 700}, {2480, 240, 3280, 840}},
        {&flanked, {-1200, 50, -400, 650}, {-1040, 212, -240, 812}},
        // Straddling: the monitor holding most of it.
        {&flanked, {1800, 100, 2600, 700}, {2480, 240, 3280, 840}},
        {&flanked, {-300, 100, 500, 700}, {560, 240, 1360, 840}},
        // Larger than its monitor: -1280 + (1280 - 1281) / 2 = -1280, not -1281.
        {&flanked, {-1290, 0, -9, 1025}, {-1280, 0, 1, 1025}},
        {&flanked, {-1300, 0, 200, 1100}, {-1390, -38, 110, 1062}},
        // On no monitor: the nearest, which is not the primary.
        {&flanked, {-3000, 2000, -2500, 2400}, {-890, 312, -390, 712}},
        {&flanked, {5000, 300, 5400, 700}, {2680, 340, 3080, 740}},
        {&flanked, {2147483000, 0, 2147483647, 500}, {2556, 290, 3203, 790}},
        // A zero-sized monitor inside the window is the nearest: the formula as it stands.
        {&zeroSized, {4900, 400, 5300, 800}, {4800, 300, 5200, 700}},
    };
    for (const Case& c : cases) {
        SimulatedDesktop desk;
        desk.addTaskbar(40);
        for (const Rect& monitor : *c.others) desk.addMonitor(monitor);
        WindowHandle window = desk.addWindow("Editor", c.window);
        desk.windows[window].invisibleBorders = c.invisibleBorders;
        desk.focus(window);
        EXPECT_EQ(onHotkey(kHotkeyCenter), 1);
        EXPECT_EQ(desk.rectOf(window), c.expected) << "from " << c.window;
        EXPECT_EQ(desk.lastPositionFlags(window),
                  SWP_NOSIZE | SWP_NOZORDER | SWP_FRAMECHANGED | SWP_ASYNCWINDOWPOS);
    }

    // Without its monitor, a window on the second one goes to the desktop rectangle.
    SimulatedDesktop desk;
    for (const Rect& monitor : flanked) desk.addMonitor(monitor);
    desk.faults.failMonitorInfo = true;
    WindowHandle window = desk.addWindow("Editor", {2000, 100, 2800, 700});
    desk.focus(window);
    onHotkey(kHotkeyCenter);
    EXPECT_EQ(desk.rectOf(window), (Rect{560, 240, 1360, 840}));
}

TEST(WindowActions, UnnamedWindowsAreSparedOnlyWhenAsked) {
    for (int ignore : {1, 0}) {
        for (int id : {kHotkeyMoveRight, kHotkeyResizeDown, kHotkeyCenter}) {
            SimulatedDesktop desk;
            settings.ignoreunnamed = ignore;
            WindowHandle unnamed = desk.addWindow("", {100, 100, 900, 700});
            desk.focus(unnamed);
            EXPECT_EQ(onHotkey(id), 1) << "the press is handled either way";
            EXPECT_EQ(desk.rectOf(unnamed) == (Rect{100, 100, 900, 700}), ignore == 1)
                << "ignoreunnamed " << ignore << ", hotkey " << id;
        }
    }
}

TEST(WindowActions, NoTargetOrAnUnknownHotkeyDoesNothing) {
    for (int ignore : {1, 0}) {
        SimulatedDesktop desk;
        settings.ignoreunnamed = ignore;
        WindowHandle other = desk.addWindow("Other", {0, 0, 100, 100});
        desk.focus(nullptr);  // GetForegroundWindow returns null, as while focus changes
        for (int id : {1, 2, 3, 4, 11, 12, 13, 14, 30}) EXPECT_EQ(onHotkey(id), 1);
        EXPECT_EQ(desk.rectOf(other), (Rect{0, 0, 100, 100}));

        WindowHandle gone = desk.addWindow("Gone", {0, 0, 100, 100});
        desk.focus(gone);
        desk.removeWindow(gone);  // closed between the press and the action
        for (int id : {1, 13, 30}) EXPECT_EQ(onHotkey(id), 1);
    }

    SimulatedDesktop desk;
    WindowHandle editor = desk.addWindow("Editor", {100, 100, 900, 700});
    desk.focus(editor);
    for (int id : {0, 5, 10, 15, 21, 31, -1}) EXPECT_EQ(onHotkey(id), 0) << id;
    EXPECT_EQ(desk.rectOf(editor), (Rect{100, 100, 900, 700}));
}

TEST(WindowActions, ShellWindowsAreNeverMoved) {
    struct Case {
        const char* title;
        const char* className;
        bool registeredShell;  // the window GetShellWindow returns
        bool moves;
    };
    const Case cases[] = {
        {"Program Manager", "Progman", false, false},  // titled: the unnamed rule cannot spare it
        {"", "WorkerW", false, false},
        {"", "Shell_TrayWnd", false, false},
        {"", "Shell_SecondaryTrayWnd", false, false},
        {"Desktop", "AnotherShellsDesktop", true, false},
        {"Program Manager", "Notepad", false, true},  // the class decides, not the title
        {"Work", "WorkerWindow", false, true},
        {"Tray", "Shell_Tray", false, true},
    };
    for (const Case& c : cases) {
        SimulatedDesktop desk;
        settings.ignoreunnamed = 0;
        installMouseHook();
        const Rect start = {100, 100, 900, 700};
        WindowHandle window = desk.addWindow(c.title, start, true, c.className);
        if (c.registeredShell) desk.shellWindow = window;
        desk.focus(window);
        for (int id : {kHotkeyMoveRight, kHotkeyResizeDown, kHotkeyCenter}) {
            desk.windows[window].rect = start;
            EXPECT_EQ(onHotkey(id), 1);
            EXPECT_EQ(desk.rectOf(window) != start, c.moves) << c.className << ", hotkey " << id;
        }
        desk.windows[window].rect = start;
        desk.hold({VK_LWIN, VK_CONTROL});
        EXPECT_FALSE(desk.sendMouse(WM_LBUTTONDOWN));  // withheld either way
        EXPECT_EQ(desk.rectOf(window) != start, c.moves) << c.className << ", a gesture";
    }
}

TEST(Hotkeys, TheTenCombinationsAreRegisteredOnTheMainWindowAndGivenBack) {
    // Centring and the taskbar toggle do not repeat while held; where the system refuses the
    // flag (Vista) they are registered without it rather than not at all.
    for (bool vista : {false, true}) {
        SimulatedDesktop desk;
        desk.faults.refuseNoRepeat = vista;
        mainWindow = desk.addWindow("TabrIN", {0, 0, 0, 0}, false);
        desk.takeHotkeyElsewhere(MOD_WIN, 'X');  // the system's own Win+X
        registerHotkeys();

        struct Expected {
            int id;
            unsigned modifiers;
            unsigned key;
        };
        const unsigned once = vista ? 0 : MOD_NOREPEAT;
        const Expected table[] = {
            {30, MOD_WIN | MOD_CONTROL | once, 'T'}, {11, MOD_WIN | MOD_ALT, VK_UP},
            {12, MOD_WIN | MOD_ALT, VK_DOWN},        {13, MOD_WIN | MOD_ALT, VK_LEFT},
            {14, MOD_WIN | MOD_ALT, VK_RIGHT},       {1, MOD_WIN | MOD_CONTROL, VK_UP},
            {2, MOD_WIN | MOD_CONTROL, VK_DOWN},     {4, MOD_WIN | MOD_CONTROL, VK_LEFT},
            {3, MOD_WIN | MOD_CONTROL, VK_RIGHT},
        };
        for (const Expected& e : table) {
            const SimulatedDesktop::Hotkey* hotkey = desk.hotkey(mainWindow, e.id);
            ASSERT_NE(hotkey, nullptr) << e.id;
            EXPECT_EQ(hotkey->modifiers, e.modifiers) << e.id << (vista ? " on Vista" : "");
            EXPECT_EQ(hotkey->key, e.key) << e.id;
        }
        // Taken, with or without the flag: silently never arrives.
        EXPECT_EQ(desk.hotkey(mainWindow, 20), nullptr);

        unregisterHotkeys();
        EXPECT_EQ(desk.hotkeys.size(), 1u);  // only the other program's is left
    }
}

TEST(Hotkeys, HeldMovesAndResizesRepeat) {
    struct Case {
        const char* name;
        bool busy;     // takes the steps only once it reads its messages again
        int minWidth;  // WM_GETMINMAXINFO
        Rect expected;
    };
    const Case cases[] = {
        {"an ordinary window", false, 0, {180, 100, 980, 760}},
        {"a busy window takes every step", true, 0, {180, 100, 980, 760}},
        // It refuses to get narrower; after a pause the step starts from the width it kept.
        {"a window at its smallest", false, 800, {180, 100, 1000, 760}},
    };
    for (const Case& c : cases) {
        SimulatedDesktop desk;
        makeHotkeyWindow(desk);
        registerHotkeys();
        WindowHandle editor = desk.addWindow("Editor", {100, 100, 900, 700});
        desk.windows[editor].minTrackSize = {c.minWidth, 0};
        desk.focus(editor);
        if (c.busy) desk.makeBusy(editor);
        desk.pressHotkey(MOD_WIN | MOD_CONTROL, VK_RIGHT, 3);  // the first press and three repeats
        desk.pressHotkey(MOD_WIN | MOD_ALT, VK_DOWN, 2);
        desk.pressHotkey(MOD_WIN | MOD_ALT, VK_LEFT);
        desk.answer(editor);
        desk.passTime(1000);
        desk.pressHotkey(MOD_WIN | MOD_ALT, VK_RIGHT);
        EXPECT_EQ(desk.rectOf(editor), c.expected) << c.name;
    }
}

TEST(Hotkeys, ChosenCombinationsTakeTheDefaultsPlaceAndOffLeavesOneFree) {
    SimulatedDesktop desk;
    makeHotkeyWindow(desk);
    char lines[][40] = {"centerkey=Ctrl+Alt+Home", "moveleftkey=off", "widerkey=Win+Shift+PageDown"};
    for (char* line : lines) applySettingsLine(settings, keyLines, line);
    registerHotkeys();

    ASSERT_NE(desk.hotkey(mainWindow, kHotkeyCenter), nullptr);
    EXPECT_EQ(desk.hotkey(mainWindow, kHotkeyCenter)->modifiers, MOD_CONTROL | MOD_ALT | MOD_NOREPEAT);
    EXPECT_EQ(desk.hotkey(mainWindow, kHotkeyMoveLeft), nullptr);
    EXPECT_FALSE(desk.pressHotkey(MOD_WIN | MOD_CONTROL, 'T'));  // the default is given up
    EXPECT_FALSE(desk.pressHotkey(MOD_WIN | MOD_CONTROL, VK_LEFT));

    WindowHandle editor = desk.addWindow("Editor", {100, 100, 900, 700});
    desk.focus(editor);
    desk.pressHotkey(MOD_WIN | MOD_SHIFT, VK_NEXT, 1);  // held: a resize repeats
    EXPECT_EQ(desk.rectOf(editor), (Rect{100, 100, 940, 700}));
    EXPECT_TRUE(desk.pressHotkey(MOD_CONTROL | MOD_ALT, VK_HOME));
    EXPECT_EQ(desk.rectOf(editor), (Rect{540, 240, 1380, 840}));
}
