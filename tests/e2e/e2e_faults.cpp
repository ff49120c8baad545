// Faults tabrin must live through: a folder the ANSI code page cannot spell,
// copies racing at start-up, settings files it cannot write or read as text, a
// killed copy, a storm of stray messages, and a foreground program that hangs.
#include "mouse_input.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>

using namespace e2e;

namespace {

constexpr UINT kTrayMessage = WM_USER + 2001;  // 3025
constexpr WPARAM kTrayIcon = 5000;
// Scroll/Resize > 5 px, from a freshly opened menu.
const std::vector<WORD> kStep5 = {VK_DOWN, VK_RIGHT, VK_DOWN, VK_DOWN, VK_DOWN, VK_RETURN};

bool isHotkeyId(unsigned id) {
    for (const Hotkey& h : kDefaultHotkeys)
        if (static_cast<unsigned>(h.id) == id) return true;
    return false;
}

// Deterministic, so that a failure can be replayed byte for byte.
struct Rng {
    std::uint32_t state;
    std::uint32_t next() {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        return state;
    }
};

DWORD millisecondsSince(DWORD start) { return GetTickCount() - start; }

// Durations are reported, never asserted: they go to the log beside the verdicts.
void figure(const std::string& what, DWORD ms) {
    std::printf("  figure: %s: %lu ms\n", what.c_str(), static_cast<unsigned long>(ms));
    std::fflush(stdout);
}


// Returns how long the answer took.
DWORD expectAnswer(HWND window, const std::string& when) {
    DWORD_PTR ignored = 0;
    const DWORD start = GetTickCount();
    if (!SendMessageTimeoutA(window, WM_NULL, 0, 0, SMTO_NORMAL, kTimeoutMs, &ignored))
        fail("tabrin to answer WM_NULL " + when, "no answer within 5 s");
    return millisecondsSince(start);
}

// A tabrin.exe started from any path, wide or not, at once or suspended.
class Launched {
public:
    Launched(const std::wstring& exe, const std::wstring& cwd, bool suspended = false) {
        PROCESS_INFORMATION pi;
        if (!driver::launch(exe, L"", cwd.c_str(), suspended ? CREATE_SUSPENDED : 0, pi))
            fail("tabrin.exe started with CreateProcessW", "error " + str(GetLastError()));
        process_ = pi.hProcess;
        thread_ = pi.hThread;
        pid_ = pi.dwProcessId;
    }
    ~Launched() {
        if (running()) {
            TerminateProcess(process_, 99);
            WaitForSingleObject(process_, 5000);
        }
        CloseHandle(thread_);
        CloseHandle(process_);
    }
    Launched(const Launched&) = delete;
    Launched& operator=(const Launched&) = delete;

    void resume() const { ResumeThread(thread_); }
    DWORD pid() const { return pid_; }
    bool running() const { return WaitForSingleObject(process_, 0) == WAIT_TIMEOUT; }
    HWND mainWindow() const { return findWindowOf(pid_, kMainClass, kMainTitle); }
    HWND box() const { return findWindowOf(pid_, "#32770"); }
    DWORD exitCode() const {
        DWORD code = 0;
        GetExitCodeProcess(process_, &code);
        return code;
    }

    HWND waitReady() const {
        if (!waitUntil([this] { return mainWindow() != nullptr || !running(); }, 15000) ||
            !mainWindow())
            fail("tabrin's main window", running() ? "none within 15 s" : "the process gone");
        expectAnswer(mainWindow(), "after start-up");
        return mainWindow();
    }

    void closeCleanly() const {
        PostMessageA(mainWindow(), WM_CLOSE, 0, 0);
        if (!waitUntil([this] { return !running(); }, kTimeoutMs))
            fail("tabrin to exit after WM_CLOSE", "it still running");
        if (exitCode() != 0) fail("exit code 0 after WM_CLOSE", str(static_cast<long>(exitCode())));
    }

private:
    HANDLE process_ = nullptr, thread_ = nullptr;
    DWORD pid_ = 0;
};

bool menuOpen(DWORD pid) { return !windowsOf(pid, "#32768", nullptr, true).empty(); }

// Opens the tray menu as a click on the icon would, and walks it with the keyboard.
void chooseFromMenu(DWORD pid, HWND mainWindow, const std::vector<WORD>& keys,
                    const std::string& item) {
    SetCursorPos(700, 500);
    PostMessageA(mainWindow, kTrayMessage, kTrayIcon, WM_RBUTTONDOWN);
    if (!waitUntil([pid] { return menuOpen(pid); }, kTimeoutMs))
        fail("the tray menu open to choose " + item, "no menu");
    for (WORD vk : keys) tapKey(vk);
    if (!waitUntil([pid] { return !menuOpen(pid); }, kTimeoutMs))
        fail("the menu closed after choosing " + item, "it still open");
}

// Win+Ctrl+Right on a fresh window of ours; returns how far it went.
long rightMove() {
    const RECT start = rect(200, 150, 600, 450);
    TestWindow probe("Step probe", start);
    probe.makeForeground();
    pressCombo(kWin | kCtrl, VK_RIGHT);
    waitUntil([&] { return probe.rect() != start; }, kTimeoutMs);
    pumpFor(200);  // let a move still on its way land before reading
    const RECT now = probe.rect();
    if (now.top != start.top || now.right - now.left != start.right - start.left)
        fail("a horizontal move of " + str(start) + " after Win+Ctrl+Right", str(now));
    return now.left - start.left;
}

void expectStep(long expected, const std::string& when) {
    long step = rightMove();
    if (step != expected)
        fail("Win+Ctrl+Right to move " + str(expected) + " px " + when, str(step) + " px");
}

std::string defaultsWithStep(int step) {
    return "stepsize=" + std::to_string(step) +
           "\r\nconfirmexit=1\r\ninvertarrows=0\r\npersistentmenu=0\r\n"
           "ignoreunnamed=1\r\nenablemousescroll=1\r\ninvertedmouse=1\r\n";
}

// A folder made and removed through the wide API only: the ANSI calls of the
// harness cannot name it.
class WideFolder {
public:
    explicit WideFolder(const std::wstring& path) : path_(path) {
        if (!CreateDirectoryW(path_.c_str(), nullptr))
            fail("a folder made with CreateDirectoryW", "error " + str(GetLastError()));
    }
    ~WideFolder() {
        DeleteFileW(file(L"tabrin.ini").c_str());
        DeleteFileW(file(L"tabrin.exe").c_str());
        RemoveDirectoryW(path_.c_str());
    }
    WideFolder(const WideFolder&) = delete;
    WideFolder& operator=(const WideFolder&) = delete;
    std::wstring file(const wchar_t* name) const { return path_ + L"\\" + name; }

private:
    std::wstring path_;
};

}  // namespace

E2E_CASE("faults.folder_outside_the_ansi_code_page") {
    TempDir base, cwd;
    // "Настройки-設定": Cyrillic and Chinese, which no ANSI code page spells both of.
    const WideFolder folder(widen(base.path()) +
                            L"\\\u041d\u0430\u0441\u0442\u0440\u043e\u0439\u043a\u0438-\u8a2d\u5b9a");
    if (!CopyFileW(widen(gTabrinExe).c_str(), folder.file(L"tabrin.exe").c_str(), FALSE))
        fail("tabrin.exe copied with CopyFileW", "error " + str(GetLastError()));
    FILE* ini = _wfopen(folder.file(L"tabrin.ini").c_str(), L"wb");
    if (!ini) fail("tabrin.ini written in the folder", "no file");
    std::fputs("stepsize=7\r\n", ini);
    std::fclose(ini);

    const Launched tabrin(folder.file(L"tabrin.exe"), widen(cwd.path()));
    const HWND main = tabrin.waitReady();
    expectStep(7, "with stepsize=7 in the folder's tabrin.ini");
    chooseFromMenu(tabrin.pid(), main, kStep5, "Scroll/Resize > 5 px");
    const std::string expected = defaultsWithStep(5);
    if (!waitUntil([&] { return fileBytes(folder.file(L"tabrin.ini")) == expected; }, kTimeoutMs))
        fail("the folder's tabrin.ini " + quoted(expected) + " after choosing 5 px",
             quoted(fileBytes(folder.file(L"tabrin.ini"))));
    tabrin.closeCleanly();
}

E2E_CASE("faults.ten_copies_at_once_leave_one") {
    TempDir exeDir, cwd;
    const std::wstring exe = widen(exeDir.file("tabrin.exe"));
    if (!CopyFileW(widen(gTabrinExe).c_str(), exe.c_str(), FALSE))
        fail("a copy of tabrin.exe", "error " + str(GetLastError()));
    const std::string refusal = "Tabrin is already running.\nClose the current instance first.";
    for (int round = 1; round <= 5; ++round) {
        const std::string which = " in round " + str(round);
        std::vector<std::unique_ptr<Launched>> copies;
        for (int i = 0; i < 10; ++i)
            copies.emplace_back(new Launched(exe, widen(cwd.path()), true));
        // Created suspended, released together: they reach the mutex at the same time.
        for (const auto& c : copies) c->resume();

        auto settled = [&] {
            for (const auto& c : copies)
                if (c->running() && !c->mainWindow() && !c->box()) return false;
            return true;
        };
        if (!waitUntil(settled, 60000)) fail("every copy running or refused within 60 s" + which, "some undecided");
        pumpFor(kSettleMs);  // a second window coming late must be seen too

        const Launched* survivor = nullptr;
        int windows = 0, boxes = 0, gone = 0;
        for (const auto& c : copies) {
            if (c->mainWindow()) { ++windows; survivor = c.get(); }
            else if (c->box()) ++boxes;
            else ++gone;
        }
        if (windows != 1 || boxes != 9)
            fail("1 copy running and 9 refused" + which,
                 str(windows) + " running, " + str(boxes) + " refused, " + str(gone) + " gone");
        for (const auto& c : copies) {
            if (c.get() == survivor) continue;
            MessageBoxSeen box = waitForMessageBox(c->pid(), 1000);
            if (box.caption != "Error" || box.text != refusal)
                fail("the box \"Error\" " + quoted(refusal) + which,
                     quoted(box.caption) + " " + quoted(box.text));
            dismissMessageBox(box.window);
        }
        for (const auto& c : copies) {
            if (c.get() == survivor) continue;
            if (!waitUntil([&] { return !c->running(); }, kTimeoutMs))
                fail("a refused copy to exit after its box" + which, "it still running");
            if (c->exitCode() != 0)
                fail("exit code 0 from a refused copy" + which, str(static_cast<long>(c->exitCode())));
        }
        expectAnswer(survivor->mainWindow(), "from the surviving copy" + which);
        survivor->closeCleanly();
    }
}

namespace {

// Wine's ReplaceFileW leaves a file of its own each time it fails, which Windows' does not:
// GetTempFileName's "rf" and a hex number of up to four digits, unpadded (rf57.tmp, rf1a2b.tmp).
bool isWineLeftover(const std::string& name) {
    const std::size_t digits = name.size() - 6;
    if (name.size() < 7 || digits > 4 || name.compare(0, 2, "rf") != 0 ||
        name.compare(name.size() - 4, 4, ".tmp") != 0)
        return false;
    for (std::size_t i = 2; i < 2 + digits; ++i)
        if (!std::isxdigit(static_cast<unsigned char>(name[i]))) return false;
    return true;
}

// The names in a folder, sorted; Wine's own leftovers are not tabrin's.
std::string namesIn(const TempDir& dir) {
    std::vector<std::string> names;
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((dir.path() + "\\*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            const std::string name = found.cFileName;
            if (name != "." && name != ".." && !isWineLeftover(name)) names.push_back(name);
        } while (FindNextFileA(search, &found));
        FindClose(search);
    }
    std::sort(names.begin(), names.end());
    std::string joined;
    for (const std::string& name : names) joined += (joined.empty() ? "" : ", ") + name;
    return joined;
}

void expectOnly(const TempDir& dir, const std::string& names, const std::string& after) {
    if (namesIn(dir) != names) fail("the folder holding " + names + " after " + after, namesIn(dir));
}

// tabrin can read (or not) but never write the settings: a menu choice is lost
// for the file, yet holds for the run, and nothing stops.
void choiceNotSaved(const TempDir& exeDir, long stepAtStart, long stepAfter,
                    const std::function<std::string()>& fileState) {
    const std::string before = fileState();
    TempDir cwd;
    Tabrin tabrin;
    tabrin.startReady(exeDir, cwd);
    expectStep(stepAtStart, "at start-up");
    chooseFromMenu(tabrin.pid(), tabrin.mainWindow(), kStep5, "Scroll/Resize > 5 px");
    pumpFor(kSettleMs);
    if (fileState() != before) fail("tabrin.ini left as " + before, fileState());
    expectOnly(exeDir, "tabrin.exe, tabrin.ini", "a choice it could not save");
    if (!tabrin.running()) fail("tabrin running after the unsaved choice", "it exited");
    expectAnswer(tabrin.mainWindow(), "after a choice it could not save");
    expectStep(stepAfter, "after choosing 5 px");
    tabrin.closeCleanly();
}

// Wine run as root writes through the read-only attribute (root ignores the Unix
// permissions it maps to), so the file is also held open without write sharing:
// either way opening it for writing fails, as the attribute alone does on Windows.
class ReadOnlyFile {
public:
    explicit ReadOnlyFile(const std::string& path) : path_(path) {
        SetFileAttributesA(path_.c_str(), FILE_ATTRIBUTE_READONLY);
        lock_ = CreateFileA(path_.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            0, nullptr);
        if (lock_ == INVALID_HANDLE_VALUE) fail("tabrin.ini held open for reading", "error " + str(GetLastError()));
    }
    ~ReadOnlyFile() {  // or the folder could not be removed
        CloseHandle(lock_);
        SetFileAttributesA(path_.c_str(), FILE_ATTRIBUTE_NORMAL);
    }
    ReadOnlyFile(const ReadOnlyFile&) = delete;
    ReadOnlyFile& operator=(const ReadOnlyFile&) = delete;

private:
    std::string path_;
    HANDLE lock_;
};

}  // namespace

E2E_CASE("faults.read_only_settings_file") {
    TempDir exeDir;
    const std::string ini = exeDir.file("tabrin.ini");
    exeDir.write("tabrin.ini", "stepsize=7\r\ninvertarrows=1\r\n");
    const ReadOnlyFile readOnly(ini);
    choiceNotSaved(exeDir, -7, -5, [&] {
        const bool isReadOnly = (GetFileAttributesA(ini.c_str()) & FILE_ATTRIBUTE_READONLY) != 0;
        return (isReadOnly ? "read-only " : "writable ") + quoted(fileBytes(widen(ini)));
    });
}

E2E_CASE("faults.settings_file_is_a_folder") {
    TempDir exeDir;
    const std::string ini = exeDir.file("tabrin.ini");
    CreateDirectoryA(ini.c_str(), nullptr);
    choiceNotSaved(exeDir, 20, 5, [&] {
        DWORD attributes = GetFileAttributesA(ini.c_str());
        return std::string(attributes != INVALID_FILE_ATTRIBUTES &&
                                   (attributes & FILE_ATTRIBUTE_DIRECTORY)
                               ? "a folder"
                               : "not a folder");
    });
}

E2E_CASE("faults.hidden_settings_file_saved_and_stays_hidden") {
    TempDir exeDir, cwd;
    const std::string ini = exeDir.file("tabrin.ini");
    exeDir.write("tabrin.ini", "stepsize=7\r\n");
    const DWORD marks = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
    SetFileAttributesA(ini.c_str(), marks);
    Tabrin tabrin;
    tabrin.startReady(exeDir, cwd);
    expectStep(7, "with the hidden tabrin.ini read");
    chooseFromMenu(tabrin.pid(), tabrin.mainWindow(), kStep5, "Scroll/Resize > 5 px");
    const std::string expected = defaultsWithStep(5);
    if (!waitUntil([&] { return fileBytes(widen(ini)) == expected; }, kTimeoutMs))
        fail("the hidden tabrin.ini " + quoted(expected) + " after choosing 5 px",
             quoted(fileBytes(widen(ini))));
    const DWORD attributes = GetFileAttributesA(ini.c_str());
    if ((attributes & marks) != marks)
        fail("tabrin.ini still hidden and system after the save",
             "attributes " + str(static_cast<long>(attributes)));
    expectOnly(exeDir, "tabrin.exe, tabrin.ini", "the save");
    tabrin.closeCleanly();
    SetFileAttributesA(ini.c_str(), FILE_ATTRIBUTE_NORMAL);  // or the folder could not be removed
}

E2E_TABRIN_CASE("faults.ten_changes_leave_no_other_file") {
    // Settings > Invert Arrows, from a freshly opened menu.
    const std::vector<WORD> invertArrows = {VK_DOWN, VK_DOWN, VK_DOWN, VK_RIGHT, VK_RETURN};
    for (int change = 1; change <= 10; ++change) {
        chooseFromMenu(tabrin.pid(), tabrin.mainWindow(), invertArrows, "Settings > Invert Arrows");
        std::string expected = defaultsWithStep(20);
        expected.replace(expected.find("invertarrows=0"), 14, "invertarrows=" + str(change % 2));
        if (!waitUntil([&] { return fileBytes(widen(exeDir.file("tabrin.ini"))) == expected; },
                       kTimeoutMs))
            fail("tabrin.ini " + quoted(expected) + " after change " + str(change),
                 quoted(fileBytes(widen(exeDir.file("tabrin.ini")))));
    }
    expectOnly(exeDir, "tabrin.exe, tabrin.ini", "ten changes");
    tabrin.closeCleanly();
}

E2E_TABRIN_CASE("faults.settings_file_held_for_a_moment", "stepsize=7\r\n") {
    const std::wstring ini = widen(exeDir.file("tabrin.ini"));
    // As a virus scanner or a sync client opens a just-written file: without delete sharing.
    const HANDLE held = CreateFileW(ini.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                    nullptr, OPEN_EXISTING, 0, nullptr);
    if (held == INVALID_HANDLE_VALUE) fail("tabrin.ini held open", "error " + str(GetLastError()));
    chooseFromMenu(tabrin.pid(), tabrin.mainWindow(), kStep5, "Scroll/Resize > 5 px");
    pumpFor(700);
    const std::string whileHeld = fileBytes(ini);
    CloseHandle(held);
    if (whileHeld != "stepsize=7\r\n")
        fail("tabrin.ini unchanged while held open", quoted(whileHeld));
    const std::string expected = defaultsWithStep(5);
    if (!waitUntil([&] { return fileBytes(ini) == expected; }, kTimeoutMs))
        fail("tabrin.ini " + quoted(expected) + " once let go", quoted(fileBytes(ini)));
    expectOnly(exeDir, "tabrin.exe, tabrin.ini", "a save that waited for the file");
    tabrin.closeCleanly();
}

E2E_TABRIN_CASE("faults.leftover_temporary_file_held_for_a_moment", "stepsize=7\r\n") {
    exeDir.write("tabrin.ini.tmp", "stepsize=3\r\n");
    // A sync client still has the leftover open: it can be neither deleted nor created anew.
    const HANDLE held = CreateFileW(widen(exeDir.file("tabrin.ini.tmp")).c_str(), GENERIC_READ,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                                    nullptr);
    if (held == INVALID_HANDLE_VALUE) fail("tabrin.ini.tmp held open", "error " + str(GetLastError()));
    chooseFromMenu(tabrin.pid(), tabrin.mainWindow(), kStep5, "Scroll/Resize > 5 px");
    pumpFor(700);
    CloseHandle(held);
    const std::wstring ini = widen(exeDir.file("tabrin.ini"));
    if (!waitUntil([&] { return fileBytes(ini) == defaultsWithStep(5); }, 10000))
        fail("tabrin.ini with 5 px within 10 s of the leftover let go", quoted(fileBytes(ini)));
    expectOnly(exeDir, "tabrin.exe, tabrin.ini", "a save past a held leftover");
    tabrin.closeCleanly();
}

// scripts/test mounts a folder holding tabrin.exe read-only, as Program Files is to a standard
// user: Wine answers error 5 to a new file there, as Windows does.
// The folders are Tabrin alone and Tabrin with a tabrin.ini of 7 px, which a start must not read
// again once its saves went to the user's copy.
E2E_CASE("faults.folder_that_cannot_be_written_keeps_the_file_in_appdata") {
    const char* folders = std::getenv("TABRIN_E2E_READ_ONLY_FOLDERS");
    if (!folders || !*folders) skip("no read-only folder: the mount needs root and a mount namespace");
    char appData[MAX_PATH];
    if (!GetEnvironmentVariableA("APPDATA", appData, MAX_PATH)) fail("%APPDATA%", "none");
    const std::string perUser = std::string(appData) + "\\Tabrin\\tabrin.ini";
    std::string rest = folders;
    for (std::size_t cut = 0; cut != std::string::npos; rest = rest.substr(cut + 1)) {
        cut = rest.find(';');
        const TempDir exeDir{rest.substr(0, cut)}, cwd;
        const std::string names = namesIn(exeDir);
        DeleteFileA(perUser.c_str());
        {
            Tabrin tabrin;
            tabrin.startReady(exeDir, cwd);
            chooseFromMenu(tabrin.pid(), tabrin.mainWindow(), kStep5, "Scroll/Resize > 5 px");
            if (!waitUntil([&] { return fileBytes(widen(perUser)) == defaultsWithStep(5); }, kTimeoutMs))
                fail(perUser + " with 5 px", quoted(fileBytes(widen(perUser))));
            tabrin.closeCleanly();
        }
        Tabrin again;
        again.startReady(exeDir, cwd);
        expectStep(5, "after a new start in " + exeDir.path());
        again.closeCleanly();
        DeleteFileA(perUser.c_str());  // or the next cases would start from it
        expectOnly(exeDir, names, "saves it could not make there");
    }
}

namespace {

// What the reader must make of the bytes, worked out afresh: pieces of at most
// 254 bytes, each ending after a '\n'; a piece's text stops at a NUL; the key is
// everything before the first '=', matched exactly; the value reads as atol
// with a 32-bit long, saturating; later pieces win.
struct Expected {
    long stepsize = 20;
    bool invertarrows = false;
};

long atol32(const std::string& text) {
    size_t i = text.find_first_not_of(" \t\n\v\f\r");
    if (i == std::string::npos) return 0;
    bool negative = text[i] == '-';
    if (text[i] == '-' || text[i] == '+') ++i;
    long long value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i)
        value = std::min(value * 10 + (text[i] - '0'), 2147483648LL);
    if (negative) return static_cast<long>(-value);
    return static_cast<long>(std::min(value, 2147483647LL));
}

Expected expectedFrom(const std::string& bytes) {
    Expected e;
    size_t at = 0;
    while (at < bytes.size()) {
        size_t end = at;
        while (end < bytes.size() && end - at < 254)
            if (bytes[end++] == '\n') break;
        std::string text = bytes.substr(at, end - at);
        at = end;
        text = text.substr(0, text.find('\0'));
        size_t equals = text.find('=');
        if (equals == std::string::npos) continue;
        const std::string key = text.substr(0, equals);
        const long value = atol32(text.substr(equals + 1));
        if (key == "stepsize") e.stepsize = value;
        else if (key == "invertarrows") e.invertarrows = value != 0;
    }
    return e;
}

}  // namespace

E2E_CASE("faults.ten_megabytes_of_random_settings") {
    std::string bytes(10u << 20, '\0');
    Rng rng{0x7AB1Bu};
    for (char& b : bytes) b = static_cast<char>(rng.next() >> 24);
    // The last line that counts is found only by cutting a long line at 254 bytes;
    // after it come keys in the wrong case, which must not count.
    const std::pair<size_t, std::string> planted[] = {
        {1u << 20, "\nstepsize=13\n"},
        {3u << 20, "\ninvertarrows=1\n"},
        {5u << 20, "\n" + std::string(254, 'x') + "stepsize=17\n"},
        {7u << 20, "\nStepSize=50\n"},
        {9u << 20, "\nInvertArrows=0\n"},
    };
    for (const auto& p : planted) bytes.replace(p.first, p.second.size(), p.second);
    const Expected e = expectedFrom(bytes);

    TempDir exeDir, cwd;
    {
        Tabrin bare;  // the same start without a file, for comparison
        const DWORD start = GetTickCount();
        bare.startReady(exeDir, cwd);
        figure("start-up without tabrin.ini", millisecondsSince(start));
        bare.closeCleanly();
    }
    exeDir.write("tabrin.ini", bytes);
    Tabrin tabrin;
    const DWORD start = GetTickCount();
    tabrin.startReady(exeDir, cwd);
    figure("start-up with a 10 MB random tabrin.ini", millisecondsSince(start));
    expectStep(e.invertarrows ? -e.stepsize : e.stepsize,
               "with stepsize " + str(e.stepsize) + (e.invertarrows ? ", inverted," : "") +
                   " read by the rules");
    tabrin.closeCleanly();
}

E2E_TABRIN_CASE("faults.terminated_copy_frees_hotkeys_and_mutex") {
    for (const Hotkey& k : kDefaultHotkeys)
        if (RegisterHotKey(nullptr, 0x100 + k.id, k.modifiers, k.vk)) {
            UnregisterHotKey(nullptr, 0x100 + k.id);
            fail("hotkey " + str(k.id) + " taken while tabrin runs", "it free");
        }
    HANDLE process = OpenProcess(PROCESS_TERMINATE, FALSE, tabrin.pid());
    TerminateProcess(process, 9);
    CloseHandle(process);
    if (tabrin.waitExit() != 9) fail("the exit code 9 given to TerminateProcess", "another");

    // The system frees them when it cleans up after the dead thread, which may lag a little.
    std::vector<int> held;
    bool allFree = waitUntil([&] {
        held.clear();
        for (const Hotkey& k : kDefaultHotkeys) {
            if (RegisterHotKey(nullptr, 0x100 + k.id, k.modifiers, k.vk))
                UnregisterHotKey(nullptr, 0x100 + k.id);
            else
                held.push_back(k.id);
        }
        return held.empty();
    }, kTimeoutMs);
    if (!allFree) fail("all ten hotkeys free after TerminateProcess", str(static_cast<long>(held.size())) + " still taken");

    Tabrin again;
    again.startReady(exeDir, cwd);
    expectStep(20, "in the copy started after the kill");
    again.closeCleanly();
}

E2E_TABRIN_CASE("faults.thousand_stray_messages") {
    const RECT start = rect(200, 150, 600, 450);
    TestWindow target("Storm watcher", start);
    target.makeForeground();
    const HWND main = tabrin.mainWindow();
    // Tray messages that are not a button press on icon 5000, and menu command
    // identifiers, which must do nothing outside the menu.
    const LPARAM trayEvents[] = {WM_MOUSEMOVE, WM_LBUTTONUP, WM_RBUTTONUP, WM_LBUTTONDBLCLK,
                                 WM_RBUTTONDBLCLK, WM_MBUTTONDOWN, WM_CONTEXTMENU,
                                 WM_LBUTTONDOWN, WM_RBUTTONDOWN, WM_USER, WM_USER + 1};
    const WORD commands[] = {0, 1, 3, 5, 10, 20, 21, 23, 24, 25, 26, 30, 40, 102};
    Rng rng{0x5EED5u};
    const DWORD begun = GetTickCount();
    for (int i = 0; i < 1000; ++i) {
        const std::uint32_t r = rng.next();
        if (i % 3 == 0) {
            WPARAM id = r % 4 == 0 ? rng.next() : rng.next() % 64;
            if (isHotkeyId(static_cast<unsigned>(id))) id += 100;
            PostMessageA(main, WM_HOTKEY, id, static_cast<LPARAM>(rng.next()));
        } else if (i % 3 == 1) {
            WPARAM icon = r % 2 == 0 ? kTrayIcon : rng.next();
            LPARAM event = r % 5 == 0 ? static_cast<LPARAM>(rng.next())
                                      : trayEvents[rng.next() % (sizeof trayEvents / sizeof *trayEvents)];
            if (icon == kTrayIcon && (event == WM_LBUTTONDOWN || event == WM_RBUTTONDOWN)) ++icon;
            PostMessageA(main, kTrayMessage, icon, event);
        } else {
            WORD command = r % 3 == 0 ? static_cast<WORD>(rng.next())
                                      : commands[rng.next() % (sizeof commands / sizeof *commands)];
            if (command == IDCANCEL) ++command;
            PostMessageA(main, WM_COMMAND, MAKEWPARAM(command, rng.next() % 3),
                         r % 7 == 0 ? static_cast<LPARAM>(rng.next()) : 0);
        }
    }
    // A real move posted last: the queue is in order, so once it lands every
    // stray message before it has been handled.
    PostMessageA(main, WM_HOTKEY, 3, MAKELPARAM(MOD_WIN | MOD_CONTROL, VK_RIGHT));
    const RECT moved = rect(start.left + 20, start.top, start.right + 20, start.bottom);
    if (!waitUntil([&] { return target.rect() == moved; }, kTimeoutMs)) {
        const bool box = findWindowOf(tabrin.pid(), "#32770") != nullptr;
        fail("the stray messages handled, then the hotkey posted after them moving the window to " +
                 str(moved),
             str(target.rect()) + (box ? " with a box open" : "") +
                 (menuOpen(tabrin.pid()) ? " with a menu open" : "") +
                 (exeDir.exists("tabrin.ini") ? " and tabrin.ini written" : ""));
    }
    figure("1000 stray messages and a hotkey handled", millisecondsSince(begun));
    target.expectUnchanged(moved, "after the storm the window");
    figure("WM_NULL answered after the storm", expectAnswer(main, "after 1000 stray messages"));
    if (menuOpen(tabrin.pid())) fail("no tray menu opened by the stray messages", "one open");
    if (findWindowOf(tabrin.pid(), "#32770")) fail("no box shown by the stray messages", "one");
    if (exeDir.exists("tabrin.ini") || cwd.exists("tabrin.ini"))
        fail("no tabrin.ini written by the stray messages", "one");
    tabrin.closeCleanly();
}

namespace {

constexpr char kHungClass[] = "TabrinE2EHung";

// A window whose thread stops reading its messages for a while, as a hung
// program's does; it answers normally before and after.
class HungWindow {
public:
    explicit HungWindow(const RECT& r) : rect_(r) {
        created_ = CreateEventA(nullptr, TRUE, FALSE, nullptr);
        freeze_ = CreateEventA(nullptr, TRUE, FALSE, nullptr);
        frozen_ = CreateEventA(nullptr, TRUE, FALSE, nullptr);
        thread_ = CreateThread(nullptr, 0, &HungWindow::run, this, 0, &threadId_);
        if (WaitForSingleObject(created_, kTimeoutMs) != WAIT_OBJECT_0 || !window_)
            fail("a window on a second thread", "none");
    }
    ~HungWindow() {
        SetEvent(freeze_);  // harmless once frozen; ends the wait otherwise
        PostThreadMessageA(threadId_, WM_QUIT, 0, 0);
        WaitForSingleObject(thread_, 20000);
        for (HANDLE h : {thread_, created_, freeze_, frozen_}) CloseHandle(h);
    }
    HungWindow(const HungWindow&) = delete;
    HungWindow& operator=(const HungWindow&) = delete;

    HWND handle() const { return window_; }
    RECT rect() const {
        RECT r = {};
        GetWindowRect(window_, &r);
        return r;
    }
    void makeForeground() const {
        if (!waitUntil([&] {
                if (GetForegroundWindow() == window_) return true;
                SetForegroundWindow(window_);
                return false;
            }, 3000))
            fail("the window of the second thread in the foreground", "another window");
    }
    // Returns once the thread has stopped reading messages; it reads again after `ms`.
    void hangFor(DWORD ms) {
        hangMs_ = ms;
        SetEvent(freeze_);
        WaitForSingleObject(frozen_, kTimeoutMs);
    }

private:
    static DWORD WINAPI run(void* param) {
        auto* self = static_cast<HungWindow*>(param);
        WNDCLASSA wc = {};
        wc.lpfnWndProc = DefWindowProcA;
        wc.hInstance = GetModuleHandleA(nullptr);
        wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
        wc.lpszClassName = kHungClass;
        RegisterClassA(&wc);
        const RECT& r = self->rect_;
        self->window_ = CreateWindowExA(0, kHungClass, "Hung window", WS_POPUP | WS_CAPTION,
                                        r.left, r.top, r.right - r.left, r.bottom - r.top, nullptr,
                                        nullptr, GetModuleHandleA(nullptr), nullptr);
        ShowWindow(self->window_, SW_SHOWNORMAL);
        SetEvent(self->created_);
        MSG msg;
        for (;;) {
            if (MsgWaitForMultipleObjects(1, &self->freeze_, FALSE, INFINITE, QS_ALLINPUT) == WAIT_OBJECT_0)
                break;
            while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
        }
        SetEvent(self->frozen_);
        Sleep(self->hangMs_);
        while (GetMessageA(&msg, nullptr, 0, 0) > 0) DispatchMessageA(&msg);
        DestroyWindow(self->window_);
        return 0;
    }

    RECT rect_;
    HWND window_ = nullptr;
    DWORD hangMs_ = 0, threadId_ = 0;
    HANDLE thread_ = nullptr, created_ = nullptr, freeze_ = nullptr, frozen_ = nullptr;
};

// Counts WM_MOUSEMOVE on one of our windows.
int gMouseMoves = 0;
WNDPROC gPreviousProc = nullptr;
LRESULT CALLBACK countMoves(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_MOUSEMOVE) ++gMouseMoves;
    return CallWindowProcA(gPreviousProc, window, message, wParam, lParam);
}

void moveMouseTo(int x, int y) {
    INPUT in = {};
    in.type = INPUT_MOUSE;
    in.mi.dx = MulDiv(x, 65535, GetSystemMetrics(SM_CXSCREEN) - 1);
    in.mi.dy = MulDiv(y, 65535, GetSystemMetrics(SM_CYSCREEN) - 1);
    in.mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
    SendInput(1, &in, sizeof in);
}

}  // namespace

E2E_TABRIN_CASE("faults.hung_foreground_program") {
    const RECT liveStart = rect(520, 300, 920, 600);
    TestWindow live("Responsive window", liveStart);
    const RECT hungStart = rect(60, 80, 420, 340);
    HungWindow hung(hungStart);
    hung.makeForeground();
    settlePointerAt(240, 210);
    hung.hangFor(10000);
    // Checked after each step: a hung window that has moved has woken up, and
    // whatever came after proves nothing about waiting on it.
    auto stillHung = [&](const std::string& after) {
        const RECT r = hung.rect();
        if (r != hungStart)
            fail(after + " while the other window still hung",
                 "that window awake first (moved to " + str(r) + "): tabrin waited for it");
    };

    // Everything aimed at the hung window; none of it may make tabrin wait.
    const DWORD sending = GetTickCount();
    pressCombo(kWin | kCtrl, VK_RIGHT);
    {
        HeldKeys keys(kWin | kCtrl);
        sendMouse(MouseGesture::WheelForward);
        sendMouse(MouseGesture::RightClick);
        sendMouse(MouseGesture::WheelForward);
    }
    figure("hotkey and three gestures sent at the hung window", millisecondsSince(sending));
    figure("WM_NULL answered while a window hangs",
           expectAnswer(tabrin.mainWindow(), "while the foreground window hangs"));
    stillHung("tabrin answering");

    // Plain mouse moves pass the hook at once: the pointer and the messages arrive.
    gMouseMoves = 0;
    gPreviousProc = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrA(live.handle(), GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&countMoves)));
    struct Restore {
        HWND window;
        ~Restore() { SetWindowLongPtrA(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(gPreviousProc)); }
    } restore{live.handle()};
    const DWORD moving = GetTickCount();
    moveMouseTo(720, 450);
    POINT at = {};
    if (!waitUntil([&] { GetCursorPos(&at); return at.x == 720 && at.y == 450; }, kTimeoutMs))
        fail("the pointer at 720,450 while a window hangs", str(at.x) + "," + str(at.y));
    figure("pointer moved while a window hangs", millisecondsSince(moving));
    if (!waitUntil([] { return gMouseMoves > 0; }, kTimeoutMs))
        fail("WM_MOUSEMOVE at the responsive window while a window hangs", "none");
    figure("WM_MOUSEMOVE reached the responsive window", millisecondsSince(moving));
    stillHung("the mouse moves arriving");

    // A hotkey on a responsive window takes effect while the hung one still sleeps.
    live.makeForeground();
    const DWORD pressed = GetTickCount();
    pressCombo(kWin | kCtrl, VK_RIGHT);
    live.expectRect(rect(540, 300, 940, 600), "the responsive window moved");
    figure("move of the responsive window while the other hangs", millisecondsSince(pressed));
    stillHung("the responsive window moving");

    // Once awake, the hung window takes the moves it was sent, all of them: right, down, left
    // and down by a step each.
    const RECT hungEnd =
        rect(hungStart.left, hungStart.top + 40, hungStart.right, hungStart.bottom + 40);
    if (!waitUntil([&] { return hung.rect() == hungEnd; }, 15000))
        fail("the hung window at " + str(hungEnd) + " once it answers again", str(hung.rect()));
    if (!tabrin.running()) fail("tabrin running after the hung window", "it exited");
    tabrin.closeCleanly();
}

// A window is positioned only once its thread reads its messages: steps that reach a busy
// window sooner must add up, not each start from the place it has not yet left.
E2E_TABRIN_CASE("faults.busy_window_takes_every_wheel_notch") {
    const RECT start = rect(60, 80, 420, 340);
    HungWindow busy(start);
    busy.makeForeground();
    settlePointerAt(240, 210);
    busy.hangFor(500);
    {
        HeldKeys keys(kWin | kCtrl);
        for (int i = 0; i < 3; ++i) sendMouse(MouseGesture::WheelForward);
    }
    const RECT expected = rect(start.left, start.top + 60, start.right, start.bottom + 60);
    if (!waitUntil([&] { return busy.rect() == expected; }, kTimeoutMs))
        fail("three wheel notches moving the busy window three steps down, to " + str(expected),
             str(busy.rect()));
    tabrin.closeCleanly();
}
