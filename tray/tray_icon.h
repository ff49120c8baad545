// The notification-area icon, its popup menu and the menu's commands.
#pragma once

#include "platform/desktop.h"
#include "resources/resource.h"

constexpr unsigned kTrayIconId = 5000;
constexpr unsigned kTrayCallbackMessage = platform::WM_USER + 2001;  // 3025
constexpr int kMainIconResource = TABRIN_MAIN_ICON;
constexpr int kTrayIconResource = TABRIN_TRAY_ICON;
constexpr std::uintptr_t kIconRetryTimer = 1;
constexpr unsigned kIconRetryInterval = 2000;  // ms
constexpr int kIconRetries = 60;               // two minutes of a busy shell

// Explorer broadcasts this message when it (re)starts; 0 until the icon is first added.
extern unsigned taskbarCreatedMessage;

void addTrayIcon();
void removeTrayIcon();
// WM_TIMER: the icon's retries while the shell refuses it.
platform::LResult onTrayTimer(platform::WParam id);
platform::LResult onTrayMessage(platform::WParam wParam, platform::LParam lParam);
void runMenuCommand(unsigned identifier);
bool confirmExit();

// Back to what a new process starts with (for the tests).
void resetTrayIconState();
