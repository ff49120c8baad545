// The taskbar toggle: its state is the taskbar's own visibility, never a flag of ours.
#include "control/taskbar.h"

#include "control/window_actions.h"

using namespace platform;

Rect currentWorkArea = {0, 0, 0, 0};
Rect savedWorkArea = {0, 0, 0, 0};

namespace {

// The other monitors as our hide found them: rcWork is given back at the show. Fixed, like the
// table of stretched windows; monitors beyond it keep their taskbars and work areas.
struct MonitorArea {
    MonitorHandle monitor;  // null once it has gone or moved: never matched again
    Rect rcMonitor;
    Rect rcWork;
};
constexpr int kMonitorCapacity = 8;

// What a hide leaves for the show that undoes it. Fixed tables, so a toggle never allocates.
struct ToggleState {
    // True from a hide of ours until the show that gives the saved areas back.
    bool workAreaRestorePending = false;
    // The windows our hide stretched to their monitor, and which monitor (0 the primary, else
    // otherMonitors[n - 1]): only these are shrunk again at the show, so full-screen programs and
    // the desktop keep their size.
    WindowHandle stretchedWindows[kStretchedCapacity] = {};
    unsigned char stretchedOn[kStretchedCapacity] = {};
    int stretchedCount = 0;
    MonitorArea otherMonitors[kMonitorCapacity] = {};
    int otherMonitorCount = 0;
    // The secondary taskbars ("Shell_SecondaryTrayWnd") our hide took down: only these are shown
    // again, so one its user had hidden stays hidden. Kept through a display change.
    WindowHandle hiddenTaskbars[kMonitorCapacity] = {};
    int hiddenTaskbarCount = 0;
    bool toggling = false;  // inside a toggle
};
ToggleState state;

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

bool wasStretched(WindowHandle window, int monitor) {
    for (int i = 0; i < state.stretchedCount; ++i)
        if (state.stretchedWindows[i] == window && state.stretchedOn[i] == monitor) return true;
    return false;
}

// What a window's rectangle has beyond the part matched against the areas, by side: a maximised
// window's frame, or the invisible resize borders.
struct Margins {
    long long left, top, right, bottom;
};

void place(WindowHandle window, const Rect& area, const Margins& m) {
    SetWindowPos(window, kNoWindow, saturate(area.left - m.left), saturate(area.top - m.top),
                 saturate(area.width() + m.left + m.right),
                 saturate(area.height() + m.top + m.bottom),
                 SWP_NOZORDER | SWP_NOACTIVATE | SWP_ASYNCWINDOWPOS);
}

// The room a monitor has beside a taskbar along one of its edges, the bar's part on the monitor
// spanning that edge; false where the bar runs along no edge or leaves no room.
bool roomBeside(const Rect& monitor, const Rect& bar, Rect* room) {
    const Rect b = {bar.left > monitor.left ? bar.left : monitor.left,
                    bar.top > monitor.top ? bar.top : monitor.top,
                    bar.right < monitor.right ? bar.right : monitor.right,
                    bar.bottom < monitor.bottom ? bar.bottom : monitor.bottom};
    const bool across = b.left == monitor.left && b.right == monitor.right;
    const bool upright = b.top == monitor.top && b.bottom == monitor.bottom;
    *room = monitor;
    if (isEmpty(b)) return false;
    if (across && b.bottom == monitor.bottom) room->bottom = b.top;
    else if (across && b.top == monitor.top) room->top = b.bottom;
    else if (upright && b.right == monitor.right) room->right = b.left;
    else if (upright && b.left == monitor.left) room->left = b.right;
    else return false;
    return !isEmpty(*room);
}

// Shows another monitor's taskbar; with makeRoom, that monitor's work area becomes the room
// beside it. True when an area was set.
bool showSecondaryTaskbar(WindowHandle bar, bool makeRoom) {
    ShowWindowAsync(bar, SW_SHOWNA);  // never activated: the user's window keeps the keyboard
    if (!makeRoom) return false;
    MonitorInfo info = {};
    info.cbSize = sizeof info;
    Rect r, room;
    const MonitorHandle monitor = MonitorFromWindow(bar, MONITOR_DEFAULTTONULL);
    return monitor && GetMonitorInfoA(monitor, &info) && GetWindowRect(bar, &r) &&
           roomBeside(info.rcMonitor, r, &room) &&
           SystemParametersInfoA(SPI_SETWORKAREA, 0, &room, 0);
}

bool showHiddenSecondaryTaskbars(bool makeRoom) {
    bool areaSet = false;
    WindowHandle bar = kNoWindow;
    while ((bar = FindWindowExA(kNoWindow, bar, "Shell_SecondaryTrayWnd", nullptr)) != kNoWindow)
        if (!IsWindowVisible(bar)) areaSet = showSecondaryTaskbar(bar, makeRoom) || areaSet;
    return areaSet;
}

bool taskbarAutoHides() {
    AppBarData data = {};
    data.cbSize = sizeof data;
    return (SHAppBarMessage(ABM_GETSTATE, &data) & ABS_AUTOHIDE) != 0;
}

// The primary's work area becomes the room beside its taskbar; its announcement covers the
// other monitors' areas set before it.
void makeRoomOnPrimary(int cx, int cy, bool othersSet) {
    AppBarData data = {};
    data.cbSize = sizeof data;
    Rect room;
    if (SHAppBarMessage(ABM_GETTASKBARPOS, &data) &&
        roomBeside(Rect{0, 0, cx, cy}, data.rc, &room))
        setWorkArea(room.left, room.top, room.width(), room.height());
    else if (othersSet)
        SendNotifyMessageA(HWND_BROADCAST, WM_SETTINGCHANGE, SPI_SETWORKAREA, 0);
}

// The other monitors' taskbars go down with the primary's, but only as many as the table holds:
// each one hidden must be shown again.
void hideSecondaryTaskbars() {
    WindowHandle bar = kNoWindow;
    while ((bar = FindWindowExA(kNoWindow, bar, "Shell_SecondaryTrayWnd", nullptr)) != kNoWindow) {
        if (!IsWindowVisible(bar)) continue;
        bool listed = false;
        for (int i = 0; i < state.hiddenTaskbarCount; ++i)
            listed = listed || state.hiddenTaskbars[i] == bar;
        if (!listed && state.hiddenTaskbarCount == kMonitorCapacity) continue;
        if (!listed) state.hiddenTaskbars[state.hiddenTaskbarCount++] = bar;
        ShowWindowAsync(bar, SW_HIDE);  // never wait on the shell
    }
}

// EnumDisplayMonitors' callback at a hide: each other monitor's work area, to give back later.
bool rememberMonitor(MonitorHandle monitor, DeviceContext, Rect* rect, LParam) {
    // The primary monitor is the one at the origin; its figures come from the screen, as ever.
    if (rect->left == 0 && rect->top == 0) return true;
    MonitorInfo info = {};
    info.cbSize = sizeof info;
    if (GetMonitorInfoA(monitor, &info) && !isEmpty(info.rcMonitor) && !isEmpty(info.rcWork))
        state.otherMonitors[state.otherMonitorCount++] =
            MonitorArea{monitor, info.rcMonitor, info.rcWork};
    return state.otherMonitorCount < kMonitorCapacity;
}

// Each other monitor gets its whole rectangle or its old work area, if it is still there as it
// was. SPI_SETWORKAREA sets the area of the monitor holding the rectangle: on one gone or moved
// it would land on another, so such a monitor is dropped.
void applyOtherAreas(bool whole) {
    for (int i = 0; i < state.otherMonitorCount; ++i) {
        MonitorArea& m = state.otherMonitors[i];
        MonitorInfo info = {};
        info.cbSize = sizeof info;
        if (m.monitor && GetMonitorInfoA(m.monitor, &info) && info.rcMonitor == m.rcMonitor)
            SystemParametersInfoA(SPI_SETWORKAREA, 0, whole ? &m.rcMonitor : &m.rcWork, 0);
        else
            m.monitor = nullptr;
    }
}

// The primary display's size in pixels.
void screenSize(int* cx, int* cy) {
    const ScopedDC screen(GetDesktopWindow());
    *cx = GetDeviceCaps(screen.get(), HORZRES);
    *cy = GetDeviceCaps(screen.get(), VERTRES);
}

void toggle() {
    WindowHandle taskbar = FindWindowA("Shell_TrayWnd", nullptr);
    int cx = 0, cy = 0;
    screenSize(&cx, &cy);

    if (IsWindowVisible(taskbar)) {
        ShowWindowAsync(taskbar, SW_HIDE);  // never wait on the shell
        hideSecondaryTaskbars();
        // Shown again by someone else since our hide: the full screen now in force is ours,
        // so keep the areas saved before it, and the windows stretched to leave them.
        if (!state.workAreaRestorePending) {
            saveWorkArea();
            state.stretchedCount = 0;
            state.otherMonitorCount = 0;
            // An empty area would match every zero-size window and leave no room at the show.
            state.workAreaRestorePending = !isEmpty(savedWorkArea);
            if (state.workAreaRestorePending)
                EnumDisplayMonitors(nullptr, nullptr, rememberMonitor, 0);
        }
        applyOtherAreas(true);  // before the primary's, whose announcement covers them all
        setWorkArea(0, 0, cx, cy);
        if (state.workAreaRestorePending) EnumWindows(fitWindowProc, kFitHiding);
    } else {
        // SW_SHOW would activate the taskbar: the user's window would lose the keyboard, and
        // the next hotkey or gesture would act on the taskbar, which never moves.
        ShowWindowAsync(taskbar, SW_SHOWNA);
        // No area of ours to give back (an earlier Tabrin hid the taskbars, someone else did, or
        // the display changed since our hide): each monitor whose taskbar this press shows gets
        // the room beside it, unless taskbars hide themselves and take none, or no shell runs.
        const bool makeRoom = !state.workAreaRestorePending && taskbar && !taskbarAutoHides();
        bool othersSet = false;
        // An earlier Tabrin (exited, crashed, updated) hid them: every taskbar follows the toggle.
        if (state.hiddenTaskbarCount == 0 && !state.workAreaRestorePending)
            othersSet = showHiddenSecondaryTaskbars(makeRoom);
        for (int i = 0; i < state.hiddenTaskbarCount; ++i)
            othersSet = showSecondaryTaskbar(state.hiddenTaskbars[i], makeRoom) || othersSet;
        state.hiddenTaskbarCount = 0;
        if (makeRoom) makeRoomOnPrimary(cx, cy, othersSet);
        // Never the saved area here: applying an empty one would leave the applications no room.
        if (!state.workAreaRestorePending) return;
        const Rect leaving = currentWorkArea;
        currentWorkArea = savedWorkArea;
        savedWorkArea = leaving;
        applyOtherAreas(false);
        setWorkArea(currentWorkArea.left, currentWorkArea.top, currentWorkArea.width(),
                    currentWorkArea.height());
        state.workAreaRestorePending = false;
        EnumWindows(fitWindowProc, kFitShowing);
        state.stretchedCount = 0;
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
    // A normal window is matched by what one sees of it, or by its whole rectangle where its
    // program set that to the area.
    const Rect v = visibleRect(window, r);
    // The monitor whose area the window fills, or frames as a maximised window does: the
    // primary (0), with its two areas, else another one, going between its two rectangles.
    const bool zoomed = IsZoomed(window);
    const bool hiding = lParam == kFitHiding;
    const Rect* from = &savedWorkArea;
    const Rect* to = &currentWorkArea;
    long long inset = 0;
    int monitor = 0;
    for (;; ++monitor) {
        if (monitor > state.otherMonitorCount) return true;
        if (monitor > 0) {
            const MonitorArea& m = state.otherMonitors[monitor - 1];
            if (!m.monitor) continue;
            from = hiding ? &m.rcWork : &m.rcMonitor;
            to = hiding ? &m.rcMonitor : &m.rcWork;
        }
        inset = zoomed ? frameInset(r, *from) : 0;
        if (inset > 0 || r == *from || v == *from) break;
    }
    // Never stretched out of sight (on another virtual desktop); given back its area even so.
    if (isShellWindow(window) || (hiding && isCloaked(window))) return true;
    // Placed the way it matched: its whole rectangle, or what one sees with the borders on top.
    const Margins borders = r == *from ? Margins{0, 0, 0, 0}
                                       : Margins{v.left - r.left, v.top - r.top, r.right - v.right,
                                                 r.bottom - v.bottom};
    if (inset > 0) {
        place(window, *to, Margins{inset, inset, inset, inset});  // maximised: the frame outside
    } else if (hiding) {
        if (state.stretchedCount == kStretchedCapacity || wasStretched(window, monitor))
            return true;
        state.stretchedWindows[state.stretchedCount] = window;
        state.stretchedOn[state.stretchedCount++] = static_cast<unsigned char>(monitor);
        place(window, *to, borders);
    } else if (wasStretched(window, monitor)) {
        place(window, *to, borders);  // full-screen programs of their own stay so
    }
    return true;  // every top-level window gets its turn
}

void toggleTaskbar() {
    // A message delivered while a call of ours waits must not start a second toggle halfway
    // through the first.
    if (state.toggling) return;
    state.toggling = true;
    toggle();
    state.toggling = false;
}

void onTaskbarCreated() {
    // Explorer restarted with new, visible taskbars while the user's last press hid them: they
    // go again, and the whole screens stay the applications'. The stretched windows are kept
    // for the next press; one cheap re-hide per message, never a wait.
    if (!state.workAreaRestorePending) return;
    ShowWindowAsync(FindWindowA("Shell_TrayWnd", nullptr), SW_HIDE);
    // The old taskbars went with the old Explorer; any still there (the message sent without a
    // restart) stay listed, or the next press would leave them hidden.
    int kept = 0;
    for (int i = 0; i < state.hiddenTaskbarCount; ++i)
        if (IsWindow(state.hiddenTaskbars[i])) state.hiddenTaskbars[kept++] = state.hiddenTaskbars[i];
    state.hiddenTaskbarCount = kept;
    hideSecondaryTaskbars();
    int cx = 0, cy = 0;
    screenSize(&cx, &cy);
    applyOtherAreas(true);
    setWorkArea(0, 0, cx, cy);
}

void onDisplayChange() {
    // The next press then shows the taskbars and works out the room beside them afresh, as for
    // ones hidden by another program.
    state.workAreaRestorePending = false;
    savedWorkArea = Rect{0, 0, 0, 0};
    state.stretchedCount = 0;
    state.otherMonitorCount = 0;
}

void resetTaskbarState() {
    currentWorkArea = savedWorkArea = Rect{0, 0, 0, 0};
    state = ToggleState{};
}
