// Tray icon and commands: a button press on the icon opens the menu; each choice acts at once.
#include "tray/tray_icon.h"

#include <cstring>

#include "control/hotkeys.h"
#include "control/mouse_hook.h"
#include "control/window_actions.h"
#include "platform/session.h"
#include "settings/text_buffer.h"
#include "resources/version.h"
#include "settings/settings.h"
#include "tray/menus.h"

using namespace platform;

unsigned taskbarCreatedMessage = 0;

namespace {

const char kHelpCaption[] = ":: TabrIN Keys Help ::";
// The key lines of the help text, which stand as they are while every combination is the default.
const char kKeysHelp[] =
    "Resize Window\t\tHOLD (WIN + ALT) + ARROWS\n"
    "Scroll Window\t\tHOLD (WIN + CTRL) + ARROWS\n"
    "Center Window\t\tHOLD (WIN + CTRL) + T\n"
    "Hide Task Bar\t\tHOLD (WIN) + X\n";
const char kMouseHelp[] =
    "\n"
    "IF MOUSE SCROLL IS CHECKED:\n"
    "Scroll Up/Down\t\tHOLD (WIN + CTRL) + MOUSE WHEEL\n"
    "\t\t\tHOLD (WIN + ALT)  + LFT/RGT CLICK\n"
    "\n"
    "Scroll Left/Right\t\tHOLD (WIN + ALT)  + MOUSE WHEEL\n"
    "\t\t\tHOLD (WIN + CTRL) + LFT/RGT CLICK\n";

const char kUnavailable[] = "\nNot available (used by another program): ";
const char kChooseOthers[] = "\nOther keys can be chosen in tabrin.ini (see README.txt).\n";

const char kAboutCaption[] = ":: About Tabrin ::";
const char kAboutCredit[] = "Written by the Tabrin developers.";

const char kExitCaption[] = "Quit Confirmation";
const char kExitText[] = "Do you really want to Exit TabrIN?";

// What the icon and its menu remember between messages.
struct TrayState {
    // The icon's image at the system's small-icon size, loaded anew each time the icon is added.
    IconHandle trayIconImage = nullptr;
    // While the menu and its command run: the window the user was working in, and the one in
    // front when the icon's message came.
    WindowHandle foregroundBeforeMenu = kNoWindow;
    WindowHandle foregroundAtClick = kNoWindow;
    int iconRetriesLeft = 0;
};
TrayState tray;

NotifyIconData iconData() {
    NotifyIconData data;
    std::memset(&data, 0, sizeof data);
    data.cbSize = kNotifyIconDataV1Size;
    data.hWnd = mainWindow;
    data.uID = kTrayIconId;
    data.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    data.uCallbackMessage = kTrayCallbackMessage;
    data.hIcon = tray.trayIconImage;
    std::strcpy(data.szTip, "TabrIN");
    return data;
}

bool putIconIn() {
    NotifyIconData data = iconData();
    // An add that timed out may have gone in all the same; then the icon takes a modify.
    return Shell_NotifyIconA(NIM_ADD, &data) || Shell_NotifyIconA(NIM_MODIFY, &data);
}

// Tabrin's hidden window, a box of its own or its menu.
bool isTabrins(WindowHandle window) {
    std::uint32_t process = 0;
    return GetWindowThreadProcessId(window, &process) != 0 && process == GetCurrentProcessId();
}

bool isUsersWindow(WindowHandle window) {
    return window != kNoWindow && !isShellWindow(window) && !isTabrins(window);
}

bool findUsersWindow(WindowHandle window, LParam found) {
    if (!IsWindowVisible(window) || IsIconic(window) ||
        (GetWindowLongA(window, GWL_EXSTYLE) & WS_EX_TOOLWINDOW) || isCloaked(window) ||
        !isUsersWindow(window))
        return true;
    *reinterpret_cast<WindowHandle*>(found) = window;
    return false;
}

// A click on the icon puts the taskbar (or the overflow area holding the icon) in front before
// its message comes: then the user's window is the first one below that a user works in.
WindowHandle usersWindow() {
    WindowHandle window = GetForegroundWindow();
    if (isUsersWindow(window)) return window;
    window = kNoWindow;
    EnumWindows(findUsersWindow, reinterpret_cast<LParam>(&window));
    return window;
}

// Windows leaves Tabrin's hidden window in front after its menu or a box, or the taskbar after a
// "Persistent PopUp" menu, and the next hotkey would act on that window (or spare the taskbar):
// the user's window gets the foreground back.
void giveForegroundBack() {
    const WindowHandle now = GetForegroundWindow();
    if ((now == kNoWindow || now == tray.foregroundAtClick || isTabrins(now)) &&
        IsWindow(tray.foregroundBeforeMenu))
        SetForegroundWindow(tray.foregroundBeforeMenu);
}

// Per-monitor aware, GetSystemMetrics answers for the scale at sign-in; the icon wants today's.
int smallIconSize(int metric) {
    const unsigned dpi = GetDpiForWindow(mainWindow);
    const int size = dpi ? GetSystemMetricsForDpi(metric, dpi) : 0;
    return size > 0 ? size : GetSystemMetrics(metric);
}

int showBox(const char* text, const char* caption, unsigned type) {
    const int answer = MessageBoxA(kNoWindow, text, caption, type);
    giveForegroundBack();
    return answer;
}

// Why a key line names no combination, after the line.
const char* refusalText(KeyRefusal refusal) {
    switch (refusal) {
    case KeyRefusal::Typing: return ": a letter, digit or Space needs Win; ";
    case KeyRefusal::NoModifier: return ": a key needs Win, Ctrl or Alt; ";
    default: return " is not a key combination; ";
    }
}

void showHelp() {
    // Room for the text, a problem line for every key line of the longest kind, and the unused
    // lines, each quoting a piece and a part of it.
    static char text[2048 + 2 * kActionCount * (kSettingsLinePiece + 64) +
                     kUnusedLinesKept * (2 * kSettingsLinePiece + 64)];
    TextBuffer help(text, sizeof text);
    if (hotkeysAreDefaults()) {
        help << kKeysHelp;
    } else {
        for (int i = 0; i < kActionCount; ++i)
            help << kActions[i].helpName << "\t\t" << hotkeyState.inForce[i] << "\n";
    }
    help << kMouseHelp;

    bool any = false;
    for (int i = 0; i < kActionCount; ++i) {
        if (!hotkeyState.refused[i]) continue;
        help << (any ? ", " : kUnavailable) << hotkeyState.inForce[i];
        any = true;
    }
    if (any) help << kChooseOthers;

    // A line Tabrin could not use, or a name it does not know that looks meant for it, is never
    // passed over in silence.
    const char* before = "\n";  // a blank line above the first
    for (int i = 0; i < hotkeyState.problemCount; ++i, before = "") {
        const KeyProblem& problem = hotkeyState.problems[i];
        const Action& action = kActions[problem.action];
        help << before << "tabrin.ini: ";
        if (problem.takenBy < 0) {
            help << action.key << "=" << keyLines.line[problem.action].value
                 << refusalText(problem.refusal) << action.defaults << " is used\n";
        } else {
            help << action.key << " has no keys: " << hotkeyState.inForce[problem.takenBy]
                 << " is " << kActions[problem.takenBy].key << "'s\n";
        }
    }
    for (int i = 0; i < keyLines.unusedCount; ++i, before = "") {
        const UnusedLine& line = keyLines.unused[i];
        help << before << "tabrin.ini: " << line.written;
        if (line.setting >= 0) help << ": write " << kSettingRows[line.setting].key << "=";
        else help << ": no key line is called ";
        help << line.meant << "\n";
    }
    // A choice that holds only until Exit is never passed over in silence either.
    Utf8String path;
    const SaveTrouble trouble = settingsSaveTrouble(&path);
    if (trouble != SaveTrouble::None)
        help << before << "tabrin.ini could not be saved: " << path.get()
             << (trouble == SaveTrouble::InUse ? " is in use\n" : " cannot be written\n");
    showBox(text, kHelpCaption, MB_OK);
}

void showAbout() {
    char text[128];
    TextBuffer(text, sizeof text) << "Tabrin v" << TABRIN_VERSION_MAJOR << "."
                                  << TABRIN_VERSION_MINOR << TABRIN_VERSION_SUFFIX << "\n"
                                  << kAboutCredit;
    showBox(text, kAboutCaption, MB_OK);
}

}  // namespace

void addTrayIcon() {
    taskbarCreatedMessage = RegisterWindowMessageA("TaskbarCreated");
    // Windows keeps the message from an elevated Tabrin, which would then lose its icon for good.
    ChangeWindowMessageFilterEx(mainWindow, taskbarCreatedMessage, MSGFLT_ALLOW, nullptr);
    // The display scale may have changed since the last time: the image is loaded at today's size.
    const IconHandle previous = tray.trayIconImage;
    tray.trayIconImage = LoadImageA(instance, kTrayIconResource, IMAGE_ICON,
                                    smallIconSize(SM_CXSMICON), smallIconSize(SM_CYSMICON),
                                    LR_DEFAULTCOLOR);
    if (putIconIn()) {
        KillTimer(mainWindow, kIconRetryTimer);
    } else {
        // The shell is busy (at logon, typically): without the icon there is no way to Exit.
        tray.iconRetriesLeft = kIconRetries;
        SetTimer(mainWindow, kIconRetryTimer, kIconRetryInterval, nullptr);
    }
    if (previous) DestroyIcon(previous);
}

void removeTrayIcon() {
    KillTimer(mainWindow, kIconRetryTimer);
    NotifyIconData data = iconData();
    Shell_NotifyIconA(NIM_DELETE, &data);
}

LResult onTrayTimer(WParam id) {
    if (id == kIconRetryTimer && (putIconIn() || --tray.iconRetriesLeft <= 0))
        KillTimer(mainWindow, kIconRetryTimer);
    return 0;
}

bool confirmExit() {
    return showBox(kExitText, kExitCaption,
                   MB_YESNO | MB_ICONQUESTION | MB_SETFOREGROUND | MB_TOPMOST) == IDYES;
}

LResult onTrayMessage(WParam wParam, LParam lParam) {
    if (lParam != WM_LBUTTONDOWN && lParam != WM_RBUTTONDOWN)
        return DefWindowProcA(mainWindow, kTrayCallbackMessage, wParam, lParam);
    if (wParam != kTrayIconId) return 0;

    tray.foregroundAtClick = GetForegroundWindow();
    tray.foregroundBeforeMenu = usersWindow();
    // Without this the menu would not close when the user clicks elsewhere; "Persistent PopUp"
    // skips it on purpose.
    if (!settings.persistentmenu) SetForegroundWindow(mainWindow);
    Point pt = {0, 0};
    GetCursorPos(&pt);
    const int command = TrackPopupMenu(
        mainMenu, TPM_RETURNCMD | TPM_NONOTIFY | TPM_BOTTOMALIGN | TPM_RIGHTALIGN, pt.x, pt.y, 0,
        mainWindow, nullptr);
    // TrackPopupMenu's documented remedy: without it the next menu can open and vanish at once.
    PostMessageA(mainWindow, WM_NULL, 0, 0);
    giveForegroundBack();
    runMenuCommand(static_cast<unsigned>(command));
    tray.foregroundBeforeMenu = tray.foregroundAtClick = kNoWindow;
    return 0;
}

void runMenuCommand(unsigned identifier) {
    if (identifier >= kCommandStep1 && identifier <= kCommandStep10) {
        setStepSize(kStepSizes[identifier - kCommandStep1]);
    } else {
        for (const SettingRow& row : kSettingRows)
            if (row.command && row.command == identifier) toggleSetting(settings.*row.field);
        switch (identifier) {
        case kCommandMouseEnabled:  // saved above, before the gestures are switched
            if (settings.enablemousescroll) startMouseGestures();
            else stopMouseGestures();
            break;
        case kCommandHelp: showHelp(); break;
        case kCommandAbout: showAbout(); break;
        case kCommandExit:
            if (!settings.confirmexit || confirmExit())
                SendMessageA(mainWindow, WM_CLOSE, 0, 0);
            break;
        }
    }
    refreshMenuChecks();
}

void resetTrayIconState() {
    taskbarCreatedMessage = 0;
    tray = TrayState{};
}
