// The tray menu driven as a user would: the icon's callback message opens the
// popup, arrow keys and Enter choose; then the file, the boxes and the process.
#include "mouse_input.h"

#include <cstdio>

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

struct WindowsOfClass {
    DWORD pid;
    const char* className;
    std::vector<HWND> found;
};

BOOL CALLBACK collectVisible(HWND window, LPARAM param) {
    auto* q = reinterpret_cast<WindowsOfClass*>(param);
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    char cls[64] = "";
    GetClassNameA(window, cls, sizeof cls);
    if (pid == q->pid && lstrcmpA(cls, q->className) == 0 && IsWindowVisible(window))
        q->found.push_back(window);
    return TRUE;
}

// The popup menus ("#32768") tabrin shows: the main menu, and a submenu when open.
std::vector<HWND> openMenus(DWORD pid) {
    WindowsOfClass q{pid, "#32768", {}};
    EnumWindows(collectVisible, reinterpret_cast<LPARAM>(&q));
    return q.found;
}

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

E2E_CASE("tray.menu_opens_on_button_down_only") {
    TempDir exeDir, cwd;
    Tabrin tabrin;
    tabrin.startReady(exeDir, cwd);
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

E2E_CASE("tray.choices_saved_at_once") {
    TempDir exeDir, cwd;
    Tabrin tabrin;
    tabrin.startReady(exeDir, cwd);
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

E2E_CASE("tray.help_and_about_boxes") {
    TempDir exeDir, cwd;
    Tabrin tabrin;
    tabrin.startReady(exeDir, cwd);
    const std::string help =
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
    choose(tabrin, kHelp, "Help");
    MessageBoxSeen box = expectBox(tabrin, ":: TabrIN Keys Help ::", help, "Help");
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

E2E_CASE("tray.exit_asks_no_keeps_yes_ends") {
    TempDir exeDir, cwd;
    Tabrin tabrin;
    tabrin.startReady(exeDir, cwd);
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

E2E_CASE("tray.exit_without_confirmation") {
    TempDir exeDir, cwd;
    Tabrin tabrin;
    tabrin.startReady(exeDir, cwd);
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

E2E_CASE("tray.enabled_switches_the_hook") {
    TempDir exeDir, cwd;
    Tabrin tabrin;
    tabrin.startReady(exeDir, cwd);
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
