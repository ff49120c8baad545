// Win+X: hide or show the taskbar and hand its space to the applications or take it back.
#pragma once

#include "platform/desktop.h"

// The work area this toggle last applied, and the one to go back to (also the one matched
// when refitting windows). Both all zero until the first toggle.
extern platform::Rect currentWorkArea;
extern platform::Rect savedWorkArea;
// True from a hide of ours until the show that gives the saved area back.
extern bool workAreaRestorePending;

// The windows our hide stretched to their monitor, and which monitor (0 the primary, else
// otherMonitors[n - 1]): only these are shrunk again at the show, so full-screen programs and
// the desktop keep their size. Fixed, so a toggle never allocates; once it is full, no more
// windows are stretched.
constexpr int kStretchedCapacity = 64;
extern platform::WindowHandle stretchedWindows[kStretchedCapacity];
extern unsigned char stretchedOn[kStretchedCapacity];
extern int stretchedCount;

// The other monitors as our hide found them: rcWork is given back at the show. Fixed, like the
// table above; monitors beyond it keep their taskbars and work areas.
struct MonitorArea {
    platform::MonitorHandle monitor;  // null once it has gone or moved: never matched again
    platform::Rect rcMonitor;
    platform::Rect rcWork;
};
constexpr int kMonitorCapacity = 8;
extern MonitorArea otherMonitors[kMonitorCapacity];
extern int otherMonitorCount;

// The secondary taskbars ("Shell_SecondaryTrayWnd") our hide took down: only these are shown
// again, so one its user had hidden stays hidden. Kept through a display change.
extern platform::WindowHandle hiddenTaskbars[kMonitorCapacity];
extern int hiddenTaskbarCount;

// fitWindowProc's lParam: which way the work area just changed.
constexpr platform::LParam kFitHiding = 1;
constexpr platform::LParam kFitShowing = 0;

void toggleTaskbar();
void saveWorkArea();
void setWorkArea(int x, int y, int width, int height);
bool fitWindowProc(platform::WindowHandle window, platform::LParam lParam);
// WM_DISPLAYCHANGE: a saved area belongs to the old screen size and is never given back.
void onDisplayChange();
