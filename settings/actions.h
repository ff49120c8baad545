// The ten actions a key combination triggers, their default combinations, and the syntax of the
// key lines in tabrin.ini that choose others ("moveleftkey=Ctrl+Alt+Left").
#pragma once

#include "platform/desktop.h"
#include "settings/text_buffer.h"

// As RegisterHotKey takes it: MOD_* modifiers (never MOD_NOREPEAT) and a virtual key.
struct KeyCombination {
    unsigned modifiers;
    unsigned key;  // 0: no combination at all

    bool none() const { return key == 0; }
};
inline bool operator==(KeyCombination a, KeyCombination b) {
    return a.modifiers == b.modifiers && a.key == b.key;
}
inline bool operator!=(KeyCombination a, KeyCombination b) { return !(a == b); }

// WM_HOTKEY identifiers.
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

enum class ActionKind : unsigned char { Center, Taskbar, Resize, Move };

struct Action {
    const char* key;  // its line in tabrin.ini
    KeyCombination defaults;
    int hotkeyId;
    const char* helpName;
    ActionKind kind;
    signed char dx, dy;  // a move's or a resize's direction, in steps
};

// In registration order; where two chosen combinations clash, the earlier action keeps it.
constexpr int kActionCount = 10;
extern const Action kActions[kActionCount];

// Why a key line's value names no combination, for Help.
enum class KeyRefusal : unsigned char {
    None,
    Unreadable,  // not modifiers and one key joined by '+'
    Typing,      // a letter, digit or Space without Win
    NoModifier,  // neither Win, Ctrl nor Alt
};

// Reads a key line's value: modifiers and one key joined by '+', in any case, blanks around each
// part ("Win+Shift+X", " ctrl + alt + f9 "), or "off" or nothing for no combination. False for
// anything else, a bare key or Shift+key included: those would take a key away from typing, as
// would a letter, digit or Space without Win (Ctrl+Alt is AltGr). *why, if given, says which.
bool parseKeyCombination(const char* text, KeyCombination* combination,
                         KeyRefusal* why = nullptr);

// Moves *begin and *end inward past the blanks, tabs and CRs around the text.
void trim(const char** begin, const char** end);
// The text from begin to end against a name, both in any case.
bool spells(const char* begin, const char* end, const char* name);
// The action whose key-line key the text names, in any case and with blanks around; -1: none.
int actionForKey(const char* begin, const char* end);

// "WIN + CTRL + T", "CTRL + ALT + F9", "off".
TextBuffer& operator<<(TextBuffer& text, KeyCombination combination);
