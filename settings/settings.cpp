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

void setStepSize(int n) {
    settings.stepsize = n;
    saveSettings();
}

void toggleSetting(int& flag) {
    flag = flag ? 0 : 1;
    saveSettings();
}

void resetSettingsState() {
    settings = Settings{};
    keyLines = KeyLines{};
}
