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
    workArea = Rect{0, 0, width, height};
}

SimulatedDesktop::WindowHandle SimulatedDesktop::addTaskbar(int height) {
    const Rect screen = windows[desktopWindow].rect;
    workArea = Rect{0, 0, screen.right, screen.bottom - height};
    return addWindow("", Rect{0, screen.bottom - height, screen.right, screen.bottom}, true,
                     "Shell_TrayWnd");
}

bool SimulatedDesktop::pressHotkey(unsigned modifiers, unsigned key) {
    for (const Hotkey& h : hotkeys) {
        if (h.modifiers == modifiers && h.key == key && h.owner) {
            send(h.owner, WM_HOTKEY, static_cast<WParam>(h.id), 0);
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
    if (!w || capacity <= 0) return 0;
    const int length = std::min<int>(static_cast<int>(w->title.size()), capacity - 1);
    std::memcpy(buffer, w->title.data(), length);
    buffer[length] = '\0';
    return length;
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
        desk().workArea = *static_cast<const Rect*>(pvParam);
        desk().lastWorkAreaWinIni = winIni;
        return true;
    }
    return false;
}

bool RegisterHotKey(WindowHandle window, int id, unsigned modifiers, unsigned key) {
    for (const SimulatedDesktop::Hotkey& h : desk().hotkeys) {
        if ((h.modifiers == modifiers && h.key == key) || (h.owner && h.owner == window && h.id == id))
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
    return desk().send(window, message, wParam, lParam);
}

bool PostMessageA(WindowHandle window, unsigned message, WParam wParam, LParam lParam) {
    if (window && !find(window)) return false;
    desk().post(window, message, wParam, lParam);
    return true;
}

void PostQuitMessage(int exitCode) {
    desk().calls.push_back("PostQuitMessage");
    desk().post(nullptr, WM_QUIT, static_cast<WParam>(exitCode), 0);
}

}  // namespace platform
