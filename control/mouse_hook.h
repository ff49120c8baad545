// Mouse gestures: with Win+Ctrl or Win+Alt held, the wheel and buttons move the foreground window.
#pragma once

#include "platform/desktop.h"

extern platform::HookHandle mouseHook;

void installMouseHook();
void removeMouseHook();
// The WH_MOUSE_LL callback; lParam points at a MouseEvent.
platform::LResult mouseHookProc(int code, platform::WParam wParam, platform::LParam lParam);
