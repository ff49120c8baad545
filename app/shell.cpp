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

void bringUp(WindowHandle window) {
    mainWindow = window;
    loadSettings();
    registerHotkeys();
    if (settings.enablemousescroll) startMouseGestures();
    buildMenus();
    addTrayIcon();
    refreshMenuChecks();
}

void takeDown() {
    unregisterHotkeys();
    stopMouseGestures();
    removeTrayIcon();
    PostQuitMessage(0);
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
    case WM_TIMER: return wParam == kSaveRetryTimer ? onSaveTimer() : onTrayTimer(wParam);
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

    Message msg;
    while (GetMessageA(&msg, kNoWindow, 0, 0)) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    return static_cast<int>(msg.wParam);
}

void resetShellState() {
    instance = nullptr;
    mainWindow = nullptr;
}
