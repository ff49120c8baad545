// The ten global hotkeys acting on our own windows, and the taskbar toggle on
// the real taskbar of the "shell" desktop.
#include "mouse_input.h"

using namespace e2e;

namespace {

struct Combo {
    const char* name;
    unsigned modifiers;
    WORD vk;
};

const Combo kCombos[] = {
    {"centre", kWin | kCtrl, 'T'},
    {"resize_up", kWin | kAlt, VK_UP},
    {"resize_down", kWin | kAlt, VK_DOWN},
    {"resize_left", kWin | kAlt, VK_LEFT},
    {"resize_right", kWin | kAlt, VK_RIGHT},
    {"move_up", kWin | kCtrl, VK_UP},
    {"move_down", kWin | kCtrl, VK_DOWN},
    {"move_left", kWin | kCtrl, VK_LEFT},
    {"move_right", kWin | kCtrl, VK_RIGHT},
};

// The rectangle a user should see after one press, worked out by hand from the
// hotkey table rather than by any code under test.
RECT expectedAfter(const std::string& action, const RECT& r, int step, bool invert) {
    const int a = invert ? -step : step;
    const LONG w = r.right - r.left, h = r.bottom - r.top;
    if (action == "centre") {
        RECT d = desktopRect();
        LONG x = (d.right - w) / 2, y = (d.bottom - h) / 2;  // C++ truncates toward zero
        return rect(x, y, x + w, y + h);
    }
    if (action == "resize_up") return rect(r.left, r.top, r.right, r.bottom - step);
    if (action == "resize_down") return rect(r.left, r.top, r.right, r.bottom + step);
    if (action == "resize_left") return rect(r.left, r.top, r.right - step, r.bottom);
    if (action == "resize_right") return rect(r.left, r.top, r.right + step, r.bottom);
    if (action == "move_up") return rect(r.left, r.top - a, r.right, r.bottom - a);
    if (action == "move_down") return rect(r.left, r.top + a, r.right, r.bottom + a);
    if (action == "move_left") return rect(r.left - a, r.top, r.right - a, r.bottom);
    return rect(r.left + a, r.top, r.right + a, r.bottom);  // move_right
}

struct Config {
    const char* name;
    const char* ini;  // nullptr: no tabrin.ini at all
    int step;
    bool invert;
};

const Config kConfigs[] = {
    {"default", nullptr, 20, false},
    {"step7_inverted", "stepsize=7\r\ninvertarrows=1\r\n", 7, true},
};

void pressOnce(const Config& config, const Combo& combo) {
    TempDir exeDir, cwd;
    if (config.ini) exeDir.write("tabrin.ini", config.ini);
    Tabrin tabrin;
    tabrin.startReady(exeDir, cwd);
    // Off-centre, so that centring is seen to move it.
    const RECT start = rect(130, 110, 530, 410);
    TestWindow target("Target window", start);
    target.makeForeground();
    pressCombo(combo.modifiers, combo.vk);
    RECT expected = expectedAfter(combo.name, start, config.step, config.invert);
    target.expectRect(expected, "after " + comboName(combo.modifiers, combo.vk) + " the window");
    // One press is one step: nothing more may follow.
    target.expectUnchanged(expected, "after one press the window");
    tabrin.closeCleanly();
}

const struct RegisterComboCases {
    RegisterComboCases() {
        for (const Config& config : kConfigs)
            for (const Combo& combo : kCombos)
                addCase(std::string("hotkeys.") + config.name + "." + combo.name,
                        [&config, &combo] { pressOnce(config, combo); });
    }
} registerComboCases;

// Win+Ctrl+Right on an untitled window, with a titled one as the control
// proving that the key press itself arrived.
void untitledMove(const char* ini, bool expectMoved) {
    TempDir exeDir, cwd;
    if (ini) exeDir.write("tabrin.ini", ini);
    Tabrin tabrin;
    tabrin.startReady(exeDir, cwd);
    const RECT start = rect(100, 100, 500, 400);
    const RECT moved = rect(120, 100, 520, 400);
    TestWindow untitled("", start);
    untitled.makeForeground();
    pressCombo(kWin | kCtrl, VK_RIGHT);
    if (expectMoved) {
        untitled.expectRect(moved, "the untitled window moved");
    } else {
        untitled.expectUnchanged(start, "the untitled window");
        TestWindow titled("Titled control", start);
        titled.makeForeground();
        pressCombo(kWin | kCtrl, VK_RIGHT);
        titled.expectRect(moved, "the titled control window moved");
        if (untitled.rect() != start) fail("the untitled window left alone", str(untitled.rect()));
    }
    tabrin.closeCleanly();
}

// Win+X, then the taskbar's visibility seen to follow.
void toggleTaskbar(bool shownAfter, const char* press) {
    HWND bar = taskbar();
    pressCombo(kWin, 'X');
    if (!waitUntil([bar, shownAfter] { return (IsWindowVisible(bar) != FALSE) == shownAfter; },
                   kTimeoutMs))
        fail(std::string("Shell_TrayWnd ") + (shownAfter ? "shown" : "hidden") + " after the " +
                 press + " Win+X",
             shownAfter ? "it hidden" : "it visible");
}

HWND visibleTaskbar() {
    HWND bar = taskbar();
    if (!bar || !IsWindowVisible(bar)) fail("a visible Shell_TrayWnd", "none");
    return bar;
}

RECT enlarged(const RECT& r, LONG by) {
    return rect(r.left - by, r.top - by, r.right + by, r.bottom + by);
}

}  // namespace

E2E_TABRIN_CASE("hotkeys.centre_wider_than_desktop") {
    const RECT d = desktopRect();
    // An odd negative remainder: (right - width) / 2 must truncate toward zero.
    const LONG w = d.right + 77, h = 301;
    const RECT start = rect(10, 10, 10 + w, 10 + h);
    TestWindow wide("Wide window", start, true, WS_POPUP | WS_CAPTION | WS_SYSMENU);
    wide.makeForeground();
    pressCombo(kWin | kCtrl, 'T');
    const LONG x = -77 / 2, y = (d.bottom - h) / 2;
    wide.expectRect(rect(x, y, x + w, y + h), "the wide window centred");
    tabrin.closeCleanly();
}

E2E_CASE("hotkeys.untitled_left_alone_by_default") { untitledMove(nullptr, false); }

E2E_CASE("hotkeys.untitled_moved_when_not_ignored") {
    untitledMove("ignoreunnamed=0\r\n", true);
}

E2E_TABRIN_CASE("hotkeys.released_at_exit") {
    // While it runs the combinations are taken...
    for (const Hotkey& k : kDefaultHotkeys) {
        if (RegisterHotKey(nullptr, 0x100 + k.id, k.modifiers, k.vk)) {
            UnregisterHotKey(nullptr, 0x100 + k.id);
            fail("hotkey " + str(k.id) + " taken by tabrin", "it free");
        }
    }
    tabrin.closeCleanly();
    // ...and after a clean exit every one of them is free again.
    for (const Hotkey& k : kDefaultHotkeys) {
        if (!RegisterHotKey(nullptr, 0x100 + k.id, k.modifiers, k.vk))
            fail("hotkey " + str(k.id) + " free after exit", "error " + str(GetLastError()));
        UnregisterHotKey(nullptr, 0x100 + k.id);
    }
}

E2E_TABRIN_CASE("hotkeys.off_leaves_the_combination_free", "moveleftkey=off\r\n") {
    if (!RegisterHotKey(nullptr, 0x100, MOD_WIN | MOD_CONTROL, VK_LEFT))
        fail("Win+Ctrl+Left free for another program", "error " + str(GetLastError()));
    UnregisterHotKey(nullptr, 0x100);
    // The other moves are still Tabrin's.
    if (RegisterHotKey(nullptr, 0x101, MOD_WIN | MOD_CONTROL, VK_RIGHT)) {
        UnregisterHotKey(nullptr, 0x101);
        fail("Win+Ctrl+Right taken by tabrin", "it free");
    }
    tabrin.closeCleanly();
}

E2E_CASE("taskbar.toggle_hides_refits_and_restores") {
    visibleTaskbar();
    const RECT screen = desktopRect();
    const RECT area = workArea();
    if (area == screen) fail("a work area smaller than the screen", str(area));

    TempDir exeDir, cwd;
    Tabrin tabrin;
    tabrin.startReady(exeDir, cwd);
    TestWindow exact("Exact fit", area);
    TestWindow larger("One pixel larger", rect(area.left, area.top, area.right, area.bottom + 1));
    TestWindow hidden("Hidden exact fit", area, false);
    exact.makeForeground();

    toggleTaskbar(false, "first");
    exact.expectRect(screen, "the exactly fitting window refitted to the screen");
    larger.expectUnchanged(rect(area.left, area.top, area.right, area.bottom + 1),
                           "the one-pixel-larger window");
    if (hidden.rect() != area) fail("the hidden window left at " + str(area), str(hidden.rect()));
    // Made full-screen while the taskbar is hidden, as a video or a game would be.
    TestWindow video("Full screen of its own", screen, true, WS_POPUP);
    exact.makeForeground();

    toggleTaskbar(true, "second");
    exact.expectRect(area, "the full-screen window given back the old work area");
    video.expectUnchanged(screen, "the window made full-screen by its own program");
    if (larger.rect() != rect(area.left, area.top, area.right, area.bottom + 1))
        fail("the one-pixel-larger window left alone", str(larger.rect()));
    if (hidden.rect() != area) fail("the hidden window left at " + str(area), str(hidden.rect()));
    // The taskbar shown is not activated: the user's window keeps the keyboard and the keys.
    if (GetForegroundWindow() != exact.handle()) fail("it in front after the show", "another");
    pressCombo(kWin | kCtrl, VK_DOWN);
    exact.expectRect(rect(area.left, area.top + 20, area.right, area.bottom + 20), "Win+Ctrl+Down");
    tabrin.closeCleanly();
}

E2E_CASE("taskbar.maximised_window_keeps_its_frame_outside") {
    visibleTaskbar();
    const RECT screen = desktopRect();
    const RECT area = workArea();
    TempDir exeDir, cwd;
    Tabrin tabrin;
    tabrin.startReady(exeDir, cwd);
    TestWindow window("Maximised", rect(100, 100, 600, 400));
    ShowWindow(window.handle(), SW_MAXIMIZE);
    pump();
    // The work area with the resizing frame outside it, the same on every side.
    const RECT maximised = window.rect();
    const LONG inset = area.left - maximised.left;
    if (inset <= 0 || maximised != enlarged(area, inset))
        fail("a maximised rectangle framing " + str(area) + " evenly", str(maximised));

    toggleTaskbar(false, "first");
    window.expectRect(enlarged(screen, inset), "the maximised window over the whole screen");
    if (!IsZoomed(window.handle())) fail("the window still maximised", "it restored");
    toggleTaskbar(true, "second");
    window.expectRect(maximised, "the maximised window back at its maximised rectangle");
    tabrin.closeCleanly();
}

E2E_CASE("taskbar.secondary_taskbars_hidden_and_shown_again") {
    visibleTaskbar();
    TempDir exeDir, cwd;
    Tabrin tabrin;
    tabrin.startReady(exeDir, cwd);
    // Stand-ins for the taskbars of other monitors; the second was hidden by its user.
    TestWindow shown("", rect(0, 0, 400, 30), true, WS_POPUP, "Shell_SecondaryTrayWnd");
    TestWindow hidden("", rect(0, 40, 400, 70), false, WS_POPUP, "Shell_SecondaryTrayWnd");
    toggleTaskbar(false, "first");
    if (!waitUntil([&] { return !IsWindowVisible(shown.handle()); }, kTimeoutMs))
        fail("the stand-in hidden after the first Win+X", "it visible");
    toggleTaskbar(true, "second");
    if (!waitUntil([&] { return IsWindowVisible(shown.handle()) != FALSE; }, kTimeoutMs))
        fail("the stand-in shown after the second Win+X", "it hidden");
    pumpFor(kSettleMs);
    if (IsWindowVisible(hidden.handle())) fail("the one hidden before left hidden", "it shown");
    tabrin.closeCleanly();
}

// Explorer restarted (a crash, an update) while the taskbar was hidden: its new taskbar comes
// up shown, and Tabrin hides it again. "TaskbarCreated" posted by us stands in for the restart.
E2E_CASE("taskbar.hidden_again_after_explorer_restarts") {
    HWND bar = visibleTaskbar();
    const RECT screen = desktopRect(), area = workArea();
    TempDir exeDir, cwd;
    Tabrin tabrin;
    tabrin.startReady(exeDir, cwd);
    TestWindow exact("Exact fit", area);
    exact.makeForeground();
    toggleTaskbar(false, "first");
    exact.expectRect(screen, "the exactly fitting window refitted to the screen");
    ShowWindowAsync(bar, SW_SHOW);
    if (!waitUntil([bar] { return IsWindowVisible(bar) != FALSE; }, kTimeoutMs))
        fail("Shell_TrayWnd shown by the stand-in Explorer", "it hidden");
    PostMessageA(tabrin.mainWindow(), RegisterWindowMessageA("TaskbarCreated"), 0, 0);
    if (!waitUntil([bar] { return !IsWindowVisible(bar); }, 1000))
        fail("Shell_TrayWnd hidden again within 1 s of \"TaskbarCreated\"", "it shown");
    toggleTaskbar(true, "second");
    exact.expectRect(area, "the stretched window given back the old work area");
    tabrin.closeCleanly();
}

// Taskbars hidden by a Tabrin that has exited (or crashed, or was updated) follow the next one.
E2E_CASE("taskbar.secondary_taskbar_hidden_by_an_earlier_tabrin_shown") {
    visibleTaskbar();
    TempDir exeDir, cwd;
    TestWindow secondary("", rect(0, 0, 400, 30), true, WS_POPUP, "Shell_SecondaryTrayWnd");
    {
        Tabrin earlier;
        earlier.startReady(exeDir, cwd);
        toggleTaskbar(false, "first");
        if (!waitUntil([&] { return !IsWindowVisible(secondary.handle()); }, kTimeoutMs))
            fail("the stand-in hidden by the first Tabrin", "it visible");
        earlier.closeCleanly();
    }
    Tabrin next;
    next.startReady(exeDir, cwd);
    // Wine's shell shows its taskbar again when an icon is added, Windows' does not: wait for
    // that before hiding it again, and see that it stays hidden.
    waitUntil([] { return IsWindowVisible(taskbar()) != FALSE; }, 2000);
    ShowWindowAsync(taskbar(), SW_HIDE);
    pumpFor(kSettleMs);
    if (IsWindowVisible(taskbar())) fail("Shell_TrayWnd hidden again before the press", "it shown");
    toggleTaskbar(true, "next Tabrin's first");
    if (!waitUntil([&] { return IsWindowVisible(secondary.handle()) != FALSE; }, kTimeoutMs))
        fail("the stand-in shown by the next Tabrin's first Win+X", "it hidden");
    next.closeCleanly();
}

E2E_CASE("hotkeys.shell_window_never_moves") {
    visibleTaskbar();
    const RECT screen = desktopRect();
    TempDir exeDir, cwd;
    Tabrin tabrin;
    tabrin.startReady(exeDir, cwd);
    // A stand-in for Explorer's desktop: titled, so only its class can spare it.
    TestWindow desktop("Program Manager", screen, true, WS_POPUP, "Progman");
    using SetShellWindowProc = BOOL(WINAPI*)(HWND);
    const auto setShellWindow = reinterpret_cast<SetShellWindowProc>(reinterpret_cast<void (*)()>(
        GetProcAddress(GetModuleHandleA("user32.dll"), "SetShellWindow")));
    if (setShellWindow) setShellWindow(desktop.handle());  // where the system lets us
    desktop.makeForeground();

    for (const Combo& combo : kCombos) {
        pressCombo(combo.modifiers, combo.vk);
        desktop.expectUnchanged(screen, "after " + comboName(combo.modifiers, combo.vk) +
                                            " the desktop");
    }
    settlePointerAt((screen.left + screen.right) / 2, (screen.top + screen.bottom) / 2);
    {
        HeldKeys keys(kWin | kCtrl);
        sendMouse(MouseGesture::LeftClick);
    }
    desktop.expectUnchanged(screen, "after Win+Ctrl + left click the desktop");
    toggleTaskbar(false, "first");
    desktop.expectUnchanged(screen, "after the first Win+X the desktop");
    toggleTaskbar(true, "second");
    desktop.expectUnchanged(screen, "after the second Win+X the desktop");

    // The same key moves an ordinary window: the presses did arrive.
    TestWindow ordinary("Ordinary window", rect(100, 100, 500, 400));
    ordinary.makeForeground();
    pressCombo(kWin | kCtrl, VK_RIGHT);
    ordinary.expectRect(rect(120, 100, 520, 400), "the ordinary window moved");
    tabrin.closeCleanly();
}
