// The least a resident program can do at start-up: register a class and create a hidden window.
#include "baseline.h"

namespace {

LRESULT CALLBACK windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_CLOSE) {
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    createHiddenWindow(instance, kMinimalClass, windowProc);
    return runMessageLoop();
}
