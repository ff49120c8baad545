// The desktop operations on the real Win32 API: thin forwards with handle and record conversions.
#include "platform/desktop.h"

#include <cstdlib>
#include <cstring>
#include <type_traits>

// Our constants carry the Win32 names, which <windows.h> turns into macros: take their values
// here, then check each against the system's own once the header is in.
#define TABRIN_CONSTANTS(X)                                                                  \
    X(WM_CREATE) X(WM_CLOSE) X(WM_QUIT) X(WM_COMMAND) X(WM_HOTKEY) X(WM_MOUSEMOVE)           \
    X(WM_LBUTTONDOWN) X(WM_LBUTTONUP) X(WM_LBUTTONDBLCLK) X(WM_RBUTTONDOWN) X(WM_RBUTTONUP)  \
    X(WM_RBUTTONDBLCLK) X(WM_MBUTTONDOWN) X(WM_MBUTTONUP) X(WM_MOUSEWHEEL) X(WM_XBUTTONDOWN) \
    X(WM_XBUTTONUP) X(WM_MOUSEHWHEEL) X(WM_USER) X(IDCANCEL) X(IDYES) X(IDNO) X(IDOK)        \
    X(SWP_NOSIZE) X(SWP_NOMOVE) X(SWP_NOZORDER) X(SWP_NOREDRAW) X(SWP_NOACTIVATE)           \
    X(SWP_FRAMECHANGED) X(SWP_NOOWNERZORDER) X(SWP_ASYNCWINDOWPOS) X(SW_HIDE) X(SW_SHOW)     \
    X(SW_SHOWNA) X(ABM_GETSTATE) X(ABM_GETTASKBARPOS) X(ABS_AUTOHIDE)                       \
    X(HORZRES) X(VERTRES) X(SPI_SETWORKAREA) X(SPI_GETWORKAREA) X(SPIF_SENDCHANGE)           \
    X(MONITOR_DEFAULTTONULL) X(MONITOR_DEFAULTTOPRIMARY) X(MONITOR_DEFAULTTONEAREST)         \
    X(MONITORINFOF_PRIMARY)                                                                  \
    X(MOD_ALT) X(MOD_CONTROL) X(MOD_WIN) X(VK_CONTROL) X(VK_MENU) X(VK_LEFT) X(VK_UP)        \
    X(VK_RIGHT) X(VK_DOWN) X(VK_LWIN) X(VK_RWIN) X(WH_MOUSE_LL) X(HC_ACTION) X(NIM_ADD)      \
    X(NIM_DELETE) X(NIF_MESSAGE) X(NIF_ICON) X(NIF_TIP) X(MF_STRING) X(MF_BYCOMMAND)         \
    X(MF_UNCHECKED) X(MF_CHECKED) X(MF_POPUP) X(MF_SEPARATOR) X(TPM_RIGHTALIGN)              \
    X(TPM_BOTTOMALIGN) X(TPM_NONOTIFY) X(TPM_RETURNCMD) X(MB_OK) X(MB_YESNO)                 \
    X(MB_ICONQUESTION) X(MB_SETFOREGROUND) X(MB_TOPMOST) X(MUTEX_ALL_ACCESS)                 \
    X(ERROR_ALREADY_EXISTS) X(ERROR_SUCCESS) X(COLOR_BACKGROUND) X(WM_SETTINGCHANGE)          \
    X(WM_DISPLAYCHANGE)                                                                      \
    X(MOD_NOREPEAT) X(DWMWA_CLOAKED) X(DWMWA_EXTENDED_FRAME_BOUNDS) X(S_OK) X(WM_NULL) X(WM_TIMER) X(NIM_MODIFY)              \
    X(MSGFLT_ALLOW) X(ERROR_FILE_NOT_FOUND) X(ERROR_PATH_NOT_FOUND) X(ERROR_ACCESS_DENIED)   \
    X(ERROR_FILE_EXISTS) X(ERROR_DISK_FULL) X(ERROR_UNABLE_TO_MOVE_REPLACEMENT)              \
    X(ERROR_SHARING_VIOLATION) X(ERROR_UNABLE_TO_REMOVE_REPLACED)                            \
    X(ERROR_UNABLE_TO_MOVE_REPLACEMENT_2)                                                    \
    X(GENERIC_WRITE) X(CREATE_NEW) X(CREATE_ALWAYS) X(FILE_ATTRIBUTE_READONLY)               \
    X(FILE_ATTRIBUTE_HIDDEN) X(FILE_ATTRIBUTE_SYSTEM) X(FILE_ATTRIBUTE_DIRECTORY)            \
    X(FILE_ATTRIBUTE_ARCHIVE) X(FILE_ATTRIBUTE_NORMAL) X(INVALID_FILE_ATTRIBUTES)            \
    X(MOVEFILE_REPLACE_EXISTING) X(MOVEFILE_WRITE_THROUGH) X(REPLACEFILE_IGNORE_MERGE_ERRORS) \
    X(IMAGE_ICON) X(LR_DEFAULTCOLOR) X(SM_CXSMICON) X(SM_CYSMICON)                           \
    X(WM_INPUT) X(WM_APP) X(XBUTTON1) X(XBUTTON2)                                             \
    X(VK_LCONTROL) X(VK_RCONTROL) X(VK_LMENU) X(VK_RMENU) X(INPUT_KEYBOARD)                  \
    X(KEYEVENTF_KEYUP) X(RIDEV_REMOVE) X(RIDEV_INPUTSINK) X(RID_INPUT) X(RIM_TYPEKEYBOARD)   \
    X(RI_KEY_BREAK) X(RI_KEY_E0) X(VK_LBUTTON) X(VK_RBUTTON) X(VK_MBUTTON) X(VK_XBUTTON1) X(VK_XBUTTON2)    \
    X(MOD_SHIFT) X(VK_SPACE) X(VK_PRIOR) X(VK_NEXT) X(VK_END) X(VK_HOME) X(VK_INSERT)        \
    X(VK_DELETE) X(VK_F1) X(VK_F24) X(GWL_EXSTYLE) X(WS_EX_TOOLWINDOW) X(WM_ENDSESSION)     \
    X(FILE_NOTIFY_CHANGE_FILE_NAME) X(FILE_NOTIFY_CHANGE_SIZE) X(FILE_NOTIFY_CHANGE_LAST_WRITE) \
    X(INFINITE) X(WAIT_OBJECT_0) X(WAIT_FAILED) X(PM_REMOVE) X(ERROR_WRITE_PROTECT)

#define TABRIN_OURS(name) static_cast<long long>(platform::name),
constexpr long long kOurValues[] = {TABRIN_CONSTANTS(TABRIN_OURS)};
#undef TABRIN_OURS

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#include <shellapi.h>
#include <dwmapi.h>
#include <shlobj.h>

#define TABRIN_SYSTEM(name) static_cast<long long>(name),
constexpr long long kSystemValues[] = {TABRIN_CONSTANTS(TABRIN_SYSTEM)};
#undef TABRIN_SYSTEM

// The position in TABRIN_CONSTANTS of the first constant that differs, or -1.
constexpr int firstDifference(int i = 0) {
    return i == static_cast<int>(std::extent_v<decltype(kOurValues)>) ? -1
           : kOurValues[i] != kSystemValues[i]                            ? i
                                                                           : firstDifference(i + 1);
}
static_assert(firstDifference() == -1, "a constant of platform/desktop.h differs from Windows");

static_assert(sizeof(platform::MouseEvent) == sizeof(MSLLHOOKSTRUCT), "MouseEvent layout");
static_assert(offsetof(platform::MouseEvent, mouseData) == offsetof(MSLLHOOKSTRUCT, mouseData),
              "MouseEvent layout");
static_assert(offsetof(platform::MouseEvent, dwExtraInfo) == offsetof(MSLLHOOKSTRUCT, dwExtraInfo),
              "MouseEvent layout");
static_assert(sizeof(platform::Rect) == sizeof(RECT), "Rect layout");
static_assert(sizeof(platform::RawInputDevice) == sizeof(RAWINPUTDEVICE), "RawInputDevice layout");
static_assert(offsetof(platform::RawInputDevice, hwndTarget) ==
                  offsetof(RAWINPUTDEVICE, hwndTarget),
              "RawInputDevice layout");
static_assert(sizeof(platform::RawInputHeader) == sizeof(RAWINPUTHEADER), "RawInputHeader layout");
static_assert(offsetof(platform::RawKeyboardInput, keyboard) == offsetof(RAWINPUT, data.keyboard),
              "RawKeyboardInput layout");
static_assert(offsetof(platform::RawKeyboardInput, keyboard.VKey) ==
                  offsetof(RAWINPUT, data.keyboard.VKey),
              "RawKeyboardInput layout");
static_assert(sizeof(platform::KeyboardInput) == sizeof(KEYBDINPUT), "KeyboardInput layout");
static_assert(sizeof(platform::MonitorInfo) == sizeof(MONITORINFO), "MonitorInfo layout");
static_assert(offsetof(platform::MonitorInfo, rcMonitor) == offsetof(MONITORINFO, rcMonitor),
              "MonitorInfo layout");
static_assert(offsetof(platform::MonitorInfo, rcWork) == offsetof(MONITORINFO, rcWork),
              "MonitorInfo layout");
static_assert(offsetof(platform::MonitorInfo, dwFlags) == offsetof(MONITORINFO, dwFlags),
              "MonitorInfo layout");
static_assert(sizeof(platform::Point) == sizeof(POINT), "Point layout");
static_assert(sizeof(platform::AppBarData) == sizeof(APPBARDATA), "AppBarData layout");
static_assert(offsetof(platform::AppBarData, rc) == offsetof(APPBARDATA, rc), "AppBarData layout");
#ifndef _WIN64
static_assert(NOTIFYICONDATAA_V1_SIZE == platform::kNotifyIconDataV1Size,
              "the first form of NOTIFYICONDATAA");
#endif

namespace platform {

namespace {

HWND toHwnd(WindowHandle window) { return reinterpret_cast<HWND>(window); }
WindowHandle fromHwnd(HWND window) { return reinterpret_cast<WindowHandle>(window); }
HMENU toHmenu(MenuHandle menu) { return reinterpret_cast<HMENU>(menu); }
HINSTANCE toHinstance(InstanceHandle instance) { return reinterpret_cast<HINSTANCE>(instance); }
HANDLE toHandle(FileHandle file) { return reinterpret_cast<HANDLE>(file); }

// The one window class and the one hook of the program call into the logic through these.
WindowProc windowProc = nullptr;
HookProc hookProc = nullptr;

LRESULT CALLBACK windowProcTrampoline(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return windowProc(fromHwnd(window), message, wParam, lParam);
}

LRESULT CALLBACK hookTrampoline(int code, WPARAM wParam, LPARAM lParam) {
    return hookProc(code, wParam, lParam);
}

struct EnumContext {
    EnumWindowsProc callback;
    LParam lParam;
};

BOOL CALLBACK enumTrampoline(HWND window, LPARAM context) {
    const EnumContext* c = reinterpret_cast<const EnumContext*>(context);
    return c->callback(fromHwnd(window), c->lParam) ? TRUE : FALSE;
}

struct MonitorEnumContext {
    MonitorEnumProc callback;
    LParam lParam;
};

BOOL CALLBACK monitorEnumTrampoline(HMONITOR monitor, HDC dc, LPRECT rect, LPARAM context) {
    const MonitorEnumContext* c = reinterpret_cast<const MonitorEnumContext*>(context);
    return c->callback(reinterpret_cast<MonitorHandle>(monitor),
                       reinterpret_cast<DeviceContext>(dc), reinterpret_cast<Rect*>(rect),
                       c->lParam)
               ? TRUE
               : FALSE;
}

// dwmapi is missing before Vista, and cloaking before Windows 8: look it up once, and only in the
// system folder, never beside the executable.
using DwmGetWindowAttributeProc = HRESULT(WINAPI*)(HWND, DWORD, PVOID, DWORD);
bool dwmLookedUp = false;
DwmGetWindowAttributeProc dwmGetWindowAttribute = nullptr;

DwmGetWindowAttributeProc loadDwmGetWindowAttribute() {
    if (dwmLookedUp) return dwmGetWindowAttribute;
    dwmLookedUp = true;
    static const char kName[] = "\\dwmapi.dll";
    char path[MAX_PATH + sizeof kName];
    const UINT length = ::GetSystemDirectoryA(path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return nullptr;
    std::memcpy(path + length, kName, sizeof kName);
    HMODULE dwm = ::LoadLibraryA(path);
    if (!dwm) return nullptr;
    // Through a plain function pointer type: FARPROC's own type does not match the export's.
    dwmGetWindowAttribute = reinterpret_cast<DwmGetWindowAttributeProc>(
        reinterpret_cast<void (*)()>(::GetProcAddress(dwm, "DwmGetWindowAttribute")));
    return dwmGetWindowAttribute;
}

// A USER32 function newer than the oldest Windows Tabrin runs on, or null where it is missing.
// Looked up on each call: the callers run rarely, and a function-local static would bring in
// the thread-safe initialisation guards.
template <typename Function>
Function user32Function(const char* name) {
    return reinterpret_cast<Function>(
        reinterpret_cast<void (*)()>(::GetProcAddress(::GetModuleHandleA("user32.dll"), name)));
}

using WideString = Owned<wchar_t>;

// UTF-8 to UTF-16 for the W functions; null, with the reason in GetLastError, on failure.
WideString widen(const char* utf8) {
    const int count = MultiByteToWideChar(CP_UTF8, 0, utf8, -1, nullptr, 0);
    if (count <= 0) return nullptr;
    WideString wide(static_cast<wchar_t*>(std::malloc(sizeof(wchar_t) * count)));
    if (!wide) {
        ::SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    if (MultiByteToWideChar(CP_UTF8, 0, utf8, -1, wide.get(), count) != count) return nullptr;
    return wide;
}

// UTF-16 back to UTF-8; null on failure.
Utf8String narrow(const wchar_t* wide) {
    const int size = WideCharToMultiByte(CP_UTF8, 0, wide, -1, nullptr, 0, nullptr, nullptr);
    Utf8String utf8(size > 0 ? static_cast<char*>(std::malloc(size)) : nullptr);
    if (utf8 && WideCharToMultiByte(CP_UTF8, 0, wide, -1, utf8.get(), size, nullptr, nullptr) != size)
        return nullptr;
    return utf8;
}

// What a call taking the path reports: ERROR_SUCCESS, or its error.
std::uint32_t outcome(BOOL succeeded) { return succeeded ? ERROR_SUCCESS : ::GetLastError(); }

}  // namespace

WindowHandle GetForegroundWindow() { return fromHwnd(::GetForegroundWindow()); }

int GetWindowTextA(WindowHandle window, char* buffer, int capacity) {
    return ::GetWindowTextA(toHwnd(window), buffer, capacity);
}

bool GetWindowRect(WindowHandle window, Rect* rect) {
    return ::GetWindowRect(toHwnd(window), reinterpret_cast<RECT*>(rect)) != FALSE;
}

bool MoveWindow(WindowHandle window, int x, int y, int width, int height, bool repaint) {
    return ::MoveWindow(toHwnd(window), x, y, width, height, repaint ? TRUE : FALSE) != FALSE;
}

bool SetWindowPos(WindowHandle window, WindowHandle insertAfter, int x, int y, int cx, int cy,
                  unsigned flags) {
    return ::SetWindowPos(toHwnd(window), toHwnd(insertAfter), x, y, cx, cy, flags) != FALSE;
}

WindowHandle GetDesktopWindow() { return fromHwnd(::GetDesktopWindow()); }

bool IsZoomed(WindowHandle window) { return ::IsZoomed(toHwnd(window)) != FALSE; }

bool IsIconic(WindowHandle window) { return ::IsIconic(toHwnd(window)) != FALSE; }

std::int32_t GetWindowLongA(WindowHandle window, int index) {
    return ::GetWindowLongA(toHwnd(window), index);
}

std::uint32_t GetWindowThreadProcessId(WindowHandle window, std::uint32_t* processId) {
    DWORD process = 0;
    const DWORD thread = ::GetWindowThreadProcessId(toHwnd(window), &process);
    if (processId) *processId = process;
    return thread;
}

std::uint32_t GetCurrentProcessId() { return ::GetCurrentProcessId(); }

WindowHandle GetShellWindow() { return fromHwnd(::GetShellWindow()); }

int GetClassNameA(WindowHandle window, char* buffer, int capacity) {
    return ::GetClassNameA(toHwnd(window), buffer, capacity);
}

std::int32_t DwmGetWindowAttribute(WindowHandle window, unsigned attribute, void* value,
                                   unsigned size) {
    DwmGetWindowAttributeProc proc = loadDwmGetWindowAttribute();
    if (!proc) return HRESULT_FROM_WIN32(ERROR_PROC_NOT_FOUND);
    return proc(toHwnd(window), attribute, value, size);
}

bool EnumWindows(EnumWindowsProc callback, LParam lParam) {
    EnumContext context = {callback, lParam};
    return ::EnumWindows(enumTrampoline, reinterpret_cast<LPARAM>(&context)) != FALSE;
}

bool IsWindowVisible(WindowHandle window) { return ::IsWindowVisible(toHwnd(window)) != FALSE; }

WindowHandle FindWindowA(const char* className, const char* windowName) {
    return fromHwnd(::FindWindowA(className, windowName));
}

WindowHandle FindWindowExA(WindowHandle parent, WindowHandle childAfter, const char* className,
                           const char* windowName) {
    return fromHwnd(::FindWindowExA(toHwnd(parent), toHwnd(childAfter), className, windowName));
}

bool ShowWindow(WindowHandle window, int command) {
    return ::ShowWindow(toHwnd(window), command) != FALSE;
}

bool ShowWindowAsync(WindowHandle window, int command) {
    return ::ShowWindowAsync(toHwnd(window), command) != FALSE;
}

DeviceContext GetDC(WindowHandle window) {
    return reinterpret_cast<DeviceContext>(::GetDC(toHwnd(window)));
}

int ReleaseDC(WindowHandle window, DeviceContext dc) {
    return ::ReleaseDC(toHwnd(window), reinterpret_cast<HDC>(dc));
}

int GetDeviceCaps(DeviceContext dc, int index) {
    return ::GetDeviceCaps(reinterpret_cast<HDC>(dc), index);
}

bool SystemParametersInfoA(unsigned action, unsigned uiParam, void* pvParam, unsigned winIni) {
    return ::SystemParametersInfoA(action, uiParam, pvParam, winIni) != FALSE;
}

MonitorHandle MonitorFromWindow(WindowHandle window, std::uint32_t flags) {
    return reinterpret_cast<MonitorHandle>(::MonitorFromWindow(toHwnd(window), flags));
}

bool GetMonitorInfoA(MonitorHandle monitor, MonitorInfo* info) {
    return ::GetMonitorInfoA(reinterpret_cast<HMONITOR>(monitor),
                             reinterpret_cast<MONITORINFO*>(info)) != FALSE;
}

bool EnumDisplayMonitors(DeviceContext dc, const Rect* clip, MonitorEnumProc callback,
                         LParam lParam) {
    MonitorEnumContext context = {callback, lParam};
    // Wine's headers take the clip as LPRECT, the Windows SDK's as LPCRECT: RECT* suits both.
    return ::EnumDisplayMonitors(reinterpret_cast<HDC>(dc),
                                 reinterpret_cast<RECT*>(const_cast<Rect*>(clip)),
                                 monitorEnumTrampoline,
                                 reinterpret_cast<LPARAM>(&context)) != FALSE;
}

bool RegisterHotKey(WindowHandle window, int id, unsigned modifiers, unsigned key) {
    return ::RegisterHotKey(toHwnd(window), id, modifiers, key) != FALSE;
}

bool UnregisterHotKey(WindowHandle window, int id) {
    return ::UnregisterHotKey(toHwnd(window), id) != FALSE;
}

short GetAsyncKeyState(int key) { return ::GetAsyncKeyState(key); }

unsigned SendInput(unsigned count, const Input* inputs, int) {
    // INPUT is a union sized for its mouse member: copy each record into a whole one, and send
    // them in one call so that nothing comes between them.
    INPUT native[4];
    if (count > std::extent_v<decltype(native)>) return 0;
    for (unsigned i = 0; i < count; ++i) {
        std::memset(&native[i], 0, sizeof native[i]);
        native[i].type = inputs[i].type;
        std::memcpy(&native[i].ki, &inputs[i].ki, sizeof(KEYBDINPUT));
    }
    return ::SendInput(count, native, sizeof(INPUT));
}

bool RegisterRawInputDevices(const RawInputDevice* devices, unsigned count, unsigned size) {
    return ::RegisterRawInputDevices(reinterpret_cast<const RAWINPUTDEVICE*>(devices), count,
                                     size) != FALSE;
}

unsigned GetRawInputData(LParam rawInput, unsigned command, void* data, unsigned* size,
                         unsigned headerSize) {
    // RAWINPUT is sized for its largest member; take it whole, hand over what the caller holds.
    RAWINPUT native;
    UINT nativeSize = sizeof native;
    const UINT copied = ::GetRawInputData(reinterpret_cast<HRAWINPUT>(rawInput), command, &native,
                                          &nativeSize, headerSize);
    if (copied == static_cast<UINT>(-1)) return copied;
    const unsigned kept = copied < *size ? copied : *size;
    std::memcpy(data, &native, kept);
    return kept;
}

HookHandle SetWindowsHookExA(int idHook, HookProc proc, InstanceHandle instance,
                             std::uint32_t threadId) {
    hookProc = proc;
    return reinterpret_cast<HookHandle>(
        ::SetWindowsHookExA(idHook, hookTrampoline, toHinstance(instance), threadId));
}

LResult CallNextHookEx(HookHandle hook, int code, WParam wParam, LParam lParam) {
    return ::CallNextHookEx(reinterpret_cast<HHOOK>(hook), code, wParam, lParam);
}

bool UnhookWindowsHookEx(HookHandle hook) {
    return ::UnhookWindowsHookEx(reinterpret_cast<HHOOK>(hook)) != FALSE;
}

std::uintptr_t SHAppBarMessage(std::uint32_t message, AppBarData* data) {
    return ::SHAppBarMessage(message, reinterpret_cast<APPBARDATA*>(data));
}

bool Shell_NotifyIconA(unsigned message, NotifyIconData* data) {
    NOTIFYICONDATAA native;
    std::memset(&native, 0, sizeof native);
    // The logic fills the first form of the record, 88 bytes in a 32-bit build; a 64-bit build's
    // first form is larger, so the size the shell is told is that form's size in this build.
    native.cbSize =
        data->cbSize == kNotifyIconDataV1Size ? NOTIFYICONDATAA_V1_SIZE : data->cbSize;
    native.hWnd = toHwnd(data->hWnd);
    native.uID = data->uID;
    native.uFlags = data->uFlags;
    native.uCallbackMessage = data->uCallbackMessage;
    native.hIcon = reinterpret_cast<HICON>(data->hIcon);
    static_assert(sizeof native.szTip >= sizeof data->szTip, "tip fits");
    std::memcpy(native.szTip, data->szTip, sizeof data->szTip);
    return ::Shell_NotifyIconA(message, &native) != FALSE;
}

unsigned RegisterWindowMessageA(const char* name) { return ::RegisterWindowMessageA(name); }

bool ChangeWindowMessageFilterEx(WindowHandle window, unsigned message, std::uint32_t action,
                                 void* changeFilter) {
    const auto function = user32Function<BOOL(WINAPI*)(HWND, UINT, DWORD, void*)>(
        "ChangeWindowMessageFilterEx");
    return function && function(toHwnd(window), message, action, changeFilter) != FALSE;
}

int GetSystemMetrics(int index) { return ::GetSystemMetrics(index); }

unsigned GetDpiForWindow(WindowHandle window) {
    const auto function = user32Function<UINT(WINAPI*)(HWND)>("GetDpiForWindow");
    return function ? function(toHwnd(window)) : 0;
}

int GetSystemMetricsForDpi(int index, unsigned dpi) {
    const auto function = user32Function<int(WINAPI*)(int, UINT)>("GetSystemMetricsForDpi");
    return function ? function(index, dpi) : 0;
}

IconHandle LoadImageA(InstanceHandle instance, int resource, unsigned type, int cx, int cy,
                      unsigned flags) {
    return reinterpret_cast<IconHandle>(
        ::LoadImageA(toHinstance(instance), MAKEINTRESOURCEA(resource), type, cx, cy, flags));
}

bool DestroyIcon(IconHandle icon) { return ::DestroyIcon(reinterpret_cast<HICON>(icon)) != FALSE; }

std::uintptr_t SetTimer(WindowHandle window, std::uintptr_t id, unsigned elapse, void* timerProc) {
    return ::SetTimer(toHwnd(window), id, elapse, reinterpret_cast<TIMERPROC>(timerProc));
}

bool KillTimer(WindowHandle window, std::uintptr_t id) {
    return ::KillTimer(toHwnd(window), id) != FALSE;
}

MenuHandle CreatePopupMenu() { return reinterpret_cast<MenuHandle>(::CreatePopupMenu()); }

bool AppendMenuA(MenuHandle menu, unsigned flags, std::uintptr_t idOrSubmenu, const char* label) {
    return ::AppendMenuA(toHmenu(menu), flags, idOrSubmenu, label) != FALSE;
}

long CheckMenuItem(MenuHandle menu, unsigned id, unsigned check) {
    return static_cast<long>(::CheckMenuItem(toHmenu(menu), id, check));
}

int TrackPopupMenu(MenuHandle menu, unsigned flags, int x, int y, int reserved,
                   WindowHandle owner, const Rect*) {
    return ::TrackPopupMenu(toHmenu(menu), flags, x, y, reserved, toHwnd(owner), nullptr);
}

bool GetCursorPos(Point* point) {
    return ::GetCursorPos(reinterpret_cast<POINT*>(point)) != FALSE;
}

bool SetForegroundWindow(WindowHandle window) {
    return ::SetForegroundWindow(toHwnd(window)) != FALSE;
}

int MessageBoxA(WindowHandle owner, const char* text, const char* caption, unsigned type) {
    return ::MessageBoxA(toHwnd(owner), text, caption, type);
}

MutexHandle OpenMutexA(std::uint32_t access, bool inherit, const char* name) {
    return reinterpret_cast<MutexHandle>(::OpenMutexA(access, inherit ? TRUE : FALSE, name));
}

MutexHandle CreateMutexA(void* attributes, bool initialOwner, const char* name) {
    return reinterpret_cast<MutexHandle>(::CreateMutexA(
        static_cast<SECURITY_ATTRIBUTES*>(attributes), initialOwner ? TRUE : FALSE, name));
}

std::uint32_t GetLastError() { return ::GetLastError(); }

std::uint32_t GetTickCount() { return ::GetTickCount(); }

IconHandle LoadIconA(InstanceHandle instance, int resource) {
    return reinterpret_cast<IconHandle>(::LoadIconA(toHinstance(instance), MAKEINTRESOURCEA(resource)));
}

CursorHandle LoadCursorA(InstanceHandle instance, int resource) {
    return reinterpret_cast<CursorHandle>(
        ::LoadCursorA(toHinstance(instance), MAKEINTRESOURCEA(resource)));
}

Utf8String GetModuleFileNameUtf8(InstanceHandle instance) {
    // Long paths exceed MAX_PATH; grow until the whole path fits.
    DWORD capacity = MAX_PATH;
    WideString wide;
    for (;;) {
        wide.reset(static_cast<wchar_t*>(std::malloc(sizeof(wchar_t) * capacity)));
        if (!wide) return nullptr;
        const DWORD length = ::GetModuleFileNameW(toHinstance(instance), wide.get(), capacity);
        if (length == 0) return nullptr;
        if (length < capacity) break;
        if (capacity >= 0x10000) return nullptr;  // beyond any path Windows can hold
        capacity *= 2;
    }
    return narrow(wide.get());
}

std::uint32_t GetFileAttributesUtf8(const char* path) {
    const WideString wide = widen(path);
    return wide ? ::GetFileAttributesW(wide.get()) : INVALID_FILE_ATTRIBUTES;
}

bool GetFileAttributesExUtf8(const char* path, FileInformation* information) {
    const WideString wide = widen(path);
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!wide || !::GetFileAttributesExW(wide.get(), GetFileExInfoStandard, &data)) return false;
    information->attributes = data.dwFileAttributes;
    information->size = static_cast<std::uint64_t>(data.nFileSizeHigh) << 32 | data.nFileSizeLow;
    information->lastWriteTime =
        static_cast<std::uint64_t>(data.ftLastWriteTime.dwHighDateTime) << 32 |
        data.ftLastWriteTime.dwLowDateTime;
    return true;
}

std::uint64_t GetSystemTimeAsFileTime() {
    FILETIME now;
    ::GetSystemTimeAsFileTime(&now);
    return static_cast<std::uint64_t>(now.dwHighDateTime) << 32 | now.dwLowDateTime;
}

FileHandle CreateFileUtf8(const char* path, std::uint32_t access, std::uint32_t share,
                          void* security, std::uint32_t disposition, std::uint32_t flagsAndAttributes,
                          FileHandle templateFile) {
    const WideString wide = widen(path);
    HANDLE file = wide ? ::CreateFileW(wide.get(), access, share,
                                       static_cast<SECURITY_ATTRIBUTES*>(security), disposition,
                                       flagsAndAttributes, toHandle(templateFile))
                       : INVALID_HANDLE_VALUE;
    return reinterpret_cast<FileHandle>(file);
}

bool WriteFile(FileHandle file, const void* buffer, std::uint32_t count, std::uint32_t* written,
               void* overlapped) {
    DWORD done = 0;
    const BOOL ok = ::WriteFile(toHandle(file), buffer, count, &done,
                                static_cast<OVERLAPPED*>(overlapped));
    if (written) *written = done;
    return ok != FALSE;
}

bool FlushFileBuffers(FileHandle file) { return ::FlushFileBuffers(toHandle(file)) != FALSE; }

bool CloseHandle(FileHandle file) { return ::CloseHandle(toHandle(file)) != FALSE; }

std::uint32_t ReplaceFileUtf8(const char* replaced, const char* replacement, const char* backup,
                              std::uint32_t flags, void* exclude, void* reserved) {
    const WideString wideReplaced = widen(replaced);
    const WideString wideReplacement = wideReplaced ? widen(replacement) : nullptr;
    const WideString wideBackup = backup && wideReplacement ? widen(backup) : nullptr;
    if (!wideReplacement || (backup && !wideBackup)) return ::GetLastError();
    return outcome(::ReplaceFileW(wideReplaced.get(), wideReplacement.get(), wideBackup.get(),
                                  flags, exclude, reserved));
}

std::uint32_t MoveFileExUtf8(const char* existing, const char* newName, std::uint32_t flags) {
    const WideString wideExisting = widen(existing);
    const WideString wideNew = wideExisting ? widen(newName) : nullptr;
    if (!wideNew) return ::GetLastError();
    return outcome(::MoveFileExW(wideExisting.get(), wideNew.get(), flags));
}

std::uint32_t DeleteFileUtf8(const char* path) {
    const WideString wide = widen(path);
    if (!wide) return ::GetLastError();
    return outcome(::DeleteFileW(wide.get()));
}

std::uint32_t CreateDirectoryUtf8(const char* path) {
    const WideString wide = widen(path);
    if (!wide) return ::GetLastError();
    return outcome(::CreateDirectoryW(wide.get(), nullptr));
}

Utf8String GetRoamingAppDataUtf8() {
    // FOLDERID_RoamingAppData, spelt out: MinGW keeps the known-folder GUIDs in a library.
    static const GUID roamingAppData = {
        0x3EB685DB, 0x65F9, 0x4CF6, {0xA0, 0x3A, 0xE3, 0xEF, 0x65, 0x72, 0x9F, 0x3D}};
    wchar_t* wide = nullptr;
    Utf8String utf8 =
        SUCCEEDED(::SHGetKnownFolderPath(roamingAppData, 0, nullptr, &wide)) ? narrow(wide) : nullptr;
    ::CoTaskMemFree(wide);
    return utf8;
}

std::FILE* OpenFileUtf8(const char* path, const char* mode) {
    const WideString widePath = widen(path);
    const WideString wideMode = widen(mode);
    return widePath && wideMode ? ::_wfopen(widePath.get(), wideMode.get()) : nullptr;
}

ChangeHandle FindFirstChangeNotificationUtf8(const char* folder, bool watchSubtree,
                                             std::uint32_t filter) {
    const WideString wide = widen(folder);
    const HANDLE change =
        wide ? ::FindFirstChangeNotificationW(wide.get(), watchSubtree, filter) : INVALID_HANDLE_VALUE;
    return change == INVALID_HANDLE_VALUE ? nullptr : reinterpret_cast<ChangeHandle>(change);
}

bool FindNextChangeNotification(ChangeHandle change) {
    return ::FindNextChangeNotification(reinterpret_cast<HANDLE>(change)) != FALSE;
}

bool FindCloseChangeNotification(ChangeHandle change) {
    return ::FindCloseChangeNotification(reinterpret_cast<HANDLE>(change)) != FALSE;
}

unsigned short RegisterClassA(const WindowClass* windowClass) {
    windowProc = windowClass->lpfnWndProc;
    WNDCLASSA native;
    std::memset(&native, 0, sizeof native);
    native.style = windowClass->style;
    native.lpfnWndProc = windowProcTrampoline;
    native.cbClsExtra = windowClass->cbClsExtra;
    native.cbWndExtra = windowClass->cbWndExtra;
    native.hInstance = toHinstance(windowClass->hInstance);
    native.hIcon = reinterpret_cast<HICON>(windowClass->hIcon);
    native.hCursor = reinterpret_cast<HCURSOR>(windowClass->hCursor);
    native.hbrBackground = reinterpret_cast<HBRUSH>(windowClass->hbrBackground);
    native.lpszMenuName = windowClass->lpszMenuName;
    native.lpszClassName = windowClass->lpszClassName;
    return ::RegisterClassA(&native);
}

WindowHandle CreateWindowExA(std::uint32_t exStyle, const char* className, const char* windowName,
                             std::uint32_t style, int x, int y, int width, int height,
                             WindowHandle parent, MenuHandle menu, InstanceHandle instance,
                             void* param) {
    return fromHwnd(::CreateWindowExA(exStyle, className, windowName, style, x, y, width, height,
                                      toHwnd(parent), toHmenu(menu), toHinstance(instance), param));
}

bool PeekMessageA(Message* msg, WindowHandle window, unsigned filterMin, unsigned filterMax,
                  unsigned remove) {
    MSG native;
    if (!::PeekMessageA(&native, toHwnd(window), filterMin, filterMax, remove)) return false;
    msg->hwnd = fromHwnd(native.hwnd);
    msg->message = native.message;
    msg->wParam = native.wParam;
    msg->lParam = native.lParam;
    msg->time = native.time;
    msg->pt = Point{native.pt.x, native.pt.y};
    return true;
}

std::uint32_t MsgWaitForMultipleObjects(std::uint32_t count, const ChangeHandle* handles,
                                        bool waitAll, std::uint32_t milliseconds,
                                        std::uint32_t wakeMask) {
    static_assert(sizeof(ChangeHandle) == sizeof(HANDLE), "handles are passed as they are");
    return ::MsgWaitForMultipleObjects(count, reinterpret_cast<const HANDLE*>(handles), waitAll,
                                       milliseconds, wakeMask);
}

void Sleep(std::uint32_t milliseconds) { ::Sleep(milliseconds); }

namespace {
MSG toMsg(const Message* msg) {
    MSG native;
    std::memset(&native, 0, sizeof native);
    native.hwnd = toHwnd(msg->hwnd);
    native.message = msg->message;
    native.wParam = msg->wParam;
    native.lParam = msg->lParam;
    native.time = msg->time;
    native.pt.x = msg->pt.x;
    native.pt.y = msg->pt.y;
    return native;
}
}  // namespace

bool TranslateMessage(const Message* msg) {
    const MSG native = toMsg(msg);
    return ::TranslateMessage(&native) != FALSE;
}

LResult DispatchMessageA(const Message* msg) {
    const MSG native = toMsg(msg);
    return ::DispatchMessageA(&native);
}

LResult DefWindowProcA(WindowHandle window, unsigned message, WParam wParam, LParam lParam) {
    return ::DefWindowProcA(toHwnd(window), message, wParam, lParam);
}

LResult SendMessageA(WindowHandle window, unsigned message, WParam wParam, LParam lParam) {
    return ::SendMessageA(toHwnd(window), message, wParam, lParam);
}

bool SendNotifyMessageA(WindowHandle window, unsigned message, WParam wParam, LParam lParam) {
    return ::SendNotifyMessageA(toHwnd(window), message, wParam, lParam) != FALSE;
}

bool PostMessageA(WindowHandle window, unsigned message, WParam wParam, LParam lParam) {
    return ::PostMessageA(toHwnd(window), message, wParam, lParam) != FALSE;
}

bool IsWindow(WindowHandle window) { return ::IsWindow(toHwnd(window)) != FALSE; }

void PostQuitMessage(int exitCode) { ::PostQuitMessage(exitCode); }

}  // namespace platform
