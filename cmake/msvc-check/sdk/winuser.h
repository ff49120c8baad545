/* Wine's winuser.h, with what the Windows SDK's has and Wine 8's lacks. Found before Wine's own
   by the clang-cl check only. */
#include_next <winuser.h>

#ifndef MOD_NOREPEAT
#define MOD_NOREPEAT 0x4000
#endif
