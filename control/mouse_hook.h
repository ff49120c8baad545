// Mouse gestures: with Win+Ctrl or Win+Alt held, the wheel and buttons move the foreground window.
#pragma once

#include "platform/desktop.h"

extern platform::HookHandle mouseHook;

// What the hook and the raw-input handler remember between events.
struct GestureState {
    bool watchingKeys = false;     // raw input registered: the hook comes and goes with the keys
    bool hookAlwaysOn = false;     // raw input refused: the hook stays while gestures are enabled
    bool combinationHeld = false;  // the raw keys said Win+Ctrl or Win+Alt went down, not up yet
    bool recheckPosted = false;    // a kRecheckKeys is on its way
    unsigned maskedFor = 0;        // the combination the mask key was asked for; 0: none yet
    bool withheldDown[5] = {};     // left, right, middle, X1, X2: its last button-down was withheld
};
extern GestureState gestureState;

// Posted by the hook to the main window: what it may not do itself (wParam says which).
constexpr unsigned kMouseHookMessage = platform::WM_APP + 11;
enum MouseHookRequest : unsigned {
    kSendMaskKey = 1,    // a gesture began: keep its modifiers' release from counting as a tap
    kRecheckKeys = 2,    // the hook saw no combination held: remove it if nothing else needs it
};
// Sent between a modifier's press and release after a gesture; no program gives it a meaning.
constexpr int kMaskKey = 0xE8;

// Enabled on: watch the keyboard through raw input and install the hook only while Win+Ctrl or
// Win+Alt is held; where raw input is refused, keep the hook installed instead.
void startMouseGestures();
// Enabled off, or closing: no raw input, no hook.
void stopMouseGestures();
// WM_INPUT: a key went down or up somewhere on the desktop.
void onRawInput(platform::LParam lParam);
platform::LResult onMouseHookMessage(platform::WParam request);

void installMouseHook();
void removeMouseHook();
// The WH_MOUSE_LL callback; lParam points at a MouseEvent.
platform::LResult mouseHookProc(int code, platform::WParam wParam, platform::LParam lParam);
