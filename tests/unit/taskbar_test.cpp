// Win+X: the taskbar's visibility, the work area, and the refit of windows that filled it.
#include <gtest/gtest.h>

#include "control/hotkeys.h"
#include "control/taskbar.h"
#include "simulated_desktop.h"

using namespace platform;

namespace {

const Rect kScreen = {0, 0, 1920, 1080};
const Rect kAboveTaskbar = {0, 0, 1920, 1040};

struct Desk : SimulatedDesktop {
    WindowHandle taskbar = addTaskbar(40);
    WindowHandle filling = addWindow("Filling", kAboveTaskbar);
    WindowHandle onePixelMore = addWindow("Taller", {0, 0, 1920, 1041});
    WindowHandle hidden = addWindow("Hidden", kAboveTaskbar, false);
    WindowHandle full = addWindow("Full", kScreen);
};

}  // namespace

TEST(Taskbar, HidingGivesTheScreenAndShowingTakesItBack) {
    Desk desk;
    EXPECT_EQ(onHotkey(kHotkeyTaskbar), 0);
    EXPECT_FALSE(desk.visible(desk.taskbar));
    EXPECT_EQ(savedWorkArea, kAboveTaskbar);
    EXPECT_EQ(desk.workArea, kScreen);
    EXPECT_EQ(desk.lastWorkAreaWinIni, SPIF_SENDCHANGE);
    EXPECT_EQ(desk.rectOf(desk.filling), kScreen);
    EXPECT_EQ(desk.lastPositionFlags(desk.filling),
              SWP_NOZORDER | SWP_NOACTIVATE | SWP_ASYNCWINDOWPOS);
    EXPECT_EQ(desk.rectOf(desk.onePixelMore), (Rect{0, 0, 1920, 1041}));
    EXPECT_EQ(desk.rectOf(desk.hidden), kAboveTaskbar);
    EXPECT_EQ(desk.devicesOutstanding, 0);

    EXPECT_EQ(onHotkey(kHotkeyTaskbar), 0);
    EXPECT_TRUE(desk.visible(desk.taskbar));
    EXPECT_EQ(desk.workArea, kAboveTaskbar);
    // Both the refitted window and the one that was already full-screen fit the restored area.
    EXPECT_EQ(desk.rectOf(desk.filling), kAboveTaskbar);
    EXPECT_EQ(desk.rectOf(desk.full), kAboveTaskbar);
    EXPECT_EQ(desk.rectOf(desk.onePixelMore), (Rect{0, 0, 1920, 1041}));
    EXPECT_EQ(desk.rectOf(desk.hidden), kAboveTaskbar);

    // And round again, the same way.
    onHotkey(kHotkeyTaskbar);
    EXPECT_EQ(desk.workArea, kScreen);
    EXPECT_EQ(desk.rectOf(desk.filling), kScreen);
    onHotkey(kHotkeyTaskbar);
    EXPECT_EQ(desk.workArea, kAboveTaskbar);
    EXPECT_EQ(desk.rectOf(desk.filling), kAboveTaskbar);
}

TEST(Taskbar, WithNoAreaOfOursToGiveBackTheWorkAreaIsLeftAlone) {
    {
        Desk desk;
        ShowWindow(desk.taskbar, SW_HIDE);  // hidden by another program before any press
        onHotkey(kHotkeyTaskbar);
        EXPECT_TRUE(desk.visible(desk.taskbar));
        EXPECT_EQ(desk.workArea, kAboveTaskbar);
        EXPECT_EQ(desk.rectOf(desk.full), kScreen);
        EXPECT_EQ(desk.rectOf(desk.filling), kAboveTaskbar);
    }
    {
        SimulatedDesktop desk;  // no taskbar window at all
        WindowHandle window = desk.addWindow("Any", kScreen);
        for (int press = 0; press < 3; ++press) onHotkey(kHotkeyTaskbar);
        EXPECT_EQ(desk.workArea, kScreen);
        EXPECT_EQ(desk.rectOf(window), kScreen);
    }
    {
        Desk desk;  // a full round of ours, then someone else hides the taskbar
        onHotkey(kHotkeyTaskbar);
        onHotkey(kHotkeyTaskbar);
        ShowWindow(desk.taskbar, SW_HIDE);
        onHotkey(kHotkeyTaskbar);
        EXPECT_TRUE(desk.visible(desk.taskbar));
        EXPECT_EQ(desk.workArea, kAboveTaskbar);
    }
}

TEST(Taskbar, ThePressFollowsTheTaskbarsActualVisibility) {
    Desk desk;
    onHotkey(kHotkeyTaskbar);           // hidden by us: the screen is the work area
    ShowWindow(desk.taskbar, SW_SHOW);  // shown again by another program
    onHotkey(kHotkeyTaskbar);           // visible, so this press hides it again
    EXPECT_FALSE(desk.visible(desk.taskbar));
    EXPECT_EQ(desk.workArea, kScreen);

    onHotkey(kHotkeyTaskbar);  // and this one gives back the area from before the first hide
    EXPECT_TRUE(desk.visible(desk.taskbar));
    EXPECT_EQ(desk.workArea, kAboveTaskbar);
    EXPECT_EQ(desk.rectOf(desk.filling), kAboveTaskbar);
}
