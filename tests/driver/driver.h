// What the Win32 test drivers share: starting a program, finding its windows, reading this
// thread's messages, and the windows and keys the programs under test act on.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace driver {

// The performance counter in milliseconds.
double nowMs();

// Handles every queued message of this thread. A move another process makes to our windows is
// applied under Wine only while this thread reads its queue, so every wait pumps.
void pump();
void pumpFor(DWORD ms);

// Text in the ANSI code page as UTF-16, for the wide-character calls.
std::wstring widen(const std::string& text);

// CreateProcess of `exe` with `args` after its quoted name, in `cwd` (null: ours). Wine now and
// then fails it with ERROR_INTERNAL_ERROR for an executable written a moment before; the program
// has not run then, so it is tried once more. On failure GetLastError says why.
bool launch(const std::wstring& exe, const std::wstring& args, const wchar_t* cwd, DWORD flags,
            PROCESS_INFORMATION& started);

// The top-level windows of process `pid` with that class (and title, when given), in z-order.
std::vector<HWND> windowsOf(DWORD pid, const char* className, const char* title = nullptr,
                            bool visibleOnly = false);
HWND findWindowOf(DWORD pid, const char* className, const char* title = nullptr);

// Registers, once, a window class for windows the programs under test act on. Its windows
// ignore Alt and F10, which would open the system menu: a modal loop that stalls the driver.
void registerTargetClass(const char* name);

// A key-down or key-up for SendInput, marked extended for the keys that are.
INPUT keyInput(WORD vk, bool up);

}  // namespace driver
