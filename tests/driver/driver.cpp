// Processes, windows, message pumping and key input for the Win32 test drivers.
#include "driver.h"

#include <algorithm>

namespace driver {

double nowMs() {
    static LARGE_INTEGER frequency = {};
    if (!frequency.QuadPart) QueryPerformanceFrequency(&frequency);
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return 1000.0 * static_cast<double>(now.QuadPart) / static_cast<double>(frequency.QuadPart);
}

void pump() {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
}

void pumpFor(DWORD ms) {
    const double end = nowMs() + ms;
    for (double left; (left = end - nowMs()) > 0;) {
        pump();
        MsgWaitForMultipleObjectsEx(0, nullptr, static_cast<DWORD>(left) + 1, QS_ALLINPUT,
                                    MWMO_INPUTAVAILABLE);
    }
    pump();
}

std::wstring widen(const std::string& text) {
    int n = MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, nullptr, 0);
    std::wstring wide(static_cast<size_t>(n > 0 ? n : 1), L'\0');
    MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, &wide[0], n);
    wide.resize(wide.size() - 1);
    return wide;
}

bool launch(const std::wstring& exe, const std::wstring& args, const wchar_t* cwd, DWORD flags,
            PROCESS_INFORMATION& started) {
    std::wstring commandLine = L"\"" + exe + L"\"" + (args.empty() ? L"" : L" " + args);
    STARTUPINFOW si = {};
    si.cb = sizeof si;
    started = {};
    DWORD error = 0;
    for (int attempt = 0; attempt < 2; ++attempt) {
        if (attempt) pumpFor(200);
        if (CreateProcessW(exe.c_str(), &commandLine[0], nullptr, nullptr, FALSE, flags, nullptr,
                           cwd, &si, &started))
            return true;
        error = GetLastError();
        if (error != ERROR_INTERNAL_ERROR) break;
    }
    SetLastError(error);
    return false;
}

namespace {

struct WindowQuery {
    DWORD pid;
    const char* className;
    const char* title;
    bool visibleOnly;
    std::vector<HWND> found;
};

BOOL CALLBACK collectWindow(HWND window, LPARAM param) {
    auto* q = reinterpret_cast<WindowQuery*>(param);
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    if (pid != q->pid || (q->visibleOnly && !IsWindowVisible(window))) return TRUE;
    char text[256] = "";
    GetClassNameA(window, text, sizeof text);
    if (lstrcmpA(text, q->className) != 0) return TRUE;
    if (q->title) {
        GetWindowTextA(window, text, sizeof text);
        if (lstrcmpA(text, q->title) != 0) return TRUE;
    }
    q->found.push_back(window);
    return TRUE;
}

LRESULT CALLBACK targetProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_SYSKEYDOWN:
    case WM_SYSKEYUP:
    case WM_SYSCHAR:
        return 0;
    case WM_SYSCOMMAND:
        if ((wParam & 0xFFF0) == SC_KEYMENU) return 0;
        break;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

bool isExtended(WORD vk) {
    switch (vk) {
    case VK_LEFT: case VK_RIGHT: case VK_UP: case VK_DOWN:
    case VK_LWIN: case VK_RWIN: case VK_INSERT: case VK_DELETE:
    case VK_HOME: case VK_END: case VK_PRIOR: case VK_NEXT:
        return true;
    }
    return false;
}

}  // namespace

std::vector<HWND> windowsOf(DWORD pid, const char* className, const char* title, bool visibleOnly) {
    WindowQuery q{pid, className, title, visibleOnly, {}};
    EnumWindows(collectWindow, reinterpret_cast<LPARAM>(&q));
    return q.found;
}

HWND findWindowOf(DWORD pid, const char* className, const char* title) {
    std::vector<HWND> found = windowsOf(pid, className, title);
    return found.empty() ? nullptr : found.front();
}

void registerTargetClass(const char* name) {
    static std::vector<std::string> registered;
    if (std::find(registered.begin(), registered.end(), name) != registered.end()) return;
    WNDCLASSA wc = {};
    wc.lpfnWndProc = targetProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    wc.lpszClassName = name;
    RegisterClassA(&wc);
    registered.push_back(name);
}

INPUT keyInput(WORD vk, bool up) {
    INPUT in = {};
    in.type = INPUT_KEYBOARD;
    in.ki.wVk = vk;
    in.ki.wScan = static_cast<WORD>(MapVirtualKeyA(vk, MAPVK_VK_TO_VSC));
    in.ki.dwFlags = (up ? KEYEVENTF_KEYUP : 0) | (isExtended(vk) ? KEYEVENTF_EXTENDEDKEY : 0);
    return in;
}

}  // namespace driver
