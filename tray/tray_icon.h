// The notification-area icon, its popup menu and the menu's commands.
#pragma once

#include "platform/desktop.h"

constexpr unsigned kTrayIconId = 5000;
constexpr unsigned kTrayCallbackMessage = platform::WM_USER + 2001;  // 3025
constexpr int kMainIconResource = 101;
constexpr int kTrayIconResource = 102;

// Explorer broadcasts this message when it (re)starts; 0 until the icon is first added.
extern unsigned taskbarCreatedMessage;

void addTrayIcon();
void removeTrayIcon();
platform::LResult onTrayMessage(platform::WParam wParam, platform::LParam lParam);
void runMenuCommand(unsigned identifier);
bool confirmExit();
