// Builds the menu tree once at start-up; only the check marks change afterwards.
#include "tray/menus.h"

#include "settings/text_buffer.h"

using namespace platform;

MenuHandle mainMenu = nullptr;
MenuHandle stepMenu = nullptr;
MenuHandle settingsMenu = nullptr;
MenuHandle mouseMenu = nullptr;

namespace {

void check(MenuHandle menu, unsigned id, bool on) {
    CheckMenuItem(menu, id, MF_BYCOMMAND | (on ? MF_CHECKED : MF_UNCHECKED));
}

void appendPopup(MenuHandle parent, MenuHandle child, const char* label) {
    AppendMenuA(parent, MF_POPUP, reinterpret_cast<std::uintptr_t>(child), label);
}

}  // namespace

void buildMenus() {
    stepMenu = CreatePopupMenu();
    for (unsigned i = 0; i < kStepCount; ++i) {
        char label[16];
        TextBuffer(label, sizeof label) << kStepSizes[i] << " px";
        AppendMenuA(stepMenu, MF_STRING, kCommandStep1 + i, label);
    }

    settingsMenu = CreatePopupMenu();
    AppendMenuA(settingsMenu, MF_STRING, kCommandInvertArrows, "Invert Arrows");
    AppendMenuA(settingsMenu, MF_STRING, kCommandPersistentMenu, "Persistent PopUp");
    AppendMenuA(settingsMenu, MF_STRING, kCommandIgnoreUnnamed, "Ignore Unnamed windows");
    AppendMenuA(settingsMenu, MF_STRING, kCommandConfirmExit, "Confirm Exit");

    mouseMenu = CreatePopupMenu();
    AppendMenuA(mouseMenu, MF_STRING, kCommandMouseEnabled, "Enabled");
    AppendMenuA(mouseMenu, MF_STRING, kCommandMouseInvert, "Invert");

    mainMenu = CreatePopupMenu();
    appendPopup(mainMenu, stepMenu, "Scroll/Resize");
    appendPopup(mainMenu, mouseMenu, "Mouse Scroll");
    AppendMenuA(mainMenu, MF_SEPARATOR, 0, nullptr);
    appendPopup(mainMenu, settingsMenu, "Settings");
    AppendMenuA(mainMenu, MF_SEPARATOR, 0, nullptr);
    AppendMenuA(mainMenu, MF_STRING, kCommandHelp, "Help");
    AppendMenuA(mainMenu, MF_STRING, kCommandAbout, "About...");
    AppendMenuA(mainMenu, MF_SEPARATOR, 0, nullptr);
    AppendMenuA(mainMenu, MF_STRING, kCommandExit, "Exit");
}

void refreshMenuChecks() {
    for (unsigned i = 0; i < kStepCount; ++i)
        check(stepMenu, kCommandStep1 + i, settings.stepsize == kStepSizes[i]);

    // By command, which Windows finds in whichever submenu holds it.
    for (const SettingRow& row : kSettingRows)
        if (row.command) check(mainMenu, row.command, settings.*row.field != 0);
}

void resetMenusState() { mainMenu = stepMenu = settingsMenu = mouseMenu = nullptr; }
