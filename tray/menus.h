// The tray's popup menus and their check marks.
#pragma once

#include <type_traits>

#include "platform/desktop.h"
#include "settings/settings.h"

// The step each of the step items sets, in menu order.
inline constexpr int kStepSizes[] = {1, 2, 3, 5, 10, 20, 30, 40, 50, 60};
constexpr unsigned kStepCount = std::extent_v<decltype(kStepSizes)>;

// Besides the settings' own toggles (SettingCommand).
enum MenuCommand : unsigned {
    kCommandDismissed = 0,
    kCommandStep1 = 1,  // 1 to 10: the step items, in menu order
    kCommandStep10 = kCommandStep1 + kStepCount - 1,
    kCommandHelp = 30,
    kCommandAbout = 40,
    kCommandExit = 102,
};

extern platform::MenuHandle mainMenu;
extern platform::MenuHandle stepMenu;
extern platform::MenuHandle settingsMenu;
extern platform::MenuHandle mouseMenu;

void buildMenus();
void refreshMenuChecks();

// Back to what a new process starts with (for the tests).
void resetMenusState();
