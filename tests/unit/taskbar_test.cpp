// Win+X: the taskbar's visibility, the work area, and the refit of windows that filled it.
#include <gtest/gtest.h>

#include "app/shell.h"
#include "control/hotkeys.h"
#include "control/taskbar.h"
#include "platform/session.h"
#include "simulated_desktop.h"
#include "tray/tray_icon.h"

using namespace platform;

namespace {

const Rect kScreen = {0, 0, 1920, 1080};
const Rect kAboveTaskbar = {0, 0, 1920, 1040};
const char kSecondaryTaskbar[] = "Shell_SecondaryTrayWnd";

struct Desk : SimulatedDesktop {
    WindowHandle taskbar = addTaskbar(40);
    WindowHandle filling = addWindow("Filling", kAboveTaskbar);
    WindowHandle onePixelMore = addWindow("Taller", {0, 0, 1920, 1041});
    WindowHandle hidden = addWindow("Hidden", kAboveTaskbar, false);
    WindowHandle full = addWindow("Full", kScreen);
};

// Two presses from the ordinary desktop: the filling window stretched, then given back.
void expectARoundTrip(Desk& desk) {
    onHotkey(kHotkeyTaskbar);
    EXPECT_FALSE(desk.visible(desk.taskbar));
    EXPECT_EQ(desk.workArea, kScreen);
    EXPECT_EQ(desk.rectOf(desk.filling), kScreen);
    onHotkey(kHotkeyTaskbar);
    EXPECT_TRUE(desk.visible(desk.taskbar));
    EXPECT_EQ(desk.workArea, kAboveTaskbar);
    EXPECT_EQ(desk.rectOf(desk.filling), kAboveTaskbar);
}

Rect enlarged(const Rect& r, int by) {
    return {r.left - by, r.top - by, r.right + by, r.bottom + by};
}

// Tabrin's hidden window, routing what the system sends it through the real window procedure.
WindowHandle addTabrinWindow(SimulatedDesktop& desk) {
    mainWindow = desk.addWindow("TabrIN", {0, 0, 0, 0}, false, "TabrINWndClass");
    desk.windows[mainWindow].proc = mainWindowProc;
    return mainWindow;
}

// Every work-area change is announced once, and nobody is waited for.
void expectAnnouncedWithoutWaiting(const SimulatedDesktop& desk, size_t changes) {
    size_t announced = 0;
    for (const SimulatedDesktop::Broadcast& b : desk.records.broadcasts) {
        EXPECT_FALSE(b.waits) << "a broadcast that waits on every top-level window";
        if (b.message == WM_SETTINGCHANGE && b.wParam == SPI_SETWORKAREA) ++announced;
    }
    EXPECT_EQ(announced, changes);
    EXPECT_EQ(desk.records.lastWorkAreaWinIni, 0u) << "neither waiting nor written to the profile";
}

}  // namespace

TEST(Taskbar, HidingGivesTheScreenAndShowingTakesItBack) {
    Desk desk;
    EXPECT_EQ(onHotkey(kHotkeyTaskbar), 0);
    EXPECT_FALSE(desk.visible(desk.taskbar));
    EXPECT_EQ(savedWorkArea, kAboveTaskbar);
    EXPECT_EQ(desk.workArea, kScreen);
    expectAnnouncedWithoutWaiting(desk, 1);
    EXPECT_EQ(desk.rectOf(desk.filling), kScreen);
    EXPECT_EQ(desk.lastPositionFlags(desk.filling),
              SWP_NOZORDER | SWP_NOACTIVATE | SWP_ASYNCWINDOWPOS);
    EXPECT_EQ(desk.rectOf(desk.onePixelMore), (Rect{0, 0, 1920, 1041}));
    EXPECT_EQ(desk.rectOf(desk.hidden), kAboveTaskbar);
    EXPECT_EQ(desk.devicesOutstanding, 0);

    EXPECT_EQ(onHotkey(kHotkeyTaskbar), 0);
    EXPECT_TRUE(desk.visible(desk.taskbar));
    EXPECT_EQ(desk.workArea, kAboveTaskbar);
    expectAnnouncedWithoutWaiting(desk, 2);
    // Only the window we stretched is shrunk; one that was full-screen of its own stays so.
    EXPECT_EQ(desk.rectOf(desk.filling), kAboveTaskbar);
    EXPECT_EQ(desk.rectOf(desk.full), kScreen);
    EXPECT_EQ(desk.rectOf(desk.onePixelMore), (Rect{0, 0, 1920, 1041}));
    EXPECT_EQ(desk.rectOf(desk.hidden), kAboveTaskbar);

    expectARoundTrip(desk);  // and round again, the same way
}

TEST(Taskbar, OneMonitorIsToggledWithTheSameCallsAsEver) {
    Desk desk;
    desk.records.calls.clear();
    onHotkey(kHotkeyTaskbar);
    onHotkey(kHotkeyTaskbar);
    const std::vector<std::string> expected = {
        "GetDeviceCaps 8", "GetDeviceCaps 10", "ShowWindowAsync Shell_TrayWnd 0",
        "FindWindowExA Shell_SecondaryTrayWnd",  // new, and finds none
        "SystemParametersInfoA 48",
        "EnumDisplayMonitors",  // new: the one monitor, the primary, needs nothing more
        "SetWindowPos #32769 0 0 1920 1080 532", "SystemParametersInfoA 47 {0, 0, 1920, 1080}",
        "SendNotifyMessageA 26 47", "EnumWindows", "SetWindowPos Filling 0 0 1920 1080 16404",

        "GetDeviceCaps 8", "GetDeviceCaps 10", "ShowWindowAsync Shell_TrayWnd 8",
        "SetWindowPos #32769 0 0 1920 1040 532", "SystemParametersInfoA 47 {0, 0, 1920, 1040}",
        "SendNotifyMessageA 26 47", "EnumWindows", "SetWindowPos Filling 0 0 1920 1040 16404",
    };
    EXPECT_EQ(desk.records.calls, expected);
}

TEST(Taskbar, EveryMonitorGivesItsTaskbarsSpaceAndTakesItBack) {
    struct Case {
        const char* name;
        Rect monitor, work, bar;
    };
    const Case cases[] = {
        {"right, taskbar at the bottom", {1920, 0, 3840, 1080}, {1920, 0, 3840, 1040},
         {1920, 1040, 3840, 1080}},
        {"below, taskbar on top", {0, 1080, 1920, 2160}, {0, 1120, 1920, 2160},
         {0, 1080, 1920, 1120}},
        {"left and higher, taskbar on the left", {-1280, -200, 0, 824}, {-1220, -200, 0, 824},
         {-1280, -200, -1220, 824}},
    };
    for (const Case& c : cases) {
        Desk desk;
        desk.addMonitor(c.monitor, c.work);
        WindowHandle bar = desk.addWindow("", c.bar, true, kSecondaryTaskbar);
        WindowHandle filling = desk.addWindow("Filling there", c.work);
        WindowHandle video = desk.addWindow("Full screen there", c.monitor);
        WindowHandle maximised = desk.addWindow("Maximised there", enlarged(c.work, 8));
        desk.windows[maximised].zoomed = true;

        const auto expectTaskbarsShown = [&](bool shown) {
            const Rect& area = shown ? c.work : c.monitor;
            EXPECT_EQ(desk.visible(bar), shown) << c.name;
            EXPECT_EQ(desk.monitors[1].work, area) << c.name;
            EXPECT_EQ(desk.workArea, shown ? kAboveTaskbar : kScreen) << c.name;
            EXPECT_EQ(desk.rectOf(desk.filling), desk.workArea) << c.name;
            EXPECT_EQ(desk.rectOf(filling), area) << c.name;
            EXPECT_EQ(desk.rectOf(video), c.monitor) << c.name;
            EXPECT_EQ(desk.rectOf(maximised), enlarged(area, 8)) << c.name;
        };
        onHotkey(kHotkeyTaskbar);
        expectTaskbarsShown(false);
        expectAnnouncedWithoutWaiting(desk, 1);  // once, for every monitor
        onHotkey(kHotkeyTaskbar);
        expectTaskbarsShown(true);
    }
}

TEST(Taskbar, TaskbarsAndMonitorsThatComeAndGoBetweenThePresses) {
    Desk desk;
    const Rect right = {1920, 0, 3840, 1080}, rightWork = {1920, 0, 3840, 1040};
    const Rect below = {0, 1080, 1920, 2160}, belowWork = {0, 1080, 1920, 2120};
    const Rect left = {-1920, 0, 0, 1080}, leftWork = {-1920, 0, 0, 1040};
    desk.addMonitor(right, rightWork);
    desk.addMonitor(below, belowWork);
    WindowHandle closing = desk.addWindow("", {1920, 1040, 3840, 1080}, true, kSecondaryTaskbar);
    WindowHandle belowBar = desk.addWindow("", {0, 2120, 1920, 2160}, true, kSecondaryTaskbar);
    WindowHandle hiddenBar = desk.addWindow("", {0, 0, 0, 0}, false, kSecondaryTaskbar);
    WindowHandle onBelow = desk.addWindow("Below", belowWork);
    onHotkey(kHotkeyTaskbar);
    EXPECT_FALSE(desk.visible(belowBar));
    EXPECT_EQ(desk.rectOf(onBelow), below);

    // No WM_DISPLAYCHANGE reaches us: one taskbar closes, the monitor below goes, one comes.
    desk.removeWindow(closing);
    desk.monitors.pop_back();
    desk.addMonitor(left, leftWork);
    onHotkey(kHotkeyTaskbar);
    EXPECT_TRUE(desk.visible(belowBar));
    EXPECT_FALSE(desk.visible(hiddenBar)) << "hidden by its user before the first press";
    EXPECT_EQ(desk.workArea, kAboveTaskbar);
    EXPECT_EQ(desk.monitors[1].work, rightWork);
    EXPECT_EQ(desk.monitors[2].work, leftWork);
    EXPECT_EQ(desk.rectOf(onBelow), below);  // nowhere to give it back to

    // Again with a monitor that then moves, one with no room, and a window its program made
    // full-screen on another monitor: none of them is given anything back.
    Desk again;
    const Rect moved = {0, 1180, 1920, 2260};
    const Rect empty = {-1920, 0, -1920, 0};  // a monitor's work area with no room at all
    again.addMonitor(right, rightWork);
    again.addMonitor(below, {0, 1080, 1920, 2120});
    again.addMonitor({-1920, 0, 0, 1080}, empty);
    WindowHandle bar = again.addWindow("", {1920, 1040, 3840, 1080}, true, kSecondaryTaskbar);
    onHotkey(kHotkeyTaskbar);
    EXPECT_EQ(again.monitors[3].work, empty);
    again.monitors[2].rect = again.monitors[2].work = moved;  // the same monitor, elsewhere
    again.windows[again.filling].rect = right;  // made full-screen by its program on another
    onHotkey(kHotkeyTaskbar);
    EXPECT_EQ(again.monitors[1].work, rightWork);
    EXPECT_EQ(again.monitors[2].work, moved);
    EXPECT_EQ(again.monitors[3].work, empty);
    EXPECT_EQ(again.rectOf(again.filling), right);

    // A taskbar another program hid after that round stays hidden through the next.
    ShowWindow(bar, SW_HIDE);
    onHotkey(kHotkeyTaskbar);
    onHotkey(kHotkeyTaskbar);
    EXPECT_FALSE(again.visible(bar));
}

TEST(Taskbar, WithNoAreaOfOursToGiveBackEachTaskbarShownGetsTheRoomBesideIt) {
    struct Case { const char* name; Rect bar; bool autoHide; Rect primary, right; };
    const Rect right = {1920, 0, 3840, 1080}, rightWork = {1920, 0, 3840, 1040};
    const Case cases[] = {  // the taskbars and, after the press, the work areas
        {"at the bottom", {0, 1040, 1920, 1080}, false, kAboveTaskbar, rightWork},
        {"one pixel short of the edge", {0, 1040, 1919, 1080}, false, kScreen, rightWork},
        {"the whole screen", kScreen, false, kScreen, rightWork},
        {"hiding itself", {0, 1040, 1920, 1080}, true, kScreen, right},
    };
    for (const Case& c : cases) {
        Desk desk;  // hidden by an earlier Tabrin, which left the whole screens to the windows
        desk.windows[desk.taskbar] = {"", "Shell_TrayWnd", c.bar, false};
        desk.taskbarsAutoHide = c.autoHide;
        desk.workArea = kScreen;
        desk.addMonitor(right);
        WindowHandle bar = desk.addWindow("", {1920, 1040, 3840, 1080}, false, kSecondaryTaskbar);
        onHotkey(kHotkeyTaskbar);
        EXPECT_TRUE(desk.visible(desk.taskbar) && desk.visible(bar)) << "every taskbar follows";
        EXPECT_EQ(desk.workArea, c.primary) << c.name;
        EXPECT_EQ(desk.monitors[1].work, c.right) << c.name;
        EXPECT_EQ(desk.rectOf(desk.full), kScreen);
        EXPECT_EQ(desk.rectOf(desk.filling), kAboveTaskbar);
    }
    {
        SimulatedDesktop desk;  // no taskbar window at all
        WindowHandle window = desk.addWindow("Any", kScreen);
        for (int press = 0; press < 3; ++press) onHotkey(kHotkeyTaskbar);
        EXPECT_EQ(desk.workArea, kScreen);
        EXPECT_EQ(desk.rectOf(window), kScreen);
    }
    {
        Desk desk;  // a full round of ours, then someone else hides the taskbar
        onHotkey(kHotkeyTaskbar);
        onHotkey(kHotkeyTaskbar);
        ShowWindow(desk.taskbar, SW_HIDE);
        onHotkey(kHotkeyTaskbar);
        EXPECT_TRUE(desk.visible(desk.taskbar));
        EXPECT_EQ(desk.workArea, kAboveTaskbar);
    }
}

TEST(Taskbar, ThePressFollowsTheTaskbarsActualVisibility) {
    Desk desk;
    onHotkey(kHotkeyTaskbar);           // hidden by us: the screen is the work area
    ShowWindow(desk.taskbar, SW_SHOW);  // shown again by another program
    onHotkey(kHotkeyTaskbar);           // visible, so this press hides it again
    EXPECT_FALSE(desk.visible(desk.taskbar));
    EXPECT_EQ(desk.workArea, kScreen);

    onHotkey(kHotkeyTaskbar);  // and this one gives back the area from before the first hide
    EXPECT_TRUE(desk.visible(desk.taskbar));
    EXPECT_EQ(desk.workArea, kAboveTaskbar);
    EXPECT_EQ(desk.rectOf(desk.filling), kAboveTaskbar);
}

TEST(Taskbar, MaximisedWindowsFollowWithTheirFrameOutside) {
    // Windows 10 at 100 % and Wine; with and without the system re-maximising them itself first.
    for (int inset : {8, 4}) {
        for (bool systemRefits : {false, true}) {
            Desk desk;
            desk.faults.refitsMaximisedWindows = systemRefits;
            WindowHandle maximised = desk.addMaximisedWindow("Maximised", inset);
            WindowHandle popup = desk.addMaximisedWindow("Maximised without frame", 0);
            // Not of the maximised form: uneven, not maximised, or on a monitor to the right.
            WindowHandle uneven = desk.addWindow("Uneven", {-8, -8, 1928, 1049});
            desk.windows[uneven].zoomed = true;
            WindowHandle restored = desk.addWindow("Restored", enlarged(kAboveTaskbar, inset));
            WindowHandle elsewhere = desk.addWindow("Elsewhere", {1912, -8, 3848, 1048});
            desk.windows[elsewhere].zoomed = true;
            const std::string context =
                "inset " + std::to_string(inset) + (systemRefits ? ", refitted by the system" : "");

            onHotkey(kHotkeyTaskbar);
            EXPECT_EQ(desk.rectOf(maximised), enlarged(kScreen, inset)) << context;
            EXPECT_TRUE(desk.windows[maximised].zoomed) << context;
            EXPECT_EQ(desk.rectOf(popup), kScreen) << context;
            EXPECT_EQ(desk.rectOf(uneven), (Rect{-8, -8, 1928, 1049})) << context;
            EXPECT_EQ(desk.rectOf(restored), enlarged(kAboveTaskbar, inset)) << context;
            EXPECT_EQ(desk.rectOf(elsewhere), (Rect{1912, -8, 3848, 1048})) << context;

            onHotkey(kHotkeyTaskbar);
            EXPECT_EQ(desk.rectOf(maximised), enlarged(kAboveTaskbar, inset)) << context;
            EXPECT_EQ(desk.rectOf(popup), kAboveTaskbar) << context;
            EXPECT_EQ(desk.rectOf(uneven), (Rect{-8, -8, 1928, 1049})) << context;
            EXPECT_EQ(desk.rectOf(elsewhere), (Rect{1912, -8, 3848, 1048})) << context;
        }
    }
}

TEST(Taskbar, ShowingGivesBackOnlyWhatTheHideTook) {
    Desk desk;
    WindowHandle desktop = desk.addWindow("Program Manager", kScreen, true, "Progman");
    WindowHandle wallpaper = desk.addWindow("", kScreen, true, "WorkerW");
    WindowHandle gone = desk.addWindow("Closed in between", kAboveTaskbar);
    onHotkey(kHotkeyTaskbar);
    ASSERT_EQ(desk.rectOf(gone), kScreen);
    desk.removeWindow(gone);
    // Made full-screen while the taskbar was hidden: a video, a game, a slide show.
    WindowHandle video = desk.addWindow("Video", kScreen);
    // Maximised while the work area was the screen.
    WindowHandle maximisedLater = desk.addMaximisedWindow("Maximised later", 8);

    onHotkey(kHotkeyTaskbar);
    EXPECT_EQ(desk.rectOf(desk.filling), kAboveTaskbar);
    EXPECT_EQ(desk.rectOf(video), kScreen);
    EXPECT_EQ(desk.rectOf(desk.full), kScreen);
    EXPECT_EQ(desk.rectOf(desktop), kScreen);
    EXPECT_EQ(desk.rectOf(wallpaper), kScreen);
    EXPECT_EQ(desk.rectOf(maximisedLater), enlarged(kAboveTaskbar, 8));

    // The next round starts from an empty table: the video stays full-screen through it.
    onHotkey(kHotkeyTaskbar);
    EXPECT_EQ(desk.rectOf(desk.filling), kScreen);
    onHotkey(kHotkeyTaskbar);
    EXPECT_EQ(desk.rectOf(desk.filling), kAboveTaskbar);
    EXPECT_EQ(desk.rectOf(video), kScreen);
}

TEST(Taskbar, AFullTableStretchesNoMore) {
    SimulatedDesktop desk;
    desk.addTaskbar(40);
    std::vector<WindowHandle> filling;
    for (int i = 0; i <= kStretchedCapacity; ++i)
        filling.push_back(desk.addWindow("Filling " + std::to_string(i), kAboveTaskbar));
    onHotkey(kHotkeyTaskbar);
    for (int i = 0; i < kStretchedCapacity; ++i) EXPECT_EQ(desk.rectOf(filling[i]), kScreen) << i;
    EXPECT_EQ(desk.rectOf(filling.back()), kAboveTaskbar);
    onHotkey(kHotkeyTaskbar);
    for (WindowHandle window : filling) EXPECT_EQ(desk.rectOf(window), kAboveTaskbar);
}

TEST(Taskbar, ShellAndCloakedWindowsAreNeverRefitted) {
    struct Case {
        const char* title;
        const char* className;
        bool cloaked;
        bool registeredShell;  // the window GetShellWindow returns
        bool refitted;
    };
    const Case cases[] = {
        {"Program Manager", "Progman", false, false, false},
        {"", "WorkerW", false, false, false},
        {"", "Shell_SecondaryTrayWnd", false, false, false},
        {"Desktop", "AnotherShellsDesktop", false, true, false},
        {"Calculator", "ApplicationFrameWindow", true, false, false},
        {"Progman's neighbour", "ProgmanX", false, false, true},
        {"Editor", "Notepad", false, false, true},
    };
    for (bool dwmMissing : {false, true}) {
        for (const Case& c : cases) {
            Desk desk;
            desk.faults.dwmMissing = dwmMissing;
            WindowHandle window = desk.addWindow(c.title, kAboveTaskbar, true, c.className);
            if (c.cloaked) desk.cloak(window);
            if (c.registeredShell) desk.shellWindow = window;
            // Without dwmapi nothing can be known to be cloaked: it is refitted like any other.
            const bool refitted = c.refitted || (dwmMissing && c.cloaked);
            onHotkey(kHotkeyTaskbar);
            EXPECT_EQ(desk.rectOf(window), refitted ? kScreen : kAboveTaskbar)
                << c.className << (dwmMissing ? ", no dwmapi" : "");
            EXPECT_EQ(desk.rectOf(desk.filling), kScreen);
            onHotkey(kHotkeyTaskbar);
            EXPECT_EQ(desk.rectOf(window), kAboveTaskbar) << c.className;
        }
    }
}

TEST(Taskbar, ANewScreenSizeWhileHiddenDropsTheSavedArea) {
    Desk desk;
    addTabrinWindow(desk);
    const Rect right = {1920, 0, 3840, 1080};
    desk.addMonitor(right, {1920, 0, 3840, 1040});
    WindowHandle bar = desk.addWindow("", {1920, 1040, 3840, 1080}, true, kSecondaryTaskbar);
    WindowHandle userHidden = desk.addWindow("", {0, 0, 0, 0}, false, kSecondaryTaskbar);
    onHotkey(kHotkeyTaskbar);
    desk.changeDisplay(1280, 720);
    desk.windows[desk.filling].rect = {0, 0, 1280, 720};  // as the system fits it to the screen
    desk.windows[desk.taskbar].rect = {0, 680, 1280, 720};  // and Explorer its taskbar
    desk.focus(desk.filling);

    onHotkey(kHotkeyTaskbar);  // 1920x1040 is no area for this screen: the room beside each bar
    EXPECT_TRUE(desk.visible(desk.taskbar));
    EXPECT_TRUE(desk.visible(bar));
    EXPECT_FALSE(desk.visible(userHidden));
    EXPECT_EQ(desk.foreground, desk.filling);
    EXPECT_EQ(desk.monitors[1].work, (Rect{1920, 0, 3840, 1040}));
    EXPECT_EQ(desk.workArea, (Rect{0, 0, 1280, 680}));
    EXPECT_EQ(desk.rectOf(desk.filling), (Rect{0, 0, 1280, 720}));

    // A change while the taskbar is shown costs nothing: the next round works as ever.
    desk.changeDisplay(1920, 1080);
    desk.workArea = kAboveTaskbar;
    desk.windows[desk.filling].rect = kAboveTaskbar;
    expectARoundTrip(desk);
}

TEST(Taskbar, AToggleNeverStartsInsideAnother) {
    Desk desk;
    // A window of ours that answers the announcement with Win+X, as a message handled while a
    // call of ours waits would.
    WindowHandle echo = desk.addWindow("Echo", {0, 0, 0, 0}, false, "Echo");
    desk.windows[echo].proc = [](WindowHandle, unsigned message, WParam, LParam) -> LResult {
        if (message == WM_SETTINGCHANGE) onHotkey(kHotkeyTaskbar);
        return 0;
    };
    expectARoundTrip(desk);
}

TEST(Taskbar, HeldWinXTogglesOnceAndAThousandPressesEndWhereTheyBegan) {
    for (bool vista : {false, true}) {
        Desk desk;
        desk.faults.refuseNoRepeat = vista;
        addTabrinWindow(desk);
        registerHotkeys();
        ASSERT_TRUE(desk.pressHotkey(MOD_WIN, 'X', 5));  // held past the repeat delay
        EXPECT_EQ(desk.visible(desk.taskbar), vista) << "six toggles where it repeats";
    }

    Desk desk;
    addTabrinWindow(desk);
    desk.addMonitor({-8, -8, -8, -8});  // of zero size
    for (int i = 1; i <= 64; ++i) {  // more than are remembered: those beyond keep theirs
        const Rect m = {1920 * i, 0, 1920 * (i + 1), 1080};
        desk.addMonitor(m, {m.left, 0, m.right, 1040});
        desk.addWindow("", {m.left, 1040, m.right, 1080}, true, kSecondaryTaskbar);
    }
    const std::vector<SimulatedDesktop::Monitor> monitorsBefore = desk.monitors;
    for (int press = 0; press < 1000; ++press) onHotkey(kHotkeyTaskbar);
    for (std::size_t i = 1; i < monitorsBefore.size(); ++i)
        EXPECT_EQ(desk.monitors[i].work, monitorsBefore[i].work) << "monitor " << i;
    for (const auto& w : desk.windows)
        EXPECT_TRUE(w.second.visible || w.second.className != kSecondaryTaskbar);
    EXPECT_TRUE(desk.visible(desk.taskbar));
    EXPECT_EQ(desk.workArea, kAboveTaskbar);
    EXPECT_EQ(desk.rectOf(desk.filling), kAboveTaskbar);
    EXPECT_EQ(desk.rectOf(desk.full), kScreen);
    expectAnnouncedWithoutWaiting(desk, 1000);
    EXPECT_EQ(desk.devicesOutstanding, 0);
}

TEST(Taskbar, AnEmptyWorkAreaIsNeverMatchedNorGivenBack) {
    Desk desk;
    desk.workArea = {0, 0, 0, 0};  // what a failing shell may report
    desk.addMonitor({1920, 0, 3840, 1080}, {1920, 0, 3840, 1040});
    WindowHandle helper = desk.addWindow("Helper", {0, 0, 0, 0});  // visible, of zero size
    onHotkey(kHotkeyTaskbar);
    EXPECT_FALSE(desk.visible(desk.taskbar));
    EXPECT_EQ(desk.rectOf(helper), (Rect{0, 0, 0, 0}));
    EXPECT_EQ(desk.monitors[1].work, (Rect{1920, 0, 3840, 1040})) << "nothing to give back";
    onHotkey(kHotkeyTaskbar);
    EXPECT_TRUE(desk.visible(desk.taskbar));
    EXPECT_EQ(desk.workArea, kAboveTaskbar);  // never the empty area: the room beside the taskbar
    EXPECT_EQ(desk.rectOf(helper), (Rect{0, 0, 0, 0}));
}

TEST(Taskbar, AnExplorerRestartAfterOurHideHidesItsNewTaskbarsAgain) {
    const Rect right = {1920, 0, 3840, 1080}, rightWork = {1920, 0, 3840, 1040};
    for (int presses : {0, 1, 2}) {
        Desk desk;
        addTabrinWindow(desk);
        addTrayIcon();
        desk.addMonitor(right, rightWork);
        desk.addMonitor({0, 1080, 1920, 2160});
        for (int i = 0; i < presses; ++i) onHotkey(kHotkeyTaskbar);
        // New, visible taskbars with new handles; the monitor below has gone meanwhile.
        desk.removeWindow(desk.taskbar);
        WindowHandle taskbar = desk.addWindow("", {0, 1040, 1920, 1080}, true, "Shell_TrayWnd");
        WindowHandle bar = desk.addWindow("", {1920, 1040, 3840, 1080}, true, kSecondaryTaskbar);
        desk.monitors.pop_back();
        desk.restartExplorer();
        const std::string context = std::to_string(presses) + " presses";
        EXPECT_EQ(desk.trayIcons.size(), 1u) << context;
        EXPECT_EQ(desk.visible(taskbar), presses != 1) << context;
        EXPECT_EQ(desk.visible(bar), presses != 1) << context;
        if (presses != 1) continue;
        EXPECT_EQ(desk.workArea, kScreen);
        EXPECT_EQ(desk.monitors[1].work, right);
        desk.restartExplorer();  // sent again without a restart: the taskbars it hid stay listed
        onHotkey(kHotkeyTaskbar);  // and the next press gives everything back
        EXPECT_TRUE(desk.visible(taskbar) && desk.visible(bar));
        EXPECT_EQ(desk.workArea, kAboveTaskbar);
        EXPECT_EQ(desk.monitors[1].work, rightWork);
        EXPECT_EQ(desk.rectOf(desk.filling), kAboveTaskbar);
    }
}

TEST(Taskbar, WindowsMatchedByWhatOneSeesAndGivenBackEvenOnAnotherVirtualDesktop) {
    struct Case {
        const char* name;
        Rect window, invisibleBorders, afterHide;
    };
    const Case cases[] = {
        {"100 %", {-7, 0, 1927, 1047}, {7, 0, 7, 7}, {-7, 0, 1927, 1087}},
        {"150 %", {-10, 0, 1930, 1050}, {10, 0, 10, 10}, {-10, 0, 1930, 1090}},
        {"one pixel short", {-7, 0, 1927, 1046}, {7, 0, 7, 7}, {-7, 0, 1927, 1046}},
        {"sized to the area by its program", kAboveTaskbar, {7, 0, 7, 7}, kScreen},
        {"bounds beyond the window", kAboveTaskbar, {-5, 0, -5, -5}, kScreen},
        {"empty bounds", kAboveTaskbar, {960, 0, 960, 0}, kScreen},
    };
    for (const Case& c : cases) {
        Desk desk;
        WindowHandle framed = desk.addWindow("Framed", c.window);
        desk.windows[framed].invisibleBorders = c.invisibleBorders;
        WindowHandle maximised = desk.addMaximisedWindow("Maximised", 8);
        onHotkey(kHotkeyTaskbar);
        EXPECT_EQ(desk.rectOf(framed), c.afterHide) << c.name;
        desk.cloak(framed);  // the user switched to another virtual desktop
        desk.cloak(maximised);
        onHotkey(kHotkeyTaskbar);
        EXPECT_EQ(desk.rectOf(framed), c.window) << c.name;
        EXPECT_EQ(desk.rectOf(maximised), enlarged(kAboveTaskbar, 8)) << c.name;
    }
}
