/* Stands in for the static Visual C++ runtime (libcmt.lib), which only Visual Studio ships: the
   start-up code and helpers that objects compiled by cl or clang-cl expect from it. The C library
   itself comes from msvcrt.dll, which every Windows has. Built only for the clang-cl check, once
   per part (TABRIN_CRT_PART 0, 1, 2), so that the linker takes only the entry point it needs. */
#pragma comment(lib, "msvcrt.lib")
#pragma comment(lib, "kernel32.lib")

typedef void(__cdecl *initializer)(void);
void __cdecl _initterm(initializer *first, initializer *last);
void __cdecl exit(int status);
char *__stdcall GetCommandLineA(void);
void *__stdcall GetModuleHandleA(const char *name);

#if TABRIN_CRT_PART == 0  /* what every program needs; the entry points follow */

/* The compiler files C++ dynamic initialisers under .CRT$XCU; the linker orders the .CRT$XC*
   sections by name, so these two bracket them. */
#pragma section(".CRT$XCA", read)
#pragma section(".CRT$XCZ", read)
__declspec(allocate(".CRT$XCA")) initializer tabrin_first_initializer = 0;
__declspec(allocate(".CRT$XCZ")) initializer tabrin_last_initializer = 0;

/* Any use of floating point refers to this symbol, to pull in the runtime's support for it. */
int _fltused = 0x9875;

/* /GS (on by default) guards stack buffers with this value; a fixed one is enough for a test. */
#ifdef _M_IX86
unsigned int __security_cookie = 0xBB40E64Eu;
void __fastcall __security_check_cookie(unsigned int cookie)
#else
unsigned long long __security_cookie = 0x00002B992DDFA232ull;
void __cdecl __security_check_cookie(unsigned long long cookie)
#endif
{
    if (cookie != __security_cookie) __fastfail(2 /* FAST_FAIL_STACK_COOKIE_CHECK_FAILURE */);
}

void tabrin_run_initializers(void) {
    _initterm(&tabrin_first_initializer, &tabrin_last_initializer);
}

#elif TABRIN_CRT_PART == 1
void tabrin_run_initializers(void);
int __cdecl main(void);

int mainCRTStartup(void) {
    tabrin_run_initializers();
    exit(main());
    return 0;
}
#else
void tabrin_run_initializers(void);
int __stdcall WinMain(void *instance, void *previous, char *commandLine, int show);

/* WinMain's command line is the process's without the program's name. */
static char *arguments(void) {
    char *p = GetCommandLineA();
    int quoted = 0;
    while (*p && (quoted || (*p != ' ' && *p != '\t'))) {
        if (*p == '"') quoted = !quoted;
        ++p;
    }
    while (*p == ' ' || *p == '\t') ++p;
    return p;
}

int WinMainCRTStartup(void) {
    tabrin_run_initializers();
    exit(WinMain(GetModuleHandleA(0), 0, arguments(), 10 /* SW_SHOWDEFAULT */));
    return 0;
}
#endif
