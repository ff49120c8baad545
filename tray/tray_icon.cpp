// Tray icon and commands: a button press on the icon opens the menu; each choice acts at once.
#include "tray/tray_icon.h"

#include <cstring>

#include "control/mouse_hook.h"
#include "platform/session.h"
#include "platform/text_buffer.h"
#include "resources/version.h"
#include "settings/settings.h"
#include "tray/menus.h"

using namespace platform;

unsigned taskbarCreatedMessage = 0;

namespace {

const char kHelpCaption[] = ":: TabrIN Keys Help ::";
const char kHelpText[] =
    "Resize Window\t\tHOLD (WIN + ALT) + ARROWS\n"
    "Scroll Window\t\tHOLD (WIN + CTRL) + ARROWS\n"
    "Center Window\t\tHOLD (WIN + CTRL) + T\n"
    "Hide Task Bar\t\tHOLD (WIN) + X\n"
    "\n"
    "IF MOUSE SCROLL IS CHECKED:\n"
    "Scroll Up/Down\t\tHOLD (WIN + CTRL) + MOUSE WHEEL\n"
    "\t\t\tHOLD (WIN + ALT)  + LFT/RGT CLICK\n"
    "\n"
    "Scroll Left/Right\t\tHOLD (WIN + ALT)  + MOUSE WHEEL\n"
    "\t\t\tHOLD (WIN + CTRL) + LFT/RGT CLICK\n";

const char kAboutCaption[] = ":: About Tabrin ::";
const char kAboutCredit[] = "Written by the Tabrin developers.";

const char kExitCaption[] = "Quit Confirmation";
const char kExitText[] = "Do you really want to Exit TabrIN?";

NotifyIconData iconData() {
    NotifyIconData data;
    std::memset(&data, 0, sizeof data);
    data.cbSize = 88;
    data.hWnd = mainWindow;
    data.uID = kTrayIconId;
    data.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    data.uCallbackMessage = kTrayCallbackMessage;
    data.hIcon = LoadIconA(instance, kTrayIconResource);
    std::strcpy(data.szTip, "TabrIN");
    return data;
}

void showAbout() {
    char text[128];
    TextBuffer(text, sizeof text) << "Tabrin v" << TABRIN_VERSION_MAJOR << "."
                                  << TABRIN_VERSION_MINOR << TABRIN_VERSION_SUFFIX << "\n"
                                  << kAboutCredit;
    MessageBoxA(kNoWindow, text, kAboutCaption, MB_OK);
}

}  // namespace

void addTrayIcon() {
    taskbarCreatedMessage = RegisterWindowMessageA("TaskbarCreated");
    NotifyIconData data = iconData();
    Shell_NotifyIconA(NIM_ADD, &data);
}

void removeTrayIcon() {
    NotifyIconData data = iconData();
    Shell_NotifyIconA(NIM_DELETE, &data);
}

bool confirmExit() {
    return MessageBoxA(kNoWindow, kExitText, kExitCaption,
                       MB_YESNO | MB_ICONQUESTION | MB_SETFOREGROUND | MB_TOPMOST) == IDYES;
}

LResult onTrayMessage(WParam wParam, LParam lParam) {
    if (lParam != WM_LBUTTONDOWN && lParam != WM_RBUTTONDOWN)
        return DefWindowProcA(mainWindow, kTrayCallbackMessage, wParam, lParam);
    if (wParam != kTrayIconId) return 0;

    // Without this the menu would not close when the user clicks elsewhere; "Persistent PopUp"
    // skips it on purpose.
    if (!settings.persistentmenu) SetForegroundWindow(mainWindow);
    Point pt = {0, 0};
    GetCursorPos(&pt);
    const int command = TrackPopupMenu(
        mainMenu, TPM_RETURNCMD | TPM_NONOTIFY | TPM_BOTTOMALIGN | TPM_RIGHTALIGN, pt.x, pt.y, 0,
        mainWindow, nullptr);
    runMenuCommand(static_cast<unsigned>(command));
    return 0;
}

void runMenuCommand(unsigned identifier) {
    if (identifier >= kCommandStep1 && identifier <= kCommandStep10) {
        setStepSize(kStepSizes[identifier - kCommandStep1]);
    } else {
        switch (identifier) {
        case kCommandConfirmExit: toggleSetting(settings.confirmexit); break;
        case kCommandInvertArrows: toggleSetting(settings.invertarrows); break;
        case kCommandPersistentMenu: toggleSetting(settings.persistentmenu); break;
        case kCommandIgnoreUnnamed: toggleSetting(settings.ignoreunnamed); break;
        case kCommandMouseEnabled:
            toggleSetting(settings.enablemousescroll);  // saved before the gestures are switched
            if (settings.enablemousescroll) startMouseGestures();
            else stopMouseGestures();
            break;
        case kCommandMouseInvert: toggleSetting(settings.invertedmouse); break;
        case kCommandHelp: MessageBoxA(kNoWindow, kHelpText, kHelpCaption, MB_OK); break;
        case kCommandAbout: showAbout(); break;
        case kCommandExit:
            if (!settings.confirmexit || confirmExit())
                SendMessageA(mainWindow, WM_CLOSE, 0, 0);
            break;
        }
    }
    refreshMenuChecks();
}
