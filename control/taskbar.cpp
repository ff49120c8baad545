// The taskbar toggle: its state is the taskbar's own visibility, never a flag of ours.
#include "control/taskbar.h"

using namespace platform;

Rect currentWorkArea = {0, 0, 0, 0};
Rect savedWorkArea = {0, 0, 0, 0};
bool workAreaRestorePending = false;

void saveWorkArea() { SystemParametersInfoA(SPI_GETWORKAREA, 0, &savedWorkArea, 0); }

void setWorkArea(int x, int y, int width, int height) {
    currentWorkArea = Rect{x, y, x + width, y + height};
    SetWindowPos(GetDesktopWindow(), kNoWindow, x, y, width, height,
                 SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOOWNERZORDER);
    // Applied for this session only: not written to the user profile.
    SystemParametersInfoA(SPI_SETWORKAREA, 0, &currentWorkArea, SPIF_SENDCHANGE);
}

bool fitWindowProc(WindowHandle window, LParam) {
    Rect r = {0, 0, 0, 0};
    GetWindowRect(window, &r);
    if (!IsWindowVisible(window)) return true;
    if (r == savedWorkArea) {
        SetWindowPos(window, kNoWindow, currentWorkArea.left, currentWorkArea.top,
                     currentWorkArea.width(), currentWorkArea.height(),
                     SWP_NOZORDER | SWP_NOACTIVATE | SWP_ASYNCWINDOWPOS);
    }
    return true;  // every top-level window gets its turn
}

void toggleTaskbar() {
    WindowHandle taskbar = FindWindowA("Shell_TrayWnd", nullptr);
    DeviceContext screen = GetDC(GetDesktopWindow());
    const int cx = GetDeviceCaps(screen, HORZRES);
    const int cy = GetDeviceCaps(screen, VERTRES);
    ReleaseDC(GetDesktopWindow(), screen);

    if (IsWindowVisible(taskbar)) {
        ShowWindowAsync(taskbar, SW_HIDE);  // never wait on the shell
        // Shown again by someone else since our hide: the full screen now in force is ours,
        // so keep the area saved before it.
        if (!workAreaRestorePending) saveWorkArea();
        setWorkArea(0, 0, cx, cy);
        workAreaRestorePending = true;
    } else {
        ShowWindowAsync(taskbar, SW_SHOW);
        // Hidden by someone else, or no taskbar at all: there is no area of ours to give back,
        // and applying an empty one would leave the applications no room.
        if (!workAreaRestorePending) return;
        const Rect leaving = currentWorkArea;
        currentWorkArea = savedWorkArea;
        savedWorkArea = leaving;
        setWorkArea(currentWorkArea.left, currentWorkArea.top, currentWorkArea.width(),
                    currentWorkArea.height());
        workAreaRestorePending = false;
    }
    EnumWindows(fitWindowProc, 0);
}
