// The tray menu driven as a user would: the icon's callback message opens the
// popup, arrow keys and Enter choose; then the file, the boxes and the process;
// and edits of the file while Tabrin runs.
#include "mouse_input.h"

#include <shellapi.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>

using namespace e2e;

namespace {

constexpr UINT kTrayMessage = WM_USER + 2001;  // 3025
constexpr WPARAM kTrayIcon = 5000;
const POINT kClickAt = {700, 500};

// Arrow paths through a freshly opened menu, which starts with nothing selected:
// Scroll/Resize, Mouse Scroll, -, Settings, -, Help, About..., -, Exit.
const std::vector<WORD> kStep5 = {VK_DOWN, VK_RIGHT, VK_DOWN, VK_DOWN, VK_DOWN, VK_RETURN};
const std::vector<WORD> kMouseEnabled = {VK_DOWN, VK_DOWN, VK_RIGHT, VK_RETURN};
const std::vector<WORD> kMouseInvert = {VK_DOWN, VK_DOWN, VK_RIGHT, VK_DOWN, VK_RETURN};
const std::vector<WORD> kInvertArrows = {VK_DOWN, VK_DOWN, VK_DOWN, VK_RIGHT, VK_RETURN};
const std::vector<WORD> kIgnoreUnnamed = {VK_DOWN, VK_DOWN, VK_DOWN, VK_RIGHT,
                                          VK_DOWN, VK_DOWN, VK_RETURN};
const std::vector<WORD> kConfirmExit = {VK_DOWN, VK_DOWN, VK_DOWN, VK_RIGHT, VK_UP, VK_RETURN};
const std::vector<WORD> kHelp = {VK_UP, VK_UP, VK_UP, VK_RETURN};
const std::vector<WORD> kAbout = {VK_UP, VK_UP, VK_RETURN};
const std::vector<WORD> kExit = {VK_UP, VK_RETURN};
const std::vector<WORD> kDismiss = {VK_ESCAPE};

// The help box's text when Tabrin holds all ten combinations.
const char kHelpText[] =
    "Resize Window\t\tHOLD (WIN + ALT) + ARROWS\n"
    "Scroll Window\t\tHOLD (WIN + CTRL) + ARROWS\n"
    "Center Window\t\tHOLD (WIN + CTRL) + T\n"
    "Hide Task Bar\t\tHOLD (WIN) + X\n"
    "\n"
    "IF MOUSE SCROLL IS CHECKED:\n"
    "Scroll Up/Down\t\tHOLD (WIN + CTRL) + MOUSE WHEEL\n"
    "\t\t\tHOLD (WIN + ALT)  + LFT/RGT CLICK\n"
    "\n"
    "Scroll Left/Right\t\tHOLD (WIN + ALT)  + MOUSE WHEEL\n"
    "\t\t\tHOLD (WIN + CTRL) + LFT/RGT CLICK\n";

// The popup menus ("#32768") tabrin shows: the main menu, and a submenu when open.
std::vector<HWND> openMenus(DWORD pid) { return windowsOf(pid, "#32768", nullptr, true); }

void post(const Tabrin& tabrin, WPARAM icon, LPARAM mouseMessage) {
    SetCursorPos(kClickAt.x, kClickAt.y);
    PostMessageA(tabrin.mainWindow(), kTrayMessage, icon, mouseMessage);
}

HWND openMenu(const Tabrin& tabrin, LPARAM button = WM_RBUTTONDOWN) {
    post(tabrin, kTrayIcon, button);
    HWND menu = nullptr;
    if (!waitUntil([&] {
            std::vector<HWND> menus = openMenus(tabrin.pid());
            menu = menus.empty() ? nullptr : menus.front();
            return menu != nullptr;
        }, kTimeoutMs))
        fail("a popup menu (#32768) after message 3025 with a button down", "none");
    return menu;
}

void expectMenuClosed(const Tabrin& tabrin, const std::string& after) {
    if (!waitUntil([&] { return openMenus(tabrin.pid()).empty(); }, kTimeoutMs))
        fail("the menu closed after " + after, "it still open");
}

// Opens the menu, presses the keys, and waits for the menu to close.
void choose(const Tabrin& tabrin, const std::vector<WORD>& keys, const std::string& item) {
    openMenu(tabrin);
    for (WORD vk : keys) tapKey(vk);
    expectMenuClosed(tabrin, "choosing " + item);
}

std::string fileBytes(const TempDir& dir, const char* name) {
    return e2e::fileBytes(widen(dir.file(name)));
}

// The settings as the user has chosen them so far, and the file they must give.
struct Chosen {
    int stepsize = 20, confirmexit = 1, invertarrows = 0, persistentmenu = 0, ignoreunnamed = 1,
        enablemousescroll = 1, invertedmouse = 1;

    std::string file() const {
        char text[256];
        std::snprintf(text, sizeof text,
                      "stepsize=%d\r\nconfirmexit=%d\r\ninvertarrows=%d\r\npersistentmenu=%d\r\n"
                      "ignoreunnamed=%d\r\nenablemousescroll=%d\r\ninvertedmouse=%d\r\n",
                      stepsize, confirmexit, invertarrows, persistentmenu, ignoreunnamed,
                      enablemousescroll, invertedmouse);
        return text;
    }
};

void expectFile(const TempDir& dir, const std::string& expected, const std::string& after) {
    if (!waitUntil([&] { return fileBytes(dir, "tabrin.ini") == expected; }, kTimeoutMs))
        fail("tabrin.ini " + quoted(expected) + " after " + after,
             quoted(fileBytes(dir, "tabrin.ini")));
}

// The file is removed first, so that any rewrite shows.
void expectNoWrite(const Tabrin& tabrin, const TempDir& dir, const std::vector<WORD>& keys,
                   const std::string& item) {
    DeleteFileA(dir.file("tabrin.ini").c_str());
    choose(tabrin, keys, item);
    pumpFor(kSettleMs);
    if (dir.exists("tabrin.ini"))
        fail("no tabrin.ini written by " + item, quoted(fileBytes(dir, "tabrin.ini")));
}

MessageBoxSeen expectBox(const Tabrin& tabrin, const std::string& caption,
                         const std::string& text, const std::string& after) {
    MessageBoxSeen box = waitForMessageBox(tabrin.pid());
    if (box.caption != caption) fail("caption " + quoted(caption) + " after " + after, quoted(box.caption));
    if (!text.empty() && box.text != text)
        fail("text " + quoted(text) + " after " + after, quoted(box.text));
    return box;
}

void answer(HWND box, int button) {
    PostMessageA(box, WM_COMMAND, button, 0);
    if (!waitUntil([&] { return !IsWindow(box) || !IsWindowVisible(box); }, kTimeoutMs))
        fail("the box closed after answering it", "it still open");
}

}  // namespace

E2E_TABRIN_CASE("tray.menu_opens_on_button_down_only") {
    for (LPARAM button : {WM_RBUTTONDOWN, WM_LBUTTONDOWN}) {
        HWND menu = openMenu(tabrin, button);
        // Bottom-right aligned: the menu lies above and left of the pointer.
        RECT r = {};
        GetWindowRect(menu, &r);
        if (r.right != kClickAt.x || r.bottom != kClickAt.y)
            fail("the menu's bottom-right corner at " + str(kClickAt.x) + "," + str(kClickAt.y),
                 str(r));
        tapKey(VK_ESCAPE);
        expectMenuClosed(tabrin, "Escape");
    }
    // Releases, double-clicks, moves and another icon's identifier open nothing.
    const std::pair<WPARAM, LPARAM> ignored[] = {
        {kTrayIcon, WM_LBUTTONUP}, {kTrayIcon, WM_RBUTTONUP}, {kTrayIcon, WM_LBUTTONDBLCLK},
        {kTrayIcon, WM_MOUSEMOVE}, {kTrayIcon + 1, WM_RBUTTONDOWN}};
    for (const auto& message : ignored) post(tabrin, message.first, message.second);
    if (waitUntil([&] { return !openMenus(tabrin.pid()).empty(); }, kSettleMs))
        fail("no menu after releases, double-clicks, moves or icon 5001", "a menu");
    if (exeDir.exists("tabrin.ini")) fail("no tabrin.ini after dismissals", "one");
    tabrin.closeCleanly();
}

E2E_TABRIN_CASE("tray.choices_saved_at_once") {
    Chosen chosen;
    struct Step {
        const char* item;
        const std::vector<WORD>& keys;
        int Chosen::*field;
        int value;
    };
    const Step steps[] = {
        {"Scroll/Resize > 5 px", kStep5, &Chosen::stepsize, 5},
        {"Settings > Invert Arrows", kInvertArrows, &Chosen::invertarrows, 1},
        {"Settings > Ignore Unnamed windows", kIgnoreUnnamed, &Chosen::ignoreunnamed, 0},
        {"Mouse Scroll > Invert", kMouseInvert, &Chosen::invertedmouse, 0},
    };
    for (const Step& s : steps) {
        choose(tabrin, s.keys, s.item);
        chosen.*s.field = s.value;
        expectFile(exeDir, chosen.file(), s.item);
    }
    tabrin.closeCleanly();

    // The next start reads back what was chosen: Win+Ctrl+Right now goes 5 px left.
    Tabrin again;
    again.startReady(exeDir, cwd);
    TestWindow target("Step probe", rect(200, 150, 600, 450));
    target.makeForeground();
    pressCombo(kWin | kCtrl, VK_RIGHT);
    target.expectRect(rect(195, 150, 595, 450), "after Win+Ctrl+Right with the chosen settings");
    expectNoWrite(again, exeDir, kDismiss, "a dismissal (Escape)");
    again.closeCleanly();
}

E2E_TABRIN_CASE("tray.help_and_about_boxes") {
    choose(tabrin, kHelp, "Help");
    MessageBoxSeen box = expectBox(tabrin, ":: TabrIN Keys Help ::", kHelpText, "Help");
    answer(box.window, IDOK);

    choose(tabrin, kAbout, "About...");
    box = expectBox(tabrin, ":: About Tabrin ::", "", "About...");
    const std::string first = "Tabrin v0.35beta\n";
    const std::string credit = box.text.compare(0, first.size(), first) == 0
                                   ? box.text.substr(first.size()) : std::string();
    if (credit.empty() || credit.find('\n') != std::string::npos)
        fail("\"Tabrin v0.35beta\" then a one-line credit", quoted(box.text));
    answer(box.window, IDOK);

    pumpFor(kSettleMs);
    if (exeDir.exists("tabrin.ini")) fail("no tabrin.ini after Help and About", "one");
    if (!tabrin.running()) fail("tabrin running after the boxes closed", "it exited");
    tabrin.closeCleanly();
}

E2E_TABRIN_CASE("tray.exit_asks_no_keeps_yes_ends") {
    const char caption[] = "Quit Confirmation";
    const char text[] = "Do you really want to Exit TabrIN?";
    choose(tabrin, kExit, "Exit");
    answer(expectBox(tabrin, caption, text, "Exit").window, IDNO);
    if (waitUntil([&] { return !tabrin.running(); }, kSettleMs))
        fail("tabrin running after answering No", "it exited");
    // Still answering: the menu opens again.
    choose(tabrin, kExit, "Exit");
    answer(expectBox(tabrin, caption, text, "Exit again").window, IDYES);
    DWORD code = tabrin.waitExit();
    if (code != 0) fail("exit code 0 after answering Yes", str(static_cast<long>(code)));
}

E2E_TABRIN_CASE("tray.exit_without_confirmation") {
    choose(tabrin, kConfirmExit, "Settings > Confirm Exit");
    Chosen chosen;
    chosen.confirmexit = 0;
    expectFile(exeDir, chosen.file(), "Settings > Confirm Exit");
    openMenu(tabrin);
    tapKey(VK_UP);
    tapKey(VK_RETURN);
    DWORD code = tabrin.waitExit();
    if (code != 0) fail("exit code 0 after Exit without confirmation", str(static_cast<long>(code)));
}

E2E_TABRIN_CASE("tray.enabled_switches_the_hook") {
    const RECT start = rect(300, 250, 700, 550);
    TestWindow target("Wheel target", start);
    MouseSpy spy(target.handle());
    Chosen chosen;
    RECT expected = start;
    // Each round: switch through the menu, check the file, then turn the wheel.
    for (int enabled : {0, 1, 0}) {
        choose(tabrin, kMouseEnabled, "Mouse Scroll > Enabled");
        chosen.enablemousescroll = enabled;
        expectFile(exeDir, chosen.file(), "Mouse Scroll > Enabled");
        target.makeForeground();
        settlePointerAt(500, 400);
        spy.reset();
        {
            HeldKeys keys(kWin | kCtrl);
            sendMouse(MouseGesture::WheelForward);
        }
        const std::string state = enabled ? "on" : "off";
        if (enabled) {
            OffsetRect(&expected, 0, 20);
            target.expectRect(expected, "with mouse scrolling " + state + ", after Win+Ctrl + wheel the window");
            if (spy.count(WM_MOUSEWHEEL) != 0) fail("the wheel withheld", spy.summary());
        } else {
            waitUntil([&] { return spy.count(WM_MOUSEWHEEL) > 0; }, kTimeoutMs);
            if (spy.count(WM_MOUSEWHEEL) != 1)
                fail("WM_MOUSEWHEEL x1 with mouse scrolling " + state, spy.summary());
            target.expectUnchanged(expected, "with mouse scrolling " + state + " the window");
        }
    }
    tabrin.closeCleanly();
}

namespace {

std::string titleOf(HWND window) {
    char title[128] = "";
    GetWindowTextA(window, title, sizeof title);
    return window ? quoted(title) : "no window";
}

void expectInFront(const TestWindow& window, const std::string& after) {
    if (!waitUntil([&] { return GetForegroundWindow() == window.handle(); }, kTimeoutMs))
        fail("the user's window in front again after " + after,
             titleOf(GetForegroundWindow()) + " in front");
}

// Win+Ctrl+Right moves `window` by `step`; returns where it went.
RECT expectMovedRight(const TestWindow& window, RECT from, int step, const std::string& after) {
    pressCombo(kWin | kCtrl, VK_RIGHT);
    OffsetRect(&from, step, 0);
    window.expectRect(from, "after " + after + ", Win+Ctrl+Right moving the user's window");
    return from;
}

}  // namespace

E2E_TABRIN_CASE("tray.foreground_back_after_the_menu") {
    TestWindow editor("Editor in front", rect(200, 150, 600, 450));
    editor.makeForeground();
    RECT at = editor.rect();

    openMenu(tabrin);
    tapKey(VK_ESCAPE);
    expectMenuClosed(tabrin, "Escape");
    expectInFront(editor, "the menu was dismissed");
    at = expectMovedRight(editor, at, 20, "the menu was dismissed");

    choose(tabrin, kStep5, "Scroll/Resize > 5 px");
    expectInFront(editor, "choosing 5 px");
    at = expectMovedRight(editor, at, 5, "choosing 5 px");

    choose(tabrin, kAbout, "About...");
    answer(expectBox(tabrin, ":: About Tabrin ::", "", "About...").window, IDOK);
    expectInFront(editor, "the About box closed");
    at = expectMovedRight(editor, at, 5, "the About box closed");

    // Opened and closed over and over, the menu keeps opening and keeps handing the window back.
    for (int i = 0; i < 20; ++i) {
        openMenu(tabrin, i % 2 ? WM_LBUTTONDOWN : WM_RBUTTONDOWN);
        tapKey(VK_ESCAPE);
        expectMenuClosed(tabrin, "Escape, time " + str(i + 1));
        expectInFront(editor, "the menu was dismissed " + str(i + 1) + " times");
    }
    at = expectMovedRight(editor, at, 5, "20 menus in a row");

    // On Windows a click on the notification area puts the taskbar in front before the icon's
    // message arrives: the window to give back is the one below it.
    const HWND bar = taskbar();
    if (!waitUntil([&] { return SetForegroundWindow(bar), GetForegroundWindow() == bar; }, 3000))
        fail("the taskbar in front, as a click on it leaves it", titleOf(GetForegroundWindow()));
    openMenu(tabrin);
    tapKey(VK_ESCAPE);
    expectMenuClosed(tabrin, "Escape after a click on the taskbar");
    expectInFront(editor, "a click on the taskbar and the menu dismissed");
    expectMovedRight(editor, at, 5, "a click on the taskbar and the menu dismissed");
    tabrin.closeCleanly();
}

namespace {

// Holds a combination for this driver, as another program would, until destruction.
class HeldElsewhere {
public:
    HeldElsewhere(UINT modifiers, UINT vk) {
        // With and without MOD_NOREPEAT, in case a system tells the two apart.
        for (UINT extra : {0u, static_cast<UINT>(MOD_NOREPEAT)})
            if (RegisterHotKey(nullptr, 0x7000 + ids_, modifiers | extra, vk)) ++ids_;
        if (ids_ == 0) fail("the driver to hold the combination", "RegisterHotKey refused");
    }
    ~HeldElsewhere() {
        for (int i = 0; i < ids_; ++i) UnregisterHotKey(nullptr, 0x7000 + i);
    }
    HeldElsewhere(const HeldElsewhere&) = delete;
    HeldElsewhere& operator=(const HeldElsewhere&) = delete;

private:
    int ids_ = 0;
};

}  // namespace

E2E_CASE("tray.help_names_a_combination_held_elsewhere") {
    const HeldElsewhere winX(MOD_WIN, 'X');
    TempDir exeDir, cwd;
    Tabrin tabrin;
    tabrin.startReady(exeDir, cwd);
    choose(tabrin, kHelp, "Help");
    const std::string help =
        std::string(kHelpText) + "\nNot available (used by another program): WIN + X\n"
                                 "Other keys can be chosen in tabrin.ini (see README.txt).\n";
    answer(expectBox(tabrin, ":: TabrIN Keys Help ::", help, "Help").window, IDOK);

    // The other nine are Tabrin's and work.
    const struct {
        unsigned modifiers;
        WORD vk;
    } nine[] = {{kWin | kCtrl, 'T'},     {kWin | kAlt, VK_UP},     {kWin | kAlt, VK_DOWN},
                {kWin | kAlt, VK_LEFT},  {kWin | kAlt, VK_RIGHT},  {kWin | kCtrl, VK_UP},
                {kWin | kCtrl, VK_DOWN}, {kWin | kCtrl, VK_LEFT},  {kWin | kCtrl, VK_RIGHT}};
    // Off-centre, so centring shows; each combination changes what the one before left.
    TestWindow target("Nine combinations", rect(130, 110, 530, 410));
    for (const auto& combo : nine) {
        const RECT before = target.rect();
        target.makeForeground();
        pressCombo(combo.modifiers, combo.vk);
        if (!waitUntil([&] { return target.rect() != before; }, kTimeoutMs))
            fail(comboName(combo.modifiers, combo.vk) + " to act on the window", str(target.rect()));
    }
    tabrin.closeCleanly();
}

E2E_CASE("tray.chosen_keys_get_round_a_combination_held_elsewhere") {
    HWND bar = taskbar();
    if (!bar || !IsWindowVisible(bar)) fail("a visible Shell_TrayWnd", "none");
    const HeldElsewhere winX(MOD_WIN, 'X');
    TempDir exeDir, cwd;
    exeDir.write("tabrin.ini", "taskbarkey=Win+Shift+X\r\n");
    Tabrin tabrin;
    tabrin.startReady(exeDir, cwd);
    choose(tabrin, kHelp, "Help");
    const std::string help = std::string(
        "Center Window\t\tWIN + CTRL + T\nHide Task Bar\t\tWIN + SHIFT + X\n"
        "Shorter\t\tWIN + ALT + UP\nTaller\t\tWIN + ALT + DOWN\nNarrower\t\tWIN + ALT + LEFT\n"
        "Wider\t\tWIN + ALT + RIGHT\nMove Up\t\tWIN + CTRL + UP\nMove Down\t\tWIN + CTRL + DOWN\n"
        "Move Left\t\tWIN + CTRL + LEFT\nMove Right\t\tWIN + CTRL + RIGHT\n") +
        std::strstr(kHelpText, "\nIF MOUSE");
    answer(expectBox(tabrin, ":: TabrIN Keys Help ::", help, "Help").window, IDOK);

    for (bool shown : {false, true}) {
        pressCombo(kWin | kShift, 'X');
        if (!waitUntil([&] { return (IsWindowVisible(bar) != FALSE) == shown; }, kTimeoutMs))
            fail(std::string("Win+Shift+X to ") + (shown ? "show" : "hide") + " the taskbar",
                 shown ? "it hidden" : "it visible");
    }
    tabrin.closeCleanly();
}

E2E_TABRIN_CASE("tray.chosen_key_acts_and_survives_a_save", "widerkey=Ctrl+Alt+F9\r\n") {
    TestWindow target("Chosen key", rect(100, 100, 500, 400));
    target.makeForeground();
    pressCombo(kCtrl | kAlt, VK_F9);
    target.expectRect(rect(100, 100, 520, 400), "after Ctrl+Alt+F9 the window");

    choose(tabrin, kStep5, "Scroll/Resize > 5 px");
    Chosen chosen;
    chosen.stepsize = 5;
    expectFile(exeDir, chosen.file() + "widerkey=Ctrl+Alt+F9\r\n", "choosing 5 px");
    tabrin.closeCleanly();
}

namespace {

// Whether another program (Tabrin) holds the combination: the driver cannot register it.
bool taken(UINT modifiers, UINT vk) {
    if (!RegisterHotKey(nullptr, 0x7100, modifiers, vk)) return true;
    UnregisterHotKey(nullptr, 0x7100);
    return false;
}

// An edit is in force once Tabrin lets go of a combination the edit took from it. Waiting for
// one to be taken instead could collide with Tabrin's own RegisterHotKey.
void expectLetGo(UINT modifiers, UINT vk, const char* name, const std::string& after) {
    if (!waitUntil([&] { return !taken(modifiers, vk); }, kTimeoutMs))
        fail(std::string(name) + " let go by Tabrin after " + after, "it still taken");
    pumpFor(100);  // the reload registers the combinations it keeps right after
}

void expectStep(int step, const std::string& after) {
    const TestWindow probe("Step probe", rect(200, 150, 600, 450));
    probe.makeForeground();
    expectMovedRight(probe, probe.rect(), step, after);
}

}  // namespace

E2E_TABRIN_CASE("tray.edit_applies_without_a_restart") {
    const std::string edit = "stepsize=7\r\ncenterkey=Win+Shift+F8\r\n";
    exeDir.write("tabrin.ini", edit);
    expectLetGo(MOD_WIN | MOD_CONTROL, 'T', "Win+Ctrl+T", "centerkey=Win+Shift+F8 was written");
    expectStep(7, "stepsize=7 was written");
    const TestWindow target("Chosen key", rect(130, 110, 530, 410));
    target.makeForeground();
    pressCombo(kWin | kShift, VK_F8);
    const RECT d = desktopRect();
    const LONG x = (d.right - 400) / 2, y = (d.bottom - 300) / 2;
    target.expectRect(rect(x, y, x + 400, y + 300), "after Win+Shift+F8 the window centred");
    if (fileBytes(exeDir, "tabrin.ini") != edit)
        fail("tabrin.ini left as written", quoted(fileBytes(exeDir, "tabrin.ini")));
    tabrin.closeCleanly();
}

E2E_TABRIN_CASE("tray.edit_then_menu_change_keeps_both") {
    openMenu(tabrin);
    // Written while the menu is open: the menu's save comes before Tabrin can reload.
    exeDir.write("tabrin.ini", "stepsize=7\r\nwiderkey=Ctrl+Alt+F9\r\n");
    for (WORD vk : kInvertArrows) tapKey(vk);
    expectMenuClosed(tabrin, "choosing Settings > Invert Arrows");
    Chosen chosen;
    chosen.stepsize = 7;
    chosen.invertarrows = 1;
    expectFile(exeDir, chosen.file() + "widerkey=Ctrl+Alt+F9\r\n", "an edit, then Invert Arrows");
    expectStep(-7, "an edit, then Invert Arrows");
    tabrin.closeCleanly();
}

E2E_TABRIN_CASE("tray.edit_saved_by_rename", "stepsize=3\r\n") {
    exeDir.write("tabrin.ini.new", "stepsize=7\r\nmoveleftkey=off\r\n");
    if (!MoveFileExA(exeDir.file("tabrin.ini.new").c_str(), exeDir.file("tabrin.ini").c_str(),
                     MOVEFILE_REPLACE_EXISTING))
        fail("tabrin.ini.new renamed over tabrin.ini", "error " + str(GetLastError()));
    expectLetGo(MOD_WIN | MOD_CONTROL, VK_LEFT, "Win+Ctrl+Left", "a rename over tabrin.ini");
    expectStep(7, "a rename over tabrin.ini");
    tabrin.closeCleanly();
}

E2E_TABRIN_CASE("tray.edit_held_by_its_writer_applies_once_let_go") {
    const std::string edit = "stepsize=7\r\nmoveleftkey=off\r\n";
    // A writer that keeps the file open for a moment after writing, without read sharing.
    const HANDLE writer = CreateFileA(exeDir.file("tabrin.ini").c_str(), GENERIC_WRITE, 0, nullptr,
                                      CREATE_ALWAYS, 0, nullptr);
    DWORD written = 0;
    if (writer == INVALID_HANDLE_VALUE ||
        !WriteFile(writer, edit.data(), static_cast<DWORD>(edit.size()), &written, nullptr))
        fail("tabrin.ini written and held", "error " + str(GetLastError()));
    pumpFor(500);
    CloseHandle(writer);
    expectLetGo(MOD_WIN | MOD_CONTROL, VK_LEFT, "Win+Ctrl+Left", "the writer let go");
    expectStep(7, "the writer let go");
    tabrin.closeCleanly();
}

E2E_TABRIN_CASE("tray.exit_while_the_file_is_held_keeps_the_change", "confirmexit=0\r\n") {
    // Held without write or delete sharing, as a sync client or a virus scanner may.
    const HANDLE held = CreateFileA(exeDir.file("tabrin.ini").c_str(), GENERIC_READ,
                                    FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (held == INVALID_HANDLE_VALUE) fail("tabrin.ini held open", "error " + str(GetLastError()));
    choose(tabrin, kStep5, "Scroll/Resize > 5 px");
    choose(tabrin, kExit, "Exit");
    pumpFor(700);
    CloseHandle(held);
    const DWORD code = tabrin.waitExit();
    if (code != 0) fail("exit code 0 after Exit", str(static_cast<long>(code)));
    Chosen chosen;
    chosen.stepsize = 5;
    chosen.confirmexit = 0;
    if (fileBytes(exeDir, "tabrin.ini") != chosen.file())
        fail("tabrin.ini " + quoted(chosen.file()) + " after Exit and the file let go",
             quoted(fileBytes(exeDir, "tabrin.ini")));
}

namespace {

// A stand-in for a busy notification area: a window of the shell's class, found before the
// real one, that refuses the first adds as a shell still starting up would. Wine's
// Shell_NotifyIcon hands the icon to the first "Shell_TrayWnd" window with WM_COPYDATA.
class BusyShell {
public:
    struct Call {
        DWORD message;  // NIM_ADD, NIM_MODIFY, NIM_DELETE
        DWORD at;       // GetTickCount
        HWND owner;
        UINT id, callback;
    };

    explicit BusyShell(int refusals) : refusals_(refusals) {
        WNDCLASSA wc = {};
        wc.lpfnWndProc = proc;
        wc.hInstance = GetModuleHandleA(nullptr);
        wc.lpszClassName = "Shell_TrayWnd";
        RegisterClassA(&wc);
        window_ = CreateWindowExA(WS_EX_TOPMOST | WS_EX_TOOLWINDOW, "Shell_TrayWnd", "", WS_POPUP,
                                  0, 0, 1, 1, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
        current_ = this;
        if (!window_ || FindWindowA("Shell_TrayWnd", nullptr) != window_)
            fail("the stand-in shell found first", "the real one");
    }
    ~BusyShell() {
        DestroyWindow(window_);
        UnregisterClassA("Shell_TrayWnd", GetModuleHandleA(nullptr));
        current_ = nullptr;
        pump();
    }
    BusyShell(const BusyShell&) = delete;
    BusyShell& operator=(const BusyShell&) = delete;

    const std::vector<Call>& calls() const { return calls_; }
    size_t count(DWORD message) const {
        size_t n = 0;
        for (const Call& c : calls_) n += c.message == message;
        return n;
    }
    void forgetIcons() { shown_ = false; }  // as a restarted shell knows none
    std::string summary() const {
        std::string out;
        const char* names[] = {"ADD", "MODIFY", "DELETE"};
        for (const Call& c : calls_)
            out += std::string(out.empty() ? "" : ", ") + (c.message < 3 ? names[c.message] : "?") +
                   "@" + str(static_cast<long>(c.at - calls_.front().at));
        return out.empty() ? "none" : out;
    }

private:
    static LRESULT CALLBACK proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
        if (message != WM_COPYDATA || !current_)
            return DefWindowProcA(window, message, wParam, lParam);
        const auto* data = reinterpret_cast<const COPYDATASTRUCT*>(lParam);
        const auto* fields = static_cast<const std::uint32_t*>(data->lpData);  // hWnd, uID, uFlags, uCallbackMessage
        BusyShell& shell = *current_;
        shell.calls_.push_back(Call{static_cast<DWORD>(data->dwData), GetTickCount(),
                                    reinterpret_cast<HWND>(static_cast<LONG_PTR>(static_cast<LONG>(fields[0]))),
                                    fields[1], fields[3]});
        switch (data->dwData) {
        case NIM_ADD:
            if (shell.refusals_ > 0) return --shell.refusals_, FALSE;
            if (shell.shown_) return FALSE;
            shell.shown_ = true;
            return TRUE;
        case NIM_MODIFY: return shell.shown_;
        case NIM_DELETE: {
            const BOOL was = shell.shown_;
            shell.shown_ = false;
            return was;
        }
        }
        return FALSE;
    }

    static BusyShell* current_;
    HWND window_ = nullptr;
    int refusals_;
    bool shown_ = false;
    std::vector<Call> calls_;
};

BusyShell* BusyShell::current_ = nullptr;

}  // namespace

E2E_CASE("tray.icon_retried_while_the_shell_is_busy") {
    BusyShell shell(2);
    TempDir exeDir, cwd;
    Tabrin tabrin;
    tabrin.startReady(exeDir, cwd);
    if (!waitUntil([&] { return shell.count(NIM_ADD) >= 3; }, 10000))
        fail("three adds of the icon, two refused, within 10 s", shell.summary());
    pumpFor(3000);  // a fourth try would come 2 s after the third
    std::vector<BusyShell::Call> adds;
    for (const BusyShell::Call& c : shell.calls())
        if (c.message == NIM_ADD) adds.push_back(c);
    if (adds.size() != 3 || shell.count(NIM_MODIFY) > 3)
        fail("the retries to stop once the icon is in: ADD x3", shell.summary());
    for (size_t i = 1; i < adds.size(); ++i) {
        const DWORD gap = adds[i].at - adds[i - 1].at;
        if (gap < 1500 || gap > 3500) fail("about 2000 ms between tries", shell.summary());
    }
    const BusyShell::Call& in = adds.back();
    if (in.owner != tabrin.mainWindow() || in.id != 5000 || in.callback != WM_USER + 2001)
        fail("icon 5000 of the main window reporting through message 3025",
             "icon " + str(static_cast<long>(in.id)) + ", message " + str(static_cast<long>(in.callback)));

    // Explorer restarted: the new shell knows no icon, and says so with "TaskbarCreated".
    shell.forgetIcons();
    PostMessageA(tabrin.mainWindow(), RegisterWindowMessageA("TaskbarCreated"), 0, 0);
    if (!waitUntil([&] { return shell.count(NIM_ADD) == 4; }, kTimeoutMs))
        fail("the icon added again after \"TaskbarCreated\"", shell.summary());
    tabrin.closeCleanly();
    if (shell.count(NIM_DELETE) != 1) fail("the icon deleted at exit", shell.summary());
}

E2E_CASE("tray.icon_has_an_image_for_each_small_size") {
    // The executable's own resources, read as data: the icon group the tray icon comes from.
    HMODULE module = LoadLibraryExA(gTabrinExe.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    if (!module) fail("tabrin.exe loaded as data", "error " + str(GetLastError()));
    struct Release {
        HMODULE m;
        ~Release() { FreeLibrary(m); }
    } release{module};
    auto resource = [&](int id, int type, DWORD* length) -> BYTE* {
        HRSRC found = FindResourceA(module, MAKEINTRESOURCEA(id), MAKEINTRESOURCEA(type));
        if (length) *length = found ? SizeofResource(module, found) : 0;
        return found ? static_cast<BYTE*>(LockResource(LoadResource(module, found))) : nullptr;
    };
    BYTE* group = resource(102, 14, nullptr);  // RT_GROUP_ICON
    if (!group) fail("icon group 102", "none");
    // 100, 125, 150 and 200 per cent.
    for (int size : {16, 20, 24, 32}) {
        // The image the system picks for this size, as LoadImage would, must be of this size.
        const int id = LookupIconIdFromDirectoryEx(group, TRUE, size, size, LR_DEFAULTCOLOR);
        DWORD length = 0;
        BYTE* image = resource(id, 3, &length);  // RT_ICON
        if (!image || length < 24) fail("the image picked for " + str(size) + " px", "none");
        const bool png = std::memcmp(image, "\x89PNG", 4) == 0;
        const long width = png ? (image[16] << 24 | image[17] << 16 | image[18] << 8 | image[19])
                               : *reinterpret_cast<const LONG*>(image + 4);
        if (width != size)
            fail("an image of " + str(size) + " px picked for " + str(size) + " px, not stretched",
                 "one of " + str(width) + " px");

        // It decodes, and drawn on white it shows a transparent corner and the window's body.
        HICON icon = CreateIconFromResourceEx(image, length, TRUE, 0x00030000, size, size,
                                              LR_DEFAULTCOLOR);
        if (!icon) fail("the " + str(size) + " px image decoded", "error " + str(GetLastError()));
        BITMAPINFO info = {};
        info.bmiHeader.biSize = sizeof info.bmiHeader;
        info.bmiHeader.biWidth = size;
        info.bmiHeader.biHeight = -size;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        void* bits = nullptr;
        HDC dc = CreateCompatibleDC(nullptr);
        HBITMAP bitmap = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
        HGDIOBJ old = SelectObject(dc, bitmap);
        std::fill_n(static_cast<DWORD*>(bits), size * size, 0x00FFFFFFu);
        DrawIconEx(dc, 0, 0, icon, size, size, 0, nullptr, DI_NORMAL);
        GdiFlush();
        const DWORD* pixels = static_cast<const DWORD*>(bits);
        const DWORD corner = pixels[0] & 0xFFFFFF;
        const DWORD middle = pixels[(size / 2 + 1) * size + size / 2] & 0xFFFFFF;
        SelectObject(dc, old);
        DeleteObject(bitmap);
        DeleteDC(dc);
        DestroyIcon(icon);
        if (corner != 0xFFFFFF || middle != 0xFAFAFA)
            fail("at " + str(size) + " px a transparent corner and the body colour FAFAFA in the middle",
                 "corner " + str(static_cast<long>(corner)) + ", middle " + str(static_cast<long>(middle)));
    }
}
