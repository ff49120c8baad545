// Window actions: each starts from where the window is, or will be once it has taken the last
// step asked of it, and leaves a window alone it cannot read. Windows are positioned
// asynchronously: a program that has stopped answering must not stall our thread, which also
// runs the mouse hook for the whole desktop.
#include "control/window_actions.h"

#include <climits>
#include <cstring>

#include "settings/settings.h"

using namespace platform;

namespace {

// The last position asked of a window. With SWP_ASYNCWINDOWPOS the window takes it only when its
// thread reads its messages; until then GetWindowRect gives the rectangle seen when asking, and
// steps arriving sooner (a fast wheel, a held key, a busy program) would all start from there.
struct WindowRequest {
    WindowHandle window;
    Rect seen;
    Rect asked;
    std::uint32_t at;  // GetTickCount
};
WindowRequest lastRequest = {};

constexpr int kTitleCapacity = 200;

// The desktop (Progman, and the WorkerW behind its wallpaper), the taskbars of the monitors and
// the notification area's overflow (Windows 10, then 11). Longer names come back cut at the
// buffer's end, so they can never compare equal to these.
const char* const kShellClasses[] = {"Progman", "WorkerW", "Shell_TrayWnd",
                                     "Shell_SecondaryTrayWnd", "NotifyIconOverflowWindow",
                                     "TopLevelWindowForOverflowXamlIsland"};
constexpr int kClassCapacity = 40;

// A window that took a step and kept its place (at its smallest, or put back by its program)
// looks the same as one that has not taken it yet: after a pause this long, the steps start
// from where it is again, so that the refused ones do not pile up.
constexpr std::uint32_t kStepsAddUpFor = 1000;  // ms since the last one

int offset(int value, int step) { return saturate(static_cast<long long>(value) + step); }

// Where the window is, or will be once it has taken the last request made of it; the rectangle
// it has now in *seen.
bool currentRect(WindowHandle window, Rect* seen, Rect* r) {
    if (!GetWindowRect(window, seen)) return false;  // gone, or no window at all
    const bool pending = window == lastRequest.window && *seen == lastRequest.seen &&
                         GetTickCount() - lastRequest.at < kStepsAddUpFor;
    *r = pending ? lastRequest.asked : *seen;
    return true;
}

// Asks for the window's new place without waiting for its program: its thread moves it. The
// rectangle asked for is the one SetWindowPos makes, no size below zero.
void request(WindowHandle window, const Rect& seen, int x, int y, int cx, int cy, unsigned flags) {
    const Rect asked = {x, y, offset(x, cx > 0 ? cx : 0), offset(y, cy > 0 ? cy : 0)};
    lastRequest = WindowRequest{window, seen, asked, GetTickCount()};
    SetWindowPos(window, kNoWindow, x, y, cx, cy, flags | SWP_NOZORDER | SWP_ASYNCWINDOWPOS);
}

// Where a span from `start` to `end` begins when centred between `low` and `high`, the
// remainder halved toward zero. In 64 bits: a far-off window's width alone can overflow.
int centredStart(int low, int high, int start, int end) {
    const long long room = static_cast<long long>(high) - low;
    const long long size = static_cast<long long>(end) - start;
    return saturate(low + (room - size) / 2);
}

// The whole rectangle of the monitor holding most of the window, or of the nearest one.
bool monitorRect(WindowHandle window, Rect* rect) {
    MonitorInfo info = {};
    info.cbSize = sizeof info;
    const MonitorHandle monitor = MonitorFromWindow(window, MONITOR_DEFAULTTONEAREST);
    if (!monitor || !GetMonitorInfoA(monitor, &info)) return false;
    *rect = info.rcMonitor;
    return true;
}

}  // namespace

int saturate(long long value) {
    return value > INT_MAX ? INT_MAX : value < INT_MIN ? INT_MIN : static_cast<int>(value);
}

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

bool isCloaked(WindowHandle window) {
    std::uint32_t cloaked = 0;
    return DwmGetWindowAttribute(window, DWMWA_CLOAKED, &cloaked, sizeof cloaked) == S_OK &&
           cloaked != 0;
}

Rect visibleRect(WindowHandle window, const Rect& r) {
    Rect v;
    const bool within =
        DwmGetWindowAttribute(window, DWMWA_EXTENDED_FRAME_BOUNDS, &v, sizeof v) == S_OK &&
        v.left >= r.left && v.top >= r.top && v.right <= r.right && v.bottom <= r.bottom &&
        v.width() > 0 && v.height() > 0;
    return within ? v : r;
}

namespace {

// No action touches a window spared by the unnamed rule, nor the desktop and the taskbars.
bool isLeftAlone(WindowHandle window) { return isUnnamedIgnored(window) || isShellWindow(window); }

}  // namespace

void moveWindowBy(WindowHandle window, int dx, int dy) {
    Rect seen, r;
    if (isLeftAlone(window) || !currentRect(window, &seen, &r)) return;
    // MoveWindow with repaint.
    request(window, seen, offset(r.left, dx), offset(r.top, dy), r.width(), r.height(),
            SWP_NOACTIVATE);
}

void resizeWindowBy(WindowHandle window, int dw, int dh) {
    Rect seen, r;
    if (isLeftAlone(window) || !currentRect(window, &seen, &r)) return;
    // The top-left corner stays; the right and bottom edges move.
    request(window, seen, r.left, r.top, offset(r.width(), dw), offset(r.height(), dh),
            SWP_NOMOVE | SWP_FRAMECHANGED);
}

void centerWindow(WindowHandle window) {
    Rect seen, r;
    if (isLeftAlone(window) || !currentRect(window, &seen, &r)) return;
    // Failing that, the desktop window: it covers the primary monitor, from (0,0).
    Rect m;
    if (!monitorRect(window, &m) && !GetWindowRect(GetDesktopWindow(), &m)) return;
    // The whole monitor: the taskbar is not taken into account. The visible window is centred:
    // with its invisible borders it would stand a few pixels high.
    const Rect v = visibleRect(window, seen);
    const int left = v.left - seen.left, top = v.top - seen.top;
    const int x = centredStart(m.left, m.right, offset(r.left, left),
                               offset(r.right, v.right - seen.right));
    const int y = centredStart(m.top, m.bottom, offset(r.top, top),
                               offset(r.bottom, v.bottom - seen.bottom));
    request(window, seen, offset(x, -left), offset(y, -top), r.width(), r.height(),
            SWP_NOSIZE | SWP_FRAMECHANGED);
}

void resetWindowActionsState() { lastRequest = WindowRequest{}; }
