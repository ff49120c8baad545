// The table of the ten actions, and reading and naming their key combinations.
#include "settings/actions.h"

using namespace platform;

namespace {

constexpr unsigned kWinCtrl = MOD_WIN | MOD_CONTROL;
constexpr unsigned kWinAlt = MOD_WIN | MOD_ALT;

struct Name {
    const char* text;  // in capitals, as Help spells it
    unsigned value;
};

// Help names them in this order; the last entry only spells one of the others again.
const Name kModifiers[] = {
    {"WIN", MOD_WIN}, {"CTRL", MOD_CONTROL}, {"ALT", MOD_ALT}, {"SHIFT", MOD_SHIFT},
    {"CONTROL", MOD_CONTROL},
};

// Besides the letters, the digits and F1 to F24.
const Name kKeys[] = {
    {"UP", VK_UP},         {"DOWN", VK_DOWN},       {"LEFT", VK_LEFT},     {"RIGHT", VK_RIGHT},
    {"HOME", VK_HOME},     {"END", VK_END},         {"PAGEUP", VK_PRIOR},  {"PAGEDOWN", VK_NEXT},
    {"INSERT", VK_INSERT}, {"DELETE", VK_DELETE},   {"SPACE", VK_SPACE},
};

bool isIgnored(char c) { return c == ' ' || c == '\t' || c == '\r'; }
char upper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }
bool isLetterOrDigit(char c) { return (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'); }

template <typename Names>
unsigned valueOf(const Names& names, const char* begin, const char* end) {
    for (const Name& name : names)
        if (spells(begin, end, name.text)) return name.value;
    return 0;
}

// The virtual key a part names, or 0.
unsigned keyNamed(const char* begin, const char* end) {
    const auto length = end - begin;
    if (length == 1 && isLetterOrDigit(upper(*begin))) return static_cast<unsigned char>(upper(*begin));
    // F1 to F24, without leading zeros.
    if (length >= 2 && length <= 3 && upper(*begin) == 'F' && begin[1] != '0') {
        unsigned n = 0;
        for (const char* c = begin + 1; c < end; ++c) {
            if (*c < '0' || *c > '9') return 0;
            n = n * 10 + static_cast<unsigned>(*c - '0');
        }
        return n <= 24 ? static_cast<unsigned>(VK_F1) + n - 1 : 0u;
    }
    return valueOf(kKeys, begin, end);
}

}  // namespace

bool spells(const char* begin, const char* end, const char* name) {
    for (; begin < end && *name; ++begin, ++name)
        if (upper(*begin) != upper(*name)) return false;
    return begin == end && !*name;
}

void trim(const char** begin, const char** end) {
    while (*begin < *end && isIgnored(**begin)) ++*begin;
    while (*end > *begin && isIgnored((*end)[-1])) --*end;
}

int actionForKey(const char* begin, const char* end) {
    trim(&begin, &end);
    for (int i = 0; i < kActionCount; ++i)
        if (spells(begin, end, kActions[i].key)) return i;
    return -1;
}

const Action kActions[kActionCount] = {
    {"centerkey", {kWinCtrl, 'T'}, kHotkeyCenter, "Center Window", ActionKind::Center, 0, 0},
    {"taskbarkey", {MOD_WIN, 'X'}, kHotkeyTaskbar, "Hide Task Bar", ActionKind::Taskbar, 0, 0},
    {"shorterkey", {kWinAlt, VK_UP}, kHotkeyResizeUp, "Shorter", ActionKind::Resize, 0, -1},
    {"tallerkey", {kWinAlt, VK_DOWN}, kHotkeyResizeDown, "Taller", ActionKind::Resize, 0, 1},
    {"narrowerkey", {kWinAlt, VK_LEFT}, kHotkeyResizeLeft, "Narrower", ActionKind::Resize, -1, 0},
    {"widerkey", {kWinAlt, VK_RIGHT}, kHotkeyResizeRight, "Wider", ActionKind::Resize, 1, 0},
    {"moveupkey", {kWinCtrl, VK_UP}, kHotkeyMoveUp, "Move Up", ActionKind::Move, 0, -1},
    {"movedownkey", {kWinCtrl, VK_DOWN}, kHotkeyMoveDown, "Move Down", ActionKind::Move, 0, 1},
    {"moveleftkey", {kWinCtrl, VK_LEFT}, kHotkeyMoveLeft, "Move Left", ActionKind::Move, -1, 0},
    {"moverightkey", {kWinCtrl, VK_RIGHT}, kHotkeyMoveRight, "Move Right", ActionKind::Move, 1, 0},
};

bool parseKeyCombination(const char* text, KeyCombination* combination, KeyRefusal* why) {
    KeyRefusal unasked;
    if (!why) why = &unasked;
    *why = KeyRefusal::None;
    const char* begin = text;
    const char* end = text;
    while (*end) ++end;
    trim(&begin, &end);
    if (begin == end || spells(begin, end, "OFF")) {
        *combination = KeyCombination{0, 0};
        return true;
    }
    *why = KeyRefusal::Unreadable;
    unsigned modifiers = 0, key = 0;
    for (const char* part = text;;) {
        const char* partEnd = part;
        while (*partEnd && *partEnd != '+') ++partEnd;
        const char* name = part;
        const char* nameEnd = partEnd;
        trim(&name, &nameEnd);
        if (name == nameEnd) return false;  // "+X", "Win+", "Win++X"
        const unsigned modifier = valueOf(kModifiers, name, nameEnd);
        if (modifier) {
            if (modifiers & modifier) return false;
            modifiers |= modifier;
        } else {
            if (key) return false;
            key = keyNamed(name, nameEnd);
            if (!key) return false;
        }
        if (!*partEnd) break;
        part = partEnd + 1;
    }
    if (!key) return false;
    // Ctrl+Alt is AltGr on most European keyboards: a key that types a character (E for the
    // euro sign, Q for '@') stays with typing unless Win is held too.
    const bool types = isLetterOrDigit(static_cast<char>(key)) || key == VK_SPACE;
    if (types && !(modifiers & MOD_WIN)) {
        *why = KeyRefusal::Typing;
        return false;
    }
    if (!(modifiers & (MOD_WIN | MOD_CONTROL | MOD_ALT))) {
        *why = KeyRefusal::NoModifier;
        return false;
    }
    *why = KeyRefusal::None;
    *combination = KeyCombination{modifiers, key};
    return true;
}

TextBuffer& operator<<(TextBuffer& text, KeyCombination combination) {
    if (combination.none()) return text << "off";
    unsigned named = 0;
    for (const Name& modifier : kModifiers) {
        if (!(combination.modifiers & modifier.value) || (named & modifier.value)) continue;
        named |= modifier.value;
        text << modifier.text << " + ";
    }
    const unsigned key = combination.key;
    if (key >= static_cast<unsigned>(VK_F1) && key <= static_cast<unsigned>(VK_F24))
        return text << "F" << static_cast<int>(key - VK_F1 + 1);
    for (const Name& name : kKeys)
        if (name.value == key) return text << name.text;
    const char single[2] = {static_cast<char>(key), '\0'};
    return text << single;
}
