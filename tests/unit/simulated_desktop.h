// A desktop in memory that answers Tabrin's platform calls the way Windows would. The calls of
// each area are answered in simulated_windows.cpp, simulated_input.cpp, simulated_files.cpp and
// simulated_shell.cpp; messages, timers and the process in simulated_desktop.cpp.
#pragma once

#include <deque>
#include <functional>
#include <map>
#include <ostream>
#include <set>
#include <string>
#include <vector>

#include "platform/desktop.h"

namespace platform {
inline std::ostream& operator<<(std::ostream& out, const Rect& r) {
    return out << "{" << r.left << ", " << r.top << ", " << r.right << ", " << r.bottom << "}";
}
}  // namespace platform

class SimulatedDesktop {
public:
    using WindowHandle = platform::WindowHandle;
    using MenuHandle = platform::MenuHandle;
    using Rect = platform::Rect;

    // Becomes the desktop the platform calls reach, with a 1920x1080 screen, and resets
    // Tabrin's process-wide state to what a fresh process has.
    SimulatedDesktop();
    ~SimulatedDesktop();
    SimulatedDesktop(const SimulatedDesktop&) = delete;
    SimulatedDesktop& operator=(const SimulatedDesktop&) = delete;

    // ---- Windows ---------------------------------------------------------------------------

    struct Window {
        std::string title;
        std::string className;
        Rect rect;
        bool visible;
        platform::WindowProc proc = nullptr;  // set for windows of a registered class
        // SetWindowPos's last flags: a record, kept here because a table in records would
        // allocate on the paths that must not.
        unsigned lastPositionFlags = 0;
        bool zoomed = false;   // IsZoomed: maximised
        bool cloaked = false;  // DWMWA_CLOAKED: visible to IsWindowVisible, not on the screen
        // Inside rect, by side, beyond DWMWA_EXTENDED_FRAME_BOUNDS: 7, 0, 7, 7 at 100 % for a
        // framed window of Windows 10 and 11.
        Rect invisibleBorders = {0, 0, 0, 0};
        bool iconic = false;   // IsIconic: minimised
        std::int32_t exStyle = 0;
        unsigned dpi = 96;     // GetDpiForWindow: its monitor's scale, 96 at 100 %
        // WM_GETMINMAXINFO's smallest size, which positioning keeps to (none for 0).
        platform::Point minTrackSize = {0, 0};
        // Its thread reads no messages: SWP_ASYNCWINDOWPOS requests wait here until it does.
        bool busy = false;
        struct Position {
            int x, y, cx, cy;
            unsigned flags;
        };
        std::vector<Position> waitingPositions = {};
    };
    WindowHandle addWindow(const std::string& title, Rect rect, bool visible = true,
                           const std::string& className = "");
    void removeWindow(WindowHandle window);
    // Maximised on the work area: its rectangle sticks out by the resizing frame on every side.
    WindowHandle addMaximisedWindow(const std::string& title, int frameInset);
    void cloak(WindowHandle window) { windows.at(window).cloaked = true; }
    void raise(WindowHandle window);  // to the top of the Z-order
    // The window's thread stops reading messages, then reads them again (taking every position
    // asked of it meanwhile, in order).
    void makeBusy(WindowHandle window) { windows.at(window).busy = true; }
    void answer(WindowHandle window);
    WindowHandle shellWindow = nullptr;  // GetShellWindow
    void focus(WindowHandle window) { foreground = window; }
    Rect rectOf(WindowHandle window) const { return windows.at(window).rect; }
    std::string title(WindowHandle window) const {
        auto it = windows.find(window);
        return it == windows.end() ? "<no window>" : it->second.title;
    }
    bool visible(WindowHandle window) const { return windows.at(window).visible; }
    unsigned lastPositionFlags(WindowHandle window) const {
        return windows.at(window).lastPositionFlags;
    }
    WindowHandle findWindow(const std::string& className, const std::string& title) const;

    // Screen: a taskbar is a window of class "Shell_TrayWnd"
    void setScreen(int width, int height);
    WindowHandle addTaskbar(int height);  // along the bottom; the work area shrinks to match
    bool taskbarsAutoHide = false;        // ABM_GETSTATE: one setting for every taskbar
    Rect workArea;
    // A new screen size: the work area becomes the whole screen and every top-level window of
    // ours gets WM_DISPLAYCHANGE.
    void changeDisplay(int width, int height);
    int devicesOutstanding = 0;  // GetDC without ReleaseDC

    // Monitors: the first is the primary, the screen itself (setScreen resizes it), whose work
    // area is workArea; others sit beside it in virtual-screen coordinates, each with its own
    // work area (by default their whole rectangle). SPI_SETWORKAREA sets the area of the
    // monitor holding the rectangle; SPI_GETWORKAREA reads the primary's.
    struct Monitor {
        platform::MonitorHandle handle;
        Rect rect;
        Rect work;
    };
    platform::MonitorHandle addMonitor(Rect rect) { return addMonitor(rect, rect); }
    platform::MonitorHandle addMonitor(Rect rect, Rect work);
    Rect& workAreaOf(std::size_t monitor) {
        return monitor == 0 ? workArea : monitors[monitor].work;
    }
    std::vector<Monitor> monitors;

    // ---- Input -----------------------------------------------------------------------------

    // Keyboard. hold() and releaseKeys() change the keys without any event, as when they go down
    // before a program starts or up on another desktop; press() and release() are typed keys,
    // reported by WM_INPUT to a window registered for the keyboard's raw input.
    void hold(std::initializer_list<int> keys) { held.insert(keys.begin(), keys.end()); }
    void releaseKeys() { held.clear(); }
    void press(int key) { typeKey(key, false); }
    void release(int key) { typeKey(key, true); }
    void typeKey(int key, bool up);
    WindowHandle rawKeyboardTarget = nullptr;  // registered with RIDEV_INPUTSINK; null: none

    // Hotkeys. pressHotkey delivers WM_HOTKEY when the combination is registered; false when
    // nobody holds it. A key held past the repeat delay repeats the combination, unless it has
    // MOD_NOREPEAT, with time passing between the repeats.
    struct Hotkey {
        WindowHandle owner;  // null: held by another program
        int id;
        unsigned modifiers;
        unsigned key;
    };
    bool pressHotkey(unsigned modifiers, unsigned key, int autoRepeats = 0);
    void takeHotkeyElsewhere(unsigned modifiers, unsigned key);
    const Hotkey* hotkey(WindowHandle owner, int id) const;
    std::vector<Hotkey> hotkeys;

    // Mouse: the event goes through the installed low-level hooks, newest first; returns true
    // when it reached the rest of the desktop.
    bool sendMouse(unsigned message, short wheelDelta = 0, int code = platform::HC_ACTION);
    int hooksInstalled() const { return static_cast<int>(hooks.size()); }
    // Windows removes a low-level hook without notice after repeated time-outs.
    void dropHooksSilently() { hooks.clear(); }
    bool insideHook = false;
    platform::Point cursor = {0, 0};

    // ---- Files -----------------------------------------------------------------------------

    // The bytes live in the host's files; the marks Linux has no place for (read-only, hidden,
    // system) live here, by path, and are obeyed the way Windows obeys them.
    std::map<std::string, std::uint32_t> fileMarks;
    // Files written since their last flush lose their bytes, as after a power cut.
    void powerCut();
    struct OpenFile {
        std::FILE* file;
        std::string path;
    };
    std::map<platform::FileHandle, OpenFile> openFiles;
    std::set<std::string> unflushed;
    std::string modulePath;
    // Change notifications on a folder (never its subfolders): any file created, deleted,
    // renamed, written or resized in it signals every handle on it until FindNext resets it.
    // Tabrin's own file calls signal them; a test's edit of a file says so with changedIn.
    std::map<platform::ChangeHandle, std::string> watches;  // by handle, the folder
    std::set<platform::ChangeHandle> signalled;
    void changedIn(const std::string& path);  // a file at path changed
    // Held by another program without read sharing: opening it fails, as do the file calls.
    std::set<std::string> locked;
    // CreateFile and CreateDirectory fail with this error for the name, or for any new name in
    // the folder (5 in Program Files for a standard user, 19 on a write-protected stick).
    std::map<std::string, std::uint32_t> refusals;
    std::string appData;  // the user's Roaming AppData folder; empty: none

    // ---- Shell: the tray, its icons, menus and message boxes --------------------------------

    std::map<unsigned, platform::NotifyIconData> trayIcons;  // by uID
    // A button on icon `id`: the window holding the icons (the taskbar unless set) comes to the
    // front, then the icon's owner gets its callback message.
    void clickTrayIcon(unsigned id, unsigned mouseMessage);
    WindowHandle trayIconHost = nullptr;
    // Icons gone, "TaskbarCreated" sent to every top-level window; to an elevated program's
    // windows only where ChangeWindowMessageFilterEx let it through.
    void restartExplorer();
    std::set<std::pair<WindowHandle, unsigned>> messagesAllowed;

    // Icons loaded with LoadImageA and not destroyed, with the size they were loaded at.
    struct Icon {
        int resource;
        int cx, cy;
    };
    std::map<platform::IconHandle, Icon> icons;
    // SM_CXSMICON at the scale at sign-in: 16 at 100 %, 20 at 125 %, 24 at 150 %, 32 at 200 %.
    int smallIconSize = 16;

    // Menus: TrackPopupMenu answers from chooseFromMenu, 0 (dismissed) when none is queued.
    struct MenuItem {
        unsigned flags;
        std::uintptr_t id;  // command identifier, or the submenu for MF_POPUP
        std::string label;
        bool checked;
    };
    struct Popup {
        MenuHandle menu;
        unsigned flags;
        int x, y;
        WindowHandle owner;
        WindowHandle foregroundAtOpen;
    };
    const std::vector<MenuItem>& itemsOf(MenuHandle menu) const { return menus.at(menu); }
    bool isChecked(MenuHandle menu, unsigned id) const;
    void chooseFromMenu(int id) { menuChoices.push_back(id); }

    // Message boxes: answered from answerBox, else IDOK (MB_OK) or IDNO (MB_YESNO).
    struct Box {
        WindowHandle owner;
        std::string text;
        std::string caption;
        unsigned type;
    };
    void answerBox(int answer) { boxAnswers.push_back(answer); }

    // Run while a menu or a box is open, as the user or the system would act meanwhile.
    std::function<void()> whileMenuOpen;
    std::function<void()> whileBoxOpen;

    // ---- Messages, time and the process -----------------------------------------------------

    struct Message {
        WindowHandle window;
        unsigned message;
        platform::WParam wParam;
        platform::LParam lParam;
        std::string toClass;  // for a window that does not exist yet: the first of this class
    };
    // Posted messages wait for PeekMessageA; a loop waiting with nothing queued or signalled
    // would wait for ever: the wait is noted and ends the loop with WM_QUIT.
    void post(WindowHandle window, unsigned message, platform::WParam wParam = 0,
              platform::LParam lParam = 0);
    void postToClass(const std::string& className, unsigned message, platform::WParam wParam = 0,
                     platform::LParam lParam = 0);
    std::deque<Message> queue;
    // Dispatches the posted messages as a running loop would; returns how many.
    int pumpPosted();
    platform::LResult send(WindowHandle window, unsigned message, platform::WParam wParam = 0,
                           platform::LParam lParam = 0);
    // To HWND_BROADCAST (and SPIF_SENDCHANGE's). Our windows get it at once: they belong to
    // the sending thread.
    void broadcast(unsigned message, platform::WParam wParam, platform::LParam lParam, bool waits);

    // Time: timers fire WM_TIMER as their intervals pass.
    struct Timer {
        WindowHandle window;
        std::uintptr_t id;
        unsigned interval;
        unsigned long long due;
    };
    std::vector<Timer> timers;
    unsigned long long now = 0;  // ms
    void passTime(unsigned ms);

    std::set<std::string> mutexes;

    // ---- Faults: failures and older systems, by area; the defaults are a current Windows -----

    struct Faults {
        // Windows
        bool dwmMissing = false;       // DwmGetWindowAttribute fails, as before Windows 8
        bool failMonitorInfo = false;  // as for a display detached between the two calls
        // Some Windows versions re-maximise maximised windows themselves when the work area
        // changes.
        bool refitsMaximisedWindows = false;

        // Input
        bool refuseNoRepeat = false;  // RegisterHotKey fails on MOD_NOREPEAT, as Vista may
        bool refuseRawInput = false;
        bool failHookInstall = false;
        // Windows posts WM_INPUT and updates the key state separately; true delivers the
        // message first.
        bool rawInputBeforeKeyState = false;
        // WM_INPUT waits in the queue, as a busy loop leaves it, while the key state moves on.
        bool rawInputLate = false;

        // Files
        bool refuseChangeNotification = false;  // as some network shares do
        bool diskFull = false;        // WriteFile stores half the bytes and fails
        // Another program holds the file open without delete sharing for the next heldCalls
        // calls of ReplaceFile and MoveFileEx (-1: for good). ReplaceFile fails with heldError
        // and leaves the files as Windows documents for that error (1176: the old file gone;
        // 1177: the old file under another name, its marks on the new one); MoveFileEx fails
        // with ERROR_ACCESS_DENIED.
        std::uint32_t heldError = 0;
        int heldCalls = 0;

        // Shell
        unsigned long long shellBusyUntil = 0;  // NIM_ADD and NIM_MODIFY fail before this time
        int addsTimingOut = 0;                  // the next adds go in but report failure
        bool elevated = false;  // Tabrin runs as administrator: see restartExplorer
        bool hasMessageFilterEx = true;  // false: Windows Vista, before the function existed
        bool hasDpiFunctions = true;     // false: before Windows 10 (1607)

        // Process
        bool mutexRace = false;  // another copy creates the mutex between our test and our create
        bool failRegisterClass = false;
        bool failCreateWindow = false;
    };
    Faults faults;

    // ---- Records: what Tabrin asked of the desktop ------------------------------------------

    struct Broadcast {
        unsigned message;
        platform::WParam wParam;
        platform::LParam lParam;
        bool waits;  // the sender waited for every top-level window to answer
    };
    struct SentKey {
        int key;
        bool up;
        bool fromHook;  // sent while a hook procedure was running
    };
    struct Records {
        // The calls that bring Tabrin up and take it down, and those that change or look up
        // windows, monitors and work areas (with their arguments). The hook, raw-input and
        // desktop calls leave it alone while logCalls is off, so that a test can count Tabrin's
        // allocations.
        std::vector<std::string> calls;
        bool logCalls = true;

        // Windows; each window's last SetWindowPos flags are in its Window
        unsigned lastWorkAreaWinIni = 0;
        std::vector<Broadcast> broadcasts;  // to HWND_BROADCAST and SPIF_SENDCHANGE's

        // Input
        std::vector<int> keyReads;      // GetAsyncKeyState
        std::vector<SentKey> sentKeys;  // SendInput
        int rawInputsDelivered = 0;
        int passedOn = 0;  // CallNextHookEx calls

        // Shell
        std::vector<unsigned long long> iconAdds;  // the time of each NIM_ADD
        std::vector<Popup> popups;
        std::vector<Box> boxes;

        // Messages
        std::vector<Message> defaultHandled;  // DefWindowProcA calls
        bool loopStarved = false;             // the loop waited with nothing to wake it
        std::uint32_t slept = 0;              // ms of Sleep
    };
    Records records;

    // ---- State read by the platform functions ------------------------------------------------

    std::map<WindowHandle, Window> windows;
    std::vector<WindowHandle> zOrder;
    WindowHandle desktopWindow = nullptr;
    WindowHandle foreground = nullptr;
    std::set<int> held;
    std::deque<platform::RawKeyboardInput> rawInputs;  // WM_INPUT's lParam points at one
    std::vector<std::pair<platform::HookHandle, platform::HookProc>> hooks;
    std::map<MenuHandle, std::vector<MenuItem>> menus;
    std::deque<int> menuChoices;
    std::deque<int> boxAnswers;
    std::map<std::string, platform::WindowProc> classes;
    std::map<std::string, unsigned> registeredMessages;
    std::uint32_t lastError = 0;
    std::uintptr_t nextHandle = 0x100;

    static SimulatedDesktop* current;
};
