// Moving, resizing and centring another program's window by one step.
#pragma once

#include "platform/desktop.h"

// True when the window's title is empty and unnamed windows are to be left alone.
bool isUnnamedIgnored(platform::WindowHandle window);
// True for the desktop and the taskbars: no action and no refit ever moves them.
bool isShellWindow(platform::WindowHandle window);

void moveWindowBy(platform::WindowHandle window, int dx, int dy);
void resizeWindowBy(platform::WindowHandle window, int dw, int dh);
void centerWindow(platform::WindowHandle window);
