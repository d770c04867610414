// Included first in every file of the MSVC-mode check (toolchain.cmake): what the Windows SDK's C
// runtime headers declare and Wine's lack, so that libc++ compiles over Wine's headers. Declarations
// only: what the module's link needs of them is in cmake/msvc-mode/runtime_shim.cpp.
#pragma once
#pragma clang system_header

// Windows' WCHAR is wchar_t; Wine's headers make it char16_t unless told.
#define WINE_UNICODE_NATIVE 1
// libc++'s <new>, <exception> and <typeinfo> build on MSVC's vcruntime headers, which Wine has not:
// libc++ declares those types itself instead.
#define _LIBCPP_NO_VCRUNTIME 1
// libc++ as a static library, as MSVC's C++ library is in a /MT build: without this its headers
// declare its compiled functions __declspec(dllimport), imports from a libc++ DLL.
#define _LIBCPP_DISABLE_VISIBILITY_ANNOTATIONS 1
// Wine's <winnt.h> defines _InterlockedCompareExchange128 as an inline function, which clang refuses
// (it is one of clang's builtins under MSVC): the definition gets another name.
#define _InterlockedCompareExchange128 wine_InterlockedCompareExchange128

#include <corecrt.h>

#ifdef __cplusplus
extern "C" {
#endif

// <math.h>: the long double functions (in MSVC's headers, inline calls of the double ones), and a
// few of the double and float ones.
double __cdecl erfc(double);
float __cdecl erfcf(float);
double __cdecl nexttoward(double, long double);
float __cdecl nexttowardf(float, long double);
long double __cdecl acoshl(long double);
long double __cdecl acosl(long double);
long double __cdecl asinhl(long double);
long double __cdecl asinl(long double);
long double __cdecl atan2l(long double, long double);
long double __cdecl atanhl(long double);
long double __cdecl atanl(long double);
long double __cdecl cbrtl(long double);
long double __cdecl ceill(long double);
long double __cdecl coshl(long double);
long double __cdecl cosl(long double);
long double __cdecl erfcl(long double);
long double __cdecl erfl(long double);
long double __cdecl exp2l(long double);
long double __cdecl expl(long double);
long double __cdecl expm1l(long double);
long double __cdecl fabsl(long double);
long double __cdecl fdiml(long double, long double);
long double __cdecl floorl(long double);
long double __cdecl fmaxl(long double, long double);
long double __cdecl fminl(long double, long double);
long double __cdecl fmodl(long double, long double);
long double __cdecl frexpl(long double, int*);
long double __cdecl hypotl(long double, long double);
int __cdecl ilogbl(long double);
long double __cdecl ldexpl(long double, int);
long double __cdecl lgammal(long double);
long double __cdecl log10l(long double);
long double __cdecl log1pl(long double);
long double __cdecl log2l(long double);
long double __cdecl logbl(long double);
long double __cdecl logl(long double);
long double __cdecl modfl(long double, long double*);
long double __cdecl nearbyintl(long double);
long double __cdecl nextafterl(long double, long double);
long double __cdecl nexttowardl(long double, long double);
long double __cdecl powl(long double, long double);
long double __cdecl remainderl(long double, long double);
long double __cdecl remquol(long double, long double, int*);
long double __cdecl scalblnl(long double, long);
long double __cdecl scalbnl(long double, int);
long double __cdecl sinhl(long double);
long double __cdecl sinl(long double);
long double __cdecl sqrtl(long double);
long double __cdecl tanhl(long double);
long double __cdecl tanl(long double);
long double __cdecl tgammal(long double);

// <stdlib.h> and <ctype.h>: the locale-taking forms libc++'s locale support calls, and MB_CUR_MAX.
float __cdecl _strtof_l(const char*, char**, _locale_t);
double __cdecl _strtod_l(const char*, char**, _locale_t);
int __cdecl _isupper_l(int, _locale_t);
int __cdecl _islower_l(int, _locale_t);
int __cdecl ___mb_cur_max_func(void);
#define MB_CUR_MAX ___mb_cur_max_func()

// <time.h>: struct timespec (C11), which libc++'s thread support names.
struct timespec {
  __time64_t tv_sec;
  long tv_nsec;
};

// What GoogleTest's own source (built for the tests) calls: <excpt.h>'s name for the code of the
// structured exception being filtered (Wine's declares it only for its own exception macros),
// <time.h>'s localtime_s (in MSVC's headers, an inline call of _localtime64_s), <stdlib.h>'s
// _set_abort_behavior, and <crtdbg.h>'s report file of a release build (a macro there, as here).
unsigned long __cdecl _exception_code(void);
#define GetExceptionCode _exception_code
errno_t __cdecl _localtime64_s(struct tm*, const __time64_t*);
static inline errno_t localtime_s(struct tm* out, const time_t* time) { return _localtime64_s(out, time); }
unsigned int __cdecl _set_abort_behavior(unsigned int, unsigned int);
#ifndef _DEBUG
#define _CRTDBG_FILE_STDERR ((void*)-4)
#define _CrtSetReportFile(type, file) ((void*)0)
#endif

#ifdef __cplusplus
}
#endif

// <winnt.h>: a macro of the Windows SDK that Wine's header lacks: a reparse point whose tag has this
// bit stands for another file (a link or a junction).
#define IsReparseTagNameSurrogate(_tag) (((_tag)&0x20000000))
