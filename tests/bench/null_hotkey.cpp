// The least a Win+Ctrl+Right hotkey can cost: one MoveWindow of the foreground window, 20 px right.
#include "baseline.h"

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
    HWND window = createHiddenWindow(instance, kNullHotkeyClass, windowProc);
    RegisterHotKey(window, kHotkeyId, MOD_WIN | MOD_CONTROL, VK_RIGHT);
    return runMessageLoop();
}
