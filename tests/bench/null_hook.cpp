// The least a low-level mouse hook can cost: every event is passed straight on.
#include <windows.h>

#include "bench_names.h"

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
    WNDCLASSA wc = {};
    wc.lpfnWndProc = windowProc;
    wc.hInstance = instance;
    wc.lpszClassName = kNullHookClass;
    RegisterClassA(&wc);
    CreateWindowExA(0, kNullHookClass, "", 0, 0, 0, 0, 0, nullptr, nullptr, instance, nullptr);
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    return 0;
}
