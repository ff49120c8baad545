// The two handles the shell hands down: set once at start-up, read by every module below it.
#pragma once

#include "platform/desktop.h"

namespace platform {

extern InstanceHandle instance;  // set first thing in the entry point
extern WindowHandle mainWindow;  // set first thing in WM_CREATE

}  // namespace platform
