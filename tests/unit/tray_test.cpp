// The tray icon, its menu tree and check marks, and what each command does to the settings file.
#include <gtest/gtest.h>

#include "control/mouse_hook.h"
#include "platform/session.h"
#include "settings/settings.h"
#include "simulated_desktop.h"
#include "test_support.h"
#include "tray/menus.h"
#include "tray/tray_icon.h"

using namespace platform;

namespace {

// Tabrin's hidden window and its tray, as bring-up leaves them, with the file in a temp folder.
struct TrayDesk : SimulatedDesktop {
    TempFolder folder;
    WindowHandle other = addWindow("Editor", {0, 0, 100, 100});

    explicit TrayDesk(const std::string& file = "") {
        modulePath = folder.file("tabrin.exe");
        if (!file.empty()) folder.write("tabrin.ini", file);
        mainWindow = addWindow("TabrIN", {0, 0, 0, 0}, false, "TabrINWndClass");
        windows[mainWindow].proc = [](WindowHandle, unsigned message, WParam, LParam) -> LResult {
            if (message == WM_CLOSE) PostQuitMessage(0);
            return 0;
        };
        focus(other);
        loadSettings();
        buildMenus();
        addTrayIcon();
        refreshMenuChecks();
    }

    // Opens the menu from the icon and picks the command.
    void choose(int command) {
        chooseFromMenu(command);
        onTrayMessage(kTrayIconId, WM_RBUTTONDOWN);
    }
    std::string file() const { return folder.read("tabrin.ini"); }
    bool closed() const { return !queue.empty() && queue.back().message == 0x0012; }
};

std::vector<std::string> labels(const SimulatedDesktop& desk, MenuHandle menu) {
    std::vector<std::string> out;
    for (const auto& item : desk.itemsOf(menu))
        out.push_back(item.flags & MF_SEPARATOR ? "-" : item.label);
    return out;
}

std::vector<unsigned> checked(const SimulatedDesktop& desk) {
    std::vector<unsigned> out;
    for (unsigned id : {1u, 2u, 3u, 4u, 5u, 6u, 7u, 8u, 9u, 10u, 20u, 21u, 23u, 24u, 25u, 26u})
        if (desk.isChecked(mainMenu, id)) out.push_back(id);
    return out;
}

}  // namespace

TEST(TrayMenu, TheTreeHasItsLabelsIdentifiersAndSeparators) {
    TrayDesk desk;
    EXPECT_EQ(labels(desk, mainMenu),
              (std::vector<std::string>{"Scroll/Resize", "Mouse Scroll", "-", "Settings", "-",
                                        "Help", "About...", "-", "Exit"}));
    const auto& main = desk.itemsOf(mainMenu);
    EXPECT_EQ(main[0].id, reinterpret_cast<std::uintptr_t>(stepMenu));
    EXPECT_EQ(main[1].id, reinterpret_cast<std::uintptr_t>(mouseMenu));
    EXPECT_EQ(main[3].id, reinterpret_cast<std::uintptr_t>(settingsMenu));
    for (int i : {0, 1, 3}) EXPECT_EQ(main[i].flags, MF_POPUP);
    EXPECT_EQ(main[5].id, 30u);
    EXPECT_EQ(main[6].id, 40u);
    EXPECT_EQ(main[8].id, 102u);

    EXPECT_EQ(labels(desk, stepMenu),
              (std::vector<std::string>{"1 px", "2 px", "3 px", "5 px", "10 px", "20 px", "30 px",
                                        "40 px", "50 px", "60 px"}));
    for (unsigned i = 0; i < 10; ++i) EXPECT_EQ(desk.itemsOf(stepMenu)[i].id, i + 1);
    EXPECT_EQ(labels(desk, settingsMenu),
              (std::vector<std::string>{"Invert Arrows", "Persistent PopUp",
                                        "Ignore Unnamed windows", "Confirm Exit"}));
    std::vector<std::uintptr_t> ids;
    for (const auto& item : desk.itemsOf(settingsMenu)) ids.push_back(item.id);
    EXPECT_EQ(ids, (std::vector<std::uintptr_t>{21, 23, 24, 20}));
    EXPECT_EQ(labels(desk, mouseMenu), (std::vector<std::string>{"Enabled", "Invert"}));
}

TEST(TrayMenu, CheckMarksFollowTheSettings) {
    {
        TrayDesk desk;
        EXPECT_EQ(checked(desk), (std::vector<unsigned>{6, 20, 24, 25, 26}));
    }
    {
        TrayDesk desk("stepsize=7\n");
        EXPECT_EQ(checked(desk), (std::vector<unsigned>{20, 24, 25, 26}));
        desk.choose(4);  // "5 px"
        EXPECT_EQ(checked(desk), (std::vector<unsigned>{4, 20, 24, 25, 26}));
    }
}

TEST(TrayCommands, EachChoiceIsSavedAtOnce) {
    struct Case {
        int command;
        const char* changedLine;
    };
    const Case cases[] = {
        {1, "stepsize=1"},          {3, "stepsize=3"},           {10, "stepsize=60"},
        {6, "stepsize=20"},  // the step already checked still rewrites the file
        {20, "confirmexit=0"},      {21, "invertarrows=1"},      {23, "persistentmenu=1"},
        {24, "ignoreunnamed=0"},    {25, "enablemousescroll=0"}, {26, "invertedmouse=0"},
    };
    for (const Case& c : cases) {
        TrayDesk desk;
        desk.choose(c.command);
        const std::string file = desk.file();
        EXPECT_NE(file.find(std::string(c.changedLine) + "\n"), std::string::npos)
            << c.command << ": " << file;
        EXPECT_EQ(std::count(file.begin(), file.end(), '\n'), 7) << c.command;
        EXPECT_EQ(desk.popups.size(), 1u);
    }
}

TEST(TrayCommands, DismissalHelpAndAboutWriteNothing) {
    TrayDesk desk;
    desk.choose(0);
    desk.choose(12345);  // no such command
    EXPECT_EQ(desk.file(), "<missing>");
    EXPECT_TRUE(desk.boxes.empty());

    desk.choose(30);
    desk.choose(40);
    EXPECT_EQ(desk.file(), "<missing>");
    ASSERT_EQ(desk.boxes.size(), 2u);
    EXPECT_EQ(desk.boxes[0].caption, ":: TabrIN Keys Help ::");
    EXPECT_EQ(desk.boxes[0].text,
              "Resize Window\t\tHOLD (WIN + ALT) + ARROWS\nScroll Window\t\tHOLD (WIN + CTRL) + "
              "ARROWS\nCenter Window\t\tHOLD (WIN + CTRL) + T\nHide Task Bar\t\tHOLD (WIN) + "
              "X\n\nIF MOUSE SCROLL IS CHECKED:\nScroll Up/Down\t\tHOLD (WIN + CTRL) + MOUSE "
              "WHEEL\n\t\t\tHOLD (WIN + ALT)  + LFT/RGT CLICK\n\nScroll Left/Right\t\tHOLD (WIN + "
              "ALT)  + MOUSE WHEEL\n\t\t\tHOLD (WIN + CTRL) + LFT/RGT CLICK\n");
    EXPECT_EQ(desk.boxes[1].caption, ":: About Tabrin ::");
    EXPECT_EQ(desk.boxes[1].text.substr(0, desk.boxes[1].text.find('\n') + 1), "Tabrin v0.35beta\n");
    EXPECT_EQ(std::count(desk.boxes[1].text.begin(), desk.boxes[1].text.end(), '\n'), 1);
    for (const auto& box : desk.boxes) {
        EXPECT_EQ(box.type, MB_OK);
        EXPECT_EQ(box.owner, nullptr);
    }
}

TEST(TrayCommands, EnabledSavesFirstThenSwitchesTheGestures) {
    TrayDesk desk;
    desk.hold({VK_LWIN, VK_MENU});  // a gesture under way: the hook is in place
    startMouseGestures();
    ASSERT_EQ(desk.hooksInstalled(), 1);
    desk.calls.clear();

    desk.choose(25);
    EXPECT_EQ(desk.hooksInstalled(), 0);
    EXPECT_EQ(desk.rawKeyboardTarget, nullptr);
    EXPECT_NE(desk.file().find("enablemousescroll=0\n"), std::string::npos);
    const std::vector<std::string> off = {"OpenFile wt", "RegisterRawInputDevices REMOVE",
                                          "UnhookWindowsHookEx"};
    ASSERT_GE(desk.calls.size(), 3u);
    EXPECT_EQ(std::vector<std::string>(desk.calls.begin(), desk.calls.begin() + 3), off);

    desk.calls.clear();
    desk.choose(25);  // still held: armed at once
    EXPECT_EQ(desk.hooksInstalled(), 1);
    EXPECT_EQ(desk.rawKeyboardTarget, mainWindow);
    EXPECT_NE(desk.file().find("enablemousescroll=1\n"), std::string::npos);
    const std::vector<std::string> on = {"OpenFile wt", "RegisterRawInputDevices",
                                         "SetWindowsHookExA"};
    ASSERT_GE(desk.calls.size(), 3u);
    EXPECT_EQ(std::vector<std::string>(desk.calls.begin(), desk.calls.begin() + 3), on);
}

TEST(TrayCommands, ExitAsksFirstOnlyWhenConfirmExitIsSet) {
    {
        TrayDesk desk;
        desk.answerBox(IDNO);
        desk.choose(102);
        ASSERT_EQ(desk.boxes.size(), 1u);
        EXPECT_EQ(desk.boxes[0].caption, "Quit Confirmation");
        EXPECT_EQ(desk.boxes[0].text, "Do you really want to Exit TabrIN?");
        EXPECT_EQ(desk.boxes[0].type, 0x50024u);
        EXPECT_FALSE(desk.closed());

        desk.answerBox(IDYES);
        desk.choose(102);
        EXPECT_TRUE(desk.closed());
    }
    {
        TrayDesk desk("confirmexit=0\n");
        desk.choose(102);
        EXPECT_TRUE(desk.boxes.empty());
        EXPECT_TRUE(desk.closed());
    }
}

TEST(TrayIcon, ButtonPressesOpenTheMenuAndEverythingElseGoesOn) {
    TrayDesk desk;
    desk.cursor = {1000, 700};
    EXPECT_EQ(onTrayMessage(kTrayIconId, WM_LBUTTONDOWN), 0);
    ASSERT_EQ(desk.popups.size(), 1u);
    EXPECT_EQ(desk.popups[0].menu, mainMenu);
    EXPECT_EQ(desk.popups[0].flags, 0x1A8u);
    EXPECT_EQ(desk.popups[0].x, 1000);
    EXPECT_EQ(desk.popups[0].y, 700);
    EXPECT_EQ(desk.popups[0].owner, mainWindow);
    EXPECT_EQ(desk.popups[0].foregroundAtOpen, mainWindow);

    for (unsigned message : {WM_LBUTTONUP, WM_RBUTTONUP, WM_LBUTTONDBLCLK, WM_MOUSEMOVE, WM_MBUTTONDOWN})
        onTrayMessage(kTrayIconId, message);
    EXPECT_EQ(desk.popups.size(), 1u);
    ASSERT_EQ(desk.defaultHandled.size(), 5u);
    EXPECT_EQ(desk.defaultHandled[0].message, kTrayCallbackMessage);
    EXPECT_EQ(desk.defaultHandled[0].lParam, WM_LBUTTONUP);

    EXPECT_EQ(onTrayMessage(4999, WM_RBUTTONDOWN), 0);  // not our icon
    EXPECT_EQ(desk.popups.size(), 1u);
}

TEST(TrayIcon, PersistentPopUpLeavesTheForegroundAlone) {
    TrayDesk desk("persistentmenu=1\n");
    onTrayMessage(kTrayIconId, WM_RBUTTONDOWN);
    ASSERT_EQ(desk.popups.size(), 1u);
    EXPECT_EQ(desk.popups[0].foregroundAtOpen, desk.other);
}

TEST(TrayIcon, TheIconCarriesItsFixedFields) {
    TrayDesk desk;
    ASSERT_EQ(desk.trayIcons.count(kTrayIconId), 1u);
    const NotifyIconData& icon = desk.trayIcons[kTrayIconId];
    EXPECT_EQ(icon.cbSize, 88u);
    EXPECT_EQ(icon.hWnd, mainWindow);
    EXPECT_EQ(icon.uFlags, 7u);
    EXPECT_EQ(icon.uCallbackMessage, 3025u);
    EXPECT_EQ(icon.hIcon, LoadIconA(instance, 102));
    EXPECT_STREQ(icon.szTip, "TabrIN");
    removeTrayIcon();
    EXPECT_TRUE(desk.trayIcons.empty());
}
