// The least a Win+Ctrl+Right hotkey can cost: one MoveWindow of the foreground window, 20 px right.
#include <windows.h>

#include "bench_names.h"

namespace {

constexpr int kHotkeyId = 3;
constexpr int kStep = 20;

LRESULT CALLBACK windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_HOTKEY: {
        HWND target = GetForegroundWindow();
        RECT r;
        GetWindowRect(target, &r);
        MoveWindow(target, r.left + kStep, r.top, r.right - r.left, r.bottom - r.top, TRUE);
        return 0;
    }
    case WM_CLOSE:
        UnregisterHotKey(window, kHotkeyId);
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    WNDCLASSA wc = {};
    wc.lpfnWndProc = windowProc;
    wc.hInstance = instance;
    wc.lpszClassName = kNullHotkeyClass;
    RegisterClassA(&wc);
    HWND window = CreateWindowExA(0, kNullHotkeyClass, "", 0, 0, 0, 0, 0, nullptr, nullptr,
                                  instance, nullptr);
    RegisterHotKey(window, kHotkeyId, MOD_WIN | MOD_CONTROL, VK_RIGHT);
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    return 0;
}
