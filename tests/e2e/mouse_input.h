// Input the mouse and tray cases need beyond pressCombo: modifiers held across
// mouse events, wheel turns and clicks, single key taps, all through SendInput;
// and a tally of the mouse messages one of our windows receives.
#pragma once

#include "harness.h"

#include <map>

namespace e2e {

// Holds the modifiers down until release() or destruction, so that a failing
// case never leaves the Win key stuck for the cases after it.
class HeldKeys {
public:
    // settleMs: how long to let the receivers take the key-downs before going on.
    explicit HeldKeys(unsigned modifiers, DWORD settleMs = 60);
    ~HeldKeys() { release(); }
    HeldKeys(const HeldKeys&) = delete;
    HeldKeys& operator=(const HeldKeys&) = delete;
    void release();

private:
    unsigned modifiers_;
};

void tapKey(WORD vk);

// Moves the pointer and lets the X events it causes be handled. Wine answers an
// X EnterNotify/FocusIn by syncing its key state with the real (idle) X
// keyboard, which releases keys held only through SendInput: holding keys
// before those events are handled loses them.
void settlePointerAt(int x, int y);

enum class MouseGesture { WheelForward, WheelBackward, WheelZero, LeftClick, RightClick, LeftDown,
                          LeftUp };
const char* gestureName(MouseGesture gesture);
// One wheel turn (a delta of +120, -120 or 0), one press and release, or half of one.
void sendMouse(MouseGesture gesture);
void sendMouseMove(int dx, int dy);

// Counts the mouse messages a window of ours receives, by subclassing it.
class MouseSpy {
public:
    explicit MouseSpy(HWND window);
    ~MouseSpy();
    MouseSpy(const MouseSpy&) = delete;
    MouseSpy& operator=(const MouseSpy&) = delete;

    int count(UINT message) const;
    // "WM_LBUTTONDOWN x1, WM_MOUSEWHEEL x2" or "none", for failure messages.
    std::string summary() const;
    void reset() { counts_.clear(); }

private:
    static LRESULT CALLBACK proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    HWND window_;
    WNDPROC previous_;
    std::map<UINT, int> counts_;
};

}  // namespace e2e
