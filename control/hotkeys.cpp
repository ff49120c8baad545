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

// No MOD_NOREPEAT: a held combination repeats at the keyboard's rate.
const Hotkey kHotkeys[10] = {
    {kHotkeyCenter, kWinCtrl, kKeyT},        {kHotkeyTaskbar, MOD_WIN, kKeyX},
    {kHotkeyResizeUp, kWinAlt, VK_UP},       {kHotkeyResizeDown, kWinAlt, VK_DOWN},
    {kHotkeyResizeLeft, kWinAlt, VK_LEFT},   {kHotkeyResizeRight, kWinAlt, VK_RIGHT},
    {kHotkeyMoveUp, kWinCtrl, VK_UP},        {kHotkeyMoveDown, kWinCtrl, VK_DOWN},
    {kHotkeyMoveLeft, kWinCtrl, VK_LEFT},    {kHotkeyMoveRight, kWinCtrl, VK_RIGHT},
};

bool hotkeyRefused[10] = {};

void registerHotkeys() {
    // A combination another program holds is never delivered; the help box names it.
    for (int i = 0; i < 10; ++i)
        hotkeyRefused[i] = !RegisterHotKey(mainWindow, kHotkeys[i].id, kHotkeys[i].modifiers,
                                           kHotkeys[i].key);
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
