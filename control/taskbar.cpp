// The taskbar toggle: its state is the taskbar's own visibility, never a flag of ours.
#include "control/taskbar.h"

#include "control/window_actions.h"

using namespace platform;

Rect currentWorkArea = {0, 0, 0, 0};
Rect savedWorkArea = {0, 0, 0, 0};
bool workAreaRestorePending = false;
WindowHandle stretchedWindows[kStretchedCapacity];
int stretchedCount = 0;

namespace {

bool toggling = false;

bool isEmpty(const Rect& r) { return r.width() <= 0 || r.height() <= 0; }

// A maximised window sticks out of its work area by its resizing frame, the same on every side
// (8 px at 100 % on Windows 10): that inset, or 0 when the rectangle is not of that form.
long long frameInset(const Rect& r, const Rect& area) {
    const long long inset = static_cast<long long>(area.left) - r.left;
    const bool even = static_cast<long long>(area.top) - r.top == inset &&
                      static_cast<long long>(r.right) - area.right == inset &&
                      static_cast<long long>(r.bottom) - area.bottom == inset;
    return even && inset > 0 ? inset : 0;
}

bool wasStretched(WindowHandle window) {
    for (int i = 0; i < stretchedCount; ++i)
        if (stretchedWindows[i] == window) return true;
    return false;
}

void place(WindowHandle window, const Rect& area, long long inset) {
    SetWindowPos(window, kNoWindow, saturate(area.left - inset), saturate(area.top - inset),
                 saturate(area.width() + 2 * inset), saturate(area.height() + 2 * inset),
                 SWP_NOZORDER | SWP_NOACTIVATE | SWP_ASYNCWINDOWPOS);
}

void toggle() {
    WindowHandle taskbar = FindWindowA("Shell_TrayWnd", nullptr);
    DeviceContext screen = GetDC(GetDesktopWindow());
    const int cx = GetDeviceCaps(screen, HORZRES);
    const int cy = GetDeviceCaps(screen, VERTRES);
    ReleaseDC(GetDesktopWindow(), screen);

    if (IsWindowVisible(taskbar)) {
        ShowWindowAsync(taskbar, SW_HIDE);  // never wait on the shell
        // Shown again by someone else since our hide: the full screen now in force is ours,
        // so keep the area saved before it, and the windows stretched to leave it.
        if (!workAreaRestorePending) {
            saveWorkArea();
            stretchedCount = 0;
            // An empty area would match every zero-size window and leave no room at the show.
            workAreaRestorePending = !isEmpty(savedWorkArea);
        }
        setWorkArea(0, 0, cx, cy);
        if (workAreaRestorePending) EnumWindows(fitWindowProc, kFitHiding);
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
        EnumWindows(fitWindowProc, kFitShowing);
        stretchedCount = 0;
    }
}

}  // namespace

void saveWorkArea() { SystemParametersInfoA(SPI_GETWORKAREA, 0, &savedWorkArea, 0); }

void setWorkArea(int x, int y, int width, int height) {
    currentWorkArea = Rect{x, y, x + width, y + height};
    SetWindowPos(GetDesktopWindow(), kNoWindow, x, y, width, height,
                 SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOOWNERZORDER);
    // Applied for this session only (not written to the user profile), and announced without
    // waiting: SPIF_SENDCHANGE waits on every top-level window, a hung one included.
    SystemParametersInfoA(SPI_SETWORKAREA, 0, &currentWorkArea, 0);
    SendNotifyMessageA(HWND_BROADCAST, WM_SETTINGCHANGE, SPI_SETWORKAREA, 0);
}

bool fitWindowProc(WindowHandle window, LParam lParam) {
    Rect r;
    if (!IsWindowVisible(window) || !GetWindowRect(window, &r)) return true;
    const long long inset = IsZoomed(window) ? frameInset(r, savedWorkArea) : 0;
    const bool fills = r == savedWorkArea;
    if (inset == 0 && !fills) return true;
    if (isShellWindow(window) || isCloaked(window)) return true;
    if (inset > 0) {
        place(window, currentWorkArea, inset);  // maximised: the frame stays outside
    } else if (lParam == kFitHiding) {
        if (stretchedCount == kStretchedCapacity || wasStretched(window)) return true;
        stretchedWindows[stretchedCount++] = window;
        place(window, currentWorkArea, 0);
    } else if (wasStretched(window)) {
        place(window, currentWorkArea, 0);  // full-screen programs of their own stay so
    }
    return true;  // every top-level window gets its turn
}

void toggleTaskbar() {
    // A message delivered while a call of ours waits must not start a second toggle halfway
    // through the first.
    if (toggling) return;
    toggling = true;
    toggle();
    toggling = false;
}

void onDisplayChange() {
    // The next press then just shows the taskbar, as for one hidden by another program.
    workAreaRestorePending = false;
    savedWorkArea = Rect{0, 0, 0, 0};
    stretchedCount = 0;
}
