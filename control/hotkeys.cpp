// Hotkeys on the main window: Win+Ctrl moves, Win+Alt resizes, Win+Ctrl+T centres, Win+X the taskbar.
#include "control/hotkeys.h"

#include "control/taskbar.h"
#include "control/window_actions.h"
#include "platform/session.h"
#include "settings/settings.h"

using namespace platform;

namespace {
constexpr unsigned kWinCtrl = MOD_WIN | MOD_CONTROL;
constexpr unsigned kWinAlt = MOD_WIN | MOD_ALT;
constexpr unsigned kKeyT = 'T';
constexpr unsigned kKeyX = 'X';
}  // namespace

// Moves and resizes repeat at the keyboard's rate while held; centring and the taskbar toggle
// happen once per press (a held Win+X would flicker the taskbar and refit again and again).
const Hotkey kHotkeys[10] = {
    {kHotkeyCenter, kWinCtrl | MOD_NOREPEAT, kKeyT},
    {kHotkeyTaskbar, MOD_WIN | MOD_NOREPEAT, kKeyX},
    {kHotkeyResizeUp, kWinAlt, VK_UP},       {kHotkeyResizeDown, kWinAlt, VK_DOWN},
    {kHotkeyResizeLeft, kWinAlt, VK_LEFT},   {kHotkeyResizeRight, kWinAlt, VK_RIGHT},
    {kHotkeyMoveUp, kWinCtrl, VK_UP},        {kHotkeyMoveDown, kWinCtrl, VK_DOWN},
    {kHotkeyMoveLeft, kWinCtrl, VK_LEFT},    {kHotkeyMoveRight, kWinCtrl, VK_RIGHT},
};

bool hotkeyRefused[10] = {};

void registerHotkeys() {
    // A combination another program holds is never delivered; the help box names it. Windows
    // Vista does not know MOD_NOREPEAT: should it refuse the flag, a repeating combination
    // beats none, and only a refusal of the plain combination counts.
    for (int i = 0; i < 10; ++i) {
        const Hotkey& hotkey = kHotkeys[i];
        bool registered = RegisterHotKey(mainWindow, hotkey.id, hotkey.modifiers, hotkey.key);
        if (!registered && (hotkey.modifiers & MOD_NOREPEAT))
            registered = RegisterHotKey(mainWindow, hotkey.id, hotkey.modifiers & ~MOD_NOREPEAT,
                                        hotkey.key);
        hotkeyRefused[i] = !registered;
    }
}

void unregisterHotkeys() {
    static const int order[] = {kHotkeyMoveUp,      kHotkeyMoveDown,   kHotkeyMoveRight,
                                kHotkeyMoveLeft,    kHotkeyResizeUp,   kHotkeyResizeDown,
                                kHotkeyResizeRight, kHotkeyResizeLeft, kHotkeyCenter,
                                kHotkeyTaskbar};
    for (int id : order) UnregisterHotKey(mainWindow, id);
}

LResult onHotkey(int id) {
    WindowHandle target = GetForegroundWindow();
    const int s = settings.stepsize;  // resizes never follow invertarrows
    const int a = settings.arrowStep();
    switch (id) {
    case kHotkeyCenter: centerWindow(target); return 1;
    case kHotkeyResizeUp: resizeWindowBy(target, 0, oppositeStep(s)); return 1;
    case kHotkeyResizeDown: resizeWindowBy(target, 0, s); return 1;
    case kHotkeyResizeLeft: resizeWindowBy(target, oppositeStep(s), 0); return 1;
    case kHotkeyResizeRight: resizeWindowBy(target, s, 0); return 1;
    case kHotkeyMoveUp: moveWindowBy(target, 0, oppositeStep(a)); return 1;
    case kHotkeyMoveDown: moveWindowBy(target, 0, a); return 1;
    case kHotkeyMoveLeft: moveWindowBy(target, oppositeStep(a), 0); return 1;
    case kHotkeyMoveRight: moveWindowBy(target, a, 0); return 1;
    case kHotkeyTaskbar: toggleTaskbar(); return 0;
    }
    return 0;
}
