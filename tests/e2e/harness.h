// End-to-end harness: case registry and checks, plus the Win32 plumbing that
// starts tabrin.exe, finds its windows, sends it input and waits for effects.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "driver.h"

namespace e2e {

using driver::findWindowOf;
using driver::keyInput;
using driver::pump;
using driver::pumpFor;
using driver::widen;
using driver::windowsOf;

// ---- Cases -----------------------------------------------------------------

class TempDir;
class Tabrin;
using CaseBody = std::function<void()>;
// The body of a case that begins with tabrin.exe started and ready (E2E_TABRIN_CASE).
using TabrinCaseBody = void (*)(const TempDir& exeDir, const TempDir& cwd, Tabrin& tabrin);

// Adds a case to the run; names are dotted ("shell.wm_close_exits_0") so that
// a command-line filter can pick a whole group by its prefix.
void addCase(const std::string& name, CaseBody body);

struct CaseRegistrar {
    CaseRegistrar(const char* name, void (*body)()) { addCase(name, body); }
    CaseRegistrar(const char* name, TabrinCaseBody body, const char* ini);
};

#define E2E_CAT2(a, b) a##b
#define E2E_CAT(a, b) E2E_CAT2(a, b)
// E2E_CASE("group.name") { ...body... }
#define E2E_CASE(name)                                                             \
    static void E2E_CAT(e2eCase, __LINE__)();                                      \
    static const ::e2e::CaseRegistrar E2E_CAT(e2eRegistrar, __LINE__)(            \
        name, &E2E_CAT(e2eCase, __LINE__));                                        \
    static void E2E_CAT(e2eCase, __LINE__)()

// E2E_TABRIN_CASE("group.name"[, "tabrin.ini text"]) { ...body... }: the body starts with
// tabrin.exe ready in a fresh folder `exeDir` (beside that tabrin.ini, when given), started
// from another, `cwd`, as `tabrin`.
#define E2E_TABRIN_CASE(name, ...)                                                 \
    static void E2E_CAT(e2eCase, __LINE__)(const ::e2e::TempDir&, const ::e2e::TempDir&, \
                                           ::e2e::Tabrin&);                         \
    static const ::e2e::CaseRegistrar E2E_CAT(e2eRegistrar, __LINE__)(            \
        name, &E2E_CAT(e2eCase, __LINE__), "" __VA_ARGS__);                        \
    static void E2E_CAT(e2eCase, __LINE__)([[maybe_unused]] const ::e2e::TempDir& exeDir, \
                                           [[maybe_unused]] const ::e2e::TempDir& cwd, \
                                           [[maybe_unused]] ::e2e::Tabrin& tabrin)

// Ends the running case with "FAIL name: expected <expected>, saw <saw>".
[[noreturn]] void fail(const std::string& expected, const std::string& saw);
// Ends it with "SKIP name: <why>": this machine cannot set the case up. Never a pass.
[[noreturn]] void skip(const std::string& why);

std::string str(const RECT& r);
std::string str(long n);
std::string quoted(const std::string& text);  // C-style escapes: "a\nb"

inline bool operator==(const RECT& a, const RECT& b) {
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}
inline bool operator!=(const RECT& a, const RECT& b) { return !(a == b); }
inline RECT rect(LONG l, LONG t, LONG r, LONG b) { return RECT{l, t, r, b}; }

// Runs the registered cases whose names start with one of the filters (all of
// them when there is none); prints one line per case; returns the failures.
int runCases(const std::vector<std::string>& filters);
void listCases(const std::vector<std::string>& filters);

// ---- Waiting ---------------------------------------------------------------

// Tabrin moves our windows from its own process; Wine applies such a move only when this
// thread reads its queue, so every wait pumps instead of sleeping.
bool waitUntil(const std::function<bool()>& ready, DWORD timeoutMs);

// How long to watch for a change that must not happen.
constexpr DWORD kSettleMs = 700;
constexpr DWORD kTimeoutMs = 5000;

// ---- Files -----------------------------------------------------------------

// A fresh folder under %TEMP%, removed with everything in it on destruction.
class TempDir {
public:
    TempDir();
    // A folder made by someone else (scripts/test), used as it is and left in place.
    explicit TempDir(const std::string& existing);
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& path() const { return path_; }
    std::string file(const std::string& name) const { return path_ + "\\" + name; }
    void write(const std::string& name, const std::string& bytes) const;
    bool exists(const std::string& name) const;

private:
    std::string path_;
    bool owned_ = true;
};

// A file's bytes, or "(no file)" when it cannot be opened.
std::string fileBytes(const std::wstring& path);

// ---- The program under test ---------------------------------------------------

// Full path of the tabrin.exe being tested (set from the command line).
extern std::string gTabrinExe;

constexpr char kMainClass[] = "TabrINWndClass";
constexpr char kMainTitle[] = "TabrIN";

// Tabrin's ten hotkeys with their default combinations, by the identifiers it registers.
struct Hotkey {
    int id;
    UINT modifiers, vk;
};
extern const Hotkey kDefaultHotkeys[10];

// One tabrin.exe process. The executable is copied into `exeDir` so that a
// tabrin.ini can sit beside it, and starts with `cwd` as its current directory.
// A process still running at destruction is terminated.
class Tabrin {
public:
    Tabrin() = default;
    ~Tabrin();
    Tabrin(const Tabrin&) = delete;
    Tabrin& operator=(const Tabrin&) = delete;

    // Copies the executable (unless already there) and starts it; fails the case
    // when that is impossible.
    void start(const TempDir& exeDir, const TempDir& cwd, const std::string& args = "");
    // start() and wait until the hidden main window exists and has finished its
    // creation (hotkeys registered); fails the case otherwise.
    void startReady(const TempDir& exeDir, const TempDir& cwd, const std::string& args = "");

    HWND mainWindow() const { return main_; }
    DWORD pid() const { return pid_; }
    bool running() const;
    // Waits for the process to end; fails the case if it does not.
    DWORD waitExit(DWORD timeoutMs = kTimeoutMs);
    // Sends WM_CLOSE and expects a clean exit with code 0.
    void closeCleanly();

private:
    HANDLE process_ = nullptr;
    DWORD pid_ = 0;
    HWND main_ = nullptr;
};

// A message box ("#32770") shown by a process: caption and text as displayed.
struct MessageBoxSeen {
    HWND window = nullptr;
    std::string caption;
    std::string text;
};
MessageBoxSeen waitForMessageBox(DWORD pid, DWORD timeoutMs = kTimeoutMs);
void dismissMessageBox(HWND box);

// ---- Windows of our own --------------------------------------------------------

// A top-level window created by the driver, the kind tabrin acts on. The
// default style is an ordinary application window; WS_POPUP | WS_CAPTION
// avoids the size limits Windows applies to sizable windows. A class name of
// its own makes a stand-in for another program's window ("Progman").
class TestWindow {
public:
    TestWindow(const char* title, const RECT& r, bool visible = true,
               DWORD style = WS_OVERLAPPEDWINDOW, const char* className = nullptr);
    ~TestWindow();
    TestWindow(const TestWindow&) = delete;
    TestWindow& operator=(const TestWindow&) = delete;

    HWND handle() const { return window_; }
    RECT rect() const;
    // Brings the window to the foreground; fails the case if it cannot.
    void makeForeground() const;
    // Waits (pumping) for the rectangle; fails the case with what was seen.
    void expectRect(const RECT& expected, const std::string& what,
                    DWORD timeoutMs = kTimeoutMs) const;
    // Watches for kSettleMs and fails the case if the rectangle changes.
    void expectUnchanged(const RECT& expected, const std::string& what) const;

private:
    HWND window_ = nullptr;
};

// ---- Input ---------------------------------------------------------------------

enum Modifier : unsigned { kWin = 1, kCtrl = 2, kAlt = 4, kShift = 8 };

// Presses the modifiers, taps the key, releases all, through SendInput.
void pressCombo(unsigned modifiers, WORD vk);
std::string comboName(unsigned modifiers, WORD vk);

// ---- Desktop -----------------------------------------------------------------

RECT desktopRect();  // GetWindowRect(GetDesktopWindow())
RECT workArea();     // SPI_GETWORKAREA as this process sees it
HWND taskbar();      // "Shell_TrayWnd", or null

}  // namespace e2e
