// The platform operations answered by the current SimulatedDesktop, following Windows' rules.
#include "simulated_desktop.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

#include "test_support.h"

using namespace platform;

SimulatedDesktop* SimulatedDesktop::current = nullptr;

namespace {

SimulatedDesktop& desk() { return *SimulatedDesktop::current; }

template <typename Handle>
Handle newHandle() {
    return reinterpret_cast<Handle>(desk().nextHandle++);
}

SimulatedDesktop::Window* find(WindowHandle window) {
    auto it = desk().windows.find(window);
    return it == desk().windows.end() ? nullptr : &it->second;
}

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

// Logs a call with its arguments; built only while logging, as a test counting allocations
// turns the log off.
template <typename... Arguments>
void logWith(const char* call, const Arguments&... arguments) {
    if (!desk().logCalls) return;
    std::ostringstream line;
    line << call;
    ((line << ' ' << arguments), ...);
    desk().calls.push_back(line.str());
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

const char* flagName(unsigned message) {
    return message == NIM_ADD ? "ADD" : message == NIM_MODIFY ? "MODIFY" : "DELETE";
}

bool findItem(MenuHandle menu, unsigned id, SimulatedDesktop::MenuItem** found) {
    auto it = desk().menus.find(menu);
    if (it == desk().menus.end()) return false;
    for (SimulatedDesktop::MenuItem& item : it->second) {
        if (item.flags & MF_POPUP) {
            if (findItem(reinterpret_cast<MenuHandle>(item.id), id, found)) return true;
        } else if (!(item.flags & MF_SEPARATOR) && item.id == id) {
            *found = &item;
            return true;
        }
    }
    return false;
}

enum class Kind { Missing, File, Folder };

Kind kindOf(const std::string& path) {
    struct stat info;
    if (stat(path.c_str(), &info) != 0) return Kind::Missing;
    return S_ISDIR(info.st_mode) ? Kind::Folder : Kind::File;
}

std::uint32_t marksOf(const std::string& path) {
    auto it = desk().fileMarks.find(path);
    return it == desk().fileMarks.end() ? 0 : it->second;
}

bool failWith(std::uint32_t error) {
    desk().lastError = error;
    return false;
}

// For the calls that report their error rather than leave it to GetLastError.
std::uint32_t refuse(std::uint32_t error) {
    desk().lastError = error;
    return error;
}

// A file's name, marks and flush state go to its new path, as a rename on one volume does.
void renameFile(const std::string& from, const std::string& to) {
    std::rename(from.c_str(), to.c_str());
    desk().fileMarks[to] = marksOf(from);
    desk().fileMarks.erase(from);
    desk().unflushed.erase(to);
    if (desk().unflushed.erase(from)) desk().unflushed.insert(to);
}

// One call of ReplaceFile or MoveFileEx while another program may hold the file.
bool heldNow() {
    if (desk().heldCalls == 0) return false;
    if (desk().heldCalls > 0) --desk().heldCalls;
    return true;
}

}  // namespace

void SimulatedDesktop::powerCut() {
    for (const std::string& path : unflushed)
        if (kindOf(path) == Kind::File) truncate(path.c_str(), 0);
    unflushed.clear();
}

SimulatedDesktop::SimulatedDesktop() {
    current = this;
    resetTabrinState();
    desktopWindow = newHandle<WindowHandle>();
    windows[desktopWindow] = Window{"", "#32769", Rect{0, 0, 1920, 1080}, true, nullptr, 0};
    workArea = Rect{0, 0, 1920, 1080};
    addMonitor(Rect{0, 0, 1920, 1080});
}

SimulatedDesktop::~SimulatedDesktop() {
    for (auto& open : openFiles) std::fclose(open.second.file);  // a handle the code under test leaked
    current = nullptr;
}

SimulatedDesktop::WindowHandle SimulatedDesktop::addWindow(const std::string& title, Rect rect,
                                                           bool isVisible,
                                                           const std::string& className) {
    WindowHandle window = newHandle<WindowHandle>();
    windows[window] = Window{title, className, rect, isVisible, nullptr, 0};
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

void SimulatedDesktop::clickTrayIcon(unsigned id, unsigned mouseMessage) {
    auto icon = trayIcons.find(id);
    if (icon == trayIcons.end()) return;
    const WindowHandle host = trayIconHost ? trayIconHost : FindWindowA("Shell_TrayWnd", nullptr);
    if (host) foreground = host;
    send(icon->second.hWnd, icon->second.uCallbackMessage, id, mouseMessage);
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

bool SimulatedDesktop::pressHotkey(unsigned modifiers, unsigned key, int autoRepeats) {
    for (const Hotkey& h : hotkeys) {
        if ((h.modifiers & ~MOD_NOREPEAT) == modifiers && h.key == key && h.owner) {
            const Hotkey held = h;  // the handler may register or unregister hotkeys
            const int deliveries = held.modifiers & MOD_NOREPEAT ? 1 : 1 + autoRepeats;
            for (int i = 0; i < deliveries; ++i)
                send(held.owner, WM_HOTKEY, static_cast<WParam>(held.id), 0);
            return true;
        }
    }
    return false;
}

void SimulatedDesktop::takeHotkeyElsewhere(unsigned modifiers, unsigned key) {
    hotkeys.push_back(Hotkey{nullptr, 0, modifiers, key});
}

const SimulatedDesktop::Hotkey* SimulatedDesktop::hotkey(WindowHandle owner, int id) const {
    for (const Hotkey& h : hotkeys)
        if (h.owner == owner && h.id == id) return &h;
    return nullptr;
}

bool SimulatedDesktop::sendMouse(unsigned message, short wheelDelta, int code) {
    MouseEvent event = {};
    event.mouseData = static_cast<std::uint32_t>(static_cast<std::uint16_t>(wheelDelta)) << 16;
    auto chain = hooks;  // a hook may remove itself
    bool reached = true;
    insideHook = true;
    for (auto it = chain.rbegin(); it != chain.rend() && reached; ++it)
        reached = it->second(code, message, reinterpret_cast<LParam>(&event)) == 0;
    insideHook = false;
    // The key state follows the buttons only for events that went through.
    const int button = message == WM_LBUTTONDOWN || message == WM_LBUTTONUP     ? VK_LBUTTON
                       : message == WM_RBUTTONDOWN || message == WM_RBUTTONUP   ? VK_RBUTTON
                       : message == WM_MBUTTONDOWN || message == WM_MBUTTONUP   ? VK_MBUTTON
                       : message != WM_XBUTTONDOWN && message != WM_XBUTTONUP   ? 0
                       : static_cast<unsigned>(wheelDelta) == XBUTTON2         ? VK_XBUTTON2
                                                                                : VK_XBUTTON1;
    const bool down = message == WM_LBUTTONDOWN || message == WM_RBUTTONDOWN ||
                      message == WM_MBUTTONDOWN || message == WM_XBUTTONDOWN;
    if (reached && button) {
        if (down) held.insert(button);
        else held.erase(button);
    }
    return reached;
}

void SimulatedDesktop::typeKey(int key, bool up) {
    const auto changeState = [&] {
        if (up) held.erase(key);
        else held.insert(key);
    };
    if (!rawInputBeforeKeyState) changeState();
    if (rawKeyboardTarget) {
        RawKeyboardInput input = {};
        input.header.dwType = RIM_TYPEKEYBOARD;
        input.header.dwSize = sizeof input;
        // Raw input names Ctrl and Alt without their side, as Windows does.
        const bool ctrl = key == VK_LCONTROL || key == VK_RCONTROL;
        const bool alt = key == VK_LMENU || key == VK_RMENU;
        input.keyboard.VKey = static_cast<std::uint16_t>(ctrl ? VK_CONTROL : alt ? VK_MENU : key);
        input.keyboard.Flags = up ? RI_KEY_BREAK : 0;
        rawInputs.push_back(input);
        ++rawInputsDelivered;
        send(rawKeyboardTarget, WM_INPUT, 1 /* RIM_INPUTSINK */,
             reinterpret_cast<LParam>(&rawInputs.back()));
    }
    if (rawInputBeforeKeyState) changeState();
}

int SimulatedDesktop::pumpPosted() {
    int dispatched = 0;
    while (!queue.empty()) {
        Message next = queue.front();
        queue.pop_front();
        if (next.message == WM_QUIT) continue;
        send(next.window, next.message, next.wParam, next.lParam);
        ++dispatched;
    }
    return dispatched;
}

bool SimulatedDesktop::isChecked(MenuHandle menu, unsigned id) const {
    MenuItem* item = nullptr;
    return findItem(menu, id, &item) && item->checked;
}

void SimulatedDesktop::restartExplorer() {
    trayIcons.clear();
    const unsigned message = RegisterWindowMessageA("TaskbarCreated");
    for (WindowHandle window : std::vector<WindowHandle>(zOrder)) {
        if (!windows.count(window) || !windows[window].proc) continue;
        if (elevated && !messagesAllowed.count({window, message})) continue;
        send(window, message, 0, 0);
    }
}

void SimulatedDesktop::passTime(unsigned ms) {
    const unsigned long long end = now + ms;
    for (;;) {
        auto next = std::min_element(timers.begin(), timers.end(),
                                     [](const Timer& a, const Timer& b) { return a.due < b.due; });
        if (next == timers.end() || next->due > end) break;
        now = next->due;
        next->due += next->interval;
        const Timer fired = *next;  // the handler may kill or replace it
        send(fired.window, WM_TIMER, fired.id, 0);
    }
    now = end;
}

void SimulatedDesktop::post(WindowHandle window, unsigned message, WParam wParam, LParam lParam) {
    queue.push_back(Message{window, message, wParam, lParam, ""});
}

void SimulatedDesktop::postToClass(const std::string& className, unsigned message, WParam wParam,
                                   LParam lParam) {
    queue.push_back(Message{nullptr, message, wParam, lParam, className});
}

void SimulatedDesktop::broadcast(unsigned message, WParam wParam, LParam lParam, bool waits) {
    broadcasts.push_back(Broadcast{message, wParam, lParam, waits});
    for (WindowHandle window : std::vector<WindowHandle>(zOrder))
        if (windows.count(window) && windows[window].proc) send(window, message, wParam, lParam);
}

LResult SimulatedDesktop::send(WindowHandle window, unsigned message, WParam wParam,
                               LParam lParam) {
    Window* w = find(window);
    if (!w || !w->proc) return 0;
    return w->proc(window, message, wParam, lParam);
}

namespace platform {

WindowHandle GetForegroundWindow() { return desk().foreground; }

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
    if (desk().dwmMissing) return kProcNotFound;
    SimulatedDesktop::Window* w = find(window);
    if (!w) return kInvalidHandle;
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
        desk().lastWorkAreaWinIni = winIni;
        if (desk().refitsMaximisedWindows) {
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
    if (desk().failMonitorInfo || info->cbSize != sizeof(MonitorInfo)) return false;
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

bool RegisterHotKey(WindowHandle window, int id, unsigned modifiers, unsigned key) {
    if ((modifiers & MOD_NOREPEAT) && desk().refuseNoRepeat) return false;
    // MOD_NOREPEAT changes how a combination is delivered, not which one it is.
    const unsigned combination = modifiers & ~MOD_NOREPEAT;
    for (const SimulatedDesktop::Hotkey& h : desk().hotkeys) {
        if (((h.modifiers & ~MOD_NOREPEAT) == combination && h.key == key) ||
            (h.owner && h.owner == window && h.id == id))
            return false;
    }
    desk().hotkeys.push_back(SimulatedDesktop::Hotkey{window, id, modifiers, key});
    desk().calls.push_back("RegisterHotKey " + std::to_string(id));
    return true;
}

bool UnregisterHotKey(WindowHandle window, int id) {
    desk().calls.push_back("UnregisterHotKey " + std::to_string(id));
    auto& all = desk().hotkeys;
    for (auto it = all.begin(); it != all.end(); ++it) {
        if (it->owner && it->owner == window && it->id == id) {
            all.erase(it);
            return true;
        }
    }
    return false;
}

short GetAsyncKeyState(int key) {
    desk().keyReads.push_back(key);
    const auto down = [](int k) { return desk().held.count(k) != 0; };
    bool isDown = down(key);  // VK_CONTROL and VK_MENU stand for either side
    if (key == VK_CONTROL) isDown = isDown || down(VK_LCONTROL) || down(VK_RCONTROL);
    if (key == VK_MENU) isDown = isDown || down(VK_LMENU) || down(VK_RMENU);
    return isDown ? static_cast<short>(0x8000) : 0;
}

unsigned SendInput(unsigned count, const Input* inputs, int size) {
    if (size != static_cast<int>(sizeof(Input))) return 0;
    for (unsigned i = 0; i < count; ++i) {
        if (inputs[i].type != INPUT_KEYBOARD) return i;
        desk().sentKeys.push_back(SimulatedDesktop::SentKey{
            inputs[i].ki.wVk, (inputs[i].ki.dwFlags & KEYEVENTF_KEYUP) != 0, desk().insideHook});
    }
    return count;
}

bool RegisterRawInputDevices(const RawInputDevice* devices, unsigned count, unsigned size) {
    if (count != 1 || size != sizeof(RawInputDevice) || desk().refuseRawInput) return false;
    const RawInputDevice& d = devices[0];
    const bool remove = (d.dwFlags & RIDEV_REMOVE) != 0;
    desk().logCall(remove ? "RegisterRawInputDevices REMOVE" : "RegisterRawInputDevices");
    if (d.usUsagePage != 1 || d.usUsage != 6) return false;  // only the keyboard is simulated
    // Removing takes no window; a sink without a window is refused.
    if (remove) {
        if (d.hwndTarget) return false;
        desk().rawKeyboardTarget = nullptr;
        return true;
    }
    if (!(d.dwFlags & RIDEV_INPUTSINK) || !find(d.hwndTarget)) return false;
    desk().rawKeyboardTarget = d.hwndTarget;
    return true;
}

unsigned GetRawInputData(LParam rawInput, unsigned command, void* data, unsigned* size,
                         unsigned headerSize) {
    const unsigned kFailed = static_cast<unsigned>(-1);
    if (command != RID_INPUT || headerSize != sizeof(RawInputHeader) || !rawInput) return kFailed;
    const RawKeyboardInput& input = *reinterpret_cast<const RawKeyboardInput*>(rawInput);
    if (*size < input.header.dwSize) return kFailed;
    std::memcpy(data, &input, input.header.dwSize);
    return input.header.dwSize;
}

HookHandle SetWindowsHookExA(int idHook, HookProc proc, InstanceHandle, std::uint32_t threadId) {
    desk().logCall("SetWindowsHookExA");
    if (idHook != WH_MOUSE_LL || threadId != 0 || desk().failHookInstall) return nullptr;
    HookHandle hook = newHandle<HookHandle>();
    desk().hooks.emplace_back(hook, proc);
    return hook;
}

LResult CallNextHookEx(HookHandle, int, WParam, LParam) {
    ++desk().passedOn;
    return 0;
}

bool UnhookWindowsHookEx(HookHandle hook) {
    desk().logCall("UnhookWindowsHookEx");
    auto& hooks = desk().hooks;
    for (auto it = hooks.begin(); it != hooks.end(); ++it) {
        if (it->first == hook) {
            hooks.erase(it);
            return true;
        }
    }
    return false;
}

bool Shell_NotifyIconA(unsigned message, NotifyIconData* data) {
    desk().calls.push_back(std::string("Shell_NotifyIconA ") + flagName(message));
    auto& icons = desk().trayIcons;
    const bool busy = desk().now < desk().shellBusyUntil;
    if (message == NIM_ADD) {
        desk().iconAdds.push_back(desk().now);
        if (busy || icons.count(data->uID)) return false;
        icons[data->uID] = *data;
        if (desk().addsTimingOut > 0) return --desk().addsTimingOut, false;
        return true;
    }
    if (message == NIM_MODIFY) {
        if (busy || !icons.count(data->uID)) return false;
        icons[data->uID] = *data;
        return true;
    }
    if (message == NIM_DELETE) return icons.erase(data->uID) == 1;
    return false;
}

bool ChangeWindowMessageFilterEx(WindowHandle window, unsigned message, std::uint32_t action,
                                 void*) {
    if (!desk().hasMessageFilterEx || !find(window)) return false;
    if (action == MSGFLT_ALLOW) desk().messagesAllowed.insert({window, message});
    return true;
}

int GetSystemMetrics(int index) {
    return index == SM_CXSMICON || index == SM_CYSMICON ? desk().smallIconSize : 0;
}

unsigned GetDpiForWindow(WindowHandle window) {
    SimulatedDesktop::Window* w = find(window);
    return desk().hasDpiFunctions && w ? w->dpi : 0;
}

int GetSystemMetricsForDpi(int index, unsigned dpi) {
    if (!desk().hasDpiFunctions || (index != SM_CXSMICON && index != SM_CYSMICON)) return 0;
    return static_cast<int>(16 * dpi / 96);
}

IconHandle LoadImageA(InstanceHandle, int resource, unsigned type, int cx, int cy, unsigned) {
    if (type != IMAGE_ICON) return nullptr;
    // Windows picks the closest image of the group and scales it to exactly cx by cy.
    IconHandle icon = newHandle<IconHandle>();
    desk().icons[icon] = SimulatedDesktop::Icon{resource, cx, cy};
    return icon;
}

bool DestroyIcon(IconHandle icon) { return desk().icons.erase(icon) == 1; }

std::uintptr_t SetTimer(WindowHandle window, std::uintptr_t id, unsigned elapse, void*) {
    if (!find(window)) return 0;
    KillTimer(window, id);  // the same identifier replaces the timer
    desk().timers.push_back(SimulatedDesktop::Timer{window, id, elapse, desk().now + elapse});
    return id;
}

bool KillTimer(WindowHandle window, std::uintptr_t id) {
    auto& timers = desk().timers;
    for (auto it = timers.begin(); it != timers.end(); ++it) {
        if (it->window == window && it->id == id) {
            timers.erase(it);
            return true;
        }
    }
    return false;
}

unsigned RegisterWindowMessageA(const char* name) {
    auto& registered = desk().registeredMessages;
    auto it = registered.find(name);
    if (it != registered.end()) return it->second;
    const unsigned id = 0xC000 + static_cast<unsigned>(registered.size());
    registered[name] = id;
    return id;
}

MenuHandle CreatePopupMenu() {
    desk().calls.push_back("CreatePopupMenu");
    MenuHandle menu = newHandle<MenuHandle>();
    desk().menus[menu];
    return menu;
}

bool AppendMenuA(MenuHandle menu, unsigned flags, std::uintptr_t idOrSubmenu, const char* label) {
    auto it = desk().menus.find(menu);
    if (it == desk().menus.end()) return false;
    it->second.push_back(
        SimulatedDesktop::MenuItem{flags, idOrSubmenu, label ? label : "", (flags & MF_CHECKED) != 0});
    return true;
}

long CheckMenuItem(MenuHandle menu, unsigned id, unsigned check) {
    desk().calls.push_back("CheckMenuItem " + std::to_string(id));
    SimulatedDesktop::MenuItem* item = nullptr;
    if (!findItem(menu, id, &item)) return -1;
    const long previous = item->checked ? MF_CHECKED : MF_UNCHECKED;
    item->checked = (check & MF_CHECKED) != 0;
    return previous;
}

int TrackPopupMenu(MenuHandle menu, unsigned flags, int x, int y, int, WindowHandle owner,
                   const Rect*) {
    desk().popups.push_back(SimulatedDesktop::Popup{menu, flags, x, y, owner, desk().foreground});
    // Windows leaves the foreground where the menu found it (or where the user's click put it).
    if (desk().whileMenuOpen) desk().whileMenuOpen();
    if (desk().menuChoices.empty()) return 0;
    const int choice = desk().menuChoices.front();
    desk().menuChoices.pop_front();
    return choice;
}

bool GetCursorPos(Point* point) {
    *point = desk().cursor;
    return true;
}

bool SetForegroundWindow(WindowHandle window) {
    if (!find(window)) return false;
    desk().foreground = window;
    return true;
}

int MessageBoxA(WindowHandle owner, const char* text, const char* caption, unsigned type) {
    desk().calls.push_back("MessageBoxA");
    desk().boxes.push_back(SimulatedDesktop::Box{owner, text, caption, type});
    if (desk().whileBoxOpen) desk().whileBoxOpen();
    if (!desk().boxAnswers.empty()) {
        const int answer = desk().boxAnswers.front();
        desk().boxAnswers.pop_front();
        return answer;
    }
    return (type & 0xF) == MB_YESNO ? IDNO : IDOK;
}

MutexHandle OpenMutexA(std::uint32_t, bool, const char* name) {
    if (!desk().mutexes.count(name)) return nullptr;
    return newHandle<MutexHandle>();
}

MutexHandle CreateMutexA(void*, bool, const char* name) {
    const bool exists = desk().mutexes.count(name) || desk().mutexRace;
    desk().mutexes.insert(name);
    desk().lastError = exists ? ERROR_ALREADY_EXISTS : 0;
    return newHandle<MutexHandle>();
}

std::uint32_t GetLastError() { return desk().lastError; }

std::uint32_t GetTickCount() { return static_cast<std::uint32_t>(desk().now); }

IconHandle LoadIconA(InstanceHandle, int resource) {
    return reinterpret_cast<IconHandle>(static_cast<std::uintptr_t>(0x10000 + resource));
}

CursorHandle LoadCursorA(InstanceHandle, int resource) {
    return reinterpret_cast<CursorHandle>(static_cast<std::uintptr_t>(0x20000 + resource));
}

Utf8String GetModuleFileNameUtf8(InstanceHandle) {
    if (desk().modulePath.empty()) return nullptr;
    Utf8String copy(static_cast<char*>(std::malloc(desk().modulePath.size() + 1)));
    std::memcpy(copy.get(), desk().modulePath.c_str(), desk().modulePath.size() + 1);
    return copy;
}

std::FILE* OpenFileUtf8(const char* path, const char* mode) {
    desk().calls.push_back(std::string("OpenFile ") + mode);
    const bool writes = std::strpbrk(mode, "wa+") != nullptr;
    // CREATE_ALWAYS, which "w" uses, refuses a hidden or system file; nothing writes a read-only one.
    if (writes && (marksOf(path) & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN |
                                     FILE_ATTRIBUTE_SYSTEM)))
        return nullptr;
    if (writes) desk().unflushed.insert(path);
    std::string hostMode;
    for (const char* c = mode; *c; ++c)
        if (*c != 't') hostMode += *c;  // text mode is the only mode on the host
    return std::fopen(path, hostMode.c_str());
}

std::uint32_t GetFileAttributesUtf8(const char* path) {
    switch (kindOf(path)) {
    case Kind::Missing: desk().lastError = ERROR_FILE_NOT_FOUND; return INVALID_FILE_ATTRIBUTES;
    case Kind::Folder: return FILE_ATTRIBUTE_DIRECTORY | marksOf(path);
    case Kind::File: break;
    }
    return FILE_ATTRIBUTE_ARCHIVE | marksOf(path);
}

FileHandle CreateFileUtf8(const char* path, std::uint32_t access, std::uint32_t, void*,
                          std::uint32_t disposition, std::uint32_t flagsAndAttributes, FileHandle) {
    desk().calls.push_back("CreateFile");
    const Kind kind = kindOf(path);
    const std::uint32_t marks = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
    bool refused = !(access & GENERIC_WRITE) || kind == Kind::Folder;
    if (disposition == CREATE_NEW && kind != Kind::Missing) {
        desk().lastError = ERROR_FILE_EXISTS;
        return INVALID_HANDLE_VALUE;
    }
    if (disposition == CREATE_ALWAYS && kind == Kind::File) {
        // An existing hidden or system file must be asked for with those marks.
        const std::uint32_t existing = marksOf(path);
        refused = refused || (existing & FILE_ATTRIBUTE_READONLY) ||
                  (existing & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM) &
                   ~flagsAndAttributes) != 0;
    } else if (disposition != CREATE_NEW && disposition != CREATE_ALWAYS) {
        refused = true;
    }
    if (refused || (kind == Kind::Missing && desk().refuseNewFiles)) {
        desk().lastError = ERROR_ACCESS_DENIED;
        return INVALID_HANDLE_VALUE;
    }
    std::FILE* file = std::fopen(path, "wb");
    if (!file) {
        desk().lastError = ERROR_PATH_NOT_FOUND;
        return INVALID_HANDLE_VALUE;
    }
    if (kind == Kind::Missing) desk().fileMarks[path] = flagsAndAttributes & marks;
    desk().unflushed.insert(path);
    FileHandle handle = newHandle<FileHandle>();
    desk().openFiles[handle] = SimulatedDesktop::OpenFile{file, path};
    return handle;
}

bool WriteFile(FileHandle file, const void* buffer, std::uint32_t count, std::uint32_t* written,
               void*) {
    auto it = desk().openFiles.find(file);
    *written = 0;
    if (it == desk().openFiles.end()) return failWith(6);  // ERROR_INVALID_HANDLE
    const std::uint32_t room = desk().diskFull ? count / 2 : count;
    *written = static_cast<std::uint32_t>(std::fwrite(buffer, 1, room, it->second.file));
    desk().unflushed.insert(it->second.path);
    return room == count || failWith(ERROR_DISK_FULL);
}

bool FlushFileBuffers(FileHandle file) {
    auto it = desk().openFiles.find(file);
    if (it == desk().openFiles.end()) return failWith(6);
    std::fflush(it->second.file);
    desk().unflushed.erase(it->second.path);
    return true;
}

bool CloseHandle(FileHandle file) {
    auto it = desk().openFiles.find(file);
    if (it == desk().openFiles.end()) return failWith(6);
    std::fclose(it->second.file);
    desk().openFiles.erase(it);
    return true;
}

std::uint32_t ReplaceFileUtf8(const char* replaced, const char* replacement, const char*,
                              std::uint32_t, void*, void*) {
    desk().calls.push_back("ReplaceFile");
    if (kindOf(replaced) != Kind::File || kindOf(replacement) != Kind::File)
        return refuse(kindOf(replaced) == Kind::Folder ? ERROR_ACCESS_DENIED : ERROR_FILE_NOT_FOUND);
    // The caller needs write access to the file it replaces.
    if (marksOf(replaced) & FILE_ATTRIBUTE_READONLY) return refuse(ERROR_ACCESS_DENIED);
    if (heldNow()) {
        if (desk().heldError == ERROR_UNABLE_TO_MOVE_REPLACEMENT) {
            std::remove(replaced);
            desk().fileMarks.erase(replaced);
        } else if (desk().heldError == ERROR_UNABLE_TO_MOVE_REPLACEMENT_2) {
            desk().fileMarks[replacement] = marksOf(replaced);
            renameFile(replaced, std::string(replaced) + "~");
        }
        return refuse(desk().heldError);
    }
    // The replacement keeps its own attributes: the replaced file's do not carry over.
    renameFile(replacement, replaced);
    return ERROR_SUCCESS;
}

std::uint32_t MoveFileExUtf8(const char* existing, const char* newName, std::uint32_t flags) {
    desk().calls.push_back("MoveFileEx");
    if (kindOf(existing) != Kind::File) return refuse(ERROR_FILE_NOT_FOUND);
    if (heldNow()) return refuse(ERROR_ACCESS_DENIED);
    const Kind target = kindOf(newName);
    if (target == Kind::Folder) return refuse(ERROR_ACCESS_DENIED);
    if (target == Kind::File && !(flags & MOVEFILE_REPLACE_EXISTING))
        return refuse(ERROR_ALREADY_EXISTS);
    if (target == Kind::File && (marksOf(newName) & FILE_ATTRIBUTE_READONLY))
        return refuse(ERROR_ACCESS_DENIED);
    renameFile(existing, newName);
    return ERROR_SUCCESS;
}

std::uint32_t DeleteFileUtf8(const char* path) {
    if (kindOf(path) != Kind::File)
        return refuse(kindOf(path) == Kind::Folder ? ERROR_ACCESS_DENIED : ERROR_FILE_NOT_FOUND);
    if (marksOf(path) & FILE_ATTRIBUTE_READONLY) return refuse(ERROR_ACCESS_DENIED);
    std::remove(path);
    desk().fileMarks.erase(path);
    desk().unflushed.erase(path);
    return ERROR_SUCCESS;
}

unsigned short RegisterClassA(const WindowClass* windowClass) {
    if (desk().failRegisterClass || desk().classes.count(windowClass->lpszClassName)) return 0;
    desk().classes[windowClass->lpszClassName] = windowClass->lpfnWndProc;
    return static_cast<unsigned short>(0xC100 + desk().classes.size());
}

WindowHandle CreateWindowExA(std::uint32_t, const char* className, const char* windowName,
                             std::uint32_t, int, int, int, int, WindowHandle, MenuHandle,
                             InstanceHandle, void*) {
    auto cls = desk().classes.find(className);
    if (desk().failCreateWindow || cls == desk().classes.end()) return nullptr;
    WindowHandle window = desk().addWindow(windowName, Rect{0, 0, 0, 0}, false, className);
    desk().windows[window].proc = cls->second;
    if (cls->second(window, WM_CREATE, 0, 0) == -1) {
        desk().removeWindow(window);
        return nullptr;
    }
    return window;
}

int GetMessageA(Message* msg, WindowHandle, unsigned, unsigned) {
    if (desk().queue.empty()) {
        desk().loopStarved = true;  // a real loop would wait forever here
        *msg = Message{};
        return 0;
    }
    SimulatedDesktop::Message next = desk().queue.front();
    desk().queue.pop_front();
    if (!next.toClass.empty()) next.window = FindWindowA(next.toClass.c_str(), nullptr);
    *msg = Message{next.window, next.message, next.wParam, next.lParam, 0, Point{0, 0}};
    return next.message == WM_QUIT ? 0 : 1;
}

bool TranslateMessage(const Message*) { return false; }

LResult DispatchMessageA(const Message* msg) {
    return desk().send(msg->hwnd, msg->message, msg->wParam, msg->lParam);
}

LResult DefWindowProcA(WindowHandle window, unsigned message, WParam wParam, LParam lParam) {
    desk().defaultHandled.push_back(SimulatedDesktop::Message{window, message, wParam, lParam, ""});
    return 0;
}

LResult SendMessageA(WindowHandle window, unsigned message, WParam wParam, LParam lParam) {
    if (window == HWND_BROADCAST) {
        desk().broadcast(message, wParam, lParam, true);
        return 0;
    }
    return desk().send(window, message, wParam, lParam);
}

bool SendNotifyMessageA(WindowHandle window, unsigned message, WParam wParam, LParam lParam) {
    logWith("SendNotifyMessageA", message, wParam);
    if (window == HWND_BROADCAST) {
        desk().broadcast(message, wParam, lParam, false);
        return true;
    }
    if (!find(window)) return false;
    desk().send(window, message, wParam, lParam);  // our thread's window: handled at once
    return true;
}

bool PostMessageA(WindowHandle window, unsigned message, WParam wParam, LParam lParam) {
    if (window && !find(window)) return false;  // no window: a message to the thread
    desk().post(window, message, wParam, lParam);
    return true;
}

bool IsWindow(WindowHandle window) { return find(window) != nullptr; }

void PostQuitMessage(int exitCode) {
    desk().calls.push_back("PostQuitMessage");
    desk().post(nullptr, WM_QUIT, static_cast<WParam>(exitCode), 0);
}

}  // namespace platform
