// The two handles of this run that every module below the shell reads: the shell owns and sets
// them (app/shell.cpp), and nothing below it can include app/, so their names are declared here.
#pragma once

#include "platform/desktop.h"

namespace platform {

extern InstanceHandle instance;  // set first thing in the entry point
extern WindowHandle mainWindow;  // set first thing in WM_CREATE

}  // namespace platform
