// Win+X: hide or show the taskbar and hand its space to the applications or take it back.
#pragma once

#include "platform/desktop.h"

// The work area this toggle last applied, and the one to go back to (also the one matched
// when refitting windows). Both all zero until the first toggle.
extern platform::Rect currentWorkArea;
extern platform::Rect savedWorkArea;
// True from a hide of ours until the show that gives the saved area back.
extern bool workAreaRestorePending;

void toggleTaskbar();
void saveWorkArea();
void setWorkArea(int x, int y, int width, int height);
bool fitWindowProc(platform::WindowHandle window, platform::LParam lParam);
