// The low-level mouse hook: what it withholds, what it passes on, and the moves it makes.
#include <gtest/gtest.h>

#include "control/mouse_hook.h"
#include "settings/settings.h"
#include "simulated_desktop.h"

using namespace platform;

namespace {

const Rect kStart = {100, 100, 900, 700};

enum Event { kMove, kLeftDown, kLeftUp, kRightDown, kRightUp, kMiddleDown, kWheelForward, kWheelBack, kWheelZero };

bool send(SimulatedDesktop& desk, Event event, int code = HC_ACTION) {
    switch (event) {
    case kMove: return desk.sendMouse(WM_MOUSEMOVE, 0, code);
    case kLeftDown: return desk.sendMouse(WM_LBUTTONDOWN, 0, code);
    case kLeftUp: return desk.sendMouse(WM_LBUTTONUP, 0, code);
    case kRightDown: return desk.sendMouse(WM_RBUTTONDOWN, 0, code);
    case kRightUp: return desk.sendMouse(WM_RBUTTONUP, 0, code);
    case kMiddleDown: return desk.sendMouse(WM_MBUTTONDOWN, 0, code);
    case kWheelForward: return desk.sendMouse(WM_MOUSEWHEEL, 120, code);
    case kWheelBack: return desk.sendMouse(WM_MOUSEWHEEL, -120, code);
    case kWheelZero: return desk.sendMouse(WM_MOUSEWHEEL, 0, code);
    }
    return true;
}

Rect moved(int dx, int dy) { return Rect{kStart.left + dx, kStart.top + dy, kStart.right + dx, kStart.bottom + dy}; }

}  // namespace

TEST(MouseHook, WithholdsEveryEventOnlyWhileWinCtrlOrWinAltIsHeld) {
    const Event events[] = {kMove, kLeftDown, kLeftUp, kRightDown, kRightUp, kMiddleDown,
                            kWheelForward, kWheelBack, kWheelZero};
    for (int keys = 0; keys < 32; ++keys) {  // LWin, RWin, Ctrl, Alt, and a non-zero code
        const bool win = keys & 3;
        const bool combination = win && (keys & 12);
        const int code = (keys & 16) ? 3 : HC_ACTION;
        for (Event event : events) {
            SimulatedDesktop desk;
            installMouseHook();
            WindowHandle editor = desk.addWindow("Editor", kStart);
            desk.focus(editor);
            if (keys & 1) desk.hold({VK_LWIN});
            if (keys & 2) desk.hold({VK_RWIN});
            if (keys & 4) desk.hold({VK_CONTROL});
            if (keys & 8) desk.hold({VK_MENU});

            const bool withheld = combination && code == HC_ACTION;
            EXPECT_EQ(send(desk, event, code), !withheld) << "keys " << keys << ", event " << event;
            EXPECT_EQ(desk.passedOn, withheld ? 0 : 1) << "keys " << keys << ", event " << event;
            if (!withheld) {
                EXPECT_EQ(desk.rectOf(editor), kStart) << "keys " << keys;
            }
        }
    }
}

TEST(MouseHook, GesturesMoveTheForegroundWindowByOneStep) {
    struct Case {
        std::initializer_list<int> keys;
        Event event;
        int dx, dy;  // with invertedmouse on, the default; off reverses them
    };
    const Case cases[] = {
        {{VK_LWIN, VK_CONTROL}, kWheelForward, 0, 20},
        {{VK_LWIN, VK_CONTROL}, kWheelZero, 0, 20},
        {{VK_LWIN, VK_CONTROL}, kWheelBack, 0, -20},
        {{VK_LWIN, VK_CONTROL}, kLeftDown, 20, 0},
        {{VK_LWIN, VK_CONTROL}, kRightDown, -20, 0},
        {{VK_RWIN, VK_MENU}, kWheelForward, 20, 0},
        {{VK_RWIN, VK_MENU}, kWheelBack, -20, 0},
        {{VK_LWIN, VK_MENU}, kLeftDown, 0, 20},
        {{VK_LWIN, VK_MENU}, kRightDown, 0, -20},
        {{VK_LWIN, VK_CONTROL, VK_MENU}, kLeftDown, 20, 0},  // counts as Win+Ctrl
        {{VK_LWIN, VK_CONTROL}, kLeftUp, 0, 0},
        {{VK_LWIN, VK_CONTROL}, kMove, 0, 0},
        {{VK_LWIN, VK_MENU}, kMiddleDown, 0, 0},
    };
    for (int inverted : {1, 0}) {
        const int sign = inverted ? 1 : -1;
        for (const Case& c : cases) {
            SimulatedDesktop desk;
            settings.invertedmouse = inverted;
            installMouseHook();
            WindowHandle editor = desk.addWindow("Editor", kStart);
            desk.focus(editor);
            desk.hold(c.keys);
            EXPECT_FALSE(send(desk, c.event));
            EXPECT_EQ(desk.rectOf(editor), moved(sign * c.dx, sign * c.dy))
                << "invertedmouse " << inverted << ", event " << c.event;
        }
    }
}

TEST(MouseHook, AnUnnamedTargetIsSparedButTheEventStillWithheld) {
    SimulatedDesktop desk;
    installMouseHook();
    WindowHandle unnamed = desk.addWindow("", kStart);
    desk.focus(unnamed);
    desk.hold({VK_LWIN, VK_CONTROL});
    EXPECT_FALSE(send(desk, kRightDown));
    EXPECT_EQ(desk.rectOf(unnamed), kStart);

    desk.focus(nullptr);  // no foreground window at all
    EXPECT_FALSE(send(desk, kWheelBack));
}

TEST(MouseHook, ReadsTheKeysBeforeTheCodeAndOnlyThoseThatCanMatter) {
    SimulatedDesktop desk;
    installMouseHook();
    send(desk, kMove, 5);  // no Win key: Ctrl and Alt cannot change the verdict
    EXPECT_EQ(desk.keyReads, (std::vector<int>{VK_LWIN, VK_RWIN}));

    desk.keyReads.clear();
    desk.hold({VK_LWIN});
    send(desk, kMove, 5);
    EXPECT_EQ(desk.keyReads, (std::vector<int>{VK_LWIN, VK_CONTROL, VK_MENU}));
}

TEST(MouseHook, InstallsOnceAndRemovesCleanly) {
    SimulatedDesktop desk;
    installMouseHook();
    installMouseHook();
    EXPECT_EQ(desk.hooksInstalled(), 1);
    removeMouseHook();
    removeMouseHook();
    EXPECT_EQ(desk.hooksInstalled(), 0);

    desk.failHookInstall = true;  // the gestures simply do nothing
    installMouseHook();
    EXPECT_EQ(mouseHook, nullptr);
    desk.failHookInstall = false;
    installMouseHook();
    EXPECT_EQ(desk.hooksInstalled(), 1);
}
