// The desktop operations Tabrin uses, with project-owned types and the Win32 names and flag values.
#pragma once

#if defined(_WINDOWS_) || defined(_INC_WINDOWS)
#error "include platform/desktop.h before <windows.h>: its constants carry the same names as the Win32 macros"
#endif

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace platform {

// ---- Handles and records --------------------------------------------------------------------

using WindowHandle = struct WindowTag*;
using MenuHandle = struct MenuTag*;
using HookHandle = struct HookTag*;
using IconHandle = struct IconTag*;
using CursorHandle = struct CursorTag*;
using InstanceHandle = struct InstanceTag*;
using MutexHandle = struct MutexTag*;
using DeviceContext = struct DeviceContextTag*;
using MonitorHandle = struct MonitorTag*;
using FileHandle = struct FileTag*;
using ChangeHandle = struct ChangeTag*;  // FindFirstChangeNotification's, a waitable handle

constexpr WindowHandle kNoWindow = nullptr;

// Memory from malloc, given back to free() when its one owner goes: what std::unique_ptr with a
// free deleter does, but <memory> does not compile in the MSVC-mode check over Wine's headers.
template <typename T>
class Owned {
public:
    Owned(std::nullptr_t = nullptr) {}
    explicit Owned(T* memory) : memory_(memory) {}
    Owned(Owned&& other) noexcept : memory_(other.release()) {}
    Owned& operator=(Owned&& other) noexcept {
        reset(other.release());
        return *this;
    }
    ~Owned() { std::free(memory_); }
    Owned(const Owned&) = delete;
    Owned& operator=(const Owned&) = delete;

    T* get() const { return memory_; }
    explicit operator bool() const { return memory_ != nullptr; }
    T* release() {
        T* memory = memory_;
        memory_ = nullptr;
        return memory;
    }
    void reset(T* memory = nullptr) {
        std::free(memory_);
        memory_ = memory;
    }

private:
    T* memory_ = nullptr;
};
// A UTF-8 string of the platform's making (a path); null when there was none to be had.
using Utf8String = Owned<char>;

using WParam = std::uintptr_t;
using LParam = std::intptr_t;
using LResult = std::intptr_t;

struct Point {
    std::int32_t x;
    std::int32_t y;
};

struct Rect {
    std::int32_t left;
    std::int32_t top;
    std::int32_t right;
    std::int32_t bottom;

    std::int32_t width() const { return right - left; }
    std::int32_t height() const { return bottom - top; }
};

inline bool operator==(const Rect& a, const Rect& b) {
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}
inline bool operator!=(const Rect& a, const Rect& b) { return !(a == b); }

// Same layout as MONITORINFO: cbSize must be set before GetMonitorInfoA.
struct MonitorInfo {
    std::uint32_t cbSize;
    Rect rcMonitor;  // the whole display, in virtual-screen coordinates
    Rect rcWork;     // less the taskbar and other docked bars
    std::uint32_t dwFlags;
};

// Same layout as MSLLHOOKSTRUCT, so the low-level hook's lParam can be read without copying.
struct MouseEvent {
    Point pt;
    std::uint32_t mouseData;  // high word: signed wheel delta
    std::uint32_t flags;
    std::uint32_t time;
    std::uintptr_t dwExtraInfo;
};

using WindowProc = LResult (*)(WindowHandle window, unsigned message, WParam wParam, LParam lParam);
// Same layout as RAWINPUTDEVICE.
struct RawInputDevice {
    std::uint16_t usUsagePage;
    std::uint16_t usUsage;
    std::uint32_t dwFlags;
    WindowHandle hwndTarget;
};

// Same layout as RAWINPUTHEADER followed by RAWKEYBOARD: a RAWINPUT of a keyboard.
struct RawInputHeader {
    std::uint32_t dwType;
    std::uint32_t dwSize;
    void* hDevice;
    WParam wParam;
};
struct RawKeyboard {
    std::uint16_t MakeCode;
    std::uint16_t Flags;
    std::uint16_t Reserved;
    std::uint16_t VKey;
    std::uint32_t Message;
    std::uint32_t ExtraInformation;
};
struct RawKeyboardInput {
    RawInputHeader header;
    RawKeyboard keyboard;
};

// The keyboard member of INPUT; SendInput takes it with its type (INPUT_KEYBOARD).
struct KeyboardInput {
    std::uint16_t wVk;
    std::uint16_t wScan;
    std::uint32_t dwFlags;
    std::uint32_t time;
    std::uintptr_t dwExtraInfo;
};
struct Input {
    std::uint32_t type;
    KeyboardInput ki;
};

// Same layout as APPBARDATA.
struct AppBarData {
    std::uint32_t cbSize;
    WindowHandle hWnd;
    unsigned uCallbackMessage;
    unsigned uEdge;
    Rect rc;
    LParam lParam;
};

using HookProc = LResult (*)(int code, WParam wParam, LParam lParam);
using EnumWindowsProc = bool (*)(WindowHandle window, LParam lParam);
// rect: the monitor's whole rectangle, in virtual-screen coordinates.
using MonitorEnumProc = bool (*)(MonitorHandle monitor, DeviceContext dc, Rect* rect,
                                 LParam lParam);

struct WindowClass {
    unsigned style;
    WindowProc lpfnWndProc;
    int cbClsExtra;
    int cbWndExtra;
    InstanceHandle hInstance;
    IconHandle hIcon;
    CursorHandle hCursor;
    std::intptr_t hbrBackground;  // a system colour index + 1
    const char* lpszMenuName;
    const char* lpszClassName;
};

struct Message {
    WindowHandle hwnd;
    unsigned message;
    WParam wParam;
    LParam lParam;
    std::uint32_t time;
    Point pt;
};

// The first form of NOTIFYICONDATAA, 88 bytes in a 32-bit program: no balloon fields.
constexpr std::uint32_t kNotifyIconDataV1Size = 88;
struct NotifyIconData {
    std::uint32_t cbSize;
    WindowHandle hWnd;
    unsigned uID;
    unsigned uFlags;
    unsigned uCallbackMessage;
    IconHandle hIcon;
    char szTip[64];
};

// ---- Constants (Windows values) -------------------------------------------------------------

// Messages
constexpr unsigned WM_NULL = 0x0000;
constexpr unsigned WM_CREATE = 0x0001;
constexpr unsigned WM_CLOSE = 0x0010;
constexpr unsigned WM_QUIT = 0x0012;
constexpr unsigned WM_ENDSESSION = 0x0016;
constexpr unsigned WM_SETTINGCHANGE = 0x001A;
constexpr unsigned WM_DISPLAYCHANGE = 0x007E;
constexpr unsigned WM_COMMAND = 0x0111;
constexpr unsigned WM_TIMER = 0x0113;
constexpr unsigned WM_HOTKEY = 0x0312;
constexpr unsigned WM_INPUT = 0x00FF;
constexpr unsigned WM_APP = 0x8000;
constexpr unsigned WM_MOUSEMOVE = 0x0200;
constexpr unsigned WM_LBUTTONDOWN = 0x0201;
constexpr unsigned WM_LBUTTONUP = 0x0202;
constexpr unsigned WM_LBUTTONDBLCLK = 0x0203;
constexpr unsigned WM_RBUTTONDOWN = 0x0204;
constexpr unsigned WM_RBUTTONUP = 0x0205;
constexpr unsigned WM_RBUTTONDBLCLK = 0x0206;
constexpr unsigned WM_MBUTTONDOWN = 0x0207;
constexpr unsigned WM_MBUTTONUP = 0x0208;
constexpr unsigned WM_MOUSEWHEEL = 0x020A;
constexpr unsigned WM_XBUTTONDOWN = 0x020B;
constexpr unsigned WM_XBUTTONUP = 0x020C;
constexpr unsigned WM_MOUSEHWHEEL = 0x020E;
constexpr unsigned XBUTTON1 = 0x0001;  // high word of mouseData with WM_XBUTTON*
constexpr unsigned XBUTTON2 = 0x0002;
constexpr unsigned WM_USER = 0x0400;

constexpr int IDCANCEL = 2;
constexpr int IDYES = 6;
constexpr int IDNO = 7;
constexpr int IDOK = 1;

// Window positioning
constexpr unsigned SWP_NOSIZE = 0x0001;
constexpr unsigned SWP_NOMOVE = 0x0002;
constexpr unsigned SWP_NOZORDER = 0x0004;
constexpr unsigned SWP_NOREDRAW = 0x0008;
constexpr unsigned SWP_NOACTIVATE = 0x0010;
constexpr unsigned SWP_FRAMECHANGED = 0x0020;
constexpr unsigned SWP_NOOWNERZORDER = 0x0200;
constexpr unsigned SWP_ASYNCWINDOWPOS = 0x4000;

constexpr int GWL_EXSTYLE = -20;
constexpr std::int32_t WS_EX_TOOLWINDOW = 0x00000080;

constexpr int SW_HIDE = 0;
constexpr int SW_SHOW = 5;    // activates the window it shows
constexpr int SW_SHOWNA = 8;  // shows it where it is in the Z-order, without activating it

// Screen
constexpr int HORZRES = 8;
constexpr int VERTRES = 10;
constexpr unsigned SPI_SETWORKAREA = 47;
constexpr unsigned SPI_GETWORKAREA = 48;
constexpr unsigned SPIF_SENDCHANGE = 2;
constexpr std::uint32_t MONITOR_DEFAULTTONULL = 0;
constexpr std::uint32_t MONITOR_DEFAULTTOPRIMARY = 1;
constexpr std::uint32_t MONITOR_DEFAULTTONEAREST = 2;
constexpr std::uint32_t MONITORINFOF_PRIMARY = 1;
// (HWND)0xffff: every top-level window. Not a constant expression, so not in the checked list.
inline const WindowHandle HWND_BROADCAST = reinterpret_cast<WindowHandle>(std::uintptr_t{0xffff});

// Desktop Window Manager
// The visible frame, without the invisible resize borders of Windows 10 and 11; physical pixels
// under per-monitor awareness, as GetWindowRect gives.
constexpr unsigned DWMWA_EXTENDED_FRAME_BOUNDS = 9;
constexpr unsigned DWMWA_CLOAKED = 14;
constexpr std::int32_t S_OK = 0;

// Keyboard
constexpr unsigned MOD_ALT = 0x0001;
constexpr unsigned MOD_CONTROL = 0x0002;
constexpr unsigned MOD_SHIFT = 0x0004;
constexpr unsigned MOD_WIN = 0x0008;
constexpr unsigned MOD_NOREPEAT = 0x4000;  // Windows 7 and later
constexpr int VK_CONTROL = 0x11;
constexpr int VK_MENU = 0x12;
constexpr int VK_SPACE = 0x20;
constexpr int VK_PRIOR = 0x21;  // Page Up
constexpr int VK_NEXT = 0x22;   // Page Down
constexpr int VK_END = 0x23;
constexpr int VK_HOME = 0x24;
constexpr int VK_LEFT = 0x25;
constexpr int VK_UP = 0x26;
constexpr int VK_RIGHT = 0x27;
constexpr int VK_DOWN = 0x28;
constexpr int VK_INSERT = 0x2D;
constexpr int VK_DELETE = 0x2E;
constexpr int VK_F1 = 0x70;
constexpr int VK_F24 = 0x87;
constexpr int VK_LWIN = 0x5B;
constexpr int VK_RWIN = 0x5C;
constexpr int VK_LBUTTON = 0x01;
constexpr int VK_RBUTTON = 0x02;
constexpr int VK_MBUTTON = 0x04;
constexpr int VK_XBUTTON1 = 0x05;
constexpr int VK_XBUTTON2 = 0x06;
constexpr int VK_LCONTROL = 0xA2;
constexpr int VK_RCONTROL = 0xA3;
constexpr int VK_LMENU = 0xA4;
constexpr int VK_RMENU = 0xA5;
constexpr unsigned INPUT_KEYBOARD = 1;
constexpr unsigned KEYEVENTF_KEYUP = 0x0002;

// Raw input
constexpr unsigned RIDEV_REMOVE = 0x00000001;
constexpr unsigned RIDEV_INPUTSINK = 0x00000100;
constexpr unsigned RID_INPUT = 0x10000003;
constexpr unsigned RIM_TYPEKEYBOARD = 1;
constexpr unsigned RI_KEY_BREAK = 1;
constexpr unsigned RI_KEY_E0 = 2;  // the right Ctrl and Alt, among others

// Hooks
constexpr int WH_MOUSE_LL = 14;
constexpr int HC_ACTION = 0;

// The taskbar as the shell tells it
constexpr std::uint32_t ABM_GETSTATE = 4;
constexpr std::uint32_t ABM_GETTASKBARPOS = 5;
constexpr unsigned ABS_AUTOHIDE = 1;

// Tray
constexpr unsigned NIM_ADD = 0;
constexpr unsigned NIM_MODIFY = 1;
constexpr unsigned NIM_DELETE = 2;
constexpr unsigned NIF_MESSAGE = 0x1;
constexpr unsigned NIF_ICON = 0x2;
constexpr unsigned NIF_TIP = 0x4;
constexpr std::uint32_t MSGFLT_ALLOW = 1;

// Menus
constexpr unsigned MF_STRING = 0x0000;
constexpr unsigned MF_BYCOMMAND = 0x0000;
constexpr unsigned MF_UNCHECKED = 0x0000;
constexpr unsigned MF_CHECKED = 0x0008;
constexpr unsigned MF_POPUP = 0x0010;
constexpr unsigned MF_SEPARATOR = 0x0800;
constexpr unsigned TPM_RIGHTALIGN = 0x0008;
constexpr unsigned TPM_BOTTOMALIGN = 0x0020;
constexpr unsigned TPM_NONOTIFY = 0x0080;
constexpr unsigned TPM_RETURNCMD = 0x0100;

// Message boxes
constexpr unsigned MB_OK = 0x00000000;
constexpr unsigned MB_YESNO = 0x00000004;
constexpr unsigned MB_ICONQUESTION = 0x00000020;
constexpr unsigned MB_SETFOREGROUND = 0x00010000;
constexpr unsigned MB_TOPMOST = 0x00040000;

// Process
constexpr std::uint32_t MUTEX_ALL_ACCESS = 0x1F0001;
constexpr std::uint32_t ERROR_SUCCESS = 0;
constexpr std::uint32_t ERROR_FILE_NOT_FOUND = 2;
constexpr std::uint32_t ERROR_PATH_NOT_FOUND = 3;
constexpr std::uint32_t ERROR_ACCESS_DENIED = 5;
constexpr std::uint32_t ERROR_WRITE_PROTECT = 19;
constexpr std::uint32_t ERROR_SHARING_VIOLATION = 32;
constexpr std::uint32_t ERROR_FILE_EXISTS = 80;
constexpr std::uint32_t ERROR_DISK_FULL = 112;
constexpr std::uint32_t ERROR_ALREADY_EXISTS = 183;
constexpr std::uint32_t ERROR_UNABLE_TO_REMOVE_REPLACED = 1175;
constexpr std::uint32_t ERROR_UNABLE_TO_MOVE_REPLACEMENT = 1176;
constexpr std::uint32_t ERROR_UNABLE_TO_MOVE_REPLACEMENT_2 = 1177;

// Files
constexpr std::uint32_t GENERIC_WRITE = 0x40000000;
constexpr std::uint32_t CREATE_NEW = 1;
constexpr std::uint32_t CREATE_ALWAYS = 2;
constexpr std::uint32_t FILE_ATTRIBUTE_READONLY = 0x01;
constexpr std::uint32_t FILE_ATTRIBUTE_HIDDEN = 0x02;
constexpr std::uint32_t FILE_ATTRIBUTE_SYSTEM = 0x04;
constexpr std::uint32_t FILE_ATTRIBUTE_DIRECTORY = 0x10;
constexpr std::uint32_t FILE_ATTRIBUTE_ARCHIVE = 0x20;
constexpr std::uint32_t FILE_ATTRIBUTE_NORMAL = 0x80;
constexpr std::uint32_t INVALID_FILE_ATTRIBUTES = 0xFFFFFFFF;
constexpr std::uint32_t MOVEFILE_REPLACE_EXISTING = 0x1;
constexpr std::uint32_t MOVEFILE_WRITE_THROUGH = 0x8;
constexpr std::uint32_t REPLACEFILE_IGNORE_MERGE_ERRORS = 0x2;
inline const FileHandle INVALID_HANDLE_VALUE =
    reinterpret_cast<FileHandle>(static_cast<std::intptr_t>(-1));
constexpr std::uint32_t FILE_NOTIFY_CHANGE_FILE_NAME = 0x01;
constexpr std::uint32_t FILE_NOTIFY_CHANGE_SIZE = 0x08;
constexpr std::uint32_t FILE_NOTIFY_CHANGE_LAST_WRITE = 0x10;

// What GetFileAttributesEx tells of a file without opening it.
struct FileInformation {
    std::uint32_t attributes;
    std::uint64_t size;
    std::uint64_t lastWriteTime;  // FILETIME's 100 ns units
};

// Waiting
constexpr std::uint32_t INFINITE = 0xFFFFFFFF;
constexpr std::uint32_t WAIT_OBJECT_0 = 0;
constexpr std::uint32_t WAIT_FAILED = 0xFFFFFFFF;
// As Windows 7 defines it: headers for Windows 8 and later add the touch and pointer bits, which
// Windows 7's MsgWaitForMultipleObjects refuses, and a hidden window gets neither.
constexpr std::uint32_t QS_ALLINPUT = 0x04FF;
constexpr unsigned PM_REMOVE = 0x0001;

// Resources and window creation
constexpr int IDC_ARROW = 32512;
constexpr unsigned IMAGE_ICON = 1;
constexpr unsigned LR_DEFAULTCOLOR = 0;
constexpr int SM_CXSMICON = 49;
constexpr int SM_CYSMICON = 50;
constexpr int COLOR_BACKGROUND = 1;
constexpr int CW_USEDEFAULT = static_cast<int>(0x80000000u);

// ---- Operations -------------------------------------------------------------------------------

// target
WindowHandle GetForegroundWindow();
int GetWindowTextA(WindowHandle window, char* buffer, int capacity);

// geometry
bool GetWindowRect(WindowHandle window, Rect* rect);
bool MoveWindow(WindowHandle window, int x, int y, int width, int height, bool repaint);
bool SetWindowPos(WindowHandle window, WindowHandle insertAfter, int x, int y, int cx, int cy,
                  unsigned flags);
WindowHandle GetDesktopWindow();
bool IsZoomed(WindowHandle window);
bool IsIconic(WindowHandle window);
std::int32_t GetWindowLongA(WindowHandle window, int index);
// The thread that owns the window; its process in *processId. 0 for no window.
std::uint32_t GetWindowThreadProcessId(WindowHandle window, std::uint32_t* processId);
std::uint32_t GetCurrentProcessId();

// the shell's own windows
WindowHandle GetShellWindow();
int GetClassNameA(WindowHandle window, char* buffer, int capacity);
// From dwmapi, loaded at run time: a failure HRESULT where it or the export is missing.
std::int32_t DwmGetWindowAttribute(WindowHandle window, unsigned attribute, void* value,
                                   unsigned size);

// enumeration
bool EnumWindows(EnumWindowsProc callback, LParam lParam);
bool IsWindowVisible(WindowHandle window);

// screen
WindowHandle FindWindowA(const char* className, const char* windowName);
// With no parent, the next top-level window after childAfter (the first, when null).
WindowHandle FindWindowExA(WindowHandle parent, WindowHandle childAfter, const char* className,
                           const char* windowName);
bool ShowWindow(WindowHandle window, int command);
bool ShowWindowAsync(WindowHandle window, int command);
DeviceContext GetDC(WindowHandle window);
int ReleaseDC(WindowHandle window, DeviceContext dc);
int GetDeviceCaps(DeviceContext dc, int index);
bool SystemParametersInfoA(unsigned action, unsigned uiParam, void* pvParam, unsigned winIni);
MonitorHandle MonitorFromWindow(WindowHandle window, std::uint32_t flags);
bool GetMonitorInfoA(MonitorHandle monitor, MonitorInfo* info);
bool EnumDisplayMonitors(DeviceContext dc, const Rect* clip, MonitorEnumProc callback,
                         LParam lParam);

// keyboard
bool RegisterHotKey(WindowHandle window, int id, unsigned modifiers, unsigned key);
bool UnregisterHotKey(WindowHandle window, int id);
short GetAsyncKeyState(int key);  // the physical state, whichever thread has the keyboard
unsigned SendInput(unsigned count, const Input* inputs, int size);

// raw input
bool RegisterRawInputDevices(const RawInputDevice* devices, unsigned count, unsigned size);
// rawInput is WM_INPUT's lParam; returns the bytes copied, or (unsigned)-1.
unsigned GetRawInputData(LParam rawInput, unsigned command, void* data, unsigned* size,
                         unsigned headerSize);

// mouse
HookHandle SetWindowsHookExA(int idHook, HookProc proc, InstanceHandle instance, std::uint32_t threadId);
LResult CallNextHookEx(HookHandle hook, int code, WParam wParam, LParam lParam);
bool UnhookWindowsHookEx(HookHandle hook);

// The primary taskbar's place (ABM_GETTASKBARPOS) and whether it hides itself (ABM_GETSTATE).
std::uintptr_t SHAppBarMessage(std::uint32_t message, AppBarData* data);

// tray
bool Shell_NotifyIconA(unsigned message, NotifyIconData* data);
unsigned RegisterWindowMessageA(const char* name);
// Absent before Windows 7: loaded at run time; false where it is missing.
bool ChangeWindowMessageFilterEx(WindowHandle window, unsigned message, std::uint32_t action,
                                 void* changeFilter);
int GetSystemMetrics(int index);
// Windows 10 (1607) and later, loaded at run time: 0 where they are missing.
unsigned GetDpiForWindow(WindowHandle window);
int GetSystemMetricsForDpi(int index, unsigned dpi);
// Only icons are loaded this way, so the handle comes back as one.
IconHandle LoadImageA(InstanceHandle instance, int resource, unsigned type, int cx, int cy,
                      unsigned flags);
bool DestroyIcon(IconHandle icon);
std::uintptr_t SetTimer(WindowHandle window, std::uintptr_t id, unsigned elapse, void* timerProc);
bool KillTimer(WindowHandle window, std::uintptr_t id);

// menus
MenuHandle CreatePopupMenu();
bool AppendMenuA(MenuHandle menu, unsigned flags, std::uintptr_t idOrSubmenu, const char* label);
long CheckMenuItem(MenuHandle menu, unsigned id, unsigned check);  // previous state, -1 if absent
int TrackPopupMenu(MenuHandle menu, unsigned flags, int x, int y, int reserved, WindowHandle owner,
                   const Rect* ignored);
bool GetCursorPos(Point* point);
bool SetForegroundWindow(WindowHandle window);

// dialogs
int MessageBoxA(WindowHandle owner, const char* text, const char* caption, unsigned type);

// process
MutexHandle OpenMutexA(std::uint32_t access, bool inherit, const char* name);
MutexHandle CreateMutexA(void* attributes, bool initialOwner, const char* name);
std::uint32_t GetLastError();
std::uint32_t GetTickCount();  // ms since start-up, wrapping after 49.7 days
IconHandle LoadIconA(InstanceHandle instance, int resource);
CursorHandle LoadCursorA(InstanceHandle instance, int resource);

// files: paths in UTF-8, given to the W functions underneath
std::uint32_t GetFileAttributesUtf8(const char* path);
bool GetFileAttributesExUtf8(const char* path, FileInformation* information);
// Now, in the same units as FileInformation's lastWriteTime.
std::uint64_t GetSystemTimeAsFileTime();
FileHandle CreateFileUtf8(const char* path, std::uint32_t access, std::uint32_t share,
                          void* security, std::uint32_t disposition, std::uint32_t flagsAndAttributes,
                          FileHandle templateFile);
bool WriteFile(FileHandle file, const void* buffer, std::uint32_t count, std::uint32_t* written,
               void* overlapped);
bool FlushFileBuffers(FileHandle file);
bool CloseHandle(FileHandle file);
// These three return ERROR_SUCCESS or the error, which the caller needs to know whether the old
// file is already gone: GetLastError afterwards could be another call's.
std::uint32_t ReplaceFileUtf8(const char* replaced, const char* replacement, const char* backup,
                              std::uint32_t flags, void* exclude, void* reserved);
std::uint32_t MoveFileExUtf8(const char* existing, const char* newName, std::uint32_t flags);
std::uint32_t DeleteFileUtf8(const char* path);
std::uint32_t CreateDirectoryUtf8(const char* path);
// The user's Roaming AppData folder (SHGetKnownFolderPath underneath, so an unset %APPDATA%
// does not matter); null where there is none.
Utf8String GetRoamingAppDataUtf8();

// The executable's full path in UTF-8, whole whatever its length (GetModuleFileNameW underneath,
// so folders the ANSI code page cannot spell survive).
Utf8String GetModuleFileNameUtf8(InstanceHandle instance);
// fopen for a UTF-8 path (_wfopen underneath on Windows); modes as fopen's, "t" allowed.
std::FILE* OpenFileUtf8(const char* path, const char* mode);
// Null (not INVALID_HANDLE_VALUE) where the folder cannot be watched.
ChangeHandle FindFirstChangeNotificationUtf8(const char* folder, bool watchSubtree,
                                             std::uint32_t filter);
bool FindNextChangeNotification(ChangeHandle change);
bool FindCloseChangeNotification(ChangeHandle change);

// window
unsigned short RegisterClassA(const WindowClass* windowClass);
WindowHandle CreateWindowExA(std::uint32_t exStyle, const char* className, const char* windowName,
                             std::uint32_t style, int x, int y, int width, int height,
                             WindowHandle parent, MenuHandle menu, InstanceHandle instance,
                             void* param);
bool PeekMessageA(Message* msg, WindowHandle window, unsigned filterMin, unsigned filterMax,
                  unsigned remove);
// WAIT_OBJECT_0 + i for the i-th handle, WAIT_OBJECT_0 + count for input of the kinds in
// wakeMask, WAIT_FAILED.
std::uint32_t MsgWaitForMultipleObjects(std::uint32_t count, const ChangeHandle* handles,
                                        bool waitAll, std::uint32_t milliseconds,
                                        std::uint32_t wakeMask);
void Sleep(std::uint32_t milliseconds);
bool TranslateMessage(const Message* msg);
LResult DispatchMessageA(const Message* msg);
LResult DefWindowProcA(WindowHandle window, unsigned message, WParam wParam, LParam lParam);
LResult SendMessageA(WindowHandle window, unsigned message, WParam wParam, LParam lParam);
// Returns at once: a window of another thread gets the message queued, never waited for.
bool SendNotifyMessageA(WindowHandle window, unsigned message, WParam wParam, LParam lParam);
bool PostMessageA(WindowHandle window, unsigned message, WParam wParam, LParam lParam);
bool IsWindow(WindowHandle window);
void PostQuitMessage(int exitCode);

// ---- Ownership ---------------------------------------------------------------------------------

// A window's device context from GetDC, given back with ReleaseDC at the end of the scope.
class ScopedDC {
public:
    explicit ScopedDC(WindowHandle window) : window_(window), dc_(GetDC(window)) {}
    ~ScopedDC() {
        if (dc_) ReleaseDC(window_, dc_);
    }
    ScopedDC(const ScopedDC&) = delete;
    ScopedDC& operator=(const ScopedDC&) = delete;
    DeviceContext get() const { return dc_; }

private:
    WindowHandle window_;
    DeviceContext dc_;
};

// A file handle, closed at the end of the scope unless close() was asked first: a write that
// Windows finished late can still fail there, and a save must know.
class ScopedFile {
public:
    explicit ScopedFile(FileHandle file) : file_(file) {}
    ~ScopedFile() { close(); }
    ScopedFile(const ScopedFile&) = delete;
    ScopedFile& operator=(const ScopedFile&) = delete;
    FileHandle get() const { return file_; }
    bool valid() const { return file_ != INVALID_HANDLE_VALUE; }
    bool close() {
        if (!valid()) return false;
        const bool closed = CloseHandle(file_);
        file_ = INVALID_HANDLE_VALUE;
        return closed;
    }

private:
    FileHandle file_;
};

}  // namespace platform
