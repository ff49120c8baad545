// Keyboard, hotkeys and mouse: typed keys and raw input, registered combinations, low-level hooks.
#include "simulated_desktop.h"

#include <cstring>

#include "simulated_internal.h"

using namespace platform;
using namespace simulated;

bool SimulatedDesktop::pressHotkey(unsigned modifiers, unsigned key, int autoRepeats) {
    for (const Hotkey& h : hotkeys) {
        if ((h.modifiers & ~MOD_NOREPEAT) == modifiers && h.key == key && h.owner) {
            const Hotkey held = h;  // the handler may register or unregister hotkeys
            const int deliveries = held.modifiers & MOD_NOREPEAT ? 1 : 1 + autoRepeats;
            for (int i = 0; i < deliveries; ++i) {
                // Windows' keyboard defaults: the first repeat after 500 ms, then 30 a second.
                if (i > 0) passTime(i == 1 ? 500 : 33);
                send(held.owner, WM_HOTKEY, static_cast<WParam>(held.id), 0);
            }
            return true;
        }
    }
    return false;
}

void SimulatedDesktop::takeHotkeyElsewhere(unsigned modifiers, unsigned key) {
    hotkeys.push_back(Hotkey{nullptr, 0, modifiers, key});
}

const SimulatedDesktop::Hotkey* SimulatedDesktop::hotkey(WindowHandle owner, int id) const {
    for (const Hotkey& h : hotkeys)
        if (h.owner == owner && h.id == id) return &h;
    return nullptr;
}

bool SimulatedDesktop::sendMouse(unsigned message, short wheelDelta, int code) {
    MouseEvent event = {};
    event.mouseData = static_cast<std::uint32_t>(static_cast<std::uint16_t>(wheelDelta)) << 16;
    auto chain = hooks;  // a hook may remove itself
    bool reached = true;
    insideHook = true;
    for (auto it = chain.rbegin(); it != chain.rend() && reached; ++it)
        reached = it->second(code, message, reinterpret_cast<LParam>(&event)) == 0;
    insideHook = false;
    // The key state follows the buttons only for events that went through.
    const int button = message == WM_LBUTTONDOWN || message == WM_LBUTTONUP     ? VK_LBUTTON
                       : message == WM_RBUTTONDOWN || message == WM_RBUTTONUP   ? VK_RBUTTON
                       : message == WM_MBUTTONDOWN || message == WM_MBUTTONUP   ? VK_MBUTTON
                       : message != WM_XBUTTONDOWN && message != WM_XBUTTONUP   ? 0
                       : static_cast<unsigned>(wheelDelta) == XBUTTON2         ? VK_XBUTTON2
                                                                                : VK_XBUTTON1;
    const bool down = message == WM_LBUTTONDOWN || message == WM_RBUTTONDOWN ||
                      message == WM_MBUTTONDOWN || message == WM_XBUTTONDOWN;
    if (reached && button) {
        if (down) held.insert(button);
        else held.erase(button);
    }
    return reached;
}

void SimulatedDesktop::typeKey(int key, bool up) {
    const auto changeState = [&] {
        if (up) held.erase(key);
        else held.insert(key);
    };
    if (!faults.rawInputBeforeKeyState) changeState();
    if (rawKeyboardTarget) {
        RawKeyboardInput input = {};
        input.header.dwType = RIM_TYPEKEYBOARD;
        input.header.dwSize = sizeof input;
        // Raw input names Ctrl and Alt without their side, as Windows does.
        const bool ctrl = key == VK_LCONTROL || key == VK_RCONTROL;
        const bool alt = key == VK_LMENU || key == VK_RMENU;
        input.keyboard.VKey = static_cast<std::uint16_t>(ctrl ? VK_CONTROL : alt ? VK_MENU : key);
        input.keyboard.Flags = (up ? RI_KEY_BREAK : 0) |
                               (key == VK_RCONTROL || key == VK_RMENU ? RI_KEY_E0 : 0);
        rawInputs.push_back(input);
        ++records.rawInputsDelivered;
        const LParam lParam = reinterpret_cast<LParam>(&rawInputs.back());
        if (faults.rawInputLate) post(rawKeyboardTarget, WM_INPUT, 1 /* RIM_INPUTSINK */, lParam);
        else send(rawKeyboardTarget, WM_INPUT, 1, lParam);
    }
    if (faults.rawInputBeforeKeyState) changeState();
}

namespace platform {

bool RegisterHotKey(WindowHandle window, int id, unsigned modifiers, unsigned key) {
    if ((modifiers & MOD_NOREPEAT) && desk().faults.refuseNoRepeat) return false;
    // MOD_NOREPEAT changes how a combination is delivered, not which one it is.
    const unsigned combination = modifiers & ~MOD_NOREPEAT;
    for (const SimulatedDesktop::Hotkey& h : desk().hotkeys) {
        if (((h.modifiers & ~MOD_NOREPEAT) == combination && h.key == key) ||
            (h.owner && h.owner == window && h.id == id))
            return false;
    }
    desk().hotkeys.push_back(SimulatedDesktop::Hotkey{window, id, modifiers, key});
    if (desk().records.logCalls) desk().records.calls.push_back("RegisterHotKey " + std::to_string(id));
    return true;
}

bool UnregisterHotKey(WindowHandle window, int id) {
    if (desk().records.logCalls) desk().records.calls.push_back("UnregisterHotKey " + std::to_string(id));
    auto& all = desk().hotkeys;
    for (auto it = all.begin(); it != all.end(); ++it) {
        if (it->owner && it->owner == window && it->id == id) {
            all.erase(it);
            return true;
        }
    }
    return false;
}

short GetAsyncKeyState(int key) {
    desk().records.keyReads.push_back(key);
    const auto down = [](int k) { return desk().held.count(k) != 0; };
    bool isDown = down(key);  // VK_CONTROL and VK_MENU stand for either side; held, the left
    if (key == VK_CONTROL) isDown = isDown || down(VK_LCONTROL) || down(VK_RCONTROL);
    if (key == VK_MENU) isDown = isDown || down(VK_LMENU) || down(VK_RMENU);
    if (key == VK_LCONTROL) isDown = isDown || down(VK_CONTROL);
    if (key == VK_LMENU) isDown = isDown || down(VK_MENU);
    return isDown ? static_cast<short>(0x8000) : 0;
}

unsigned SendInput(unsigned count, const Input* inputs, int size) {
    if (size != static_cast<int>(sizeof(Input))) return 0;
    for (unsigned i = 0; i < count; ++i) {
        if (inputs[i].type != INPUT_KEYBOARD) return i;
        desk().records.sentKeys.push_back(SimulatedDesktop::SentKey{
            inputs[i].ki.wVk, (inputs[i].ki.dwFlags & KEYEVENTF_KEYUP) != 0, desk().insideHook});
    }
    return count;
}

bool RegisterRawInputDevices(const RawInputDevice* devices, unsigned count, unsigned size) {
    if (count != 1 || size != sizeof(RawInputDevice) || desk().faults.refuseRawInput) return false;
    const RawInputDevice& d = devices[0];
    const bool remove = (d.dwFlags & RIDEV_REMOVE) != 0;
    logWith(remove ? "RegisterRawInputDevices REMOVE" : "RegisterRawInputDevices");
    if (d.usUsagePage != 1 || d.usUsage != 6) return false;  // only the keyboard is simulated
    // Removing takes no window; a sink without a window is refused.
    if (remove) {
        if (d.hwndTarget) return false;
        desk().rawKeyboardTarget = nullptr;
        return true;
    }
    if (!(d.dwFlags & RIDEV_INPUTSINK) || !find(d.hwndTarget)) return false;
    desk().rawKeyboardTarget = d.hwndTarget;
    return true;
}

unsigned GetRawInputData(LParam rawInput, unsigned command, void* data, unsigned* size,
                         unsigned headerSize) {
    const unsigned kFailed = static_cast<unsigned>(-1);
    if (command != RID_INPUT || headerSize != sizeof(RawInputHeader) || !rawInput) return kFailed;
    const RawKeyboardInput& input = *reinterpret_cast<const RawKeyboardInput*>(rawInput);
    if (*size < input.header.dwSize) return kFailed;
    std::memcpy(data, &input, input.header.dwSize);
    return input.header.dwSize;
}

HookHandle SetWindowsHookExA(int idHook, HookProc proc, InstanceHandle, std::uint32_t threadId) {
    logWith("SetWindowsHookExA");
    if (idHook != WH_MOUSE_LL || threadId != 0 || desk().faults.failHookInstall) return nullptr;
    HookHandle hook = newHandle<HookHandle>();
    desk().hooks.emplace_back(hook, proc);
    return hook;
}

LResult CallNextHookEx(HookHandle, int, WParam, LParam) {
    ++desk().records.passedOn;
    return 0;
}

bool UnhookWindowsHookEx(HookHandle hook) {
    logWith("UnhookWindowsHookEx");
    auto& hooks = desk().hooks;
    for (auto it = hooks.begin(); it != hooks.end(); ++it) {
        if (it->first == hook) {
            hooks.erase(it);
            return true;
        }
    }
    return false;
}

bool GetCursorPos(Point* point) {
    *point = desk().cursor;
    return true;
}

}  // namespace platform
