// The low-level mouse hook: what it withholds, what it passes on, and the moves it makes.
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

// Installs the hook and puts a window at kStart in front, as a gesture finds them.
WindowHandle hookWithWindowInFront(SimulatedDesktop& desk, const std::string& title = "Editor") {
    installMouseHook();
    WindowHandle window = desk.addWindow(title, kStart);
    desk.focus(window);
    return window;
}

Rect moved(int dx, int dy) { return Rect{kStart.left + dx, kStart.top + dy, kStart.right + dx, kStart.bottom + dy}; }

}  // namespace

TEST(MouseHook, WithholdsEveryEventOnlyWhileWinCtrlOrWinAltIsHeld) {
    // Button-ups follow their button-downs, whatever the keys: see ButtonUpsGoWhereTheirDownsWent.
    const Event events[] = {kMove, kLeftDown, kRightDown, kMiddleDown, kWheelForward, kWheelBack,
                            kWheelZero};
    for (int keys = 0; keys < 32; ++keys) {  // LWin, RWin, Ctrl, Alt, and a non-zero code
        const bool win = keys & 3;
        const bool combination = win && (keys & 12);
        const int code = (keys & 16) ? 3 : HC_ACTION;
        for (Event event : events) {
            SimulatedDesktop desk;
            WindowHandle editor = hookWithWindowInFront(desk);
            if (keys & 1) desk.hold({VK_LWIN});
            if (keys & 2) desk.hold({VK_RWIN});
            if (keys & 4) desk.hold({VK_CONTROL});
            if (keys & 8) desk.hold({VK_MENU});

            const bool withheld = combination && code == HC_ACTION;
            EXPECT_EQ(send(desk, event, code), !withheld) << "keys " << keys << ", event " << event;
            EXPECT_EQ(desk.records.passedOn, withheld ? 0 : 1)
                << "keys " << keys << ", event " << event;
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
        {{VK_LWIN, VK_CONTROL}, kMove, 0, 0},
        {{VK_LWIN, VK_MENU}, kMiddleDown, 0, 0},
    };
    for (int inverted : {1, 0}) {
        const int sign = inverted ? 1 : -1;
        for (const Case& c : cases) {
            SimulatedDesktop desk;
            settings.invertedmouse = inverted;
            WindowHandle editor = hookWithWindowInFront(desk);
            desk.hold(c.keys);
            EXPECT_FALSE(send(desk, c.event));
            EXPECT_EQ(desk.rectOf(editor), moved(sign * c.dx, sign * c.dy))
                << "invertedmouse " << inverted << ", event " << c.event;
        }
    }
}

TEST(MouseHook, EveryNotchCountsAtAWindowThatAnswersLate) {
    SimulatedDesktop desk;
    WindowHandle editor = hookWithWindowInFront(desk);
    desk.hold({VK_LWIN, VK_CONTROL});
    desk.makeBusy(editor);
    for (int i = 0; i < 10000; ++i) ASSERT_FALSE(send(desk, kWheelForward)) << i;
    EXPECT_EQ(desk.rectOf(editor), kStart);  // nothing yet: its program has read no message
    desk.answer(editor);
    EXPECT_EQ(desk.rectOf(editor), moved(0, 200000));

    // A window that moved itself meanwhile is stepped from where it went.
    desk.makeBusy(editor);
    send(desk, kWheelForward);
    desk.windows[editor].rect = kStart;
    send(desk, kWheelBack);
    desk.answer(editor);
    EXPECT_EQ(desk.rectOf(editor), moved(0, -20));
}

TEST(MouseHook, AnUnnamedTargetIsSparedButTheEventStillWithheld) {
    SimulatedDesktop desk;
    WindowHandle unnamed = hookWithWindowInFront(desk, "");
    desk.hold({VK_LWIN, VK_CONTROL});
    EXPECT_FALSE(send(desk, kRightDown));
    EXPECT_EQ(desk.rectOf(unnamed), kStart);

    desk.focus(nullptr);  // no foreground window at all
    EXPECT_FALSE(send(desk, kWheelBack));
}

TEST(MouseHook, ReadsTheKeysBeforeTheCodeAndOnlyThoseThatCanMatter) {
    SimulatedDesktop desk;
    installMouseHook();
    desk.records.keyReads.clear();
    send(desk, kMove, 5);  // no Win key: Ctrl and Alt cannot change the verdict
    EXPECT_EQ(desk.records.keyReads, (std::vector<int>{VK_LWIN, VK_RWIN}));

    desk.records.keyReads.clear();
    desk.hold({VK_LWIN});
    send(desk, kMove, 5);
    EXPECT_EQ(desk.records.keyReads, (std::vector<int>{VK_LWIN, VK_CONTROL, VK_MENU}));
}

TEST(MouseHook, InstallsOnceAndRemovesCleanly) {
    SimulatedDesktop desk;
    installMouseHook();
    installMouseHook();
    EXPECT_EQ(desk.hooksInstalled(), 1);
    removeMouseHook();
    removeMouseHook();
    EXPECT_EQ(desk.hooksInstalled(), 0);

    desk.faults.failHookInstall = true;  // the gestures simply do nothing
    installMouseHook();
    EXPECT_EQ(mouseHook, nullptr);
    desk.faults.failHookInstall = false;
    installMouseHook();
    EXPECT_EQ(desk.hooksInstalled(), 1);
}

namespace {

// Tabrin as started with an empty folder: gestures enabled, its window registered for the
// keyboard's raw input, and the loop waiting for the next message.
struct RunningTabrin {
    DeskWithFolder desk;
    WindowHandle editor = desk.addWindow("Editor", kStart);

    explicit RunningTabrin(std::initializer_list<int> heldAtStart = {}, const char* ini = nullptr) {
        if (ini) desk.folder.write("tabrin.ini", ini);
        desk.focus(editor);
        desk.hold(heldAtStart);
        runTabrin(nullptr);
    }
    bool armed() const { return desk.hooksInstalled() == 1; }
    // The mask keys Tabrin sent: one "down, up" pair each.
    int maskKeysSent() const {
        int pairs = 0;
        for (std::size_t i = 0; i + 1 < desk.records.sentKeys.size(); i += 2) {
            const auto& down = desk.records.sentKeys[i];
            const auto& up = desk.records.sentKeys[i + 1];
            if (down.key == kMaskKey && !down.up && up.key == kMaskKey && up.up) ++pairs;
        }
        return pairs * 2 == static_cast<int>(desk.records.sentKeys.size()) ? pairs : -1;
    }
};

}  // namespace

TEST(MouseHook, RawKeysArmTheHookOnlyWhileACombinationIsHeld) {
    struct Step {
        int key;
        bool up;
        bool armedAfter;
    };
    struct Case {
        const char* name;
        std::vector<Step> steps;
    };
    const Case cases[] = {
        {"Win, then Ctrl", {{VK_LWIN, false, false}, {VK_CONTROL, false, true},
                            {VK_CONTROL, true, false}, {VK_LWIN, true, false}}},
        {"Ctrl, then Win", {{VK_CONTROL, false, false}, {VK_LWIN, false, true},
                            {VK_LWIN, true, false}, {VK_CONTROL, true, false}}},
        {"right Win and right Alt", {{VK_RWIN, false, false}, {VK_RMENU, false, true},
                                     {VK_RWIN, true, false}, {VK_RMENU, true, false}}},
        {"Win+Alt to Win+Ctrl without letting go of Win",
         {{VK_LWIN, false, false}, {VK_MENU, false, true}, {VK_CONTROL, false, true},
          {VK_MENU, true, true}, {VK_CONTROL, true, false}, {VK_LWIN, true, false}}},
        {"one Ctrl of two let go", {{VK_LWIN, false, false}, {VK_LCONTROL, false, true},
                                    {VK_RCONTROL, false, true}, {VK_LCONTROL, true, true},
                                    {VK_RCONTROL, true, false}, {VK_LWIN, true, false}}},
        {"one Alt of two let go", {{VK_LWIN, false, false}, {VK_LMENU, false, true},
                                   {VK_RMENU, false, true}, {VK_LMENU, true, true},
                                   {VK_RMENU, true, false}, {VK_LWIN, true, false}}},
        {"Ctrl+Alt, Shift and letters", {{VK_CONTROL, false, false}, {VK_MENU, false, false},
                                         {0x10, false, false}, {'T', false, false},
                                         {'T', true, false}, {VK_CONTROL, true, false}}},
    };
    for (bool keyStateLate : {false, true}) {
        for (const Case& c : cases) {
            RunningTabrin tabrin;
            tabrin.desk.faults.rawInputBeforeKeyState = keyStateLate;
            EXPECT_FALSE(tabrin.armed()) << c.name;
            for (std::size_t i = 0; i < c.steps.size(); ++i) {
                const Step& step = c.steps[i];
                tabrin.desk.typeKey(step.key, step.up);
                // A release reported before the key state changes leaves the hook to the next
                // mouse event, which passes on and has it removed.
                if (keyStateLate && step.up && tabrin.armed() && !step.armedAfter) {
                    EXPECT_TRUE(tabrin.desk.sendMouse(WM_MOUSEMOVE)) << c.name << ", step " << i;
                    tabrin.desk.pumpPosted();
                }
                EXPECT_EQ(tabrin.armed(), step.armedAfter)
                    << c.name << ", step " << i << (keyStateLate ? ", key state late" : "");
            }
        }
    }
}

TEST(MouseHook, GesturesWorkWhenArmedByTheKeys) {
    RunningTabrin tabrin;
    EXPECT_TRUE(tabrin.desk.sendMouse(WM_MOUSEWHEEL, -120));  // nothing held: no hook at all
    EXPECT_EQ(tabrin.desk.records.passedOn, 0);

    tabrin.desk.press(VK_LWIN);
    tabrin.desk.press(VK_CONTROL);
    EXPECT_FALSE(tabrin.desk.sendMouse(WM_MOUSEWHEEL, 120));
    EXPECT_EQ(tabrin.desk.rectOf(tabrin.editor), moved(0, 20));
    tabrin.desk.release(VK_CONTROL);
    tabrin.desk.press(VK_MENU);  // Win+Alt: the left button moves along the other axis
    EXPECT_FALSE(tabrin.desk.sendMouse(WM_LBUTTONDOWN));
    EXPECT_EQ(tabrin.desk.rectOf(tabrin.editor), moved(0, 40));
    EXPECT_FALSE(tabrin.desk.sendMouse(WM_LBUTTONUP));

    // Rolled from Win+Ctrl into Win+Alt while Tabrin was busy (long enough for Windows to drop
    // its hook), the raw events handled only once the key state shows the later keys: Ctrl up,
    // Win up, Win down, Alt down. Win+Alt is a new combination, with a hook of its own.
    RunningTabrin rolled({VK_LWIN, VK_CONTROL});
    rolled.desk.faults.rawInputLate = true;
    rolled.desk.dropHooksSilently();
    for (int key : {VK_CONTROL, VK_LWIN}) rolled.desk.release(key);
    for (int key : {VK_LWIN, VK_MENU}) rolled.desk.press(key);
    rolled.desk.pumpPosted();
    EXPECT_FALSE(rolled.desk.sendMouse(WM_MOUSEWHEEL, 120));
    EXPECT_EQ(rolled.desk.rectOf(rolled.editor), moved(20, 0));
}

TEST(MouseHook, ACombinationHeldWhenWatchingStartsArmsAtOnce) {
    {
        RunningTabrin tabrin({VK_RWIN, VK_CONTROL, VK_RMENU});  // held while Tabrin starts
        EXPECT_TRUE(tabrin.armed());
        tabrin.desk.release(VK_CONTROL);  // Win and the right Alt are still a combination
        EXPECT_FALSE(tabrin.desk.sendMouse(WM_RBUTTONDOWN));
        EXPECT_EQ(tabrin.desk.rectOf(tabrin.editor), moved(0, -20));
    }
    {
        RunningTabrin tabrin({VK_LWIN}, "enablemousescroll=0\n");
        EXPECT_EQ(tabrin.desk.rawKeyboardTarget, nullptr);
        tabrin.desk.press(VK_MENU);
        EXPECT_FALSE(tabrin.armed());
        EXPECT_EQ(tabrin.desk.records.rawInputsDelivered, 0);
        runMenuCommand(25);  // Mouse Scroll -> Enabled, with Win+Alt held
        EXPECT_EQ(tabrin.desk.rawKeyboardTarget, mainWindow);
        EXPECT_TRUE(tabrin.armed());
        runMenuCommand(25);
        EXPECT_EQ(tabrin.desk.rawKeyboardTarget, nullptr);
        EXPECT_FALSE(tabrin.armed());
    }
}

TEST(MouseHook, ButtonUpsGoWhereTheirDownsWent) {
    enum Action { kKeysDown, kKeysUp, kMouse, kHookDropped };
    struct Step {
        Action action;
        unsigned message;
        short data;  // wheel delta, or XBUTTON1/XBUTTON2
        bool reaches;
    };
    struct Case {
        const char* name;
        std::vector<Step> steps;
    };
    const Step keysDown = {kKeysDown, 0, 0, false}, keysUp = {kKeysUp, 0, 0, false};
    const Case cases[] = {
        {"a drag begun before the keys ends",
         {{kMouse, WM_LBUTTONDOWN, 0, true}, keysDown, {kMouse, WM_MOUSEMOVE, 0, false},
          {kMouse, WM_LBUTTONUP, 0, true}, keysUp}},
        {"a click begun with the keys leaves nothing behind",
         {keysDown, {kMouse, WM_LBUTTONDOWN, 0, false}, keysUp, {kMouse, WM_MOUSEMOVE, 0, true},
          {kMouse, WM_LBUTTONUP, 0, false}, {kMouse, WM_LBUTTONDOWN, 0, true},
          {kMouse, WM_LBUTTONUP, 0, true}}},
        {"right and middle buttons alike",
         {keysDown, {kMouse, WM_RBUTTONDOWN, 0, false}, {kMouse, WM_MBUTTONDOWN, 0, false}, keysUp,
          {kMouse, WM_RBUTTONUP, 0, false}, {kMouse, WM_MBUTTONUP, 0, false},
          {kMouse, WM_RBUTTONDOWN, 0, true}, {kMouse, WM_RBUTTONUP, 0, true}}},
        {"the two X buttons are told apart",
         {{kMouse, WM_XBUTTONDOWN, XBUTTON1, true}, keysDown,
          {kMouse, WM_XBUTTONDOWN, XBUTTON2, false}, {kMouse, WM_XBUTTONUP, XBUTTON1, true},
          keysUp, {kMouse, WM_XBUTTONUP, XBUTTON2, false}}},
        {"after Windows dropped the hook in the middle of a click",
         {keysDown, {kMouse, WM_LBUTTONDOWN, 0, false}, {kHookDropped, 0, 0, false}, keysUp,
          {kMouse, WM_LBUTTONUP, 0, true}, {kMouse, WM_LBUTTONDOWN, 0, true}, keysDown,
          {kMouse, WM_MOUSEWHEEL, 120, false}, {kMouse, WM_LBUTTONUP, 0, true}, keysUp}},
    };
    for (const Case& c : cases) {
        RunningTabrin tabrin;
        for (std::size_t i = 0; i < c.steps.size(); ++i) {
            const Step& step = c.steps[i];
            if (step.action == kKeysDown) {
                tabrin.desk.press(VK_LWIN);
                tabrin.desk.press(VK_CONTROL);
            } else if (step.action == kHookDropped) {
                tabrin.desk.dropHooksSilently();
            } else if (step.action == kKeysUp) {
                tabrin.desk.release(VK_CONTROL);
                tabrin.desk.release(VK_LWIN);
            } else {
                EXPECT_EQ(tabrin.desk.sendMouse(step.message, step.data), step.reaches)
                    << c.name << ", step " << i;
            }
            tabrin.desk.pumpPosted();
        }
        EXPECT_FALSE(tabrin.armed()) << c.name << ": the hook outlived the gesture";
    }
}

TEST(MouseHook, KeyRepeatsAndUnreadableInputLeaveTheHookAlone) {
    RunningTabrin tabrin;
    tabrin.desk.press(VK_LWIN);
    tabrin.desk.press(VK_CONTROL);
    EXPECT_FALSE(tabrin.desk.sendMouse(WM_LBUTTONDOWN));
    tabrin.desk.records.calls.clear();
    for (int i = 0; i < 5; ++i) tabrin.desk.press(VK_CONTROL);  // the keyboard's repeat
    EXPECT_TRUE(tabrin.desk.records.calls.empty()) << tabrin.desk.records.calls.front();
    tabrin.desk.release(VK_CONTROL);
    tabrin.desk.release(VK_LWIN);
    EXPECT_FALSE(tabrin.desk.sendMouse(WM_LBUTTONUP));  // no gap let it through

    tabrin.desk.pumpPosted();
    ASSERT_FALSE(tabrin.armed());
    tabrin.desk.hold({VK_LWIN, VK_CONTROL});
    tabrin.desk.send(mainWindow, WM_INPUT, 1, 0);  // GetRawInputData fails on it
    EXPECT_FALSE(tabrin.armed());
}

TEST(MouseHook, TheMaskKeyIsSentOncePerHeldCombinationAndNeverFromTheHook) {
    RunningTabrin tabrin;
    tabrin.desk.press(VK_LWIN);
    tabrin.desk.press(VK_MENU);
    tabrin.desk.sendMouse(WM_MOUSEMOVE);
    EXPECT_TRUE(tabrin.desk.records.sentKeys.empty()) << "sent from inside the hook procedure";
    tabrin.desk.sendMouse(WM_LBUTTONDOWN);
    tabrin.desk.sendMouse(WM_LBUTTONUP);
    tabrin.desk.sendMouse(WM_MOUSEWHEEL, 120);
    tabrin.desk.pumpPosted();
    EXPECT_EQ(tabrin.maskKeysSent(), 1);

    tabrin.desk.press(VK_CONTROL);  // Win+Ctrl+Alt: Ctrl went down after the mask
    tabrin.desk.sendMouse(WM_MOUSEWHEEL, 120);
    tabrin.desk.pumpPosted();
    EXPECT_EQ(tabrin.maskKeysSent(), 2);

    tabrin.desk.release(VK_CONTROL);
    tabrin.desk.release(VK_MENU);
    tabrin.desk.release(VK_LWIN);
    tabrin.desk.press(VK_LWIN);  // held and released without a mouse event: nothing to mask
    tabrin.desk.press(VK_MENU);
    tabrin.desk.release(VK_MENU);
    tabrin.desk.pumpPosted();
    EXPECT_EQ(tabrin.maskKeysSent(), 2);

    tabrin.desk.press(VK_MENU);  // a new gesture, a new mask
    tabrin.desk.sendMouse(WM_RBUTTONDOWN);
    tabrin.desk.pumpPosted();
    EXPECT_EQ(tabrin.maskKeysSent(), 3);
    for (const auto& sent : tabrin.desk.records.sentKeys) EXPECT_FALSE(sent.fromHook);
}

TEST(MouseHook, NeverStuckWithholdingTheMouse) {
    for (bool keyStateAgrees : {false, true}) {  // keys let go elsewhere: no key-up arrives
        RunningTabrin tabrin;
        // A second before, a disagreement that the key state or the key-ups ended.
        for (int key : {VK_LWIN, VK_CONTROL}) tabrin.desk.press(key);
        tabrin.desk.releaseKeys();
        tabrin.desk.sendMouse(WM_MOUSEMOVE);
        tabrin.desk.pumpPosted();
        if (keyStateAgrees) tabrin.desk.hold({VK_LWIN, VK_CONTROL});
        else for (int key : {VK_CONTROL, VK_LWIN}) tabrin.desk.release(key);
        tabrin.desk.sendMouse(WM_MOUSEMOVE);
        tabrin.desk.pumpPosted();
        tabrin.desk.passTime(1000);
        tabrin.desk.press(VK_LWIN);
        tabrin.desk.press(VK_CONTROL);
        tabrin.desk.releaseKeys();
        for (int i = 0; i < 50; ++i) EXPECT_TRUE(tabrin.desk.sendMouse(WM_MOUSEMOVE));
        EXPECT_EQ(tabrin.desk.queue.size(), 1u) << "one request to remove the hook, not one each";
        for (unsigned ms : {0u, 199u}) {  // key-ups may still be on their way for a moment
            tabrin.desk.passTime(ms);
            tabrin.desk.sendMouse(WM_MOUSEMOVE);
            tabrin.desk.pumpPosted();
            EXPECT_TRUE(tabrin.armed()) << ms << " ms into the disagreement, " << keyStateAgrees;
        }
        tabrin.desk.passTime(1);
        tabrin.desk.sendMouse(WM_MOUSEMOVE);
        tabrin.desk.pumpPosted();
        EXPECT_FALSE(tabrin.armed());
        tabrin.desk.press(VK_LWIN);  // and the next gesture still works
        tabrin.desk.press(VK_CONTROL);
        EXPECT_FALSE(tabrin.desk.sendMouse(WM_LBUTTONDOWN));
        EXPECT_EQ(tabrin.desk.rectOf(tabrin.editor), moved(20, 0));
    }
    {  // Windows dropped the hook after time-outs: the next press installs a new one
        RunningTabrin tabrin;
        tabrin.desk.press(VK_LWIN);
        tabrin.desk.press(VK_CONTROL);
        tabrin.desk.dropHooksSilently();
        tabrin.desk.release(VK_CONTROL);
        tabrin.desk.press(VK_CONTROL);
        EXPECT_TRUE(tabrin.armed());
        EXPECT_FALSE(tabrin.desk.sendMouse(WM_MOUSEWHEEL, -120));
    }
    {  // a flood of key events
        RunningTabrin tabrin;
        tabrin.desk.press(VK_LWIN);
        for (int i = 0; i < 100000; ++i) {
            tabrin.desk.typeKey(i % 3 == 0 ? VK_CONTROL : 'A', i % 2 == 1);
            tabrin.desk.rawInputs.clear();
            ASSERT_LE(tabrin.desk.hooksInstalled(), 1) << "event " << i;
        }
        tabrin.desk.releaseKeys();
        tabrin.desk.sendMouse(WM_MOUSEMOVE);
        tabrin.desk.pumpPosted();
        EXPECT_FALSE(tabrin.armed());
        EXPECT_TRUE(tabrin.desk.sendMouse(WM_LBUTTONDOWN));
    }
}

TEST(MouseHook, WithoutRawInputTheHookStaysInstalledWhileEnabled) {
    SimulatedDesktop desk;
    desk.faults.refuseRawInput = true;
    WindowHandle editor = desk.addWindow("Editor", kStart);
    desk.focus(editor);
    runTabrin(nullptr);
    EXPECT_EQ(desk.hooksInstalled(), 1);
    desk.press(VK_LWIN);
    desk.press(VK_CONTROL);
    EXPECT_FALSE(desk.sendMouse(WM_MOUSEWHEEL, -120));
    EXPECT_EQ(desk.rectOf(editor), moved(0, -20));
    desk.release(VK_CONTROL);
    desk.release(VK_LWIN);
    EXPECT_TRUE(desk.sendMouse(WM_MOUSEMOVE));
    desk.pumpPosted();
    EXPECT_EQ(desk.hooksInstalled(), 1);

    runMenuCommand(25);  // Enabled off, then on again
    EXPECT_EQ(desk.hooksInstalled(), 0);
    runMenuCommand(25);
    EXPECT_EQ(desk.hooksInstalled(), 1);
}
