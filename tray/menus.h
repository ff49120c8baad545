// The tray's popup menus and their check marks.
#pragma once

#include "platform/desktop.h"
#include "settings/settings.h"

// Besides the settings' own toggles (SettingCommand).
enum MenuCommand : unsigned {
    kCommandDismissed = 0,
    kCommandStep1 = 1,  // 1 to 10: the step items, in menu order
    kCommandStep10 = 10,
    kCommandHelp = 30,
    kCommandAbout = 40,
    kCommandExit = 102,
};

// The step each of the ten step items sets, by identifier 1 to 10.
extern const int kStepSizes[10];

extern platform::MenuHandle mainMenu;
extern platform::MenuHandle stepMenu;
extern platform::MenuHandle settingsMenu;
extern platform::MenuHandle mouseMenu;

void buildMenus();
void refreshMenuChecks();
