// The Windows entry point: hands the instance handle to the shell. Arguments are ignored.
#include "app/shell.h"

#include <windows.h>

namespace {

// The system DLLs Tabrin uses load further DLLs by name at run time, and Windows would look for
// those beside tabrin.exe first: in Downloads, say, a planted one would run inside Tabrin.
// Windows 7 has the call only with an update, hence the run-time lookup.
void loadDllsFromSystem32Only() {
    using Function = BOOL(WINAPI*)(DWORD);
    const Function function = reinterpret_cast<Function>(reinterpret_cast<void*>(
        ::GetProcAddress(::GetModuleHandleA("kernel32.dll"), "SetDefaultDllDirectories")));
    if (function) function(LOAD_LIBRARY_SEARCH_SYSTEM32);
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    loadDllsFromSystem32Only();
    return runTabrin(reinterpret_cast<platform::InstanceHandle>(instance));
}
