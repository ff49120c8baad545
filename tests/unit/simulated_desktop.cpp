// The simulated desktop's core: its bring-up, the messages between windows, time, and the process.
#include "simulated_desktop.h"

#include <algorithm>
#include <cstdio>

#include "simulated_internal.h"
#include "test_support.h"

using namespace platform;
using namespace simulated;

SimulatedDesktop* SimulatedDesktop::current = nullptr;

SimulatedDesktop::SimulatedDesktop() {
    current = this;
    resetTabrinState();
    desktopWindow = newHandle<WindowHandle>();
    windows[desktopWindow] = Window{"", "#32769", Rect{0, 0, 1920, 1080}, true};
    workArea = Rect{0, 0, 1920, 1080};
    addMonitor(Rect{0, 0, 1920, 1080});
}

SimulatedDesktop::~SimulatedDesktop() {
    for (auto& open : openFiles) std::fclose(open.second.file);  // a handle the code under test leaked
    current = nullptr;
}

int SimulatedDesktop::pumpPosted() {
    int dispatched = 0;
    while (!queue.empty()) {
        Message next = queue.front();
        queue.pop_front();
        if (next.message == WM_QUIT) continue;
        send(next.window, next.message, next.wParam, next.lParam);
        ++dispatched;
    }
    return dispatched;
}

void SimulatedDesktop::passTime(unsigned ms) {
    const unsigned long long end = now + ms;
    for (;;) {
        auto next = std::min_element(timers.begin(), timers.end(),
                                     [](const Timer& a, const Timer& b) { return a.due < b.due; });
        if (next == timers.end() || next->due > end) break;
        now = next->due;
        next->due += next->interval;
        const Timer fired = *next;  // the handler may kill or replace it
        send(fired.window, WM_TIMER, fired.id, 0);
    }
    now = end;
}

void SimulatedDesktop::post(WindowHandle window, unsigned message, WParam wParam, LParam lParam) {
    queue.push_back(Message{window, message, wParam, lParam, ""});
}

void SimulatedDesktop::postToClass(const std::string& className, unsigned message, WParam wParam,
                                   LParam lParam) {
    queue.push_back(Message{nullptr, message, wParam, lParam, className});
}

void SimulatedDesktop::broadcast(unsigned message, WParam wParam, LParam lParam, bool waits) {
    records.broadcasts.push_back(Broadcast{message, wParam, lParam, waits});
    for (WindowHandle window : std::vector<WindowHandle>(zOrder))
        if (windows.count(window) && windows[window].proc) send(window, message, wParam, lParam);
}

LResult SimulatedDesktop::send(WindowHandle window, unsigned message, WParam wParam,
                               LParam lParam) {
    Window* w = find(window);
    if (!w || !w->proc) return 0;
    return w->proc(window, message, wParam, lParam);
}

namespace platform {

std::uintptr_t SetTimer(WindowHandle window, std::uintptr_t id, unsigned elapse, void*) {
    if (!find(window)) return 0;
    KillTimer(window, id);  // the same identifier replaces the timer
    desk().timers.push_back(SimulatedDesktop::Timer{window, id, elapse, desk().now + elapse});
    return id;
}

bool KillTimer(WindowHandle window, std::uintptr_t id) {
    auto& timers = desk().timers;
    for (auto it = timers.begin(); it != timers.end(); ++it) {
        if (it->window == window && it->id == id) {
            timers.erase(it);
            return true;
        }
    }
    return false;
}

std::uint32_t GetTickCount() { return static_cast<std::uint32_t>(desk().now); }

unsigned RegisterWindowMessageA(const char* name) {
    auto& registered = desk().registeredMessages;
    auto it = registered.find(name);
    if (it != registered.end()) return it->second;
    const unsigned id = 0xC000 + static_cast<unsigned>(registered.size());
    registered[name] = id;
    return id;
}

bool PeekMessageA(Message* msg, WindowHandle, unsigned, unsigned, unsigned) {
    if (desk().queue.empty()) return false;
    SimulatedDesktop::Message next = desk().queue.front();
    desk().queue.pop_front();
    if (!next.toClass.empty()) next.window = FindWindowA(next.toClass.c_str(), nullptr);
    *msg = Message{next.window, next.message, next.wParam, next.lParam, 0, Point{0, 0}};
    return true;
}

std::uint32_t MsgWaitForMultipleObjects(std::uint32_t count, const ChangeHandle* handles, bool,
                                        std::uint32_t, std::uint32_t) {
    for (std::uint32_t i = 0; i < count; ++i) {
        if (!desk().watches.count(handles[i])) return WAIT_FAILED;
        if (desk().signalled.count(handles[i])) return WAIT_OBJECT_0 + i;
    }
    if (desk().queue.empty()) {
        desk().records.loopStarved = true;  // a real loop would wait for ever here
        desk().post(nullptr, WM_QUIT);
    }
    return WAIT_OBJECT_0 + count;
}

void Sleep(std::uint32_t milliseconds) {
    desk().records.slept += milliseconds;
    desk().now += milliseconds;  // the thread sleeps: no timer of its fires meanwhile
}

bool TranslateMessage(const Message*) { return false; }

LResult DispatchMessageA(const Message* msg) {
    return desk().send(msg->hwnd, msg->message, msg->wParam, msg->lParam);
}

LResult DefWindowProcA(WindowHandle window, unsigned message, WParam wParam, LParam lParam) {
    desk().records.defaultHandled.push_back(
        SimulatedDesktop::Message{window, message, wParam, lParam, ""});
    return 0;
}

LResult SendMessageA(WindowHandle window, unsigned message, WParam wParam, LParam lParam) {
    if (window == HWND_BROADCAST) {
        desk().broadcast(message, wParam, lParam, true);
        return 0;
    }
    return desk().send(window, message, wParam, lParam);
}

bool SendNotifyMessageA(WindowHandle window, unsigned message, WParam wParam, LParam lParam) {
    logWith("SendNotifyMessageA", message, wParam);
    if (window == HWND_BROADCAST) {
        desk().broadcast(message, wParam, lParam, false);
        return true;
    }
    if (!find(window)) return false;
    desk().send(window, message, wParam, lParam);  // our thread's window: handled at once
    return true;
}

bool PostMessageA(WindowHandle window, unsigned message, WParam wParam, LParam lParam) {
    if (window && !find(window)) return false;  // no window: a message to the thread
    desk().post(window, message, wParam, lParam);
    return true;
}

void PostQuitMessage(int exitCode) {
    desk().records.calls.push_back("PostQuitMessage");
    desk().post(nullptr, WM_QUIT, static_cast<WParam>(exitCode), 0);
}

MutexHandle OpenMutexA(std::uint32_t, bool, const char* name) {
    if (!desk().mutexes.count(name)) return nullptr;
    return newHandle<MutexHandle>();
}

MutexHandle CreateMutexA(void*, bool, const char* name) {
    const bool exists = desk().mutexes.count(name) || desk().faults.mutexRace;
    desk().mutexes.insert(name);
    desk().lastError = exists ? ERROR_ALREADY_EXISTS : 0;
    return newHandle<MutexHandle>();
}

std::uint32_t GetLastError() { return desk().lastError; }

}  // namespace platform
