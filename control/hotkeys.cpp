// Hotkeys on the main window: by default Win+Ctrl moves, Win+Alt resizes, Win+Ctrl+T centres and
// Win+X toggles the taskbar; the key lines of tabrin.ini choose other combinations.
#include "control/hotkeys.h"

#include "control/taskbar.h"
#include "control/window_actions.h"
#include "platform/session.h"
#include "settings/settings.h"

using namespace platform;

HotkeyState hotkeyState;

namespace {

// Where two actions want one combination, a chosen one beats a default, and between two of a
// kind the earlier action wins.
bool outranks(int a, int b, const bool chosen[]) {
    return chosen[a] != chosen[b] ? chosen[a] : a < b;
}

void settleCombinations() {
    HotkeyState& state = hotkeyState;
    state.problemCount = 0;
    KeyCombination wanted[kActionCount];
    bool chosen[kActionCount];
    bool unusable[kActionCount];
    KeyRefusal refusal[kActionCount] = {};
    for (int i = 0; i < kActionCount; ++i) {
        const KeyLine& line = keyLines.line[i];
        KeyCombination parsed = {0, 0};
        chosen[i] = line.present && parseKeyCombination(line.value, &parsed, &refusal[i]);
        unusable[i] = line.present && !chosen[i];  // left at its default
        wanted[i] = chosen[i] ? parsed : kActions[i].defaults;
    }
    for (int i = 0; i < kActionCount; ++i) {
        if (unusable[i]) state.problems[state.problemCount++] = KeyProblem{i, -1, refusal[i]};
        int owner = i;
        for (int j = 0; j < kActionCount && !wanted[i].none(); ++j)
            if (wanted[j] == wanted[i] && outranks(j, owner, chosen)) owner = j;
        state.inForce[i] = owner == i ? wanted[i] : KeyCombination{0, 0};
        if (owner != i)
            state.problems[state.problemCount++] = KeyProblem{i, owner, KeyRefusal::None};
    }
}

// One step in a direction: -1, 0 or +1.
int steps(int direction, int step) {
    return direction < 0 ? oppositeStep(step) : direction > 0 ? step : 0;
}

}  // namespace

bool hotkeysAreDefaults() {
    for (int i = 0; i < kActionCount; ++i)
        if (hotkeyState.inForce[i] != kActions[i].defaults) return false;
    return true;
}

void registerHotkeys() {
    settleCombinations();
    for (int i = 0; i < kActionCount; ++i) {
        const Action& action = kActions[i];
        const KeyCombination keys = hotkeyState.inForce[i];
        hotkeyState.refused[i] = false;
        if (keys.none()) continue;
        // Moves and resizes repeat at the keyboard's rate while held; centring and the taskbar
        // toggle happen once per press (a held Win+X would flicker the taskbar). Windows Vista
        // does not know MOD_NOREPEAT: should it refuse the flag, a repeating combination beats
        // none, and only a refusal of the plain combination counts.
        const bool once = action.kind == ActionKind::Center || action.kind == ActionKind::Taskbar;
        bool registered = RegisterHotKey(mainWindow, action.hotkeyId,
                                         keys.modifiers | (once ? MOD_NOREPEAT : 0), keys.key);
        if (!registered && once)
            registered = RegisterHotKey(mainWindow, action.hotkeyId, keys.modifiers, keys.key);
        hotkeyState.refused[i] = !registered;
    }
}

void unregisterHotkeys() {
    for (const Action& action : kActions) UnregisterHotKey(mainWindow, action.hotkeyId);
}

LResult onHotkey(int id) {
    WindowHandle target = GetForegroundWindow();
    for (const Action& action : kActions) {
        if (action.hotkeyId != id) continue;
        switch (action.kind) {
        case ActionKind::Center: centerWindow(target); return 1;
        case ActionKind::Taskbar: toggleTaskbar(); return 0;
        case ActionKind::Resize: {
            const int s = settings.stepsize;  // resizes never follow invertarrows
            resizeWindowBy(target, steps(action.dx, s), steps(action.dy, s));
            return 1;
        }
        case ActionKind::Move: {
            const int a = settings.arrowStep();
            moveWindowBy(target, steps(action.dx, a), steps(action.dy, a));
            return 1;
        }
        }
    }
    return 0;
}

void resetHotkeysState() { hotkeyState = HotkeyState{}; }
