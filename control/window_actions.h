// Moving, resizing and centring another program's window by one step.
#pragma once

#include "platform/desktop.h"

// Coordinates plus a step from the file, or a far-off window's size, can leave the int range;
// the platform gets the nearest.
int saturate(long long value);

// True when the window's title is empty and unnamed windows are to be left alone.
bool isUnnamedIgnored(platform::WindowHandle window);
// True for the desktop, the taskbars and the notification area's overflow: no action and no
// refit ever moves them.
bool isShellWindow(platform::WindowHandle window);
// Store apps and shell windows that are suspended or on another virtual desktop are cloaked:
// invisible, though IsWindowVisible says otherwise.
bool isCloaked(platform::WindowHandle window);
// The part of the window one sees: DWM's frame bounds where they lie within its rectangle r
// (Windows 10 and 11 add invisible resize borders), else r itself.
platform::Rect visibleRect(platform::WindowHandle window, const platform::Rect& r);

void moveWindowBy(platform::WindowHandle window, int dx, int dy);
void resizeWindowBy(platform::WindowHandle window, int dw, int dh);
void centerWindow(platform::WindowHandle window);

// Back to what a new process starts with (for the tests).
void resetWindowActionsState();
