// Win+X: hide or show the taskbar and hand its space to the applications or take it back.
#pragma once

#include "platform/desktop.h"

// The work area this toggle last applied, and the one to go back to (also the one matched
// when refitting windows). Both all zero until the first toggle.
extern platform::Rect currentWorkArea;
extern platform::Rect savedWorkArea;
// The most windows one hide stretches to their monitor; beyond it, windows keep their size.
constexpr int kStretchedCapacity = 64;

// fitWindowProc's lParam: which way the work area just changed.
constexpr platform::LParam kFitHiding = 1;
constexpr platform::LParam kFitShowing = 0;

void toggleTaskbar();
void saveWorkArea();
void setWorkArea(int x, int y, int width, int height);
bool fitWindowProc(platform::WindowHandle window, platform::LParam lParam);
// "TaskbarCreated" (Explorer restarted), once the icon is back.
void onTaskbarCreated();
// WM_DISPLAYCHANGE: a saved area belongs to the old screen size and is never given back.
void onDisplayChange();

// Back to what a new process starts with (for the tests).
void resetTaskbarState();
