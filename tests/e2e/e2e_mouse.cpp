// Mouse gestures through tabrin's low-level hook: the wheel and the buttons
// with Win+Ctrl or Win+Alt held move our foreground window and are withheld;
// without the Win combination, or with the hook off, everything arrives.
#include "mouse_input.h"

using namespace e2e;

namespace {

const RECT kStart = rect(300, 250, 700, 550);

// Puts the pointer over the middle of the window, where clicks would land.
void pointAt(const RECT& r) { settlePointerAt((r.left + r.right) / 2, (r.top + r.bottom) / 2); }

// Tabrin started from a fresh folder (with `ini` as its tabrin.ini, when given), and a window of
// ours in the foreground, with the pointer over it and its mouse messages counted.
struct Scene {
    TempDir exeDir, cwd;
    Tabrin tabrin;
    TestWindow target;
    MouseSpy spy;

    explicit Scene(const char* title, const char* ini = nullptr)
        : target(title, kStart), spy(target.handle()) {
        if (ini) exeDir.write("tabrin.ini", ini);
        tabrin.startReady(exeDir, cwd);
        target.makeForeground();
        pointAt(kStart);
    }
};

struct Gesture {
    unsigned held;
    MouseGesture event;
    int dx, dy;  // in units of the mouse step m
};

// The gesture table, written out by hand: m is the step, negated by invertedmouse.
const Gesture kGestures[] = {
    {kWin | kCtrl, MouseGesture::WheelForward, 0, -1},
    {kWin | kCtrl, MouseGesture::WheelBackward, 0, +1},
    {kWin | kCtrl, MouseGesture::LeftClick, -1, 0},
    {kWin | kCtrl, MouseGesture::RightClick, +1, 0},
    {kWin | kAlt, MouseGesture::WheelForward, -1, 0},
    {kWin | kAlt, MouseGesture::WheelBackward, +1, 0},
    {kWin | kAlt, MouseGesture::LeftClick, 0, -1},
    {kWin | kAlt, MouseGesture::RightClick, 0, +1},
    {kWin | kCtrl | kAlt, MouseGesture::WheelForward, 0, -1},  // Ctrl wins over Alt
    {kWin | kCtrl, MouseGesture::WheelZero, 0, -1},            // a zero delta is forward
};

std::string heldName(unsigned held) {
    std::string name = comboName(held, ' ');
    return name.substr(0, name.size() - 2);
}

void gestureTable(const char* ini, int m) {
    Scene s("Gesture target", ini);
    RECT expected = kStart;
    for (const Gesture& g : kGestures) {
        pointAt(s.target.rect());
        {
            HeldKeys keys(g.held);
            sendMouse(g.event);
        }
        OffsetRect(&expected, g.dx * m, g.dy * m);
        s.target.expectRect(expected, "after " + heldName(g.held) + " + " +
                                          gestureName(g.event) + " the window");
    }
    s.target.expectUnchanged(expected, "after the last gesture the window");
    if (s.spy.summary() != "none") fail("no mouse message reaching the window", s.spy.summary());
    s.tabrin.closeCleanly();
}

// Every click and wheel turn reaches the window and nothing moves.
void expectPassedOn(const TestWindow& target, MouseSpy& spy, unsigned held,
                    const std::string& when) {
    spy.reset();
    {
        HeldKeys keys(held);
        sendMouse(MouseGesture::LeftClick);
        sendMouse(MouseGesture::RightClick);
        sendMouse(MouseGesture::WheelForward);
    }
    const std::string what = held ? when + " with " + heldName(held) + " held" : when;
    waitUntil([&] { return spy.count(WM_MOUSEWHEEL) > 0; }, kTimeoutMs);
    pumpFor(200);
    const std::string all = "WM_LBUTTONDOWN x1, WM_LBUTTONUP x1, WM_RBUTTONDOWN x1, "
                            "WM_RBUTTONUP x1, WM_MOUSEWHEEL x1";
    if (spy.summary() != all) fail(all + " " + what, spy.summary());
    target.expectUnchanged(kStart, what + " the window");
}

}  // namespace

E2E_CASE("mouse.default.gesture_table") { gestureTable(nullptr, -20); }

E2E_CASE("mouse.not_inverted.gesture_table") { gestureTable("invertedmouse=0\r\n", 20); }

E2E_CASE("mouse.withheld_only_with_the_win_combination") {
    Scene s("Click target");

    POINT before = {};
    GetCursorPos(&before);
    {
        HeldKeys keys(kWin | kCtrl);
        sendMouse(MouseGesture::LeftClick);
        s.target.expectRect(rect(320, 250, 720, 550), "after Win+Ctrl + left click the window");
        sendMouse(MouseGesture::RightClick);
        s.target.expectRect(kStart, "after Win+Ctrl + right click the window");
        sendMouseMove(40, 30);
    }
    if (s.spy.summary() != "none")
        fail("no button message while Win+Ctrl is held", s.spy.summary());
    POINT after = {};
    GetCursorPos(&after);
    if (after.x != before.x || after.y != before.y)
        fail("the pointer kept at " + str(before.x) + "," + str(before.y) + " while Win+Ctrl is held",
             str(after.x) + "," + str(after.y));

    expectPassedOn(s.target, s.spy, 0, "clicks without keys");
    expectPassedOn(s.target, s.spy, kCtrl, "clicks");
    expectPassedOn(s.target, s.spy, kCtrl | kAlt, "clicks");
    expectPassedOn(s.target, s.spy, kWin, "clicks");
    s.tabrin.closeCleanly();
}

E2E_CASE("mouse.no_hook_when_disabled_in_file") {
    Scene s("Click target", "enablemousescroll=0\r\n");
    expectPassedOn(s.target, s.spy, kWin | kCtrl, "with mouse scrolling off");
    expectPassedOn(s.target, s.spy, kWin | kAlt, "with mouse scrolling off");
    s.tabrin.closeCleanly();
}

// The hook is installed only once Win+Ctrl is seen going down: a wheel turn sent 10 ms after the
// keys must already find it.
E2E_CASE("mouse.gesture_10ms_after_the_keys") {
    Scene s("Quick target");
    RECT expected = kStart;
    for (int round = 0; round < 3; ++round) {
        {
            HeldKeys keys(kWin | kCtrl, 10);
            sendMouse(MouseGesture::WheelBackward);
        }
        OffsetRect(&expected, 0, -20);
        s.target.expectRect(expected, "after Win+Ctrl + wheel backward 10 ms after the keys, "
                                      "round " + str(round + 1) + ", the window");
        pumpFor(100);  // the keys are up: the hook goes
    }
    if (s.spy.summary() != "none") fail("no mouse message reaching the window", s.spy.summary());
    s.tabrin.closeCleanly();
}

// A button-up goes where its button-down went: a drag begun before the keys ends in the program,
// a click begun with the keys ends nowhere.
E2E_CASE("mouse.button_pairs_stay_whole") {
    Scene s("Drag target");

    sendMouse(MouseGesture::LeftDown);
    {
        HeldKeys keys(kWin | kCtrl);
        sendMouse(MouseGesture::LeftUp);
    }
    waitUntil([&] { return s.spy.count(WM_LBUTTONUP) > 0; }, kTimeoutMs);
    if (s.spy.summary() != "WM_LBUTTONDOWN x1, WM_LBUTTONUP x1")
        fail("a drag begun before Win+Ctrl to end in the window (WM_LBUTTONDOWN x1, "
             "WM_LBUTTONUP x1)",
             s.spy.summary());
    s.target.expectUnchanged(kStart, "after a drag begun before the keys the window");

    s.spy.reset();
    {
        HeldKeys keys(kWin | kCtrl);
        sendMouse(MouseGesture::LeftDown);
        s.target.expectRect(rect(320, 250, 720, 550),
                            "after Win+Ctrl + left button down the window");
    }
    sendMouse(MouseGesture::LeftUp);
    pumpFor(kSettleMs);
    if (s.spy.summary() != "none")
        fail("neither half of a click begun with Win+Ctrl and ended without it", s.spy.summary());

    // The hook is gone with the gesture: a plain click arrives whole.
    sendMouse(MouseGesture::LeftClick);
    waitUntil([&] { return s.spy.count(WM_LBUTTONUP) > 0; }, kTimeoutMs);
    if (s.spy.summary() != "WM_LBUTTONDOWN x1, WM_LBUTTONUP x1")
        fail("a plain click after the gesture to arrive whole", s.spy.summary());
    s.tabrin.closeCleanly();
}

namespace {

// Watches a window with a menu bar for menu mode: WM_SYSCOMMAND with SC_KEYMENU, which a lone Alt
// tap makes DefWindowProc send, and WM_ENTERMENULOOP. Lets the Alt keys reach DefWindowProc (the
// test window's own procedure drops them) and swallows SC_KEYMENU so the driver never sits in a
// modal menu loop.
class MenuModeSpy {
public:
    // Gives the window a menu bar for Alt to enter.
    explicit MenuModeSpy(HWND window) : window_(window) {
        HMENU bar = CreateMenu();
        AppendMenuA(bar, MF_STRING, 1, "&File");
        SetMenu(window, bar);
        current = this;
        previous_ = reinterpret_cast<WNDPROC>(
            SetWindowLongPtrA(window_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&proc)));
    }
    ~MenuModeSpy() {
        SetWindowLongPtrA(window_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(previous_));
        current = nullptr;
    }
    MenuModeSpy(const MenuModeSpy&) = delete;
    MenuModeSpy& operator=(const MenuModeSpy&) = delete;
    int keyMenus = 0;
    int menuLoops = 0;

private:
    static LRESULT CALLBACK proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
        switch (message) {
        case WM_SYSKEYDOWN:
        case WM_SYSKEYUP:
            return DefWindowProcA(window, message, wParam, lParam);
        case WM_SYSCOMMAND:
            if ((wParam & 0xFFF0) != SC_KEYMENU) break;
            ++current->keyMenus;
            return 0;
        case WM_ENTERMENULOOP:
            ++current->menuLoops;
            break;
        }
        return CallWindowProcA(current->previous_, window, message, wParam, lParam);
    }
    static MenuModeSpy* current;
    HWND window_;
    WNDPROC previous_;
};
MenuModeSpy* MenuModeSpy::current = nullptr;

}  // namespace

E2E_CASE("mouse.no_menu_mode_after_a_win_alt_click") {
    Scene s("Menu bar target");
    MenuModeSpy spy(s.target.handle());

    // First, that the spy can see it: a lone Alt tap puts the window in menu mode.
    tapKey(VK_MENU);
    waitUntil([&] { return spy.keyMenus > 0; }, 1000);
    if (spy.keyMenus != 1) fail("SC_KEYMENU x1 after a lone Alt tap", "x" + str(spy.keyMenus));

    spy.keyMenus = spy.menuLoops = 0;
    {
        HeldKeys keys(kWin | kAlt);  // released Alt first, then Win
        sendMouse(MouseGesture::LeftClick);
        s.target.expectRect(rect(300, 270, 700, 570), "after Win+Alt + left click the window");
    }
    pumpFor(kSettleMs);
    if (spy.keyMenus || spy.menuLoops)
        fail("no menu mode after Win+Alt + click with Alt released first",
             "SC_KEYMENU x" + str(spy.keyMenus) + ", WM_ENTERMENULOOP x" + str(spy.menuLoops));
    s.tabrin.closeCleanly();
}

// People roll from one combination into the next. Raw key events still waiting while the key
// state has moved on must not be judged against the keys pressed after them.
E2E_CASE("mouse.gesture_20ms_after_a_hotkey") {
    Scene s("Rolling target");
    MenuModeSpy menus(s.target.handle());
    RECT expected = kStart;
    for (int round = 1; round <= 4; ++round) {
        pressCombo(kWin | kCtrl, VK_DOWN);
        Sleep(20);
        {
            HeldKeys keys(kWin | kAlt);  // a person's 60 ms before the mouse
            sendMouse(MouseGesture::WheelForward);
        }
        OffsetRect(&expected, 20, 20);
        s.target.expectRect(expected, "after Win+Ctrl+Down, then Win+Alt + wheel 20 ms later, "
                                      "round " + str(round) + ", the window");
    }
    pumpFor(kSettleMs);
    if (s.spy.summary() != "none") fail("no mouse message reaching the window", s.spy.summary());
    if (menus.keyMenus || menus.menuLoops)
        fail("no menu mode", "SC_KEYMENU x" + str(menus.keyMenus) + ", WM_ENTERMENULOOP x" +
                                 str(menus.menuLoops));
    s.tabrin.closeCleanly();
}
