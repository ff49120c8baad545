// The shell: one copy at a time, one hidden window, one thread driven by the message loop.
#include "app/shell.h"

#include "control/hotkeys.h"
#include "control/mouse_hook.h"
#include "control/taskbar.h"
#include "platform/session.h"
#include "settings/settings.h"
#include "tray/menus.h"
#include "tray/tray_icon.h"

using namespace platform;

namespace platform {
InstanceHandle instance = nullptr;
WindowHandle mainWindow = nullptr;
}  // namespace platform

namespace {

const char kMutexName[] = "TabrinInstanceMutex";
const char kClassName[] = "TabrINWndClass";
const char kWindowTitle[] = "TabrIN";
const char kErrorCaption[] = "Error";

// The file changed on disk: all that a start takes from it takes effect again.
void applySettingsFromFile() {
    unregisterHotkeys();
    registerHotkeys();
    if (settings.enablemousescroll) startMouseGestures();
    else stopMouseGestures();
    refreshMenuChecks();
}

void bringUp(WindowHandle window) {
    mainWindow = window;
    loadSettings();
    registerHotkeys();
    if (settings.enablemousescroll) startMouseGestures();
    buildMenus();
    addTrayIcon();
    refreshMenuChecks();
    watchSettingsFile(applySettingsFromFile);
}

void takeDown() {
    unregisterHotkeys();
    stopMouseGestures();
    removeTrayIcon();
    // Nothing waits on Tabrin any more: a change still waiting for a busy file gets its moment.
    stopWatchingSettingsFile();
    finishWaitingSave();
    PostQuitMessage(0);
}

LResult onTimer(WParam id) {
    if (id == kSaveRetryTimer) return onSaveTimer();
    if (id == kSettingsQuietTimer) return onSettingsQuietTimer();
    return onTrayTimer(id);
}

// Messages, and the settings folder's change handle while there is one.
int runMessageLoop() {
    for (;;) {
        Message msg;
        while (PeekMessageA(&msg, kNoWindow, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT) return static_cast<int>(msg.wParam);
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
        const ChangeHandle change = settingsChangeHandle();
        const std::uint32_t woke =
            MsgWaitForMultipleObjects(change ? 1 : 0, &change, false, INFINITE, QS_ALLINPUT);
        if (change && woke == WAIT_OBJECT_0) onSettingsFolderChanged();
        // A handle the wait refuses would wake it at once, for ever: the watch goes instead.
        else if (change && woke == WAIT_FAILED) dropSettingsWatch();
    }
}

int refuseSecondCopy() {
    MessageBoxA(kNoWindow, "Tabrin is already running.\nClose the current instance first.",
                kErrorCaption, MB_OK);
    return 0;
}

}  // namespace

LResult mainWindowProc(WindowHandle window, unsigned message, WParam wParam, LParam lParam) {
    // Explorer restarted: its new notification area knows nothing of our icon.
    if (message == taskbarCreatedMessage && message != 0) {
        addTrayIcon();
        onTaskbarCreated();
        return 0;
    }
    switch (message) {
    case WM_CREATE: bringUp(window); return 0;
    case WM_CLOSE: takeDown(); return 0;  // never to DefWindowProc: the window lives on
    case WM_COMMAND:
        if ((wParam & 0xFFFF) != IDCANCEL) break;
        SendMessageA(window, WM_CLOSE, 0, 0);
        return 0;
    case WM_HOTKEY: return onHotkey(static_cast<int>(wParam));
    case WM_DISPLAYCHANGE: onDisplayChange(); return 0;
    case WM_TIMER: return onTimer(wParam);
    case WM_ENDSESSION:
        if (wParam) finishWaitingSave();  // the process may end as soon as this returns
        return 0;
    case kTrayCallbackMessage: return onTrayMessage(wParam, lParam);
    case WM_INPUT: onRawInput(lParam); break;  // DefWindowProc still has to clean up after it
    case kMouseHookMessage: return onMouseHookMessage(wParam);
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

int runTabrin(InstanceHandle instanceHandle) {
    instance = instanceHandle;

    WindowClass windowClass = {};
    windowClass.style = 0;
    windowClass.lpfnWndProc = mainWindowProc;
    windowClass.hInstance = instance;
    windowClass.hIcon = LoadIconA(instance, kMainIconResource);
    windowClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    windowClass.hbrBackground = COLOR_BACKGROUND + 1;
    windowClass.lpszClassName = kClassName;

    if (OpenMutexA(MUTEX_ALL_ACCESS, false, kMutexName)) return refuseSecondCopy();
    // Two copies started at the same instant both pass the test above; only one creates it.
    if (!CreateMutexA(nullptr, false, kMutexName) || GetLastError() == ERROR_ALREADY_EXISTS)
        return refuseSecondCopy();

    if (!RegisterClassA(&windowClass)) {
        MessageBoxA(kNoWindow, "Error Registering Window Class", kErrorCaption, MB_OK);
        return 0;
    }
    // The window is never shown; WM_CREATE brings everything up during this call.
    if (!CreateWindowExA(0, kClassName, kWindowTitle, 0, CW_USEDEFAULT, CW_USEDEFAULT,
                         CW_USEDEFAULT, CW_USEDEFAULT, kNoWindow, nullptr, instance, nullptr))
        return 0;  // nothing could ever end the loop

    return runMessageLoop();
}

void resetShellState() {
    instance = nullptr;
    mainWindow = nullptr;
}
