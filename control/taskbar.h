// Win+X: hide or show the taskbar and hand its space to the applications or take it back.
#pragma once

#include "platform/desktop.h"

// The work area this toggle last applied, and the one to go back to (also the one matched
// when refitting windows). Both all zero until the first toggle.
extern platform::Rect currentWorkArea;
extern platform::Rect savedWorkArea;
// True from a hide of ours until the show that gives the saved area back.
extern bool workAreaRestorePending;

// The windows our hide stretched to the screen: only these are shrunk again at the show, so
// full-screen programs and the desktop keep their size. Fixed, so a toggle never allocates;
// once it is full, no more windows are stretched.
constexpr int kStretchedCapacity = 64;
extern platform::WindowHandle stretchedWindows[kStretchedCapacity];
extern int stretchedCount;

// fitWindowProc's lParam: which way the work area just changed.
constexpr platform::LParam kFitHiding = 1;
constexpr platform::LParam kFitShowing = 0;

void toggleTaskbar();
void saveWorkArea();
void setWorkArea(int x, int y, int width, int height);
bool fitWindowProc(platform::WindowHandle window, platform::LParam lParam);
// WM_DISPLAYCHANGE: a saved area belongs to the old screen size and is never given back.
void onDisplayChange();
