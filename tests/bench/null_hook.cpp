// The least a low-level mouse hook can cost: every event is passed straight on.
#include "baseline.h"

namespace {

HHOOK hook;

LRESULT CALLBACK passOn(int code, WPARAM wParam, LPARAM lParam) {
    return CallNextHookEx(hook, code, wParam, lParam);
}

LRESULT CALLBACK windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_CLOSE) {
        UnhookWindowsHookEx(hook);
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    hook = SetWindowsHookExA(WH_MOUSE_LL, passOn, instance, 0);
    // The window appears only once the hook is in: the driver waits for it.
    createHiddenWindow(instance, kNullHookClass, windowProc);
    return runMessageLoop();
}
