#pragma once
// The fuzzing build's stand-in for <windows.h>: the few calls the query code
// makes of the platform (ordinal comparison ignoring case, case folding, the
// local time and its conversions), done natively. Only the fuzzing build
// (fuzz/CMakeLists.txt) puts this folder on the include path; there wchar_t is
// 32 bits, so UTF-16 surrogate pairs never occur.

#include <cstddef>
#include <cstdint>
#include <cwchar>

using BYTE = unsigned char;
using WORD = std::uint16_t;
using DWORD = std::uint32_t;
using UINT = unsigned int;
using BOOL = int;
using LONG = std::int32_t;
using LPWSTR = wchar_t*;
using LPCWSTR = const wchar_t*;
using LCID = DWORD;
using LCTYPE = DWORD;

#define TRUE 1
#define FALSE 0
#define MAX_PATH 260
#define CSTR_LESS_THAN 1
#define CSTR_EQUAL 2
#define CSTR_GREATER_THAN 3
#define LOCALE_NAME_INVARIANT L""
#define LOCALE_NAME_USER_DEFAULT nullptr
#define LOCALE_IFIRSTDAYOFWEEK 0x100C
#define LOCALE_RETURN_NUMBER 0x20000000
#define LCMAP_LOWERCASE 0x00000100
#define LCMAP_UPPERCASE 0x00000200

struct SYSTEMTIME {
  WORD wYear, wMonth, wDayOfWeek, wDay, wHour, wMinute, wSecond, wMilliseconds;
};
struct FILETIME {
  DWORD dwLowDateTime;
  DWORD dwHighDateTime;
};
union ULARGE_INTEGER {
  struct {
    DWORD LowPart;
    DWORD HighPart;
  };
  struct {
    DWORD LowPart;
    DWORD HighPart;
  } u;
  std::uint64_t QuadPart;
};
struct TIME_ZONE_INFORMATION;

int CompareStringOrdinal(LPCWSTR first, int firstLength, LPCWSTR second, int secondLength, BOOL ignoreCase);
int LCMapStringEx(LPCWSTR locale, DWORD flags, LPCWSTR source, int sourceLength, LPWSTR destination,
                  int destinationLength, void*, void*, std::intptr_t);
void GetLocalTime(SYSTEMTIME* time);
BOOL SystemTimeToFileTime(const SYSTEMTIME* system, FILETIME* file);
BOOL FileTimeToSystemTime(const FILETIME* file, SYSTEMTIME* system);
BOOL TzSpecificLocalTimeToSystemTime(const TIME_ZONE_INFORMATION*, const SYSTEMTIME* local, SYSTEMTIME* utc);
int GetLocaleInfoEx(LPCWSTR locale, LCTYPE type, LPWSTR data, int length);
DWORD GetFullPathNameW(LPCWSTR name, DWORD length, LPWSTR buffer, LPWSTR* filePart);
