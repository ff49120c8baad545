// The end-to-end harness: case runner, waits that pump, processes, windows, input.
#include "harness.h"

#include <algorithm>
#include <cstdio>
#include <exception>
#include <utility>

namespace e2e {

// ---- Cases -----------------------------------------------------------------

namespace {

struct Case {
    std::string name;
    CaseBody body;
};

std::vector<Case>& registry() {
    static std::vector<Case> cases;  // filled during static initialisation
    return cases;
}

// Static initialisation runs the case files in no fixed order; sorting by name
// keeps runs comparable.
void sortCases() {
    std::stable_sort(registry().begin(), registry().end(),
                     [](const Case& a, const Case& b) { return a.name < b.name; });
}

struct CaseFailure {
    std::string message;
    bool skipped = false;
};

bool selected(const std::string& name, const std::vector<std::string>& filters) {
    if (filters.empty()) return true;
    for (const std::string& f : filters)
        if (name.compare(0, f.size(), f) == 0) return true;
    return false;
}

// A case that failed half-way may leave the taskbar hidden; the next case
// must start from the ordinary desktop.
void restoreDesktop() {
    HWND bar = taskbar();
    if (bar && !IsWindowVisible(bar)) {
        ShowWindow(bar, SW_SHOW);
        waitUntil([bar] { return IsWindowVisible(bar) != FALSE; }, 2000);
    }
    pump();
}

}  // namespace

void addCase(const std::string& name, CaseBody body) {
    registry().push_back(Case{name, std::move(body)});
}

CaseRegistrar::CaseRegistrar(const char* name, TabrinCaseBody body, const char* ini) {
    addCase(name, [body, ini] {
        TempDir exeDir, cwd;
        if (*ini) exeDir.write("tabrin.ini", ini);
        Tabrin tabrin;
        tabrin.startReady(exeDir, cwd);
        body(exeDir, cwd, tabrin);
    });
}

void fail(const std::string& expected, const std::string& saw) {
    throw CaseFailure{"expected " + expected + ", saw " + saw};
}

void skip(const std::string& why) { throw CaseFailure{why, true}; }

int runCases(const std::vector<std::string>& filters) {
    sortCases();
    int failures = 0, ran = 0;
    for (const Case& c : registry()) {
        if (!selected(c.name, filters)) continue;
        ++ran;
        std::string failure;
        try {
            c.body();
        } catch (const CaseFailure& f) {
            if (f.skipped) {
                std::printf("SKIP %s: %s\n", c.name.c_str(), f.message.c_str());
                std::fflush(stdout);
                continue;
            }
            failure = f.message;
        } catch (const std::exception& e) {
            failure = std::string("expected no exception, saw ") + e.what();
        }
        if (failure.empty()) {
            std::printf("PASS %s\n", c.name.c_str());
        } else {
            ++failures;
            std::printf("FAIL %s: %s\n", c.name.c_str(), failure.c_str());
        }
        std::fflush(stdout);
        restoreDesktop();
    }
    if (ran == 0) {
        std::printf("FAIL e2e.filter: expected at least one case to match, saw none\n");
        ++failures;
    }
    return failures;
}

void listCases(const std::vector<std::string>& filters) {
    sortCases();
    for (const Case& c : registry())
        if (selected(c.name, filters)) std::printf("%s\n", c.name.c_str());
}

std::string str(long n) { return std::to_string(n); }

std::string str(const RECT& r) {
    char buffer[96];
    std::snprintf(buffer, sizeof buffer, "(%ld,%ld,%ld,%ld)", static_cast<long>(r.left),
                  static_cast<long>(r.top), static_cast<long>(r.right),
                  static_cast<long>(r.bottom));
    return buffer;
}

std::string quoted(const std::string& text) {
    std::string out = "\"";
    for (unsigned char ch : text) {
        if (ch == '\n') out += "\\n";
        else if (ch == '\r') out += "\\r";
        else if (ch == '\t') out += "\\t";
        else if (ch == '"' || ch == '\\') { out += '\\'; out += static_cast<char>(ch); }
        else if (ch < 0x20) { char b[8]; std::snprintf(b, sizeof b, "\\x%02x", ch); out += b; }
        else out += static_cast<char>(ch);
    }
    return out + "\"";
}

// ---- Waiting ---------------------------------------------------------------

bool waitUntil(const std::function<bool()>& ready, DWORD timeoutMs) {
    const DWORD start = GetTickCount();
    for (;;) {
        pump();
        if (ready()) return true;
        if (GetTickCount() - start >= timeoutMs) return false;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    }
}

// ---- Files -----------------------------------------------------------------

namespace {

void removeTree(const std::string& dir) {
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((dir + "\\*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            std::string name = found.cFileName;
            if (name == "." || name == "..") continue;
            std::string full = dir + "\\" + name;
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) removeTree(full);
            else DeleteFileA(full.c_str());
        } while (FindNextFileA(search, &found));
        FindClose(search);
    }
    RemoveDirectoryA(dir.c_str());
}

}  // namespace

TempDir::TempDir() {
    static unsigned counter = 0;
    char base[MAX_PATH];
    GetTempPathA(MAX_PATH, base);
    for (;;) {
        char name[MAX_PATH + 64];
        std::snprintf(name, sizeof name, "%stabrin-e2e-%lu-%u", base,
                      static_cast<unsigned long>(GetCurrentProcessId()), ++counter);
        if (CreateDirectoryA(name, nullptr)) { path_ = name; return; }
        if (GetLastError() != ERROR_ALREADY_EXISTS) fail("a temporary folder", "none: " + std::string(name));
    }
}

TempDir::TempDir(const std::string& existing) : path_(existing), owned_(false) {}

TempDir::~TempDir() {
    if (owned_) removeTree(path_);
}

void TempDir::write(const std::string& name, const std::string& bytes) const {
    FILE* f = std::fopen(file(name).c_str(), "wb");
    if (!f) fail("to write " + file(name), "an error");
    std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::fclose(f);
}

bool TempDir::exists(const std::string& name) const {
    return GetFileAttributesA(file(name).c_str()) != INVALID_FILE_ATTRIBUTES;
}

// ---- The program under test ---------------------------------------------------

std::string gTabrinExe;

const Hotkey kDefaultHotkeys[10] = {
    {30, MOD_WIN | MOD_CONTROL, 'T'}, {20, MOD_WIN, 'X'},
    {11, MOD_WIN | MOD_ALT, VK_UP}, {12, MOD_WIN | MOD_ALT, VK_DOWN},
    {13, MOD_WIN | MOD_ALT, VK_LEFT}, {14, MOD_WIN | MOD_ALT, VK_RIGHT},
    {1, MOD_WIN | MOD_CONTROL, VK_UP}, {2, MOD_WIN | MOD_CONTROL, VK_DOWN},
    {4, MOD_WIN | MOD_CONTROL, VK_LEFT}, {3, MOD_WIN | MOD_CONTROL, VK_RIGHT},
};

Tabrin::~Tabrin() {
    if (!process_) return;
    if (running()) {
        TerminateProcess(process_, 99);
        WaitForSingleObject(process_, 5000);
    }
    CloseHandle(process_);
}

void Tabrin::start(const TempDir& exeDir, const TempDir& cwd, const std::string& args) {
    if (GetFileAttributesA(gTabrinExe.c_str()) == INVALID_FILE_ATTRIBUTES)
        fail("tabrin.exe at " + gTabrinExe, "no such file");
    const std::string exe = exeDir.file("tabrin.exe");
    if (!exeDir.exists("tabrin.exe") && !CopyFileA(gTabrinExe.c_str(), exe.c_str(), FALSE))
        fail("a copy of tabrin.exe in " + exeDir.path(), "error " + str(GetLastError()));
    PROCESS_INFORMATION pi;
    if (!driver::launch(widen(exe), widen(args), widen(cwd.path()).c_str(), 0, pi))
        fail("tabrin.exe to start", "CreateProcess error " + str(GetLastError()));
    CloseHandle(pi.hThread);
    process_ = pi.hProcess;
    pid_ = pi.dwProcessId;
}

void Tabrin::startReady(const TempDir& exeDir, const TempDir& cwd, const std::string& args) {
    start(exeDir, cwd, args);
    bool found = waitUntil([this] {
        main_ = findWindowOf(pid_, kMainClass, kMainTitle);
        return main_ != nullptr || !running();
    }, 10000);
    if (!found || !main_)
        fail("its window " + std::string(kMainClass) + " \"" + kMainTitle + "\"",
             running() ? "none within 10 s" : "the process exit with code " + str(waitExit()));
    // The window is findable while WM_CREATE still runs; a sent message is
    // answered only once the loop reads messages, so bring-up is then complete.
    DWORD_PTR ignored = 0;
    if (!SendMessageTimeoutA(main_, WM_NULL, 0, 0, SMTO_NORMAL, kTimeoutMs, &ignored))
        fail("the main window to answer WM_NULL", "no answer within 5 s");
}

bool Tabrin::running() const {
    return process_ && WaitForSingleObject(process_, 0) == WAIT_TIMEOUT;
}

DWORD Tabrin::waitExit(DWORD timeoutMs) {
    if (!process_) fail("a started process", "none");
    bool ended = waitUntil([this] { return !running(); }, timeoutMs);
    if (!ended) fail("the process to exit within " + str(static_cast<long>(timeoutMs)) + " ms", "it still running");
    DWORD code = 0;
    GetExitCodeProcess(process_, &code);
    return code;
}

void Tabrin::closeCleanly() {
    PostMessageA(main_, WM_CLOSE, 0, 0);
    DWORD code = waitExit();
    if (code != 0) fail("exit code 0 after WM_CLOSE", str(static_cast<long>(code)));
}

namespace {

std::string windowText(HWND window) {
    int length = GetWindowTextLengthA(window);
    std::string text(static_cast<size_t>(length) + 1, '\0');
    int copied = GetWindowTextA(window, &text[0], length + 1);
    text.resize(static_cast<size_t>(copied > 0 ? copied : 0));
    return text;
}

}  // namespace

MessageBoxSeen waitForMessageBox(DWORD pid, DWORD timeoutMs) {
    MessageBoxSeen seen;
    if (!waitUntil([&] { return (seen.window = findWindowOf(pid, "#32770")) != nullptr; }, timeoutMs))
        fail("a message box (#32770) from process " + str(static_cast<long>(pid)), "none");
    // The caption and the text control are filled during the dialog's creation, which a loaded
    // machine can still be in: give them a moment (every box of Tabrin's has a caption).
    waitUntil([&] {
        return GetDlgItem(seen.window, 0xFFFF) != nullptr && !windowText(seen.window).empty();
    }, 2000);
    seen.caption = windowText(seen.window);
    HWND text = GetDlgItem(seen.window, 0xFFFF);
    seen.text = text ? windowText(text) : std::string();
    return seen;
}

void dismissMessageBox(HWND box) {
    PostMessageA(box, WM_COMMAND, IDOK, 0);
}

// ---- Windows of our own --------------------------------------------------------

constexpr char kTestClass[] = "TabrinE2ETarget";

TestWindow::TestWindow(const char* title, const RECT& r, bool visible, DWORD style,
                       const char* className) {
    if (!className) className = kTestClass;
    driver::registerTargetClass(className);
    window_ = CreateWindowExA(0, className, title, style, r.left, r.top, r.right - r.left,
                              r.bottom - r.top, nullptr, nullptr, GetModuleHandleA(nullptr),
                              nullptr);
    if (!window_) fail("a test window", "CreateWindowEx error " + str(GetLastError()));
    if (visible) {
        ShowWindow(window_, SW_SHOWNORMAL);
        UpdateWindow(window_);
    }
    pump();
    // Creation may adjust the rectangle; a case must start from the one it asked for.
    if (rect() != r) {
        SetWindowPos(window_, nullptr, r.left, r.top, r.right - r.left, r.bottom - r.top,
                     SWP_NOZORDER | SWP_NOACTIVATE);
        pump();
    }
    if (rect() != r) {
        RECT seen = rect();
        DestroyWindow(window_);
        fail("a test window at " + str(r), str(seen));
    }
}

TestWindow::~TestWindow() {
    if (window_) DestroyWindow(window_);
    pump();
}

RECT TestWindow::rect() const {
    RECT r = {};
    GetWindowRect(window_, &r);
    return r;
}

void TestWindow::makeForeground() const {
    bool ok = waitUntil([this] {
        if (GetForegroundWindow() == window_) return true;
        SetForegroundWindow(window_);
        return false;
    }, 3000);
    if (!ok) {
        char title[64] = "";
        HWND fg = GetForegroundWindow();
        GetWindowTextA(fg, title, sizeof title);
        fail("the test window in the foreground", "another: " + quoted(title));
    }
}

void TestWindow::expectRect(const RECT& expected, const std::string& what, DWORD timeoutMs) const {
    if (!waitUntil([&] { return rect() == expected; }, timeoutMs))
        fail(what + " at " + str(expected), str(rect()));
}

void TestWindow::expectUnchanged(const RECT& expected, const std::string& what) const {
    if (waitUntil([&] { return rect() != expected; }, kSettleMs))
        fail(what + " to stay at " + str(expected), str(rect()));
}

// ---- Input ---------------------------------------------------------------------

void pressCombo(unsigned modifiers, WORD vk) {
    std::vector<WORD> held;
    if (modifiers & kWin) held.push_back(VK_LWIN);
    if (modifiers & kCtrl) held.push_back(VK_CONTROL);
    if (modifiers & kAlt) held.push_back(VK_MENU);
    if (modifiers & kShift) held.push_back(VK_SHIFT);
    std::vector<INPUT> inputs;
    for (WORD m : held) inputs.push_back(keyInput(m, false));
    inputs.push_back(keyInput(vk, false));
    inputs.push_back(keyInput(vk, true));
    for (auto it = held.rbegin(); it != held.rend(); ++it) inputs.push_back(keyInput(*it, true));
    UINT sent = SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT));
    if (sent != inputs.size())
        fail(str(static_cast<long>(inputs.size())) + " key events sent for " + comboName(modifiers, vk),
             str(static_cast<long>(sent)));
}

std::string comboName(unsigned modifiers, WORD vk) {
    std::string name;
    if (modifiers & kWin) name += "Win+";
    if (modifiers & kCtrl) name += "Ctrl+";
    if (modifiers & kAlt) name += "Alt+";
    if (modifiers & kShift) name += "Shift+";
    if (vk >= VK_F1 && vk <= VK_F24) return name + "F" + str(static_cast<long>(vk - VK_F1 + 1));
    switch (vk) {
    case VK_UP: return name + "Up";
    case VK_DOWN: return name + "Down";
    case VK_LEFT: return name + "Left";
    case VK_RIGHT: return name + "Right";
    }
    return name + static_cast<char>(vk);
}

// ---- Desktop -----------------------------------------------------------------

RECT desktopRect() {
    RECT r = {};
    GetWindowRect(GetDesktopWindow(), &r);
    return r;
}

RECT workArea() {
    RECT r = {};
    SystemParametersInfoA(SPI_GETWORKAREA, 0, &r, 0);
    return r;
}

HWND taskbar() { return FindWindowA("Shell_TrayWnd", nullptr); }

std::string fileBytes(const std::wstring& path) {
    FILE* f = _wfopen(path.c_str(), L"rb");
    if (!f) return "(no file)";
    std::string bytes;
    char buffer[4096];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0) bytes.append(buffer, n);
    std::fclose(f);
    return bytes;
}

}  // namespace e2e
