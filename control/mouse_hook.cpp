// The low-level mouse hook. It sees every mouse event of the desktop, so the path without the
// Win combination only reads the keys and passes on: no allocation, no I/O, no lock.
#include "control/mouse_hook.h"

#include "control/window_actions.h"
#include "platform/session.h"
#include "settings/settings.h"

using namespace platform;

HookHandle mouseHook = nullptr;

namespace {

bool isDown(int key) { return GetKeyState(key) < 0; }  // high bit set

}  // namespace

void installMouseHook() {
    if (mouseHook) return;  // one hook is enough; a second would move windows twice
    mouseHook = SetWindowsHookExA(WH_MOUSE_LL, mouseHookProc, instance, 0);
}

void removeMouseHook() {
    if (!mouseHook) return;
    UnhookWindowsHookEx(mouseHook);
    mouseHook = nullptr;
}

LResult mouseHookProc(int code, WParam wParam, LParam lParam) {
    // Each key query is a round trip to the window system; without a Win key, Ctrl and Alt
    // cannot matter, so the usual event costs two queries, not four.
    const bool win = isDown(VK_LWIN) || isDown(VK_RWIN);
    if (!win) return CallNextHookEx(mouseHook, code, wParam, lParam);
    const bool winCtrl = isDown(VK_CONTROL);  // Win is down from here on
    const bool winAlt = isDown(VK_MENU);
    if (code != HC_ACTION || !(winCtrl || winAlt))
        return CallNextHookEx(mouseHook, code, wParam, lParam);

    const int m = settings.mouseStep();
    int wheelDX = 0, wheelDY = 0, clickDX = 0, clickDY = 0;
    if (winCtrl) {  // Win+Ctrl+Alt counts as Win+Ctrl
        wheelDY = m;
        clickDX = m;
    } else {
        wheelDX = m;
        clickDY = m;
    }

    switch (wParam) {
    case WM_LBUTTONDOWN:
        moveWindowBy(GetForegroundWindow(), oppositeStep(clickDX), oppositeStep(clickDY));
        break;
    case WM_RBUTTONDOWN:
        moveWindowBy(GetForegroundWindow(), clickDX, clickDY);
        break;
    case WM_MOUSEWHEEL: {
        const MouseEvent* event = reinterpret_cast<const MouseEvent*>(lParam);
        const short delta = static_cast<short>(event->mouseData >> 16);
        if (delta < 0) moveWindowBy(GetForegroundWindow(), wheelDX, wheelDY);
        else moveWindowBy(GetForegroundWindow(), oppositeStep(wheelDX), oppositeStep(wheelDY));
        break;
    }
    }
    // While the combination is held, no mouse event reaches anyone else and the pointer stays.
    return -1;
}
