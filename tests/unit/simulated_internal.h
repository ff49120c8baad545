// What the simulated desktop's files share: the desktop the calls reach, new handles, window
// lookup and the call log.
#pragma once

#include <sstream>

#include "simulated_desktop.h"

namespace simulated {

inline SimulatedDesktop& desk() { return *SimulatedDesktop::current; }

template <typename Handle>
Handle newHandle() {
    return reinterpret_cast<Handle>(desk().nextHandle++);
}

inline SimulatedDesktop::Window* find(platform::WindowHandle window) {
    auto it = desk().windows.find(window);
    return it == desk().windows.end() ? nullptr : &it->second;
}

// Logs a call with its arguments; built only while logging, as a test counting allocations
// turns the log off.
template <typename... Arguments>
void logWith(const char* call, const Arguments&... arguments) {
    if (!desk().records.logCalls) return;
    std::ostringstream line;
    line << call;
    ((line << ' ' << arguments), ...);
    desk().records.calls.push_back(line.str());
}

}  // namespace simulated
