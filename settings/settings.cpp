// The settings record and the two ways the menu changes it.
#include "settings/settings.h"

Settings settings;

void setStepSize(int n) {
    settings.stepsize = n;
    saveSettings();
}

void toggleSetting(int& flag) {
    flag = flag ? 0 : 1;
    saveSettings();
}
