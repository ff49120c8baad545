// Windows, monitors and work areas: what the simulated desktop answers about them, as Windows does.
#include "simulated_desktop.h"

#include <algorithm>
#include <cstring>

#include "simulated_internal.h"

using namespace platform;
using namespace simulated;

namespace {

// A window's far edge: clamped like every coordinate, where a near edge plus a size overflows.
std::int32_t edge(std::int32_t start, int size) {
    const long long end = static_cast<long long>(start) + std::max(size, 0);
    return static_cast<std::int32_t>(std::min<long long>(end, INT32_MAX));
}

// The overlap of two rectangles in square pixels; 0 when they only touch or one is empty.
long long overlap(const Rect& a, const Rect& b) {
    const long long w = static_cast<long long>(std::min(a.right, b.right)) - std::max(a.left, b.left);
    const long long h = static_cast<long long>(std::min(a.bottom, b.bottom)) - std::max(a.top, b.top);
    return w > 0 && h > 0 ? w * h : 0;
}

// The square of the gap between two rectangles; in double, as far-off windows overflow 64 bits.
double gapSquared(const Rect& a, const Rect& b) {
    const double dx = std::max({0.0, static_cast<double>(b.left) - a.right,
                                static_cast<double>(a.left) - b.right});
    const double dy = std::max({0.0, static_cast<double>(b.top) - a.bottom,
                                static_cast<double>(a.top) - b.bottom});
    return dx * dx + dy * dy;
}

// For the log: a window by its title, or by its class when it has none.
std::string nameOf(WindowHandle window) {
    const SimulatedDesktop::Window* w = find(window);
    return !w ? "<no window>" : w->title.empty() ? w->className : w->title;
}

// The monitor sharing the largest area with `r`, as an index; when none does, the flags decide
// (-1: none).
int monitorFor(const Rect& r, std::uint32_t flags) {
    const auto& monitors = desk().monitors;
    if (monitors.empty() || flags > MONITOR_DEFAULTTONEAREST) return -1;
    int best = -1;
    long long bestOverlap = 0;
    for (std::size_t i = 0; i < monitors.size(); ++i) {
        if (overlap(r, monitors[i].rect) > bestOverlap) {
            best = static_cast<int>(i);
            bestOverlap = overlap(r, monitors[i].rect);
        }
    }
    if (best >= 0 || flags == MONITOR_DEFAULTTONULL) return best;
    if (flags == MONITOR_DEFAULTTOPRIMARY) return 0;
    best = 0;
    for (std::size_t i = 0; i < monitors.size(); ++i)
        if (gapSquared(r, monitors[i].rect) < gapSquared(r, monitors[best].rect))
            best = static_cast<int>(i);
    return best;
}

// The first top-level window after `after` (from the top when null) of that class and title.
WindowHandle findAfter(WindowHandle after, const char* className, const char* windowName) {
    const auto& z = desk().zOrder;
    auto next = after ? std::find(z.begin(), z.end(), after) : z.begin();
    if (after && next == z.end()) return nullptr;  // no such window
    for (next = after ? next + 1 : next; next != z.end(); ++next) {
        const SimulatedDesktop::Window& w = desk().windows.at(*next);
        if ((!className || w.className == className) && (!windowName || w.title == windowName))
            return *next;
    }
    return nullptr;
}

// As Windows copies a window's text or class name: cut to the buffer, always terminated.
int copyText(const std::string& text, char* buffer, int capacity) {
    if (capacity <= 0) return 0;
    const int length = std::min<int>(static_cast<int>(text.size()), capacity - 1);
    std::memcpy(buffer, text.data(), length);
    buffer[length] = '\0';
    return length;
}

// Where SetWindowPos puts a window that is at `r` when it takes the request.
Rect positioned(Rect r, const SimulatedDesktop::Window::Position& p, Point minSize) {
    if (!(p.flags & SWP_NOMOVE)) r = Rect{p.x, p.y, edge(p.x, r.width()), edge(p.y, r.height())};
    if (!(p.flags & SWP_NOSIZE))
        r = Rect{r.left, r.top, edge(r.left, std::max(p.cx, minSize.x)),
                 edge(r.top, std::max(p.cy, minSize.y))};
    return r;
}

Rect enlarged(const Rect& r, int by) {
    return Rect{r.left - by, r.top - by, r.right + by, r.bottom + by};
}

}  // namespace

SimulatedDesktop::WindowHandle SimulatedDesktop::addWindow(const std::string& title, Rect rect,
                                                           bool isVisible,
                                                           const std::string& className) {
    WindowHandle window = newHandle<WindowHandle>();
    windows[window] = Window{title, className, rect, isVisible};
    zOrder.push_back(window);
    return window;
}

void SimulatedDesktop::raise(WindowHandle window) {
    zOrder.erase(std::remove(zOrder.begin(), zOrder.end(), window), zOrder.end());
    zOrder.insert(zOrder.begin(), window);
}

void SimulatedDesktop::answer(WindowHandle window) {
    Window& w = windows.at(window);
    for (const Window::Position& p : w.waitingPositions)
        w.rect = positioned(w.rect, p, w.minTrackSize);
    w.waitingPositions.clear();
    w.busy = false;
}

void SimulatedDesktop::removeWindow(WindowHandle window) {
    windows.erase(window);
    zOrder.erase(std::remove(zOrder.begin(), zOrder.end(), window), zOrder.end());
}

SimulatedDesktop::WindowHandle SimulatedDesktop::addMaximisedWindow(const std::string& title,
                                                                    int frameInset) {
    WindowHandle window = addWindow(title, enlarged(workArea, frameInset));
    windows[window].zoomed = true;
    return window;
}

SimulatedDesktop::WindowHandle SimulatedDesktop::findWindow(const std::string& className,
                                                            const std::string& title) const {
    for (WindowHandle window : zOrder) {
        const Window& w = windows.at(window);
        if (w.className == className && w.title == title) return window;
    }
    return nullptr;
}

void SimulatedDesktop::setScreen(int width, int height) {
    windows[desktopWindow].rect = Rect{0, 0, width, height};
    monitors.front().rect = Rect{0, 0, width, height};
    workArea = Rect{0, 0, width, height};
}

void SimulatedDesktop::changeDisplay(int width, int height) {
    setScreen(width, height);
    const LParam size = static_cast<LParam>((height << 16) | (width & 0xFFFF));
    for (WindowHandle window : std::vector<WindowHandle>(zOrder))
        if (windows.count(window) && windows[window].proc) send(window, WM_DISPLAYCHANGE, 32, size);
}

SimulatedDesktop::WindowHandle SimulatedDesktop::addTaskbar(int height) {
    const Rect screen = windows[desktopWindow].rect;
    workArea = Rect{0, 0, screen.right, screen.bottom - height};
    return addWindow("", Rect{0, screen.bottom - height, screen.right, screen.bottom}, true,
                     "Shell_TrayWnd");
}

platform::MonitorHandle SimulatedDesktop::addMonitor(Rect rect, Rect work) {
    MonitorHandle monitor = newHandle<MonitorHandle>();
    monitors.push_back(Monitor{monitor, rect, work});
    return monitor;
}

namespace platform {

WindowHandle GetForegroundWindow() { return desk().foreground; }

bool SetForegroundWindow(WindowHandle window) {
    if (!find(window)) return false;
    desk().foreground = window;
    return true;
}

int GetWindowTextA(WindowHandle window, char* buffer, int capacity) {
    SimulatedDesktop::Window* w = find(window);
    return w ? copyText(w->title, buffer, capacity) : 0;
}

bool GetWindowRect(WindowHandle window, Rect* rect) {
    SimulatedDesktop::Window* w = find(window);
    if (!w) return false;
    *rect = w->rect;
    return true;
}

bool MoveWindow(WindowHandle window, int x, int y, int width, int height, bool) {
    SimulatedDesktop::Window* w = find(window);
    if (!w || window == desk().desktopWindow) return false;
    w->rect = Rect{x, y, edge(x, width), edge(y, height)};
    return true;
}

bool SetWindowPos(WindowHandle window, WindowHandle, int x, int y, int cx, int cy,
                  unsigned flags) {
    logWith("SetWindowPos", nameOf(window), x, y, cx, cy, flags);
    SimulatedDesktop::Window* w = find(window);
    if (!w) return false;
    w->lastPositionFlags = flags;
    if (window == desk().desktopWindow) return false;  // the desktop window does not move
    // Another thread's window takes an asynchronous position when that thread reads its
    // messages, from wherever it is by then.
    const SimulatedDesktop::Window::Position p = {x, y, cx, cy, flags};
    if ((flags & SWP_ASYNCWINDOWPOS) && w->busy && !w->proc) w->waitingPositions.push_back(p);
    else w->rect = positioned(w->rect, p, w->minTrackSize);
    return true;
}

WindowHandle GetDesktopWindow() { return desk().desktopWindow; }

bool IsZoomed(WindowHandle window) {
    SimulatedDesktop::Window* w = find(window);
    return w && w->zoomed;
}

bool IsIconic(WindowHandle window) {
    SimulatedDesktop::Window* w = find(window);
    return w && w->iconic;
}

std::int32_t GetWindowLongA(WindowHandle window, int index) {
    SimulatedDesktop::Window* w = find(window);
    return w && index == GWL_EXSTYLE ? w->exStyle : 0;
}

// Tabrin's windows are those with a window procedure of ours; every other window is another
// program's, each in a process of its own.
constexpr std::uint32_t kTabrinProcess = 4;

std::uint32_t GetWindowThreadProcessId(WindowHandle window, std::uint32_t* processId) {
    SimulatedDesktop::Window* w = find(window);
    const std::uint32_t process =
        !w ? 0 : w->proc ? kTabrinProcess : static_cast<std::uint32_t>(
                                                 reinterpret_cast<std::uintptr_t>(window) << 2);
    if (processId) *processId = process;
    return w ? process + 1 : 0;  // one thread a process
}

std::uint32_t GetCurrentProcessId() { return kTabrinProcess; }

WindowHandle GetShellWindow() { return desk().shellWindow; }

int GetClassNameA(WindowHandle window, char* buffer, int capacity) {
    SimulatedDesktop::Window* w = find(window);
    return w ? copyText(w->className, buffer, capacity) : 0;
}

std::int32_t DwmGetWindowAttribute(WindowHandle window, unsigned attribute, void* value,
                                   unsigned size) {
    constexpr std::int32_t kProcNotFound = static_cast<std::int32_t>(0x8007007F);
    constexpr std::int32_t kInvalidHandle = static_cast<std::int32_t>(0x80070006);
    constexpr std::int32_t kInvalidArg = static_cast<std::int32_t>(0x80070057);
    if (desk().faults.dwmMissing) return kProcNotFound;
    SimulatedDesktop::Window* w = find(window);
    if (!w) return kInvalidHandle;
    if (attribute == DWMWA_EXTENDED_FRAME_BOUNDS && size == sizeof(Rect)) {
        const Rect& b = w->invisibleBorders;
        *static_cast<Rect*>(value) = Rect{w->rect.left + b.left, w->rect.top + b.top,
                                          w->rect.right - b.right, w->rect.bottom - b.bottom};
        return S_OK;
    }
    if (attribute != DWMWA_CLOAKED || size != sizeof(std::uint32_t)) return kInvalidArg;
    *static_cast<std::uint32_t*>(value) = w->cloaked ? 1 : 0;  // DWM_CLOAKED_APP
    return S_OK;
}

bool EnumWindows(EnumWindowsProc callback, LParam lParam) {
    logWith("EnumWindows");
    for (WindowHandle window : std::vector<WindowHandle>(desk().zOrder)) {
        if (!find(window)) continue;
        if (!callback(window, lParam)) return false;
    }
    return true;
}

bool IsWindowVisible(WindowHandle window) {
    SimulatedDesktop::Window* w = find(window);
    return w && w->visible;
}

WindowHandle FindWindowA(const char* className, const char* windowName) {
    return findAfter(nullptr, className, windowName);
}

WindowHandle FindWindowExA(WindowHandle parent, WindowHandle childAfter, const char* className,
                           const char* windowName) {
    logWith("FindWindowExA", className ? className : "");
    return parent ? nullptr : findAfter(childAfter, className, windowName);  // top-level only
}

bool ShowWindow(WindowHandle window, int command) {
    SimulatedDesktop::Window* w = find(window);
    if (!w) return false;
    const bool wasVisible = w->visible;
    w->visible = command != SW_HIDE;
    if (command == SW_SHOW) desk().foreground = window;  // SW_SHOWNA leaves the foreground be
    return wasVisible;
}

bool ShowWindowAsync(WindowHandle window, int command) {
    logWith("ShowWindowAsync", nameOf(window), command);
    return ShowWindow(window, command);
}

DeviceContext GetDC(WindowHandle) {
    ++desk().devicesOutstanding;
    return reinterpret_cast<DeviceContext>(0xDC);
}

int ReleaseDC(WindowHandle, DeviceContext) {
    --desk().devicesOutstanding;
    return 1;
}

int GetDeviceCaps(DeviceContext, int index) {
    logWith("GetDeviceCaps", index);
    const Rect screen = desk().windows[desk().desktopWindow].rect;
    if (index == HORZRES) return screen.width();
    if (index == VERTRES) return screen.height();
    return 0;
}

bool SystemParametersInfoA(unsigned action, unsigned, void* pvParam, unsigned winIni) {
    if (action == SPI_GETWORKAREA) {
        logWith("SystemParametersInfoA", action);
        *static_cast<Rect*>(pvParam) = desk().workArea;
        return true;
    }
    if (action == SPI_SETWORKAREA) {
        const Rect area = *static_cast<const Rect*>(pvParam);
        logWith("SystemParametersInfoA", action, area);
        Rect& work = desk().workAreaOf(monitorFor(area, MONITOR_DEFAULTTONEAREST));
        const Rect old = work;
        work = area;
        desk().records.lastWorkAreaWinIni = winIni;
        if (desk().faults.refitsMaximisedWindows) {
            for (auto& entry : desk().windows) {
                SimulatedDesktop::Window& w = entry.second;
                const long long inset = static_cast<long long>(old.left) - w.rect.left;
                if (w.zoomed && inset > 0 && inset < 100 &&
                    w.rect == enlarged(old, static_cast<int>(inset)))
                    w.rect = enlarged(area, static_cast<int>(inset));
            }
        }
        // SPIF_SENDCHANGE: SendMessageTimeout to every top-level window, waiting on each.
        if (winIni & SPIF_SENDCHANGE) desk().broadcast(WM_SETTINGCHANGE, SPI_SETWORKAREA, 0, true);
        return true;
    }
    return false;
}

MonitorHandle MonitorFromWindow(WindowHandle window, std::uint32_t flags) {
    SimulatedDesktop::Window* w = find(window);
    const int monitor = w ? monitorFor(w->rect, flags) : -1;
    return monitor < 0 ? nullptr : desk().monitors[monitor].handle;
}

bool GetMonitorInfoA(MonitorHandle monitor, MonitorInfo* info) {
    logWith("GetMonitorInfoA");
    // Windows refuses a record whose size it was not told.
    if (desk().faults.failMonitorInfo || info->cbSize != sizeof(MonitorInfo)) return false;
    const auto& monitors = desk().monitors;
    for (std::size_t i = 0; i < monitors.size(); ++i) {
        if (monitors[i].handle != monitor) continue;
        info->rcMonitor = monitors[i].rect;
        info->rcWork = desk().workAreaOf(i);
        info->dwFlags = i == 0 ? MONITORINFOF_PRIMARY : 0;
        return true;
    }
    return false;
}

bool EnumDisplayMonitors(DeviceContext, const Rect*, MonitorEnumProc callback, LParam lParam) {
    logWith("EnumDisplayMonitors");
    for (std::size_t i = 0; i < desk().monitors.size(); ++i) {
        Rect rect = desk().monitors[i].rect;
        if (!callback(desk().monitors[i].handle, nullptr, &rect, lParam)) break;
    }
    return true;
}

bool IsWindow(WindowHandle window) { return find(window) != nullptr; }

unsigned short RegisterClassA(const WindowClass* windowClass) {
    if (desk().faults.failRegisterClass || desk().classes.count(windowClass->lpszClassName))
        return 0;
    desk().classes[windowClass->lpszClassName] = windowClass->lpfnWndProc;
    return static_cast<unsigned short>(0xC100 + desk().classes.size());
}

WindowHandle CreateWindowExA(std::uint32_t, const char* className, const char* windowName,
                             std::uint32_t, int, int, int, int, WindowHandle, MenuHandle,
                             InstanceHandle, void*) {
    auto cls = desk().classes.find(className);
    if (desk().faults.failCreateWindow || cls == desk().classes.end()) return nullptr;
    WindowHandle window = desk().addWindow(windowName, Rect{0, 0, 0, 0}, false, className);
    desk().windows[window].proc = cls->second;
    if (cls->second(window, WM_CREATE, 0, 0) == -1) {
        desk().removeWindow(window);
        return nullptr;
    }
    return window;
}

}  // namespace platform
