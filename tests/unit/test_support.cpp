// Process-state reset and temporary folders for the unit tests.
#include "test_support.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <fcntl.h>
#include <sys/stat.h>

#include "app/shell.h"
#include "control/hotkeys.h"
#include "control/mouse_hook.h"
#include "control/taskbar.h"
#include "control/window_actions.h"
#include "settings/settings.h"
#include "tray/menus.h"
#include "tray/tray_icon.h"

void resetTabrinState() {
    resetShellState();
    resetSettingsState();
    resetSettingsFileState();
    resetWindowActionsState();
    resetHotkeysState();
    resetMouseHookState();
    resetTaskbarState();
    resetMenusState();
    resetTrayIconState();
}

TempFolder::TempFolder() {
    char pattern[] = "/tmp/tabrin-test-XXXXXX";
    const char* made = mkdtemp(pattern);
    path_ = made ? made : "/tmp";
}

TempFolder::~TempFolder() {
    if (path_ != "/tmp") std::system(("rm -rf '" + path_ + "'").c_str());
}

void TempFolder::write(const std::string& name, const std::string& bytes) const {
    std::ofstream(file(name), std::ios::binary) << bytes;
}

std::string TempFolder::read(const std::string& name) const {
    std::ifstream in(file(name), std::ios::binary);
    if (!in) return "<missing>";
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

bool TempFolder::exists(const std::string& name) const {
    struct stat info;
    return stat(file(name).c_str(), &info) == 0;
}

void DeskWithFolder::touch(const std::string& path) {
    static long long seconds = 1700000000;
    const timespec times[2] = {{seconds, 0}, {++seconds, 0}};
    utimensat(AT_FDCWD, path.c_str(), times, 0);
}
