// Start-up, the hidden main window, the message loop and the routing of its messages.
#pragma once

#include "platform/desktop.h"

// Everything WinMain does; returns the process's exit code.
int runTabrin(platform::InstanceHandle instance);

platform::LResult mainWindowProc(platform::WindowHandle window, unsigned message,
                                 platform::WParam wParam, platform::LParam lParam);

// Back to what a new process starts with (for the tests).
void resetShellState();
