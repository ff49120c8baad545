// The low-level mouse hook, installed only while Win+Ctrl or Win+Alt is held. It sees every mouse
// event of the desktop, so it and the raw-input handler that arms it allocate nothing, do no I/O
// and take no lock.
#include "control/mouse_hook.h"

#include <type_traits>

#include "control/window_actions.h"
#include "platform/session.h"
#include "settings/settings.h"

using namespace platform;

HookHandle mouseHook = nullptr;

namespace {

// The buttons a gesture may withhold, as virtual keys: left, right, middle, X1, X2.
constexpr int kButtonKeys[] = {VK_LBUTTON, VK_RBUTTON, VK_MBUTTON, VK_XBUTTON1, VK_XBUTTON2};
constexpr int kButtonCount = static_cast<int>(std::extent_v<decltype(kButtonKeys)>);

// What the hook and the raw-input handler remember between events.
struct GestureState {
    bool watchingKeys = false;     // raw input registered: the hook comes and goes with the keys
    bool hookAlwaysOn = false;     // raw input refused: the hook stays while gestures are enabled
    bool combinationHeld = false;  // the raw keys said Win+Ctrl or Win+Alt went down, not up yet
    // Left and right Win, Ctrl and Alt as the raw events have them, in their order: the key
    // state shows where the keyboard is now, and a handler a moment behind would judge each
    // event against keys pressed after it.
    unsigned rawKeys = 0;
    std::uint32_t disagreeingSince = 0;  // GetTickCount when the key state first showed none
    bool recheckPosted = false;    // a kRecheckKeys is on its way
    unsigned maskedFor = 0;        // the combination the mask key was asked for; 0: none yet
    bool withheldDown[kButtonCount] = {};  // by button: its last button-down was withheld
};
GestureState gestureState;

constexpr std::uint32_t kKeysLostAfter = 200;  // ms of the key state showing no combination
constexpr unsigned kCtrlHeld = 1;
constexpr unsigned kAltHeld = 2;
constexpr int kNoButton = -1;

// The physical state: the queue state GetKeyState gives is our own thread's, which lags while
// Tabrin's menu or a box of ours is in front.
bool isDown(int key) { return GetAsyncKeyState(key) < 0; }

// 0 when no combination is held; else which of Ctrl and Alt are held with a Win key. Without a
// Win key Ctrl and Alt cannot matter, so the usual call costs two queries, not four.
unsigned heldCombination() {
    if (!isDown(VK_LWIN) && !isDown(VK_RWIN)) return 0;
    return (isDown(VK_CONTROL) ? kCtrlHeld : 0) | (isDown(VK_MENU) ? kAltHeld : 0);
}

// The six keys of a combination, as bits of rawKeys, in the order of kComboKeys.
constexpr int kComboKeys[] = {VK_LWIN, VK_RWIN, VK_LCONTROL, VK_RCONTROL, VK_LMENU, VK_RMENU};
constexpr unsigned kWinKeys = 0x03, kCtrlKeys = 0x0C, kAltKeys = 0x30;

unsigned combinationOf(unsigned keys) {
    if (!(keys & kWinKeys)) return 0;
    return (keys & kCtrlKeys ? kCtrlHeld : 0) | (keys & kAltKeys ? kAltHeld : 0);
}

// The six keys as the key state has them now: where the raw events cannot say (at the start,
// or after a key-up lost on another desktop).
unsigned keysDownNow() {
    unsigned keys = 0;
    for (int i = 0; i < 6; ++i)
        if (isDown(kComboKeys[i])) keys |= 1u << i;
    return keys;
}

// The bit of rawKeys a raw event is about; 0 for other keys. Raw input names Ctrl and Alt
// without their side, which the E0 prefix gives.
unsigned rawKeyBit(const RawKeyboard& keyboard) {
    const bool right = (keyboard.Flags & RI_KEY_E0) != 0;
    switch (keyboard.VKey) {
    case VK_LWIN: return 0x01;
    case VK_RWIN: return 0x02;
    case VK_CONTROL: case VK_LCONTROL: return right ? 0x08 : 0x04;
    case VK_RCONTROL: return 0x08;
    case VK_MENU: case VK_LMENU: return right ? 0x20 : 0x10;
    case VK_RMENU: return 0x20;
    }
    return 0;
}

// The button a message is about, as an index into withheldDown, and whether it goes down.
int buttonOf(WParam message, const MouseEvent& event, bool* down) {
    *down = true;
    switch (message) {
    case WM_LBUTTONUP: *down = false; return 0;
    case WM_LBUTTONDOWN: return 0;
    case WM_RBUTTONUP: *down = false; return 1;
    case WM_RBUTTONDOWN: return 1;
    case WM_MBUTTONUP: *down = false; return 2;
    case WM_MBUTTONDOWN: return 2;
    case WM_XBUTTONUP: *down = false; [[fallthrough]];
    case WM_XBUTTONDOWN: return (event.mouseData >> 16) == XBUTTON2 ? 4 : 3;
    }
    return kNoButton;
}

bool buttonWithheld() {
    for (bool withheld : gestureState.withheldDown)
        if (withheld) return true;
    return false;
}

// The hook is needed while a combination is held, and until each withheld button-down has had
// its button-up withheld too.
void disarmUnlessNeeded() {
    if (!gestureState.watchingKeys || combinationOf(gestureState.rawKeys)) return;
    gestureState.combinationHeld = false;
    if (!buttonWithheld()) removeMouseHook();
}

// Called by the hook when no combination is held: the gesture is over, and the hook should go.
// Key-ups normally remove it first; this catches those that never arrive (released on another
// desktop) or arrive before the key state has changed.
void combinationEnded() {
    gestureState.maskedFor = 0;
    if (!gestureState.watchingKeys || gestureState.recheckPosted || buttonWithheld()) return;
    gestureState.recheckPosted = PostMessageA(mainWindow, kMouseHookMessage, kRecheckKeys, 0);
}

void sendMaskKey() {
    Input keys[2] = {};
    keys[0].type = keys[1].type = INPUT_KEYBOARD;
    keys[0].ki.wVk = keys[1].ki.wVk = kMaskKey;
    keys[1].ki.dwFlags = KEYEVENTF_KEYUP;
    SendInput(2, keys, sizeof(Input));
}

bool registerKeyboard(unsigned flags, WindowHandle target) {
    const RawInputDevice keyboard = {1, 6, flags, target};  // generic desktop page, keyboard
    return RegisterRawInputDevices(&keyboard, 1, sizeof keyboard);
}

}  // namespace

void installMouseHook() {
    if (mouseHook) return;  // one hook is enough; a second would move windows twice
    // A button the system counts as down now went down past us: its button-up goes on too. The
    // key state never saw a button-down we withheld, so such a button keeps its mark.
    for (int i = 0; i < kButtonCount; ++i)
        if (isDown(kButtonKeys[i])) gestureState.withheldDown[i] = false;
    gestureState.maskedFor = 0;
    mouseHook = SetWindowsHookExA(WH_MOUSE_LL, mouseHookProc, instance, 0);
}

void removeMouseHook() {
    if (!mouseHook) return;
    // Fails when Windows dropped the hook after time-outs; the next gesture installs a new one.
    UnhookWindowsHookEx(mouseHook);
    mouseHook = nullptr;
}

void startMouseGestures() {
    if (gestureState.watchingKeys || gestureState.hookAlwaysOn) return;
    gestureState.watchingKeys = registerKeyboard(RIDEV_INPUTSINK, mainWindow);
    // Without raw input nothing would say when to arm: keep the hook rather than lose gestures.
    gestureState.hookAlwaysOn = !gestureState.watchingKeys;
    gestureState.rawKeys = keysDownNow();  // keys already down say nothing to raw input
    gestureState.combinationHeld = gestureState.watchingKeys && combinationOf(gestureState.rawKeys);
    if (gestureState.hookAlwaysOn || gestureState.combinationHeld) installMouseHook();
}

void stopMouseGestures() {
    if (gestureState.watchingKeys) registerKeyboard(RIDEV_REMOVE, kNoWindow);
    gestureState.watchingKeys = gestureState.hookAlwaysOn = gestureState.combinationHeld = false;
    removeMouseHook();
}

void onRawInput(LParam lParam) {
    if (!gestureState.watchingKeys) return;
    RawKeyboardInput input;
    unsigned size = sizeof input;
    const unsigned copied = GetRawInputData(lParam, RID_INPUT, &input, &size, sizeof input.header);
    if (copied == static_cast<unsigned>(-1) || copied < sizeof input ||
        input.header.dwType != RIM_TYPEKEYBOARD)
        return;
    const unsigned bit = rawKeyBit(input.keyboard);
    if (!bit) return;

    const bool up = (input.keyboard.Flags & RI_KEY_BREAK) != 0;
    gestureState.rawKeys = up ? gestureState.rawKeys & ~bit : gestureState.rawKeys | bit;
    if (up) {
        // The raw keys ended the combination: a disagreement about it is over, and a later one
        // gets its own grace.
        if (!combinationOf(gestureState.rawKeys)) gestureState.disagreeingSince = 0;
        disarmUnlessNeeded();
    } else if (!gestureState.combinationHeld && combinationOf(gestureState.rawKeys)) {
        // A new gesture (a held key repeats its key-down: not that). A hook still kept for a
        // withheld button may have been dropped by Windows since, taking the button-up with it:
        // take a fresh one.
        gestureState.combinationHeld = true;
        removeMouseHook();
        installMouseHook();
    }
}

LResult onMouseHookMessage(WParam request) {
    if (request == kSendMaskKey) sendMaskKey();
    if (request == kRecheckKeys) {
        // The hook saw no combination held. A combination the raw state still holds a moment
        // later lost its key-up (let go on another desktop, or at a lock screen); before that,
        // key-ups may still be queued, and Wine answers key state reads from a copy for 50 ms.
        gestureState.recheckPosted = false;
        const std::uint32_t now = GetTickCount() | 1;  // 0 means no disagreement
        if (heldCombination() || !combinationOf(gestureState.rawKeys)) {
            gestureState.disagreeingSince = 0;
        } else if (!gestureState.disagreeingSince) {
            gestureState.disagreeingSince = now;
        } else if (now - gestureState.disagreeingSince >= kKeysLostAfter) {
            gestureState.rawKeys = keysDownNow();
            gestureState.disagreeingSince = 0;
        }
        disarmUnlessNeeded();
    }
    return 0;
}

LResult mouseHookProc(int code, WParam wParam, LParam lParam) {
    const unsigned held = heldCombination();  // read before the code, as Windows lets us
    if (code != HC_ACTION) return CallNextHookEx(mouseHook, code, wParam, lParam);
    const MouseEvent& event = *reinterpret_cast<const MouseEvent*>(lParam);
    bool down = false;
    const int button = buttonOf(wParam, event, &down);

    // A button-up goes where its button-down went, whatever the keys say now: a drag begun
    // before the keys must end, and a click begun with them must not end in a stray release.
    bool withhold = held != 0;
    if (button != kNoButton) {
        if (down) gestureState.withheldDown[button] = withhold;
        else withhold = gestureState.withheldDown[button];
        if (!down) gestureState.withheldDown[button] = false;
    }
    if (!held) combinationEnded();
    if (!withhold) return CallNextHookEx(mouseHook, code, wParam, lParam);
    if (!held) return -1;  // the end of a click begun with the keys
    gestureState.disagreeingSince = 0;  // the key state shows the combination again

    // The keys still reach the foreground program: without a key between press and release,
    // letting go of Alt would open its menu bar, and of Win the Start menu.
    if (gestureState.maskedFor != held) {
        gestureState.maskedFor = held;
        PostMessageA(mainWindow, kMouseHookMessage, kSendMaskKey, 0);
    }

    const int m = settings.mouseStep();
    int wheelDX = 0, wheelDY = 0, clickDX = 0, clickDY = 0;
    if (held & kCtrlHeld) {  // Win+Ctrl+Alt counts as Win+Ctrl
        wheelDY = m;
        clickDX = m;
    } else {
        wheelDX = m;
        clickDY = m;
    }

    switch (wParam) {
    case WM_LBUTTONDOWN:
        moveWindowBy(GetForegroundWindow(), oppositeStep(clickDX), oppositeStep(clickDY));
        break;
    case WM_RBUTTONDOWN:
        moveWindowBy(GetForegroundWindow(), clickDX, clickDY);
        break;
    case WM_MOUSEWHEEL: {
        const short delta = static_cast<short>(event.mouseData >> 16);
        if (delta < 0) moveWindowBy(GetForegroundWindow(), wheelDX, wheelDY);
        else moveWindowBy(GetForegroundWindow(), oppositeStep(wheelDX), oppositeStep(wheelDY));
        break;
    }
    }
    // While the combination is held, no mouse event reaches anyone else and the pointer stays.
    return -1;
}

void resetMouseHookState() {
    mouseHook = nullptr;
    gestureState = GestureState{};
}
