// Native implementations of the platform calls the readers and the query code
// make (see windows.h and service/extract/CodePage.h beside them), and of the
// UTF-8 conversions of common/Text.h they use.

#include <windows.h>

#include <cstring>
#include <cwctype>
#include <string>

#include "common/Text.h"
#include "service/extract/CodePage.h"
#include "service/extract/Utf8Text.h"

namespace {

constexpr std::int64_t kTicksPerSecond = 10000000;
// Days from 1601-01-01 to 1970-01-01.
constexpr std::int64_t kEpochDays = 134774;

// Days since 1970-01-01 of a civil date (proleptic Gregorian).
std::int64_t DaysFromCivil(std::int64_t y, unsigned m, unsigned d) {
  y -= m <= 2;
  std::int64_t era = (y >= 0 ? y : y - 399) / 400;
  unsigned yoe = static_cast<unsigned>(y - era * 400);
  unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
}

void CivilFromDays(std::int64_t z, int* y, unsigned* m, unsigned* d) {
  z += 719468;
  std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  unsigned doe = static_cast<unsigned>(z - era * 146097);
  unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  unsigned mp = (5 * doy + 2) / 153;
  *d = doy - (153 * mp + 2) / 5 + 1;
  *m = mp < 10 ? mp + 3 : mp - 9;
  *y = static_cast<int>(static_cast<std::int64_t>(yoe) + era * 400 + (*m <= 2));
}

// Windows-1252's characters 0x80-0x9F; the rest of its upper half is Latin-1.
const char16_t k1252[32] = {0x20AC, 0xFFFD, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
                            0x2039, 0x0152, 0xFFFD, 0x017D, 0xFFFD, 0xFFFD, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
                            0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0xFFFD, 0x017E, 0x0178};

}  // namespace

int CompareStringOrdinal(LPCWSTR first, int firstLength, LPCWSTR second, int secondLength, BOOL ignoreCase) {
  std::size_t a = firstLength < 0 ? std::wcslen(first) : static_cast<std::size_t>(firstLength);
  std::size_t b = secondLength < 0 ? std::wcslen(second) : static_cast<std::size_t>(secondLength);
  for (std::size_t i = 0; i < a && i < b; ++i) {
    wint_t x = ignoreCase ? std::towupper(first[i]) : first[i];
    wint_t y = ignoreCase ? std::towupper(second[i]) : second[i];
    if (x != y) return x < y ? CSTR_LESS_THAN : CSTR_GREATER_THAN;
  }
  return a == b ? CSTR_EQUAL : a < b ? CSTR_LESS_THAN : CSTR_GREATER_THAN;
}

int LCMapStringEx(LPCWSTR, DWORD flags, LPCWSTR source, int sourceLength, LPWSTR destination, int destinationLength,
                  void*, void*, std::intptr_t) {
  std::size_t length = sourceLength < 0 ? std::wcslen(source) + 1 : static_cast<std::size_t>(sourceLength);
  if (destinationLength == 0) return static_cast<int>(length);
  if (static_cast<std::size_t>(destinationLength) < length) return 0;
  for (std::size_t i = 0; i < length; ++i) {
    destination[i] = static_cast<wchar_t>((flags & LCMAP_UPPERCASE) ? std::towupper(source[i]) : std::towlower(source[i]));
  }
  return static_cast<int>(length);
}

void GetLocalTime(SYSTEMTIME* time) {
  // A fixed day keeps every run of an input the same.
  *time = SYSTEMTIME{2026, 3, 2, 31, 12, 0, 0, 0};
}

BOOL SystemTimeToFileTime(const SYSTEMTIME* system, FILETIME* file) {
  if (system->wYear < 1601 || system->wYear > 30827 || system->wMonth < 1 || system->wMonth > 12 ||
      system->wDay < 1 || system->wDay > 31 || system->wHour > 23 || system->wMinute > 59 || system->wSecond > 59 ||
      system->wMilliseconds > 999) {
    return FALSE;
  }
  std::int64_t days = DaysFromCivil(system->wYear, system->wMonth, system->wDay) + kEpochDays;
  std::int64_t seconds = days * 86400 + system->wHour * 3600 + system->wMinute * 60 + system->wSecond;
  auto ticks = static_cast<std::uint64_t>(seconds * kTicksPerSecond + system->wMilliseconds * 10000);
  file->dwLowDateTime = static_cast<DWORD>(ticks);
  file->dwHighDateTime = static_cast<DWORD>(ticks >> 32);
  return TRUE;
}

BOOL FileTimeToSystemTime(const FILETIME* file, SYSTEMTIME* system) {
  std::uint64_t ticks = (static_cast<std::uint64_t>(file->dwHighDateTime) << 32) | file->dwLowDateTime;
  if (ticks >= 0x8000000000000000ull) return FALSE;
  std::int64_t seconds = static_cast<std::int64_t>(ticks / kTicksPerSecond);
  std::int64_t days = seconds / 86400;
  int year;
  unsigned month, day;
  CivilFromDays(days - kEpochDays, &year, &month, &day);
  if (year > 30827) return FALSE;
  std::int64_t rest = seconds % 86400;
  *system = SYSTEMTIME{static_cast<WORD>(year), static_cast<WORD>(month), static_cast<WORD>((days + 1) % 7),
                       static_cast<WORD>(day), static_cast<WORD>(rest / 3600), static_cast<WORD>(rest / 60 % 60),
                       static_cast<WORD>(rest % 60), static_cast<WORD>(ticks / 10000 % 1000)};
  return TRUE;
}

BOOL TzSpecificLocalTimeToSystemTime(const TIME_ZONE_INFORMATION*, const SYSTEMTIME* local, SYSTEMTIME* utc) {
  *utc = *local;  // the fuzzing build runs in UTC
  return TRUE;
}

int GetLocaleInfoEx(LPCWSTR, LCTYPE type, LPWSTR data, int length) {
  if (!(type & LOCALE_RETURN_NUMBER) || length < 2) return 0;
  DWORD monday = 0;
  std::memcpy(data, &monday, sizeof monday);
  return 2;
}

DWORD GetFullPathNameW(LPCWSTR, DWORD, LPWSTR, LPWSTR*) { return 0; }

namespace qv {

std::string ToUtf8(const wchar_t* text, std::size_t length) {
  std::string utf8;
  for (std::size_t i = 0; i < length; ++i) service::AppendUtf8(utf8, static_cast<unsigned long>(text[i]));
  return utf8;
}
std::string ToUtf8(const wchar_t* text) { return text ? ToUtf8(text, std::wcslen(text)) : std::string(); }
std::string ToUtf8(const std::wstring& text) { return ToUtf8(text.data(), text.size()); }

std::wstring FromUtf8(const char* text, std::size_t length) {
  if (!text || !service::IsValidUtf8(std::string_view(text, length))) return {};
  std::wstring wide;
  for (std::size_t i = 0; i < length;) {
    auto lead = static_cast<unsigned char>(text[i]);
    std::size_t size = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
    unsigned long c = size == 1 ? lead : lead & (0x7F >> size);
    for (std::size_t k = 1; k < size; ++k) c = (c << 6) | (static_cast<unsigned char>(text[i + k]) & 0x3F);
    wide.push_back(static_cast<wchar_t>(c));
    i += size;
  }
  return wide;
}
std::wstring FromUtf8(const std::string& text) { return FromUtf8(text.data(), text.size()); }
std::wstring ToWide(const char* text) { return text ? FromUtf8(text, std::strlen(text)) : std::wstring(); }
std::wstring ToWide(const std::string& text) { return FromUtf8(text); }

}  // namespace qv

namespace qv::service {

bool CodePageToUtf8(unsigned codePage, std::string_view bytes, std::string* utf8) {
  utf8->clear();
  // Code pages Windows has; natively each is read as Windows-1252, which is
  // enough to exercise the readers.
  bool known = codePage == kAnsiCodePage || (codePage >= 1250 && codePage <= 1258) || codePage == 437 ||
               codePage == 850 || codePage == 932 || codePage == 936 || codePage == 949 || codePage == 950 ||
               (codePage >= 28591 && codePage <= 28605) || codePage == 20866 || codePage == 50220 ||
               codePage == 51949 || codePage == 65001;
  if (!known) return false;
  if (codePage == 65001) {
    utf8->assign(bytes);
    MakeValidUtf8(*utf8);
    return true;
  }
  for (char c : bytes) {
    auto byte = static_cast<unsigned char>(c);
    AppendUtf8(*utf8, byte >= 0x80 && byte < 0xA0 ? k1252[byte - 0x80] : byte);
  }
  return true;
}

}  // namespace qv::service
