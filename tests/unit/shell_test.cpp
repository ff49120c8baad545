// Start-up, the single-copy guard, the routing of the main window's messages and the shut-down.
#include <gtest/gtest.h>

#include "app/shell.h"
#include "control/mouse_hook.h"
#include "platform/session.h"
#include "settings/settings.h"
#include "simulated_desktop.h"
#include "test_support.h"
#include "tray/tray_icon.h"

using namespace platform;

namespace {

const char kClass[] = "TabrINWndClass";
const char kAlreadyRunning[] = "Tabrin is already running.\nClose the current instance first.";

// The calls of interest, with each run of check-mark updates folded into one "checks".
std::vector<std::string> lifecycle(const std::vector<std::string>& calls) {
    std::vector<std::string> out;
    for (const std::string& call : calls) {
        const bool check = call.rfind("CheckMenuItem", 0) == 0;
        if (check && !out.empty() && out.back() == "checks") continue;
        out.push_back(check ? "checks" : call);
    }
    return out;
}

}  // namespace

TEST(Shell, BringsEverythingUpInOrderAndTakesItDownOnClose) {
    DeskWithFolder desk;
    desk.postToClass(kClass, WM_CLOSE);

    EXPECT_EQ(runTabrin(reinterpret_cast<InstanceHandle>(0x400000)), 0);
    EXPECT_FALSE(desk.records.loopStarved);

    const std::vector<std::string> expected = {
        "OpenFile rb", "OpenFile rb",  // no tabrin.ini, nor a tabrin.ini.tmp left in its place
        "RegisterHotKey 30", "RegisterHotKey 20", "RegisterHotKey 11", "RegisterHotKey 12",
        "RegisterHotKey 13", "RegisterHotKey 14", "RegisterHotKey 1", "RegisterHotKey 2",
        "RegisterHotKey 4", "RegisterHotKey 3",
        "RegisterRawInputDevices",  // the hook itself waits for Win+Ctrl or Win+Alt
        "CreatePopupMenu", "CreatePopupMenu", "CreatePopupMenu", "CreatePopupMenu",
        "Shell_NotifyIconA ADD",
        "checks",
        "FindFirstChangeNotification",  // edits of tabrin.ini apply while it runs
        "UnregisterHotKey 30", "UnregisterHotKey 20", "UnregisterHotKey 11",
        "UnregisterHotKey 12", "UnregisterHotKey 13", "UnregisterHotKey 14",
        "UnregisterHotKey 1", "UnregisterHotKey 2", "UnregisterHotKey 4", "UnregisterHotKey 3",
        "RegisterRawInputDevices REMOVE",
        "Shell_NotifyIconA DELETE",
        "FindCloseChangeNotification",
        "PostQuitMessage",
    };
    EXPECT_EQ(lifecycle(desk.records.calls), expected);

    // Everything given back; the window itself stays hidden and is never destroyed.
    EXPECT_TRUE(desk.hotkeys.empty());
    EXPECT_EQ(desk.hooksInstalled(), 0);
    EXPECT_EQ(desk.rawKeyboardTarget, nullptr);
    EXPECT_TRUE(desk.trayIcons.empty());
    WindowHandle window = desk.findWindow(kClass, "TabrIN");
    ASSERT_NE(window, nullptr);
    EXPECT_FALSE(desk.visible(window));
    EXPECT_FALSE(desk.folder.exists("tabrin.ini"));  // nothing written at start or exit
}

TEST(Shell, ASecondCopyIsRefusedWithItsBox) {
    for (bool race : {false, true}) {
        SimulatedDesktop desk;
        if (race) desk.faults.mutexRace = true;  // both copies passed the first test at once
        else desk.mutexes.insert("TabrinInstanceMutex");

        EXPECT_EQ(runTabrin(nullptr), 0);
        ASSERT_EQ(desk.records.boxes.size(), 1u) << "race " << race;
        EXPECT_EQ(desk.records.boxes[0].caption, "Error");
        EXPECT_EQ(desk.records.boxes[0].text, kAlreadyRunning);
        EXPECT_EQ(desk.records.boxes[0].type, MB_OK);
        EXPECT_EQ(desk.records.boxes[0].owner, nullptr);
        EXPECT_EQ(desk.findWindow(kClass, "TabrIN"), nullptr) << "race " << race;
        EXPECT_TRUE(desk.hotkeys.empty());
    }
}

TEST(Shell, StartUpFailuresEndWithoutWaiting) {
    {
        SimulatedDesktop desk;
        desk.faults.failRegisterClass = true;
        EXPECT_EQ(runTabrin(nullptr), 0);
        ASSERT_EQ(desk.records.boxes.size(), 1u);
        EXPECT_EQ(desk.records.boxes[0].caption, "Error");
        EXPECT_EQ(desk.records.boxes[0].text, "Error Registering Window Class");
    }
    {
        SimulatedDesktop desk;
        desk.faults.failCreateWindow = true;
        EXPECT_EQ(runTabrin(nullptr), 0);
        EXPECT_FALSE(desk.records.loopStarved);  // it never entered a loop nothing could end
        EXPECT_TRUE(desk.records.boxes.empty());
    }
}

TEST(Shell, RoutesCommandsAndUnknownMessages) {
    SimulatedDesktop desk;
    desk.postToClass(kClass, WM_COMMAND, 7);        // not ours: default handling, still running
    desk.postToClass(kClass, 0x0400 + 77, 5, 6);    // unknown message: default handling
    desk.postToClass(kClass, WM_COMMAND, 0x10002);  // IDCANCEL in the low word closes

    EXPECT_EQ(runTabrin(nullptr), 0);
    ASSERT_EQ(desk.records.defaultHandled.size(), 2u);
    EXPECT_EQ(desk.records.defaultHandled[0].message, WM_COMMAND);
    EXPECT_EQ(desk.records.defaultHandled[0].wParam, 7u);
    EXPECT_EQ(desk.records.defaultHandled[1].message, 0x0400u + 77);
    EXPECT_EQ(desk.records.defaultHandled[1].lParam, 6);
    EXPECT_TRUE(desk.trayIcons.empty());
    EXPECT_TRUE(desk.hotkeys.empty());
    EXPECT_FALSE(desk.records.loopStarved);  // it ended on the quit message
}

TEST(Shell, SettingsFromTheFileSteerTheBringUp) {
    DeskWithFolder desk;
    desk.folder.write("tabrin.ini", "enablemousescroll=0\n");
    desk.postToClass(kClass, WM_CLOSE);

    runTabrin(nullptr);
    for (const std::string& call : desk.records.calls) {
        EXPECT_NE(call, "SetWindowsHookExA");
        EXPECT_NE(call, "RegisterRawInputDevices");
    }
    EXPECT_EQ(desk.folder.read("tabrin.ini"), "enablemousescroll=0\n");
}

TEST(Shell, TheTrayIconComesBackWhenExplorerRestarts) {
    SimulatedDesktop desk;
    runTabrin(nullptr);  // the loop ends at once: nothing is queued
    ASSERT_EQ(desk.trayIcons.size(), 1u);

    desk.restartExplorer();
    ASSERT_EQ(desk.trayIcons.size(), 1u);
    const NotifyIconData& icon = desk.trayIcons.begin()->second;
    EXPECT_EQ(icon.uID, kTrayIconId);
    EXPECT_EQ(icon.uCallbackMessage, kTrayCallbackMessage);
    EXPECT_EQ(icon.hWnd, mainWindow);
}

TEST(Shell, TheLoopWakesForAnEditOfTheSettingsFile) {
    static DeskWithFolder* notepadsDesk = nullptr;
    DeskWithFolder desk;
    notepadsDesk = &desk;
    const WindowHandle notepad = desk.addWindow("tabrin.ini - Notepad", {0, 0, 500, 400});
    desk.windows[notepad].proc = [](WindowHandle, unsigned, WParam, LParam) -> LResult {
        notepadsDesk->edit("tabrin.ini", "stepsize=9\r\n");
        return 0;
    };
    desk.post(notepad, WM_USER);  // Notepad saves while Tabrin's loop runs

    EXPECT_EQ(runTabrin(nullptr), 0);
    EXPECT_EQ(settings.stepsize, 20);
    desk.passTime(kSettingsQuietPeriod);
    EXPECT_EQ(settings.stepsize, 9);
}
