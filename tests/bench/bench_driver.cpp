// The benchmark driver: tabrin.exe against baseline programs of the benchmark's own, all timed in
// the same run, taking turns, one program running at a time.
//
//   tabrin_bench.exe --tabrin X --null-hook X --null-hotkey X --minimal X [--candidate X]
//                    [--rounds N] [--moves N] [--chunk N] [--presses N] [--press-chunk N]
//                    [--startups N] [--gestures N] [--reloads N] [--idle-seconds N]
//                    [--only hook,hotkey,gesture,startup,reload,idle]
//
// Prints "ROUND ..." lines as it goes and one "RESULT ..." line per measurement for scripts/bench;
// "ERROR ..." lines (and exit status 1) when a measurement could not be taken.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "baseline.h"
#include "driver.h"

namespace {

using driver::findWindowOf;
using driver::keyInput;
using driver::nowMs;
using driver::pump;
using driver::pumpFor;

constexpr char kTabrinClass[] = "TabrINWndClass";
constexpr char kTargetClass[] = "TabrinBenchTarget";
constexpr DWORD kTimeoutMs = 10000;
constexpr int kWarmUpMoves = 500;
constexpr DWORD kSettleMs = 300;
constexpr int kBusyMoves = 2000;
constexpr int kProbeHotkeyId = 0xB00;
constexpr RECT kTargetStart = {100, 100, 500, 400};

struct Options {
    std::string tabrin, nullHook, nullHotkey, minimal;
    std::string candidate;  // another build of tabrin.exe to time beside it
    int rounds = 5;
    int moves = 20000;
    int chunk = 2000;
    int presses = 500;
    int pressChunk = 100;
    int startups = 9;
    int gestures = 50;
    int reloads = 15;
    int idleSeconds = 30;
    std::string only;
};

Options options;
int errors = 0;

void error(const std::string& what) {
    ++errors;
    std::printf("ERROR %s\n", what.c_str());
    std::fflush(stdout);
}

double median(std::vector<double> values) {
    if (values.empty()) return 0;
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

// ---- Programs ------------------------------------------------------------------

// One program under measurement, started from its copy in the work folder.
class Program {
public:
    Program(const std::string& exe, const char* className) : exe_(exe), className_(className) {}
    ~Program() { close(); }
    Program(const Program&) = delete;
    Program& operator=(const Program&) = delete;

    bool start() {
        PROCESS_INFORMATION pi;
        if (!driver::launch(driver::widen(exe_), L"", nullptr, 0, pi)) {
            error("CreateProcess " + exe_ + " failed, error " + std::to_string(GetLastError()));
            return false;
        }
        CloseHandle(pi.hThread);
        process_ = pi.hProcess;
        pid_ = pi.dwProcessId;
        return true;
    }

    // Started, its window found, and its message loop answering: set up and waiting for input.
    bool startReady() {
        if (!start()) return false;
        const double end = nowMs() + kTimeoutMs;
        while (!(window_ = findWindowOf(pid_, className_))) {
            if (nowMs() > end || !running()) {
                error(exe_ + ": no window of class " + className_);
                return false;
            }
            Sleep(1);
        }
        DWORD_PTR ignored;
        if (!SendMessageTimeoutA(window_, WM_NULL, 0, 0, SMTO_NORMAL, kTimeoutMs, &ignored)) {
            error(exe_ + ": its window does not answer");
            return false;
        }
        return true;
    }

    bool running() const { return process_ && WaitForSingleObject(process_, 0) == WAIT_TIMEOUT; }

    void close() {
        if (!process_) return;
        HWND window = window_ ? window_ : findWindowOf(pid_, className_);
        if (window) PostMessageA(window, WM_CLOSE, 0, 0);
        if (WaitForSingleObject(process_, 5000) != WAIT_OBJECT_0) {
            TerminateProcess(process_, 99);
            WaitForSingleObject(process_, 5000);
        }
        CloseHandle(process_);
        process_ = nullptr;
        window_ = nullptr;
    }

    HANDLE process() const { return process_; }
    DWORD pid() const { return pid_; }

private:
    std::string exe_;
    const char* className_;
    HANDLE process_ = nullptr;
    DWORD pid_ = 0;
    HWND window_ = nullptr;
};

// Kernel plus user time in 100-ns units.
ULONGLONG cpuTime(HANDLE process) {
    FILETIME created, exited, kernel, user;
    GetProcessTimes(process, &created, &exited, &kernel, &user);
    auto value = [](const FILETIME& f) {
        return (static_cast<ULONGLONG>(f.dwHighDateTime) << 32) | f.dwLowDateTime;
    };
    return value(kernel) + value(user);
}

// ---- Input ------------------------------------------------------------------------

// Presses (or releases) the keys in order (in reverse order), then lets the programs take them.
void sendKeys(std::vector<WORD> keys, bool up) {
    std::vector<INPUT> inputs;
    if (up) std::reverse(keys.begin(), keys.end());
    for (WORD vk : keys) inputs.push_back(keyInput(vk, up));
    SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT));
    pumpFor(30);
}

// ---- Hook overhead ------------------------------------------------------------------

// Mouse moves to and fro in the middle of the desktop, where no window of ours lies. Under a
// low-level hook, SendInput returns only once the hook has answered.
double timeMoves(int count) {
    INPUT input = {};
    input.type = INPUT_MOUSE;
    input.mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
    input.mi.dy = 20000;
    const double start = nowMs();
    for (int i = 0; i < count; ++i) {
        input.mi.dx = (i & 1) ? 40000 : 40100;
        SendInput(1, &input, sizeof input);
    }
    return nowMs() - start;
}

// The moves' wall time, and the CPU time the hook's own process spent on them (100-ns units),
// with `held` down during the timed moves.
bool timeMovesUnder(const std::string& exe, const char* className, const std::vector<WORD>& held,
                    int moves, double* ms, ULONGLONG* cpu) {
    Program program(exe, className);
    if (!program.startReady()) return false;
    pumpFor(kSettleMs);  // the start's last work (the tray icon) done before the timing
    timeMoves(kWarmUpMoves);
    if (!held.empty()) sendKeys(held, false);
    const ULONGLONG before = cpuTime(program.process());
    *ms += timeMoves(moves);
    *cpu += cpuTime(program.process()) - before;
    if (!held.empty()) sendKeys(held, true);
    return true;
}

// Each round's moves are made in chunks, and the contenders take turns chunk by chunk, in an
// order that reverses every chunk: the load of the machine, which changes from second to second,
// then falls on all of them alike. Tabrin is timed with nothing held and with Win alone held
// (neither installs its hook), against no hook at all; the null hook shows what a hook costs.
void benchHook() {
    struct Contender {
        const char* name;
        std::string exe;  // empty: no hook at all
        const char* className;
        std::vector<WORD> held;
        double ms;
        ULONGLONG cpu;
        std::vector<double> times, cpus, ratios;
    };
    std::vector<Contender> all = {
        {"tabrin", options.tabrin, kTabrinClass, {}, 0, 0, {}, {}, {}},
        {"tabrin_win", options.tabrin, kTabrinClass, {VK_LWIN}, 0, 0, {}, {}, {}},
        {"no_hook", "", nullptr, {}, 0, 0, {}, {}, {}},
        {"null_hook", options.nullHook, kNullHookClass, {}, 0, 0, {}, {}, {}}};
    constexpr int kBaseline = 2;
    if (!options.candidate.empty())
        all.push_back({"candidate", options.candidate, kTabrinClass, {}, 0, 0, {}, {}, {}});
    const int chunks = std::max(1, options.moves / options.chunk);
    const int perChunk = options.moves / chunks;
    const int moves = perChunk * chunks;
    const int count = static_cast<int>(all.size());
    for (int round = 0; round < options.rounds; ++round) {
        for (Contender& c : all) c.ms = 0, c.cpu = 0;
        for (int chunk = 0; chunk < chunks; ++chunk) {
            for (int turn = 0; turn < count; ++turn) {
                Contender& c = all[(round + chunk) % 2 ? count - 1 - turn : turn];
                if (c.exe.empty()) {
                    pumpFor(kSettleMs);  // as long as the others wait after their start
                    timeMoves(kWarmUpMoves);
                    c.ms += timeMoves(perChunk);
                } else if (!timeMovesUnder(c.exe, c.className, c.held, perChunk, &c.ms, &c.cpu)) {
                    return;
                }
            }
        }
        std::printf("ROUND hook %d", round + 1);
        for (Contender& c : all) {
            c.times.push_back(c.ms);
            c.cpus.push_back(c.cpu / 10.0 / moves);  // microseconds of the hook's CPU per move
            c.ratios.push_back(c.ms / all[kBaseline].ms);
            std::printf(" %s_ms=%.1f", c.name, c.ms);
            if (!c.exe.empty()) std::printf(" %s_cpu_us=%.1f", c.name, c.cpus.back());
        }
        std::printf(" ratio=%.3f win_ratio=%.3f null_hook_ratio=%.3f\n", all[0].ratios.back(),
                    all[1].ratios.back(), all[3].ratios.back());
        std::fflush(stdout);
    }
    std::printf("RESULT hook subject_ms=%.1f baseline_ms=%.1f ratio=%.3f win_ms=%.1f "
                "win_ratio=%.3f null_hook_ms=%.1f null_hook_ratio=%.3f moves=%d "
                "subject_cpu_us=%.1f win_cpu_us=%.1f null_hook_cpu_us=%.1f",
                median(all[0].times), median(all[kBaseline].times), median(all[0].ratios),
                median(all[1].times), median(all[1].ratios), median(all[3].times),
                median(all[3].ratios), moves, median(all[0].cpus), median(all[1].cpus),
                median(all[3].cpus));
    if (all.size() > 4)
        std::printf(" candidate_ms=%.1f candidate_ratio=%.3f candidate_cpu_us=%.1f",
                    median(all[4].times), median(all[4].ratios), median(all[4].cpus));
    std::printf("\n");
}

// ---- Hotkey latency ------------------------------------------------------------------

// The window the hotkeys move: ours, titled, in the foreground.
class Target {
public:
    Target() {
        driver::registerTargetClass(kTargetClass);
        const RECT& r = kTargetStart;
        window_ = CreateWindowExA(0, kTargetClass, "Bench target", WS_OVERLAPPEDWINDOW, r.left, r.top,
                                  r.right - r.left, r.bottom - r.top, nullptr, nullptr,
                                  GetModuleHandleA(nullptr), nullptr);
        ShowWindow(window_, SW_SHOWNORMAL);
        pumpFor(200);
    }
    ~Target() {
        DestroyWindow(window_);
        pump();
    }
    Target(const Target&) = delete;
    Target& operator=(const Target&) = delete;

    bool makeForeground() {
        const double end = nowMs() + 3000;
        while (GetForegroundWindow() != window_) {
            if (nowMs() > end) return false;
            SetForegroundWindow(window_);
            pumpFor(20);
        }
        return true;
    }

    // Back to the start, a pixel lower every other time: put back exactly where a step found it,
    // the window would look to Tabrin as if it had not taken that step yet.
    void reset() {
        lower_ = !lower_;
        SetWindowPos(window_, nullptr, kTargetStart.left, kTargetStart.top + (lower_ ? 1 : 0), 0, 0,
                     SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
        pump();
    }

    int left() const {
        RECT r;
        GetWindowRect(window_, &r);
        return r.left;
    }

    int top() const {
        RECT r;
        GetWindowRect(window_, &r);
        return r.top;
    }

    // Win+Ctrl+Right, then the wait until the window has moved; milliseconds, or < 0.
    double press() {
        const int before = left();
        const INPUT keys[] = {keyInput(VK_LWIN, false), keyInput(VK_CONTROL, false),
                              keyInput(VK_RIGHT, false), keyInput(VK_RIGHT, true),
                              keyInput(VK_CONTROL, true), keyInput(VK_LWIN, true)};
        const double start = nowMs();
        SendInput(6, const_cast<INPUT*>(keys), sizeof(INPUT));
        for (;;) {
            pump();
            if (left() != before) return nowMs() - start;
            const double waited = nowMs() - start;
            if (waited > 5000) return -1;
            MsgWaitForMultipleObjectsEx(0, nullptr, static_cast<DWORD>(5000 - waited) + 1,
                                        QS_ALLINPUT, MWMO_INPUTAVAILABLE);
        }
    }

private:
    HWND window_ = nullptr;
    bool lower_ = false;
};

// Adds the presses' milliseconds to `total`, and each press's own to `each`.
bool timePressesUnder(const std::string& exe, const char* className, Target& target, int presses,
                      std::vector<double>& each, double* total) {
    Program program(exe, className);
    if (!program.startReady()) return false;
    if (!target.makeForeground()) {
        error("the bench target window could not be brought to the foreground");
        return false;
    }
    constexpr int kWarmUpPresses = 3;
    for (int i = 0; i < presses + kWarmUpPresses; ++i) {
        const double ms = target.press();
        if (ms < 0) {
            error(exe + ": Win+Ctrl+Right did not move the foreground window within 5 s");
            return false;
        }
        target.reset();  // untimed: the window stays on the screen
        if (i < kWarmUpPresses) continue;
        each.push_back(ms);
        *total += ms;
    }
    return true;
}

// Chunks taking turns, as for the hook.
void benchHotkey() {
    Target target;
    const int chunks = std::max(1, options.presses / options.pressChunk);
    const int perChunk = options.presses / chunks;
    std::vector<double> tabrin, nullHotkey, ratios, tabrinEach, nullEach;
    for (int round = 0; round < options.rounds; ++round) {
        double t = 0, n = 0;
        for (int chunk = 0; chunk < chunks; ++chunk) {
            for (int turn = 0; turn < 2; ++turn) {
                const bool subject = (turn == 0) == ((round + chunk) % 2 == 0);
                bool ok = subject ? timePressesUnder(options.tabrin, kTabrinClass, target, perChunk,
                                                     tabrinEach, &t)
                                  : timePressesUnder(options.nullHotkey, kNullHotkeyClass, target,
                                                     perChunk, nullEach, &n);
                if (!ok) return;
            }
        }
        tabrin.push_back(t);
        nullHotkey.push_back(n);
        ratios.push_back(t / n);
        std::printf("ROUND hotkey %d tabrin_ms=%.1f null_hotkey_ms=%.1f ratio=%.3f\n", round + 1, t,
                    n, t / n);
        std::fflush(stdout);
    }
    std::printf("RESULT hotkey subject_ms=%.1f baseline_ms=%.1f ratio=%.3f subject_press_ms=%.3f "
                "baseline_press_ms=%.3f presses=%d\n",
                median(tabrin), median(nullHotkey), median(ratios), median(tabrinEach),
                median(nullEach), perChunk * chunks);
}

// ---- Gesture latency ----------------------------------------------------------------

// Milliseconds from the key-down of Win+Ctrl until a wheel turn has moved the foreground window:
// the time Tabrin takes to install its hook, plus the gesture; < 0 on failure. A wheel turn goes
// out every millisecond until one lands; those sent before the hook is in reach the target,
// which ignores them.
double gestureOnce(Target& target) {
    const int before = target.top();
    INPUT keys[] = {keyInput(VK_LWIN, false), keyInput(VK_CONTROL, false)};
    INPUT wheel = {};
    wheel.type = INPUT_MOUSE;
    wheel.mi.dwFlags = MOUSEEVENTF_WHEEL;
    wheel.mi.mouseData = WHEEL_DELTA;
    const double start = nowMs();
    SendInput(2, keys, sizeof(INPUT));
    double ms = -1;
    while (nowMs() - start < 5000) {
        SendInput(1, &wheel, sizeof wheel);
        pump();
        if (target.top() != before) {
            ms = nowMs() - start;
            break;
        }
        MsgWaitForMultipleObjectsEx(0, nullptr, 1, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
    }
    sendKeys({VK_LWIN, VK_CONTROL}, true);
    pumpFor(50);  // Tabrin removes its hook
    target.reset();
    return ms;
}

void benchGesture() {
    Target target;
    Program program(options.tabrin, kTabrinClass);
    if (!program.startReady()) return;
    if (!target.makeForeground()) {
        error("the bench target window could not be brought to the foreground");
        return;
    }
    gestureOnce(target);  // warm-up
    std::vector<double> each;
    for (int i = 0; i < options.gestures; ++i) {
        const double ms = gestureOnce(target);
        if (ms < 0) {
            error("Win+Ctrl + wheel did not move the foreground window within 5 s");
            return;
        }
        each.push_back(ms);
        if (i % 10 == 9) {
            std::printf("ROUND gesture %d median_ms=%.2f\n", i + 1, median(each));
            std::fflush(stdout);
        }
    }
    std::sort(each.begin(), each.end());
    std::printf("RESULT gesture median_ms=%.2f min_ms=%.2f max_ms=%.2f gestures=%d\n",
                median(each), each.front(), each.back(), options.gestures);
}

// ---- Start-up -------------------------------------------------------------------

// Win+Ctrl+Right is the last of Tabrin's hotkeys to be registered: once nobody else may take
// it, they all are. The probe holds the combination only for an instant; should Tabrin try it
// in that instant, its registration fails, the wait times out and the round is taken again.
bool winCtrlRightTaken() {
    if (!RegisterHotKey(nullptr, kProbeHotkeyId, MOD_WIN | MOD_CONTROL, VK_RIGHT)) return true;
    UnregisterHotKey(nullptr, kProbeHotkeyId);
    return false;
}

// Milliseconds from CreateProcess until the program's window exists (and, for Tabrin, its
// hotkeys are registered); < 0 on failure.
double timeStartup(const std::string& exe, const char* className, bool tabrin) {
    Program program(exe, className);
    const double start = nowMs();
    if (!program.start()) return -1;
    for (;;) {
        if (FindWindowA(className, nullptr) && (!tabrin || winCtrlRightTaken()))
            return nowMs() - start;
        if (nowMs() - start > kTimeoutMs || !program.running()) return -1;
        Sleep(1);
    }
}

void benchStartup() {
    // The first start of a program pays for the disk cache and Wine's loading: not counted.
    timeStartup(options.tabrin, kTabrinClass, true);
    timeStartup(options.minimal, kMinimalClass, false);
    std::vector<double> tabrin, minimal, ratios;
    int retries = 0;
    for (int round = 0; round < options.startups; ++round) {
        double t = 0, m = 0;
        for (int turn = 0; turn < 2; ++turn) {
            const bool subject = (turn == 0) == (round % 2 == 0);
            if (subject) {
                while ((t = timeStartup(options.tabrin, kTabrinClass, true)) < 0 && retries < 3)
                    ++retries;
            } else {
                m = timeStartup(options.minimal, kMinimalClass, false);
            }
        }
        if (t < 0 || m < 0) {
            error("start-up: a program did not come up within 10 s");
            return;
        }
        tabrin.push_back(t);
        minimal.push_back(m);
        ratios.push_back(t / m);
        std::printf("ROUND startup %d tabrin_ms=%.1f minimal_ms=%.1f ratio=%.3f\n", round + 1, t, m,
                    t / m);
        std::fflush(stdout);
    }
    std::printf("RESULT startup subject_ms=%.1f baseline_ms=%.1f ratio=%.3f retries=%d\n",
                median(tabrin), median(minimal), median(ratios), retries);
}

// ---- Edits of tabrin.ini ------------------------------------------------------------

bool taken(UINT modifiers, UINT vk) {
    if (!RegisterHotKey(nullptr, kProbeHotkeyId, modifiers, vk)) return true;
    UnregisterHotKey(nullptr, kProbeHotkeyId);
    return false;
}

bool writeFile(const std::string& path, const char* text) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) return false;
    std::fputs(text, file);
    return std::fclose(file) == 0;
}

// Writes tabrin.ini as an editor would; milliseconds from the close until Tabrin lets go of the
// combination the new text takes from it, < 0 on failure. Waiting for Tabrin to let go of one,
// never to take one, keeps the probe from colliding with its RegisterHotKey.
double timeEdit(const std::string& ini, const char* text, UINT modifiers, UINT vk) {
    if (!writeFile(ini, text)) return -1;
    const double start = nowMs();
    while (taken(modifiers, vk)) {
        if (nowMs() - start > kTimeoutMs) return -1;
        Sleep(1);
    }
    return nowMs() - start;
}

// Each round, two edits: centerkey=Win+Shift+F8 written (Tabrin lets go of Win+Ctrl+T), and taken
// out again (Tabrin lets go of Win+Shift+F8).
void benchReload(const std::string& ini) {
    const char withLine[] = "stepsize=20\r\ncenterkey=Win+Shift+F8\r\n";
    const char without[] = "stepsize=20\r\n";
    if (!writeFile(ini, without)) return error("cannot write " + ini);
    Program program(options.tabrin, kTabrinClass);
    if (!program.startReady()) return;
    Sleep(kSettleMs);
    std::vector<double> each;
    for (int round = 0; round < options.reloads; ++round) {
        const double in = timeEdit(ini, withLine, MOD_WIN | MOD_CONTROL, 'T');
        Sleep(kSettleMs);  // the reload's registrations done; and editors save less often
        const double out =
            in < 0 || !taken(MOD_WIN | MOD_SHIFT, VK_F8)
                ? -1 : timeEdit(ini, without, MOD_WIN | MOD_SHIFT, VK_F8);
        Sleep(kSettleMs);
        if (out < 0 || !taken(MOD_WIN | MOD_CONTROL, 'T'))
            return error("an edit of tabrin.ini did not come into force within 10 s");
        each.push_back(in);
        each.push_back(out);
        std::printf("ROUND reload %d line_in_ms=%.1f line_out_ms=%.1f\n", round + 1, in, out);
        std::fflush(stdout);
    }
    program.close();
    DeleteFileA(ini.c_str());  // the other measures run Tabrin with its defaults
    const double middle = median(each);
    std::sort(each.begin(), each.end());
    std::printf("RESULT reload median_ms=%.1f min_ms=%.1f max_ms=%.1f edits=%d\n", middle,
                each.front(), each.back(), static_cast<int>(each.size()));
}

// ---- Idle ------------------------------------------------------------------------

void benchIdle() {
    Program program(options.tabrin, kTabrinClass);
    if (!program.startReady()) return;
    Sleep(1000);  // let the start-up's last messages (the tray icon's) settle
    const ULONGLONG before = cpuTime(program.process());
    Sleep(static_cast<DWORD>(options.idleSeconds) * 1000);
    const ULONGLONG idle = cpuTime(program.process()) - before;
    // Proof that the measure sees Tabrin's work at all: with Win+Ctrl held, mouse moves go
    // through its hook.
    const ULONGLONG beforeWork = cpuTime(program.process());
    sendKeys({VK_LWIN, VK_CONTROL}, false);
    timeMoves(kBusyMoves);
    sendKeys({VK_LWIN, VK_CONTROL}, true);
    const ULONGLONG work = cpuTime(program.process()) - beforeWork;
    std::printf("RESULT idle cpu_100ns=%llu seconds=%d busy_cpu_100ns=%llu busy_moves=%d\n", idle,
                options.idleSeconds, work, kBusyMoves);
}

// ---- Main -------------------------------------------------------------------------

bool wanted(const char* name) {
    if (options.only.empty()) return true;
    return ("," + options.only + ",").find("," + std::string(name) + ",") != std::string::npos;
}

// A copy beside the others in the work folder: the same disk for every program, and no
// tabrin.ini, so Tabrin runs with its defaults.
std::string copyInto(const std::string& folder, const std::string& source, const char* name) {
    const std::string target = folder + "\\" + name;
    if (!CopyFileA(source.c_str(), target.c_str(), FALSE))
        error("cannot copy " + source + " (error " + std::to_string(GetLastError()) + ")");
    return target;
}

}  // namespace

int main(int argc, char** argv) {
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string name = argv[i], value = argv[i + 1];
        if (name == "--tabrin") options.tabrin = value;
        else if (name == "--null-hook") options.nullHook = value;
        else if (name == "--null-hotkey") options.nullHotkey = value;
        else if (name == "--minimal") options.minimal = value;
        else if (name == "--candidate") options.candidate = value;
        else if (name == "--rounds") options.rounds = std::atoi(value.c_str());
        else if (name == "--moves") options.moves = std::atoi(value.c_str());
        else if (name == "--chunk") options.chunk = std::max(1, std::atoi(value.c_str()));
        else if (name == "--presses") options.presses = std::atoi(value.c_str());
        else if (name == "--press-chunk") options.pressChunk = std::max(1, std::atoi(value.c_str()));
        else if (name == "--startups") options.startups = std::atoi(value.c_str());
        else if (name == "--gestures") options.gestures = std::max(1, std::atoi(value.c_str()));
        else if (name == "--reloads") options.reloads = std::max(1, std::atoi(value.c_str()));
        else if (name == "--idle-seconds") options.idleSeconds = std::atoi(value.c_str());
        else if (name == "--only") options.only = value;
        else {
            std::fprintf(stderr, "unknown option %s\n", name.c_str());
            return 2;
        }
    }
    if (options.tabrin.empty() || options.nullHook.empty() || options.nullHotkey.empty() ||
        options.minimal.empty()) {
        std::fprintf(stderr, "usage: tabrin_bench --tabrin X --null-hook X --null-hotkey X --minimal X\n");
        return 2;
    }

    char temp[MAX_PATH];
    GetTempPathA(MAX_PATH, temp);
    const std::string folder = std::string(temp) + "tabrin-bench-" + std::to_string(GetCurrentProcessId());
    CreateDirectoryA(folder.c_str(), nullptr);
    options.tabrin = copyInto(folder, options.tabrin, "tabrin.exe");
    options.nullHook = copyInto(folder, options.nullHook, "null_hook.exe");
    options.nullHotkey = copyInto(folder, options.nullHotkey, "null_hotkey.exe");
    options.minimal = copyInto(folder, options.minimal, "minimal_startup.exe");
    if (!options.candidate.empty()) {
        // In a folder of its own: Tabrin reads the tabrin.ini beside it.
        CreateDirectoryA((folder + "\\candidate").c_str(), nullptr);
        options.candidate = copyInto(folder + "\\candidate", options.candidate, "tabrin.exe");
    }

    if (!errors) {
        if (wanted("hook")) benchHook();
        if (wanted("hotkey")) benchHotkey();
        if (wanted("gesture")) benchGesture();
        if (wanted("startup")) benchStartup();
        if (wanted("reload")) benchReload(folder + "\\tabrin.ini");
        if (wanted("idle")) benchIdle();
    }

    for (const char* name : {"tabrin.exe", "tabrin.ini", "null_hook.exe", "null_hotkey.exe",
                             "minimal_startup.exe", "candidate\\tabrin.exe", "candidate\\tabrin.ini"})
        DeleteFileA((folder + "\\" + name).c_str());
    RemoveDirectoryA((folder + "\\candidate").c_str());
    RemoveDirectoryA(folder.c_str());
    std::printf("bench finished: %d error(s)\n", errors);
    return errors ? 1 : 0;
}
