/* Forced into every file of the clang-cl check. Wine's winnt.h defines inline fallbacks under
   the names of intrinsics that clang already provides as builtins on these targets, which clang
   refuses; renaming them keeps Wine's definitions and leaves clang's builtins alone. */
#if defined(_M_IX86)
#define _InterlockedAnd64 tabrin_wine_InterlockedAnd64
#define _InterlockedCompareExchangePointer tabrin_wine_InterlockedCompareExchangePointer
#define _InterlockedExchangeAdd64 tabrin_wine_InterlockedExchangeAdd64
#define _InterlockedExchangePointer tabrin_wine_InterlockedExchangePointer
#define _InterlockedIncrement64 tabrin_wine_InterlockedIncrement64
#define _InterlockedDecrement64 tabrin_wine_InterlockedDecrement64
#define _InterlockedOr64 tabrin_wine_InterlockedOr64
#define _InterlockedXor64 tabrin_wine_InterlockedXor64
#elif defined(_M_X64)
#define _InterlockedCompareExchange128 tabrin_wine_InterlockedCompareExchange128
#endif
