// The Windows entry point: hands the instance handle to the shell. Arguments are ignored.
#include "app/shell.h"

#include <windows.h>

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    return runTabrin(reinterpret_cast<platform::InstanceHandle>(instance));
}
