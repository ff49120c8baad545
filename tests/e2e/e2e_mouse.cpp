// Mouse gestures through tabrin's low-level hook: the wheel and the buttons
// with Win+Ctrl or Win+Alt held move our foreground window and are withheld;
// without the Win combination, or with the hook off, everything arrives.
#include "mouse_input.h"

using namespace e2e;

namespace {

const RECT kStart = rect(300, 250, 700, 550);

// Puts the pointer over the middle of the window, where clicks would land.
void pointAt(const RECT& r) { settlePointerAt((r.left + r.right) / 2, (r.top + r.bottom) / 2); }

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
    TempDir exeDir, cwd;
    if (ini) exeDir.write("tabrin.ini", ini);
    Tabrin tabrin;
    tabrin.startReady(exeDir, cwd);
    TestWindow target("Gesture target", kStart);
    target.makeForeground();
    MouseSpy spy(target.handle());
    RECT expected = kStart;
    for (const Gesture& g : kGestures) {
        pointAt(target.rect());
        {
            HeldKeys keys(g.held);
            sendMouse(g.event);
        }
        OffsetRect(&expected, g.dx * m, g.dy * m);
        target.expectRect(expected, "after " + heldName(g.held) + " + " + gestureName(g.event) +
                                        " the window");
    }
    target.expectUnchanged(expected, "after the last gesture the window");
    if (spy.summary() != "none") fail("no mouse message reaching the window", spy.summary());
    tabrin.closeCleanly();
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
    TempDir exeDir, cwd;
    Tabrin tabrin;
    tabrin.startReady(exeDir, cwd);
    TestWindow target("Click target", kStart);
    target.makeForeground();
    MouseSpy spy(target.handle());
    pointAt(kStart);

    POINT before = {};
    GetCursorPos(&before);
    {
        HeldKeys keys(kWin | kCtrl);
        sendMouse(MouseGesture::LeftClick);
        target.expectRect(rect(320, 250, 720, 550), "after Win+Ctrl + left click the window");
        sendMouse(MouseGesture::RightClick);
        target.expectRect(kStart, "after Win+Ctrl + right click the window");
        sendMouseMove(40, 30);
    }
    if (spy.summary() != "none") fail("no button message while Win+Ctrl is held", spy.summary());
    POINT after = {};
    GetCursorPos(&after);
    if (after.x != before.x || after.y != before.y)
        fail("the pointer kept at " + str(before.x) + "," + str(before.y) + " while Win+Ctrl is held",
             str(after.x) + "," + str(after.y));

    expectPassedOn(target, spy, 0, "clicks without keys");
    expectPassedOn(target, spy, kCtrl, "clicks");
    expectPassedOn(target, spy, kCtrl | kAlt, "clicks");
    expectPassedOn(target, spy, kWin, "clicks");
    tabrin.closeCleanly();
}

E2E_CASE("mouse.no_hook_when_disabled_in_file") {
    TempDir exeDir, cwd;
    exeDir.write("tabrin.ini", "enablemousescroll=0\r\n");
    Tabrin tabrin;
    tabrin.startReady(exeDir, cwd);
    TestWindow target("Click target", kStart);
    target.makeForeground();
    MouseSpy spy(target.handle());
    pointAt(kStart);
    expectPassedOn(target, spy, kWin | kCtrl, "with mouse scrolling off");
    expectPassedOn(target, spy, kWin | kAlt, "with mouse scrolling off");
    tabrin.closeCleanly();
}
