// The settings record, its table, and the two ways the menu changes it.
#include "settings/settings.h"

Settings settings;
KeyLines keyLines;

const SettingRow kSettingRows[kSettingCount] = {
    {"stepsize", &Settings::stepsize, false, 0},
    {"confirmexit", &Settings::confirmexit, true, kCommandConfirmExit},
    {"invertarrows", &Settings::invertarrows, true, kCommandInvertArrows},
    {"persistentmenu", &Settings::persistentmenu, true, kCommandPersistentMenu},
    {"ignoreunnamed", &Settings::ignoreunnamed, true, kCommandIgnoreUnnamed},
    {"enablemousescroll", &Settings::enablemousescroll, true, kCommandMouseEnabled},
    {"invertedmouse", &Settings::invertedmouse, true, kCommandMouseInvert},
};

void setStepSize(int n) { changeSetting(&Settings::stepsize, n); }

// The flag becomes the opposite of the check mark the user clicked, whatever the file says now.
void toggleSetting(int& flag) {
    for (const SettingRow& row : kSettingRows)
        if (&(settings.*row.field) == &flag) return changeSetting(row.field, flag ? 0 : 1);
    flag = flag ? 0 : 1;  // not one of the seven: nothing of the file's to keep
}

void resetSettingsState() {
    settings = Settings{};
    keyLines = KeyLines{};
}
