// What the benchmark's baseline programs share: the window classes by which the driver finds
// them, and the hidden window and message loop of each.
#pragma once

#include <windows.h>

constexpr char kNullHookClass[] = "TabrinBenchNullHook";
constexpr char kNullHotkeyClass[] = "TabrinBenchNullHotkey";
constexpr char kMinimalClass[] = "TabrinBenchMinimal";

// A hidden window of a class of its own: the driver takes its appearance for a finished start.
inline HWND createHiddenWindow(HINSTANCE instance, const char* className, WNDPROC proc) {
    WNDCLASSA wc = {};
    wc.lpfnWndProc = proc;
    wc.hInstance = instance;
    wc.lpszClassName = className;
    RegisterClassA(&wc);
    return CreateWindowExA(0, className, "", 0, 0, 0, 0, 0, nullptr, nullptr, instance, nullptr);
}

inline int runMessageLoop() {
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    return 0;
}
