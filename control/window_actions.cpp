// Window actions: every one reads the rectangle afresh and leaves a window alone it cannot read.
// Windows are positioned asynchronously: a program that has stopped answering must not stall
// our thread, which also runs the mouse hook for the whole desktop.
#include "control/window_actions.h"

#include <climits>
#include <cstring>

#include "settings/settings.h"

using namespace platform;

namespace {

constexpr int kTitleCapacity = 200;

// The desktop (Progman, and the WorkerW behind its wallpaper) and the taskbars of the monitors.
// Longer names come back cut at the buffer's end, so they can never compare equal to these.
const char* const kShellClasses[] = {"Progman", "WorkerW", "Shell_TrayWnd",
                                     "Shell_SecondaryTrayWnd"};
constexpr int kClassCapacity = 32;

// Coordinates plus a step from the file can leave the int range; the platform gets the nearest.
int offset(int value, int step) {
    const long long sum = static_cast<long long>(value) + step;
    return sum > INT_MAX ? INT_MAX : sum < INT_MIN ? INT_MIN : static_cast<int>(sum);
}

}  // namespace

bool isUnnamedIgnored(WindowHandle window) {
    char title[kTitleCapacity];
    title[0] = '\0';  // a vanished window may leave the buffer untouched
    GetWindowTextA(window, title, kTitleCapacity);
    return title[0] == '\0' && settings.ignoreunnamed;
}

bool isShellWindow(WindowHandle window) {
    if (window != kNoWindow && window == GetShellWindow()) return true;
    char name[kClassCapacity];
    name[0] = '\0';
    GetClassNameA(window, name, kClassCapacity);
    for (const char* shell : kShellClasses)
        if (std::strcmp(name, shell) == 0) return true;
    return false;
}

void moveWindowBy(WindowHandle window, int dx, int dy) {
    if (isUnnamedIgnored(window) || isShellWindow(window)) return;
    Rect r;
    if (!GetWindowRect(window, &r)) return;  // gone, or no window at all
    // MoveWindow with repaint, without waiting for the window's program.
    SetWindowPos(window, kNoWindow, offset(r.left, dx), offset(r.top, dy), r.width(), r.height(),
                 SWP_NOZORDER | SWP_NOACTIVATE | SWP_ASYNCWINDOWPOS);
}

void resizeWindowBy(WindowHandle window, int dw, int dh) {
    if (isUnnamedIgnored(window) || isShellWindow(window)) return;
    Rect r;
    if (!GetWindowRect(window, &r)) return;
    // The top-left corner stays; the right and bottom edges move.
    SetWindowPos(window, kNoWindow, 0, 0, offset(r.width(), dw), offset(r.height(), dh),
                 SWP_NOMOVE | SWP_NOZORDER | SWP_FRAMECHANGED | SWP_ASYNCWINDOWPOS);
}

void centerWindow(WindowHandle window) {
    if (isUnnamedIgnored(window) || isShellWindow(window)) return;
    Rect d;
    Rect r;
    if (!GetWindowRect(GetDesktopWindow(), &d) || !GetWindowRect(window, &r)) return;
    // Only the desktop's right and bottom count; the taskbar is not taken into account.
    const int x = (d.right - r.width()) / 2;
    const int y = (d.bottom - r.height()) / 2;
    SetWindowPos(window, kNoWindow, x, y, 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_FRAMECHANGED | SWP_ASYNCWINDOWPOS);
}
