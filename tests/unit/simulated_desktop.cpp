// The platform operations answered by the current SimulatedDesktop, following Windows' rules.
#include "simulated_desktop.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

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

// As Windows copies a window's text or class name: cut to the buffer, always terminated.
int copyText(const std::string& text, char* buffer, int capacity) {
    if (capacity <= 0) return 0;
    const int length = std::min<int>(static_cast<int>(text.size()), capacity - 1);
    std::memcpy(buffer, text.data(), length);
    buffer[length] = '\0';
    return length;
}

Rect enlarged(const Rect& r, int by) {
    return Rect{r.left - by, r.top - by, r.right + by, r.bottom + by};
}

const char* flagName(unsigned message) { return message == NIM_ADD ? "ADD" : "DELETE"; }

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

}  // namespace

SimulatedDesktop::SimulatedDesktop() {
    current = this;
    resetTabrinState();
    desktopWindow = newHandle<WindowHandle>();
    windows[desktopWindow] = Window{"", "#32769", Rect{0, 0, 1920, 1080}, true, nullptr, 0};
    workArea = Rect{0, 0, 1920, 1080};
    addMonitor(Rect{0, 0, 1920, 1080});
}

SimulatedDesktop::~SimulatedDesktop() { current = nullptr; }

SimulatedDesktop::WindowHandle SimulatedDesktop::addWindow(const std::string& title, Rect rect,
                                                           bool isVisible,
                                                           const std::string& className) {
    WindowHandle window = newHandle<WindowHandle>();
    windows[window] = Window{title, className, rect, isVisible, nullptr, 0};
    zOrder.push_back(window);
    return window;
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

platform::MonitorHandle SimulatedDesktop::addMonitor(Rect rect) {
    MonitorHandle monitor = newHandle<MonitorHandle>();
    monitors.push_back(Monitor{monitor, rect});
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
    for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
        if (it->second(code, message, reinterpret_cast<LParam>(&event)) != 0) return false;
    }
    return true;
}

bool SimulatedDesktop::isChecked(MenuHandle menu, unsigned id) const {
    MenuItem* item = nullptr;
    return findItem(menu, id, &item) && item->checked;
}

void SimulatedDesktop::restartExplorer() {
    trayIcons.clear();
    const unsigned message = RegisterWindowMessageA("TaskbarCreated");
    for (WindowHandle window : std::vector<WindowHandle>(zOrder))
        if (windows.count(window) && windows[window].proc) send(window, message, 0, 0);
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
    SimulatedDesktop::Window* w = find(window);
    if (!w) return false;
    w->lastPositionFlags = flags;
    if (window == desk().desktopWindow) return false;  // the desktop window does not move
    Rect r = w->rect;
    if (!(flags & SWP_NOMOVE)) r = Rect{x, y, edge(x, r.width()), edge(y, r.height())};
    if (!(flags & SWP_NOSIZE)) r = Rect{r.left, r.top, edge(r.left, cx), edge(r.top, cy)};
    w->rect = r;
    return true;
}

WindowHandle GetDesktopWindow() { return desk().desktopWindow; }

bool IsZoomed(WindowHandle window) {
    SimulatedDesktop::Window* w = find(window);
    return w && w->zoomed;
}

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
    for (WindowHandle window : desk().zOrder) {
        const SimulatedDesktop::Window& w = desk().windows.at(window);
        if (className && w.className != className) continue;
        if (windowName && w.title != windowName) continue;
        return window;
    }
    return nullptr;
}

bool ShowWindow(WindowHandle window, int command) {
    SimulatedDesktop::Window* w = find(window);
    if (!w) return false;
    const bool wasVisible = w->visible;
    w->visible = command != SW_HIDE;
    return wasVisible;
}

bool ShowWindowAsync(WindowHandle window, int command) { return ShowWindow(window, command); }

DeviceContext GetDC(WindowHandle) {
    ++desk().devicesOutstanding;
    return reinterpret_cast<DeviceContext>(0xDC);
}

int ReleaseDC(WindowHandle, DeviceContext) {
    --desk().devicesOutstanding;
    return 1;
}

int GetDeviceCaps(DeviceContext, int index) {
    const Rect screen = desk().windows[desk().desktopWindow].rect;
    if (index == HORZRES) return screen.width();
    if (index == VERTRES) return screen.height();
    return 0;
}

bool SystemParametersInfoA(unsigned action, unsigned, void* pvParam, unsigned winIni) {
    if (action == SPI_GETWORKAREA) {
        *static_cast<Rect*>(pvParam) = desk().workArea;
        return true;
    }
    if (action == SPI_SETWORKAREA) {
        const Rect old = desk().workArea;
        desk().workArea = *static_cast<const Rect*>(pvParam);
        desk().lastWorkAreaWinIni = winIni;
        if (desk().refitsMaximisedWindows) {
            for (auto& entry : desk().windows) {
                SimulatedDesktop::Window& w = entry.second;
                const long long inset = static_cast<long long>(old.left) - w.rect.left;
                if (w.zoomed && inset > 0 && inset < 100 &&
                    w.rect == enlarged(old, static_cast<int>(inset)))
                    w.rect = enlarged(desk().workArea, static_cast<int>(inset));
            }
        }
        // SPIF_SENDCHANGE: SendMessageTimeout to every top-level window, waiting on each.
        if (winIni & SPIF_SENDCHANGE) desk().broadcast(WM_SETTINGCHANGE, SPI_SETWORKAREA, 0, true);
        return true;
    }
    return false;
}

// The monitor sharing the largest area with the window; when none does, the flags decide.
MonitorHandle MonitorFromWindow(WindowHandle window, std::uint32_t flags) {
    SimulatedDesktop::Window* w = find(window);
    const auto& monitors = desk().monitors;
    if (!w || monitors.empty() || flags > MONITOR_DEFAULTTONEAREST) return nullptr;
    const SimulatedDesktop::Monitor* best = nullptr;
    long long bestOverlap = 0;
    for (const SimulatedDesktop::Monitor& m : monitors) {
        if (overlap(w->rect, m.rect) > bestOverlap) {
            best = &m;
            bestOverlap = overlap(w->rect, m.rect);
        }
    }
    if (best) return best->handle;
    if (flags == MONITOR_DEFAULTTOPRIMARY) return monitors.front().handle;
    if (flags != MONITOR_DEFAULTTONEAREST) return nullptr;
    best = &monitors.front();
    for (const SimulatedDesktop::Monitor& m : monitors)
        if (gapSquared(w->rect, m.rect) < gapSquared(w->rect, best->rect)) best = &m;
    return best->handle;
}

bool GetMonitorInfoA(MonitorHandle monitor, MonitorInfo* info) {
    // Windows refuses a record whose size it was not told.
    if (desk().failMonitorInfo || info->cbSize != sizeof(MonitorInfo)) return false;
    const auto& monitors = desk().monitors;
    for (std::size_t i = 0; i < monitors.size(); ++i) {
        if (monitors[i].handle != monitor) continue;
        info->rcMonitor = monitors[i].rect;
        info->rcWork = i == 0 ? desk().workArea : monitors[i].rect;
        info->dwFlags = i == 0 ? MONITORINFOF_PRIMARY : 0;
        return true;
    }
    return false;
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

short GetKeyState(int key) {
    desk().keyReads.push_back(key);
    return desk().held.count(key) ? static_cast<short>(0x8000 | 1) : 0;
}

HookHandle SetWindowsHookExA(int idHook, HookProc proc, InstanceHandle, std::uint32_t threadId) {
    desk().calls.push_back("SetWindowsHookExA");
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
    desk().calls.push_back("UnhookWindowsHookEx");
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
    if (message == NIM_ADD) {
        if (icons.count(data->uID)) return false;
        icons[data->uID] = *data;
        return true;
    }
    if (message == NIM_DELETE) return icons.erase(data->uID) == 1;
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

IconHandle LoadIconA(InstanceHandle, int resource) {
    return reinterpret_cast<IconHandle>(static_cast<std::uintptr_t>(0x10000 + resource));
}

CursorHandle LoadCursorA(InstanceHandle, int resource) {
    return reinterpret_cast<CursorHandle>(static_cast<std::uintptr_t>(0x20000 + resource));
}

char* GetModuleFileNameUtf8(InstanceHandle) {
    if (desk().modulePath.empty()) return nullptr;
    char* copy = static_cast<char*>(std::malloc(desk().modulePath.size() + 1));
    std::memcpy(copy, desk().modulePath.c_str(), desk().modulePath.size() + 1);
    return copy;
}

std::FILE* OpenFileUtf8(const char* path, const char* mode) {
    desk().calls.push_back(std::string("OpenFile ") + mode);
    std::string hostMode;
    for (const char* c = mode; *c; ++c)
        if (*c != 't') hostMode += *c;  // text mode is the only mode on the host
    return std::fopen(path, hostMode.c_str());
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
    if (window == HWND_BROADCAST) {
        desk().broadcast(message, wParam, lParam, false);
        return true;
    }
    if (!find(window)) return false;
    desk().send(window, message, wParam, lParam);  // our thread's window: handled at once
    return true;
}

void PostQuitMessage(int exitCode) {
    desk().calls.push_back("PostQuitMessage");
    desk().post(nullptr, WM_QUIT, static_cast<WParam>(exitCode), 0);
}

}  // namespace platform
