// Mouse gestures: with Win+Ctrl or Win+Alt held, the wheel and buttons move the foreground window.
#pragma once

#include "platform/desktop.h"

extern platform::HookHandle mouseHook;

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

// Back to what a new process starts with (for the tests).
void resetMouseHookState();
