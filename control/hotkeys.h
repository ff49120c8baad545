// The ten global hotkeys and their dispatch.
#pragma once

#include "platform/desktop.h"

enum HotkeyId : int {
    kHotkeyMoveUp = 1,
    kHotkeyMoveDown = 2,
    kHotkeyMoveRight = 3,
    kHotkeyMoveLeft = 4,
    kHotkeyResizeUp = 11,
    kHotkeyResizeDown = 12,
    kHotkeyResizeLeft = 13,
    kHotkeyResizeRight = 14,
    kHotkeyTaskbar = 20,
    kHotkeyCenter = 30,
};

struct Hotkey {
    int id;
    unsigned modifiers;
    unsigned key;
};

// In registration order.
extern const Hotkey kHotkeys[10];
// By position in kHotkeys: true when RegisterHotKey refused the combination, which another
// program (or Windows itself) holds, so it never reaches Tabrin.
extern bool hotkeyRefused[10];

void registerHotkeys();
void unregisterHotkeys();
// WM_HOTKEY: 1 when a window action ran (or was spared by the unnamed rule), else 0.
platform::LResult onHotkey(int id);
