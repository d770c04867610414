// Included first in every file of the MSVC-mode check (toolchain.cmake): what the Windows SDK's C
// runtime headers declare and Wine's lack, so that libc++ compiles over Wine's headers, and the
// deprecations the SDK's headers carry and Wine's do not (below). Declarations only: what the
// module's link needs of them is in cmake/msvc-mode/runtime_shim.cpp.
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
#include <vadefs.h>

// Types the declarations below name before Wine's headers define them: FILE is struct _iobuf there,
// and mbstate_t is int.
struct _iobuf;
struct tm;

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

// The C runtime's deprecations (warning C4996), which Wine's headers lack: the functions that the
// UCRT's headers mark deprecated, marked here as they mark them, with their texts. Those that the
// UCRT calls unsafe (_CRT_INSECURE_DEPRECATE) unless _CRT_SECURE_NO_WARNINGS (or its older name
// _CRT_SECURE_NO_DEPRECATE) is defined; the POSIX names (_CRT_NONSTDC_DEPRECATE) unless
// _CRT_NONSTDC_NO_DEPRECATE (or _CRT_NONSTDC_NO_WARNINGS) is. Two differences from the UCRT, both on
// the strict side: these declarations come before the file's first line, so a target chooses with a
// definition on the command line (target_compile_definitions), not with a #define at the top of a
// source; and every file sees these names, where the UCRT declares each in its own header. Each
// declaration matches Wine's own, which follows it (the deprecation must come before a definition:
// many of Wine's are inline).
#ifndef _CRT_DEPRECATE_TEXT
#define _CRT_DEPRECATE_TEXT(_Text) __declspec(deprecated(_Text))
#endif
#ifndef _CRT_INSECURE_DEPRECATE
#if defined(_CRT_SECURE_NO_WARNINGS) || defined(_CRT_SECURE_NO_DEPRECATE)
#define _CRT_INSECURE_DEPRECATE(_Replacement)
#else
#define _CRT_INSECURE_DEPRECATE(_Replacement)                                                           \
  _CRT_DEPRECATE_TEXT("This function or variable may be unsafe. Consider using " #_Replacement        \
                      " instead. To disable deprecation, use _CRT_SECURE_NO_WARNINGS. See online help " \
                      "for details.")
#endif
#endif
#ifndef _CRT_NONSTDC_DEPRECATE
#if defined(_CRT_NONSTDC_NO_DEPRECATE) || defined(_CRT_NONSTDC_NO_WARNINGS)
#define _CRT_NONSTDC_DEPRECATE(_NewName)
#else
#define _CRT_NONSTDC_DEPRECATE(_NewName)                                                              \
  _CRT_DEPRECATE_TEXT("The POSIX name for this item is deprecated. Instead, use the ISO C and C++ " \
                      "conformant name: " #_NewName ". See online help for details.")
#endif
#endif

#ifdef __cplusplus
extern "C" {
#endif

// <stdio.h>, <corecrt_wstdio.h>
_CRT_INSECURE_DEPRECATE(fopen_s) _ACRTIMP struct _iobuf* __cdecl fopen(const char*, const char*);
_CRT_INSECURE_DEPRECATE(freopen_s) _ACRTIMP struct _iobuf* __cdecl freopen(const char*, const char*, struct _iobuf*);
_CRT_INSECURE_DEPRECATE(_wfopen_s) _ACRTIMP struct _iobuf* __cdecl _wfopen(const wchar_t*, const wchar_t*);
_CRT_INSECURE_DEPRECATE(_wfreopen_s) _ACRTIMP struct _iobuf* __cdecl _wfreopen(const wchar_t*, const wchar_t*, struct _iobuf*);
_CRT_INSECURE_DEPRECATE(tmpfile_s) _ACRTIMP struct _iobuf* __cdecl tmpfile(void);
_CRT_INSECURE_DEPRECATE(tmpnam_s) _ACRTIMP char* __cdecl tmpnam(char*);
_CRT_INSECURE_DEPRECATE(_wtmpnam_s) _ACRTIMP wchar_t* __cdecl _wtmpnam(wchar_t*);
_CRT_INSECURE_DEPRECATE(setvbuf) _ACRTIMP void __cdecl setbuf(struct _iobuf*, char*);
#if defined(_UCRT) && !defined(_NO_CRT_STDIO_INLINE)
_CRT_INSECURE_DEPRECATE(vsprintf_s) static inline int __cdecl vsprintf(char*, const char*, va_list);
_CRT_INSECURE_DEPRECATE(_vsnprintf_s) static inline int __cdecl _vsnprintf(char*, size_t, const char*, va_list);
_CRT_INSECURE_DEPRECATE(sscanf_s) static inline int __cdecl sscanf(const char*, const char*, ...);
_CRT_INSECURE_DEPRECATE(_sscanf_s_l) static inline int __cdecl _sscanf_l(const char*, const char*, _locale_t, ...);
_CRT_INSECURE_DEPRECATE(_snscanf_s_l) static inline int __cdecl _snscanf_l(const char*, size_t, const char*, _locale_t, ...);
_CRT_INSECURE_DEPRECATE(fscanf_s) static inline int __cdecl fscanf(struct _iobuf*, const char*, ...);
_CRT_INSECURE_DEPRECATE(scanf_s) static inline int __cdecl scanf(const char*, ...);
_CRT_INSECURE_DEPRECATE(vswprintf_s) static inline int __cdecl _vswprintf(wchar_t*, const wchar_t*, va_list);
_CRT_INSECURE_DEPRECATE(swprintf_s) static inline int __cdecl _swprintf(wchar_t*, const wchar_t*, ...);
_CRT_INSECURE_DEPRECATE(_vsnwprintf_s) static inline int __cdecl _vsnwprintf(wchar_t*, size_t, const wchar_t*, va_list);
_CRT_INSECURE_DEPRECATE(_snwprintf_s) static inline int __cdecl _snwprintf(wchar_t*, size_t, const wchar_t*, ...);
_CRT_INSECURE_DEPRECATE(swscanf_s) static inline int __cdecl swscanf(const wchar_t*, const wchar_t*, ...);
_CRT_INSECURE_DEPRECATE(fwscanf_s) static inline int __cdecl fwscanf(struct _iobuf*, const wchar_t*, ...);
#else
_CRT_INSECURE_DEPRECATE(vsprintf_s) _ACRTIMP int __cdecl vsprintf(char*, const char*, va_list);
_CRT_INSECURE_DEPRECATE(_vsnprintf_s) _ACRTIMP int __cdecl _vsnprintf(char*, size_t, const char*, va_list);
_CRT_INSECURE_DEPRECATE(sscanf_s) _ACRTIMP int __cdecl sscanf(const char*, const char*, ...);
_CRT_INSECURE_DEPRECATE(_sscanf_s_l) _ACRTIMP int __cdecl _sscanf_l(const char*, const char*, _locale_t, ...);
_CRT_INSECURE_DEPRECATE(_snscanf_s_l) _ACRTIMP int __cdecl _snscanf_l(const char*, size_t, const char*, _locale_t, ...);
_CRT_INSECURE_DEPRECATE(fscanf_s) _ACRTIMP int __cdecl fscanf(struct _iobuf*, const char*, ...);
_CRT_INSECURE_DEPRECATE(scanf_s) _ACRTIMP int __cdecl scanf(const char*, ...);
_CRT_INSECURE_DEPRECATE(_vsnwprintf_s) _ACRTIMP int __cdecl _vsnwprintf(wchar_t*, size_t, const wchar_t*, va_list);
_CRT_INSECURE_DEPRECATE(_snwprintf_s) _ACRTIMP int __cdecl _snwprintf(wchar_t*, size_t, const wchar_t*, ...);
_CRT_INSECURE_DEPRECATE(swscanf_s) _ACRTIMP int __cdecl swscanf(const wchar_t*, const wchar_t*, ...);
_CRT_INSECURE_DEPRECATE(fwscanf_s) _ACRTIMP int __cdecl fwscanf(struct _iobuf*, const wchar_t*, ...);
#endif
#if !defined(_NO_CRT_STDIO_INLINE)
_CRT_INSECURE_DEPRECATE(sprintf_s) static inline int __cdecl sprintf(char*, const char*, ...);
_CRT_INSECURE_DEPRECATE(_snprintf_s) static inline int __cdecl _snprintf(char*, size_t, const char*, ...);
#else
_CRT_INSECURE_DEPRECATE(sprintf_s) _ACRTIMP int __cdecl sprintf(char*, const char*, ...);
_CRT_INSECURE_DEPRECATE(_snprintf_s) _ACRTIMP int __cdecl _snprintf(char*, size_t, const char*, ...);
#endif

// <string.h>, <corecrt_wstring.h>
_CRT_INSECURE_DEPRECATE(strcpy_s) _ACRTIMP char* __cdecl strcpy(char*, const char*);
_CRT_INSECURE_DEPRECATE(strcat_s) _ACRTIMP char* __cdecl strcat(char*, const char*);
_CRT_INSECURE_DEPRECATE(strncpy_s) _ACRTIMP char* __cdecl strncpy(char*, const char*, size_t);
_CRT_INSECURE_DEPRECATE(strncat_s) _ACRTIMP char* __cdecl strncat(char*, const char*, size_t);
_CRT_INSECURE_DEPRECATE(strtok_s) _ACRTIMP char* __cdecl strtok(char*, const char*);
_CRT_INSECURE_DEPRECATE(strerror_s) _ACRTIMP char* __cdecl strerror(int);
_CRT_INSECURE_DEPRECATE(_strerror_s) _ACRTIMP char* __cdecl _strerror(const char*);
_CRT_INSECURE_DEPRECATE(_strlwr_s) _ACRTIMP char* __cdecl _strlwr(char*);
_CRT_INSECURE_DEPRECATE(_strupr_s) _ACRTIMP char* __cdecl _strupr(char*);
_CRT_INSECURE_DEPRECATE(_strset_s) _ACRTIMP char* __cdecl _strset(char*, int);
_CRT_INSECURE_DEPRECATE(_strnset_s) _ACRTIMP char* __cdecl _strnset(char*, int, size_t);
_CRT_INSECURE_DEPRECATE(wcscpy_s) _ACRTIMP wchar_t* __cdecl wcscpy(wchar_t*, const wchar_t*);
_CRT_INSECURE_DEPRECATE(wcscat_s) _ACRTIMP wchar_t* __cdecl wcscat(wchar_t*, const wchar_t*);
_CRT_INSECURE_DEPRECATE(wcsncpy_s) _ACRTIMP wchar_t* __cdecl wcsncpy(wchar_t*, const wchar_t*, size_t);
_CRT_INSECURE_DEPRECATE(wcsncat_s) _ACRTIMP wchar_t* __cdecl wcsncat(wchar_t*, const wchar_t*, size_t);
_CRT_INSECURE_DEPRECATE(_wcslwr_s) _ACRTIMP wchar_t* __cdecl _wcslwr(wchar_t*);
_CRT_INSECURE_DEPRECATE(_wcsupr_s) _ACRTIMP wchar_t* __cdecl _wcsupr(wchar_t*);
_CRT_INSECURE_DEPRECATE(_wcsset_s) _ACRTIMP wchar_t* __cdecl _wcsset(wchar_t*, wchar_t);
_CRT_INSECURE_DEPRECATE(_wcsnset_s) _ACRTIMP wchar_t* __cdecl _wcsnset(wchar_t*, wchar_t, size_t);

// <stdlib.h>, <corecrt_wstdlib.h>
_CRT_INSECURE_DEPRECATE(_dupenv_s) _ACRTIMP char* __cdecl getenv(const char*);
_CRT_INSECURE_DEPRECATE(_wdupenv_s) _ACRTIMP wchar_t* __cdecl _wgetenv(const wchar_t*);
_CRT_INSECURE_DEPRECATE(mbstowcs_s) _ACRTIMP size_t __cdecl mbstowcs(wchar_t*, const char*, size_t);
_CRT_INSECURE_DEPRECATE(_mbstowcs_s_l) _ACRTIMP size_t __cdecl _mbstowcs_l(wchar_t*, const char*, size_t, _locale_t);
_CRT_INSECURE_DEPRECATE(wcstombs_s) _ACRTIMP size_t __cdecl wcstombs(char*, const wchar_t*, size_t);
_CRT_INSECURE_DEPRECATE(_wcstombs_s_l) _ACRTIMP size_t __cdecl _wcstombs_l(char*, const wchar_t*, size_t, _locale_t);
_CRT_INSECURE_DEPRECATE(wctomb_s) _ACRTIMP int __cdecl wctomb(char*, wchar_t);
_CRT_INSECURE_DEPRECATE(_wctomb_s_l) _ACRTIMP int __cdecl _wctomb_l(char*, wchar_t, _locale_t);
_CRT_INSECURE_DEPRECATE(_itoa_s) _ACRTIMP char* __cdecl _itoa(int, char*, int);
_CRT_INSECURE_DEPRECATE(_ltoa_s) _ACRTIMP char* __cdecl _ltoa(__msvcrt_long, char*, int);
_CRT_INSECURE_DEPRECATE(_ultoa_s) _ACRTIMP char* __cdecl _ultoa(__msvcrt_ulong, char*, int);
_CRT_INSECURE_DEPRECATE(_i64toa_s) _ACRTIMP char* __cdecl _i64toa(__int64, char*, int);
_CRT_INSECURE_DEPRECATE(_ui64toa_s) _ACRTIMP char* __cdecl _ui64toa(unsigned __int64, char*, int);
_CRT_INSECURE_DEPRECATE(_itow_s) _ACRTIMP wchar_t* __cdecl _itow(int, wchar_t*, int);
_CRT_INSECURE_DEPRECATE(_ltow_s) _ACRTIMP wchar_t* __cdecl _ltow(__msvcrt_long, wchar_t*, int);
_CRT_INSECURE_DEPRECATE(_ultow_s) _ACRTIMP wchar_t* __cdecl _ultow(__msvcrt_ulong, wchar_t*, int);
_CRT_INSECURE_DEPRECATE(_i64tow_s) _ACRTIMP wchar_t* __cdecl _i64tow(__int64, wchar_t*, int);
_CRT_INSECURE_DEPRECATE(_ui64tow_s) _ACRTIMP wchar_t* __cdecl _ui64tow(unsigned __int64, wchar_t*, int);
_CRT_INSECURE_DEPRECATE(_ecvt_s) _ACRTIMP char* __cdecl _ecvt(double, int, int*, int*);
_CRT_INSECURE_DEPRECATE(_fcvt_s) _ACRTIMP char* __cdecl _fcvt(double, int, int*, int*);
_CRT_INSECURE_DEPRECATE(_gcvt_s) _ACRTIMP char* __cdecl _gcvt(double, int, char*);
_CRT_INSECURE_DEPRECATE(_makepath_s) _ACRTIMP void __cdecl _makepath(char*, const char*, const char*, const char*, const char*);
_CRT_INSECURE_DEPRECATE(_splitpath_s) _ACRTIMP void __cdecl _splitpath(const char*, char*, char*, char*, char*);
_CRT_INSECURE_DEPRECATE(_wmakepath_s) _ACRTIMP void __cdecl _wmakepath(wchar_t*, const wchar_t*, const wchar_t*, const wchar_t*, const wchar_t*);
_CRT_INSECURE_DEPRECATE(_wsplitpath_s) _ACRTIMP void __cdecl _wsplitpath(const wchar_t*, wchar_t*, wchar_t*, wchar_t*, wchar_t*);
_CRT_INSECURE_DEPRECATE(_searchenv_s) _ACRTIMP void __cdecl _searchenv(const char*, const char*, char*);
_CRT_INSECURE_DEPRECATE(_wsearchenv_s) _ACRTIMP void __cdecl _wsearchenv(const wchar_t*, const wchar_t*, wchar_t*);

// <time.h>, <corecrt_wtime.h> (Win64 has no 32-bit time_t)
_CRT_INSECURE_DEPRECATE(asctime_s) _ACRTIMP char* __cdecl asctime(const struct tm*);
_CRT_INSECURE_DEPRECATE(ctime_s) static inline char* ctime(const time_t*);
_CRT_INSECURE_DEPRECATE(gmtime_s) static inline struct tm* gmtime(const time_t*);
_CRT_INSECURE_DEPRECATE(localtime_s) static inline struct tm* localtime(const time_t*);
_CRT_INSECURE_DEPRECATE(_ctime32_s) _ACRTIMP char* __cdecl _ctime32(const __time32_t*);
_CRT_INSECURE_DEPRECATE(_ctime64_s) _ACRTIMP char* __cdecl _ctime64(const __time64_t*);
_CRT_INSECURE_DEPRECATE(_gmtime32_s) _ACRTIMP struct tm* __cdecl _gmtime32(const __time32_t*);
_CRT_INSECURE_DEPRECATE(_gmtime64_s) _ACRTIMP struct tm* __cdecl _gmtime64(const __time64_t*);
_CRT_INSECURE_DEPRECATE(_localtime32_s) _ACRTIMP struct tm* __cdecl _localtime32(const __time32_t*);
_CRT_INSECURE_DEPRECATE(_localtime64_s) _ACRTIMP struct tm* __cdecl _localtime64(const __time64_t*);
_CRT_INSECURE_DEPRECATE(_strdate_s) _ACRTIMP char* __cdecl _strdate(char*);
_CRT_INSECURE_DEPRECATE(_strtime_s) _ACRTIMP char* __cdecl _strtime(char*);
_CRT_INSECURE_DEPRECATE(_wasctime_s) _ACRTIMP wchar_t* __cdecl _wasctime(const struct tm*);
_CRT_INSECURE_DEPRECATE(_wctime_s) static inline wchar_t* _wctime(const time_t*);
_CRT_INSECURE_DEPRECATE(_wctime32_s) _ACRTIMP wchar_t* __cdecl _wctime32(const __time32_t*);
_CRT_INSECURE_DEPRECATE(_wctime64_s) _ACRTIMP wchar_t* __cdecl _wctime64(const __time64_t*);
_CRT_INSECURE_DEPRECATE(_wstrdate_s) _ACRTIMP wchar_t* __cdecl _wstrdate(wchar_t*);
_CRT_INSECURE_DEPRECATE(_wstrtime_s) _ACRTIMP wchar_t* __cdecl _wstrtime(wchar_t*);

// <wchar.h>
_CRT_INSECURE_DEPRECATE(mbsrtowcs_s) size_t __cdecl mbsrtowcs(wchar_t*, const char**, size_t, int*);
_CRT_INSECURE_DEPRECATE(wcsrtombs_s) size_t __cdecl wcsrtombs(char*, const wchar_t**, size_t, int*);
_CRT_INSECURE_DEPRECATE(wcrtomb_s) size_t __cdecl wcrtomb(char*, wchar_t, int*);

// <io.h>, <corecrt_io.h>, <corecrt_wio.h>
_CRT_INSECURE_DEPRECATE(_sopen_s) _ACRTIMP int __cdecl _open(const char*, int, ...);
_CRT_INSECURE_DEPRECATE(_sopen_s) _ACRTIMP int __cdecl _sopen(const char*, int, int, ...);
_CRT_INSECURE_DEPRECATE(_wsopen_s) _ACRTIMP int __cdecl _wopen(const wchar_t*, int, ...);
_CRT_INSECURE_DEPRECATE(_wsopen_s) _ACRTIMP int __cdecl _wsopen(const wchar_t*, int, int, ...);
_CRT_INSECURE_DEPRECATE(_mktemp_s) _ACRTIMP char* __cdecl _mktemp(char*);
_CRT_INSECURE_DEPRECATE(_wmktemp_s) _ACRTIMP wchar_t* __cdecl _wmktemp(wchar_t*);
_CRT_INSECURE_DEPRECATE(_umask_s) _ACRTIMP int __cdecl _umask(int);

// <memory.h>, <corecrt_wstring.h>: POSIX names that Wine declares in C linkage.
_CRT_NONSTDC_DEPRECATE(_memccpy) static inline void* memccpy(void*, const void*, int, size_t);
_CRT_NONSTDC_DEPRECATE(_memicmp) static inline int memicmp(const void*, const void*, size_t);

#ifdef __cplusplus
}
#endif

// The POSIX names, which Wine defines inline after its headers' C linkage blocks.
// <stdio.h>
_CRT_NONSTDC_DEPRECATE(_fdopen) static inline struct _iobuf* fdopen(int, const char*);
_CRT_NONSTDC_DEPRECATE(_fgetchar) static inline int fgetchar(void);
_CRT_NONSTDC_DEPRECATE(_fileno) static inline int fileno(struct _iobuf*);
_CRT_NONSTDC_DEPRECATE(_fputchar) static inline int fputchar(int);
_CRT_NONSTDC_DEPRECATE(_getw) static inline int getw(struct _iobuf*);
_CRT_NONSTDC_DEPRECATE(_putw) static inline int putw(int, struct _iobuf*);
_CRT_NONSTDC_DEPRECATE(_pclose) static inline int pclose(struct _iobuf*);
_CRT_NONSTDC_DEPRECATE(_popen) static inline struct _iobuf* popen(const char*, const char*);
_CRT_NONSTDC_DEPRECATE(_tempnam) static inline char* tempnam(const char*, const char*);
_CRT_NONSTDC_DEPRECATE(_unlink) static inline int unlink(const char*);
// <io.h>, <sys/stat.h>
_CRT_NONSTDC_DEPRECATE(_access) static inline int access(const char*, int);
_CRT_NONSTDC_DEPRECATE(_chmod) static inline int chmod(const char*, int);
_CRT_NONSTDC_DEPRECATE(_chsize) static inline int chsize(int, __msvcrt_long);
_CRT_NONSTDC_DEPRECATE(_close) static inline int close(int);
_CRT_NONSTDC_DEPRECATE(_creat) static inline int creat(const char*, int);
_CRT_NONSTDC_DEPRECATE(_dup) static inline int dup(int);
_CRT_NONSTDC_DEPRECATE(_dup2) static inline int dup2(int, int);
_CRT_NONSTDC_DEPRECATE(_eof) static inline int eof(int);
_CRT_NONSTDC_DEPRECATE(_filelength) static inline __msvcrt_long filelength(int);
_CRT_NONSTDC_DEPRECATE(_isatty) static inline int isatty(int);
_CRT_NONSTDC_DEPRECATE(_locking) static inline int locking(int, int, __msvcrt_long);
_CRT_NONSTDC_DEPRECATE(_lseek) static inline __msvcrt_long lseek(int, __msvcrt_long, int);
_CRT_NONSTDC_DEPRECATE(_mktemp) static inline char* mktemp(char*);
_CRT_NONSTDC_DEPRECATE(_read) static inline int read(int, void*, unsigned int);
_CRT_NONSTDC_DEPRECATE(_setmode) static inline int setmode(int, int);
_CRT_NONSTDC_DEPRECATE(_tell) static inline __msvcrt_long tell(int);
_CRT_NONSTDC_DEPRECATE(_umask) static inline int umask(int);
_CRT_NONSTDC_DEPRECATE(_write) static inline int write(int, const void*, unsigned int);
// <direct.h>, <process.h>
_CRT_NONSTDC_DEPRECATE(_chdir) static inline int chdir(const char*);
_CRT_NONSTDC_DEPRECATE(_getcwd) static inline char* getcwd(char*, int);
_CRT_NONSTDC_DEPRECATE(_mkdir) static inline int mkdir(const char*);
_CRT_NONSTDC_DEPRECATE(_rmdir) static inline int rmdir(const char*);
_CRT_NONSTDC_DEPRECATE(_getpid) static inline int getpid(void);
// <string.h>
_CRT_NONSTDC_DEPRECATE(_strcmpi) static inline int strcmpi(const char*, const char*);
_CRT_NONSTDC_DEPRECATE(_strdup) static inline char* strdup(const char*);
_CRT_NONSTDC_DEPRECATE(_stricmp) static inline int stricmp(const char*, const char*);
_CRT_NONSTDC_DEPRECATE(_stricoll) static inline int stricoll(const char*, const char*);
_CRT_NONSTDC_DEPRECATE(_strlwr) static inline char* strlwr(char*);
_CRT_NONSTDC_DEPRECATE(_strnicmp) static inline int strnicmp(const char*, const char*, size_t);
_CRT_NONSTDC_DEPRECATE(_strnset) static inline char* strnset(char*, int, unsigned int);
_CRT_NONSTDC_DEPRECATE(_strrev) static inline char* strrev(char*);
_CRT_NONSTDC_DEPRECATE(_strset) static inline char* strset(char*, int);
_CRT_NONSTDC_DEPRECATE(_strupr) static inline char* strupr(char*);
_CRT_NONSTDC_DEPRECATE(_wcsdup) static inline wchar_t* wcsdup(const wchar_t*);
_CRT_NONSTDC_DEPRECATE(_wcsicoll) static inline int wcsicoll(const wchar_t*, const wchar_t*);
_CRT_NONSTDC_DEPRECATE(_wcslwr) static inline wchar_t* wcslwr(wchar_t*);
_CRT_NONSTDC_DEPRECATE(_wcsicmp) static inline int wcsicmp(const wchar_t*, const wchar_t*);
_CRT_NONSTDC_DEPRECATE(_wcsnicmp) static inline int wcsnicmp(const wchar_t*, const wchar_t*, size_t);
_CRT_NONSTDC_DEPRECATE(_wcsnset) static inline wchar_t* wcsnset(wchar_t*, wchar_t, size_t);
_CRT_NONSTDC_DEPRECATE(_wcsrev) static inline wchar_t* wcsrev(wchar_t*);
_CRT_NONSTDC_DEPRECATE(_wcsset) static inline wchar_t* wcsset(wchar_t*, wchar_t);
_CRT_NONSTDC_DEPRECATE(_wcsupr) static inline wchar_t* wcsupr(wchar_t*);
// <stdlib.h>
_CRT_NONSTDC_DEPRECATE(_ecvt) static inline char* ecvt(double, int, int*, int*);
_CRT_NONSTDC_DEPRECATE(_fcvt) static inline char* fcvt(double, int, int*, int*);
_CRT_NONSTDC_DEPRECATE(_gcvt) static inline char* gcvt(double, int, char*);
_CRT_NONSTDC_DEPRECATE(_itoa) static inline char* itoa(int, char*, int);
_CRT_NONSTDC_DEPRECATE(_ltoa) static inline char* ltoa(__msvcrt_long, char*, int);
_CRT_NONSTDC_DEPRECATE(_putenv) static inline int putenv(const char*);
_CRT_NONSTDC_DEPRECATE(_swab) static inline void swab(char*, char*, int);
_CRT_NONSTDC_DEPRECATE(_ultoa) static inline char* ultoa(__msvcrt_ulong, char*, int);

// <winnt.h>: a macro of the Windows SDK that Wine's header lacks: a reparse point whose tag has this
// bit stands for another file (a link or a junction).
#define IsReparseTagNameSurrogate(_tag) (((_tag)&0x20000000))
