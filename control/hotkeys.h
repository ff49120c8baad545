// The ten global hotkeys: their combinations from the key lines, registration and dispatch.
#pragma once

#include "platform/desktop.h"
#include "settings/actions.h"

// A key line Tabrin could not use as written, for the Help box.
struct KeyProblem {
    int action;          // into kActions
    int takenBy;         // the action that has the combination; -1: it is no combination at all
    KeyRefusal refusal;  // why not, for -1
};

// What registerHotkeys settled on, by position in kActions.
struct HotkeyState {
    KeyCombination inForce[kActionCount];  // none(): the action has no keys
    // RegisterHotKey refused the combination: another program (or Windows itself) holds it, so
    // it never reaches Tabrin.
    bool refused[kActionCount];
    KeyProblem problems[2 * kActionCount];  // an unusable value, then a lost clash, per action
    int problemCount;
};
extern HotkeyState hotkeyState;

// The combinations in force are the ten defaults.
bool hotkeysAreDefaults();

void registerHotkeys();
void unregisterHotkeys();
// WM_HOTKEY: 1 when a window action ran (or was spared by the unnamed rule), else 0.
platform::LResult onHotkey(int id);

// Back to what a new process starts with (for the tests).
void resetHotkeysState();
