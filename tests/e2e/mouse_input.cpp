// SendInput helpers for mouse gestures and menu keys, and the mouse-message tally.
#include "mouse_input.h"

namespace e2e {

namespace {

void send(std::vector<INPUT> inputs, const std::string& what, DWORD settleMs = 60) {
    UINT sent = SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT));
    if (sent != inputs.size())
        fail(str(static_cast<long>(inputs.size())) + " events sent for " + what,
             str(static_cast<long>(sent)));
    // Let the receiving thread (hook, menu loop) take them before the next step.
    pumpFor(settleMs);
}

std::string heldName(unsigned modifiers) {
    std::string name = comboName(modifiers, ' ');
    return name.substr(0, name.size() - 2);  // without "+ "
}

std::vector<WORD> keysOf(unsigned modifiers) {
    std::vector<WORD> keys;
    if (modifiers & kWin) keys.push_back(VK_LWIN);
    if (modifiers & kCtrl) keys.push_back(VK_CONTROL);
    if (modifiers & kAlt) keys.push_back(VK_MENU);
    return keys;
}

INPUT mouseInput(DWORD flags, DWORD data = 0) {
    INPUT in = {};
    in.type = INPUT_MOUSE;
    in.mi.dwFlags = flags;
    in.mi.mouseData = data;
    return in;
}

}  // namespace

HeldKeys::HeldKeys(unsigned modifiers, DWORD settleMs) : modifiers_(modifiers) {
    std::vector<INPUT> inputs;
    for (WORD vk : keysOf(modifiers)) inputs.push_back(keyInput(vk, false));
    send(inputs, "holding " + heldName(modifiers), settleMs);
}

void HeldKeys::release() {
    if (!modifiers_) return;
    std::vector<INPUT> inputs;
    std::vector<WORD> keys = keysOf(modifiers_);
    for (auto it = keys.rbegin(); it != keys.rend(); ++it) inputs.push_back(keyInput(*it, true));
    modifiers_ = 0;
    // No fail() here: this also runs while a failure unwinds.
    SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT));
    pumpFor(60);
}

void settlePointerAt(int x, int y) {
    SetCursorPos(x, y);
    pumpFor(250);
}

void tapKey(WORD vk) { send({keyInput(vk, false), keyInput(vk, true)}, "a key tap"); }

const char* gestureName(MouseGesture gesture) {
    switch (gesture) {
    case MouseGesture::WheelForward: return "wheel forward";
    case MouseGesture::WheelBackward: return "wheel backward";
    case MouseGesture::WheelZero: return "wheel with delta 0";
    case MouseGesture::LeftClick: return "left click";
    case MouseGesture::RightClick: return "right click";
    case MouseGesture::LeftDown: return "left button down";
    case MouseGesture::LeftUp: return "left button up";
    }
    return "?";
}

void sendMouse(MouseGesture gesture) {
    switch (gesture) {
    case MouseGesture::WheelForward:
        return send({mouseInput(MOUSEEVENTF_WHEEL, WHEEL_DELTA)}, gestureName(gesture));
    case MouseGesture::WheelBackward:
        return send({mouseInput(MOUSEEVENTF_WHEEL, static_cast<DWORD>(-WHEEL_DELTA))},
                    gestureName(gesture));
    case MouseGesture::WheelZero:
        return send({mouseInput(MOUSEEVENTF_WHEEL, 0)}, gestureName(gesture));
    case MouseGesture::LeftClick:
        return send({mouseInput(MOUSEEVENTF_LEFTDOWN), mouseInput(MOUSEEVENTF_LEFTUP)},
                    gestureName(gesture));
    case MouseGesture::RightClick:
        return send({mouseInput(MOUSEEVENTF_RIGHTDOWN), mouseInput(MOUSEEVENTF_RIGHTUP)},
                    gestureName(gesture));
    case MouseGesture::LeftDown:
        return send({mouseInput(MOUSEEVENTF_LEFTDOWN)}, gestureName(gesture));
    case MouseGesture::LeftUp:
        return send({mouseInput(MOUSEEVENTF_LEFTUP)}, gestureName(gesture));
    }
}

void sendMouseMove(int dx, int dy) {
    INPUT in = mouseInput(MOUSEEVENTF_MOVE);
    in.mi.dx = dx;
    in.mi.dy = dy;
    send({in}, "a mouse move");
}

// ---- MouseSpy --------------------------------------------------------------------

namespace {
constexpr char kSpyProperty[] = "TabrinE2EMouseSpy";
}

MouseSpy::MouseSpy(HWND window) : window_(window) {
    SetPropA(window_, kSpyProperty, this);
    previous_ = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrA(window_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&MouseSpy::proc)));
}

MouseSpy::~MouseSpy() {
    SetWindowLongPtrA(window_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(previous_));
    RemovePropA(window_, kSpyProperty);
}

LRESULT CALLBACK MouseSpy::proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* spy = static_cast<MouseSpy*>(GetPropA(window, kSpyProperty));
    switch (message) {
    case WM_LBUTTONDOWN: case WM_LBUTTONUP: case WM_RBUTTONDOWN: case WM_RBUTTONUP:
    case WM_MOUSEWHEEL: case WM_MOUSEHWHEEL:
        ++spy->counts_[message];
        break;
    }
    return CallWindowProcA(spy->previous_, window, message, wParam, lParam);
}

int MouseSpy::count(UINT message) const {
    auto it = counts_.find(message);
    return it == counts_.end() ? 0 : it->second;
}

std::string MouseSpy::summary() const {
    std::string out;
    for (const auto& entry : counts_) {
        const char* name = entry.first == WM_LBUTTONDOWN ? "WM_LBUTTONDOWN"
                           : entry.first == WM_LBUTTONUP ? "WM_LBUTTONUP"
                           : entry.first == WM_RBUTTONDOWN ? "WM_RBUTTONDOWN"
                           : entry.first == WM_RBUTTONUP ? "WM_RBUTTONUP"
                           : entry.first == WM_MOUSEWHEEL ? "WM_MOUSEWHEEL"
                                                          : "WM_MOUSEHWHEEL";
        if (!out.empty()) out += ", ";
        out += std::string(name) + " x" + str(static_cast<long>(entry.second));
    }
    return out.empty() ? "none" : out;
}

}  // namespace e2e
