// Process-state reset and temporary folders for the unit tests.
#include "test_support.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <sys/stat.h>

#include "control/hotkeys.h"
#include "control/mouse_hook.h"
#include "control/taskbar.h"
#include "control/window_actions.h"
#include "platform/session.h"
#include "settings/settings.h"
#include "tray/menus.h"
#include "tray/tray_icon.h"

void resetTabrinState() {
    settings = Settings{};
    keyLines = KeyLines{};
    platform::instance = nullptr;
    platform::mainWindow = nullptr;
    currentWorkArea = platform::Rect{0, 0, 0, 0};
    savedWorkArea = platform::Rect{0, 0, 0, 0};
    workAreaRestorePending = false;
    stretchedCount = 0;
    otherMonitorCount = 0;
    hiddenTaskbarCount = 0;
    lastRequest = WindowRequest{};
    mouseHook = nullptr;
    gestureState = GestureState{};
    mainMenu = stepMenu = settingsMenu = mouseMenu = nullptr;
    taskbarCreatedMessage = 0;
    trayIconImage = nullptr;
    hotkeyState = HotkeyState{};
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
