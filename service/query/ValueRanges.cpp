#include "service/query/ValueRanges.h"

#include <cwctype>
#include <limits>
#include <optional>

namespace qv::service {
namespace {

constexpr std::int64_t kMin = std::numeric_limits<std::int64_t>::min();
constexpr std::int64_t kMax = std::numeric_limits<std::int64_t>::max();

bool EqualsIgnoringCase(const std::wstring& text, const wchar_t* word) {
  return CompareStringOrdinal(text.c_str(), static_cast<int>(text.size()), word, -1, TRUE) == CSTR_EQUAL;
}

// Splits "A..B" at its one "..".
bool SplitRange(const std::wstring& value, std::wstring* from, std::wstring* to) {
  std::size_t dots = value.find(L"..");
  if (dots == std::wstring::npos || value.find(L"..", dots + 2) != std::wstring::npos) return false;
  *from = value.substr(0, dots);
  *to = value.substr(dots + 2);
  return !from->empty() || !to->empty();
}

// The comparison a value starts with ("" when none), taken off the value.
std::wstring TakeComparison(std::wstring* value) {
  for (const wchar_t* op : {L">=", L"<=", L">", L"<", L"="}) {
    std::size_t length = std::char_traits<wchar_t>::length(op);
    if (value->compare(0, length, op) == 0) {
      value->erase(0, length);
      return op;
    }
  }
  return {};
}

// --- sizes ---

// A number and an optional unit: the bytes and the unit's size.
bool ParseBytes(const std::wstring& text, std::int64_t* bytes, std::int64_t* unit) {
  std::size_t i = 0;
  std::uint64_t whole = 0;
  std::size_t digits = 0;
  while (i < text.size() && text[i] >= L'0' && text[i] <= L'9') {
    if (whole > 1'000'000'000'000ULL) return false;
    whole = whole * 10 + static_cast<unsigned>(text[i++] - L'0');
    ++digits;
  }
  double fraction = 0;
  if (i < text.size() && text[i] == L'.') {
    double scale = 0.1;
    ++i;
    while (i < text.size() && text[i] >= L'0' && text[i] <= L'9') {
      fraction += scale * (text[i++] - L'0');
      scale /= 10;
      ++digits;
    }
  }
  if (digits == 0) return false;
  std::wstring suffix = text.substr(i);
  struct Unit {
    const wchar_t* name;
    std::int64_t bytes;
  };
  static const Unit units[] = {{L"", 1},           {L"b", 1},
                               {L"kb", 1LL << 10}, {L"mb", 1LL << 20},
                               {L"gb", 1LL << 30}, {L"tb", 1LL << 40}};
  for (const Unit& u : units) {
    if (!EqualsIgnoringCase(suffix, u.name)) continue;
    double value = (static_cast<double>(whole) + fraction) * static_cast<double>(u.bytes);
    if (value >= 9.0e18) return false;
    *bytes = static_cast<std::int64_t>(value);
    *unit = u.bytes;
    return true;
  }
  return false;
}

// --- dates ---

constexpr std::int64_t kTicksPerDay = 864000000000LL;

struct Day {
  int year, month, day;
};

int DaysInMonth(int year, int month) {
  static const int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
  return month == 2 && leap ? 29 : days[month - 1];
}

// Days since 1601-01-01 of a calendar day.
std::int64_t DayNumber(const Day& day) {
  SYSTEMTIME time = {};
  time.wYear = static_cast<WORD>(day.year);
  time.wMonth = static_cast<WORD>(day.month);
  time.wDay = static_cast<WORD>(day.day);
  FILETIME file;
  if (!SystemTimeToFileTime(&time, &file)) return 0;
  ULARGE_INTEGER value{{file.dwLowDateTime, file.dwHighDateTime}};
  return static_cast<std::int64_t>(value.QuadPart) / kTicksPerDay;
}

SYSTEMTIME FromDayNumber(std::int64_t number) {
  ULARGE_INTEGER value;
  value.QuadPart = static_cast<std::uint64_t>(number * kTicksPerDay);
  FILETIME file{value.LowPart, value.HighPart};
  SYSTEMTIME time = {};
  FileTimeToSystemTime(&file, &time);
  return time;
}

// The moment a local day starts, as a UTC FILETIME value.
std::int64_t LocalDayStart(std::int64_t number) {
  SYSTEMTIME local = FromDayNumber(number);
  SYSTEMTIME utc;
  FILETIME file;
  if (!TzSpecificLocalTimeToSystemTime(nullptr, &local, &utc) || !SystemTimeToFileTime(&utc, &file)) {
    return number * kTicksPerDay;
  }
  ULARGE_INTEGER value{{file.dwLowDateTime, file.dwHighDateTime}};
  return static_cast<std::int64_t>(value.QuadPart);
}

// A span of whole local days, [first, end).
struct Period {
  std::int64_t first;
  std::int64_t end;
};

bool ReadNumber(const std::wstring& text, std::size_t* i, std::size_t digits, int* number) {
  if (*i + digits > text.size()) return false;
  *number = 0;
  for (std::size_t k = 0; k < digits; ++k) {
    wchar_t c = text[*i + k];
    if (c < L'0' || c > L'9') return false;
    *number = *number * 10 + (c - L'0');
  }
  *i += digits;
  return true;
}

Period MonthPeriod(int year, int month) {
  int nextYear = month == 12 ? year + 1 : year;
  int nextMonth = month == 12 ? 1 : month + 1;
  return {DayNumber({year, month, 1}), DayNumber({nextYear, nextMonth, 1})};
}

std::optional<Period> NamedPeriod(const std::wstring& word, const SYSTEMTIME& now) {
  std::int64_t today = DayNumber({now.wYear, now.wMonth, now.wDay});
  if (EqualsIgnoringCase(word, L"today")) return Period{today, today + 1};
  if (EqualsIgnoringCase(word, L"yesterday")) return Period{today - 1, today};
  bool thisWeek = EqualsIgnoringCase(word, L"thisweek");
  if (thisWeek || EqualsIgnoringCase(word, L"lastweek")) {
    // The user's first day of the week: 0 Monday ... 6 Sunday.
    DWORD first = 0;
    if (!GetLocaleInfoEx(LOCALE_NAME_USER_DEFAULT, LOCALE_IFIRSTDAYOFWEEK | LOCALE_RETURN_NUMBER,
                         reinterpret_cast<LPWSTR>(&first), sizeof first / sizeof(wchar_t)) || first > 6) {
      first = 0;
    }
    int weekday = (FromDayNumber(today).wDayOfWeek + 6) % 7;  // 0 Monday
    std::int64_t start = today - (weekday - static_cast<int>(first) + 7) % 7;
    return thisWeek ? Period{start, start + 7} : Period{start - 7, start};
  }
  if (EqualsIgnoringCase(word, L"thismonth")) return MonthPeriod(now.wYear, now.wMonth);
  if (EqualsIgnoringCase(word, L"lastmonth")) {
    return now.wMonth == 1 ? MonthPeriod(now.wYear - 1, 12) : MonthPeriod(now.wYear, now.wMonth - 1);
  }
  if (EqualsIgnoringCase(word, L"thisyear")) return Period{DayNumber({now.wYear, 1, 1}), DayNumber({now.wYear + 1, 1, 1})};
  if (EqualsIgnoringCase(word, L"lastyear")) return Period{DayNumber({now.wYear - 1, 1, 1}), DayNumber({now.wYear, 1, 1})};
  return std::nullopt;
}

// A day, month or year written as digits, or a named period.
std::optional<Period> ParsePeriod(const std::wstring& text, const SYSTEMTIME& now) {
  if (auto named = NamedPeriod(text, now)) return named;
  std::size_t i = 0;
  int year = 0, month = 0, day = 0;
  if (!ReadNumber(text, &i, 4, &year) || year < 1601 || year > 30000) return std::nullopt;
  if (i == text.size()) return Period{DayNumber({year, 1, 1}), DayNumber({year + 1, 1, 1})};
  wchar_t separator = text[i];
  if (separator != L'-' && separator != L'/') return std::nullopt;
  ++i;
  if (!ReadNumber(text, &i, 2, &month) || month < 1 || month > 12) return std::nullopt;
  if (i == text.size()) return MonthPeriod(year, month);
  if (text[i] != separator) return std::nullopt;
  ++i;
  if (!ReadNumber(text, &i, 2, &day) || i != text.size() || day < 1 || day > DaysInMonth(year, month)) {
    return std::nullopt;
  }
  std::int64_t number = DayNumber({year, month, day});
  return Period{number, number + 1};
}

}  // namespace

bool ParseSizeRange(const std::wstring& text, ValueRange* range) {
  struct Named {
    const wchar_t* name;
    ValueRange range;
  };
  static const Named named[] = {{L"empty", {0, 0}},
                                {L"small", {1, (1LL << 20) - 1}},
                                {L"medium", {1LL << 20, (128LL << 20) - 1}},
                                {L"large", {128LL << 20, (1LL << 30) - 1}},
                                {L"huge", {1LL << 30, kMax}}};
  for (const Named& entry : named) {
    if (EqualsIgnoringCase(text, entry.name)) {
      *range = entry.range;
      return true;
    }
  }
  std::wstring from, to;
  std::int64_t bytes = 0, unit = 0;
  if (SplitRange(text, &from, &to)) {
    std::int64_t low = 0, high = kMax;
    if (!from.empty() && !ParseBytes(from, &low, &unit)) return false;
    if (!to.empty() && !ParseBytes(to, &high, &unit)) return false;
    if (low > high) return false;
    *range = {low, high};
    return true;
  }
  std::wstring value = text;
  std::wstring comparison = TakeComparison(&value);
  if (!ParseBytes(value, &bytes, &unit)) return false;
  if (comparison == L">") {
    *range = {bytes + 1, kMax};
  } else if (comparison == L">=") {
    *range = {bytes, kMax};
  } else if (comparison == L"<") {
    if (bytes == 0) return false;
    *range = {0, bytes - 1};
  } else if (comparison == L"<=") {
    *range = {0, bytes};
  } else if (comparison == L"=" || unit == 1) {
    *range = {bytes, bytes};
  } else {
    *range = {bytes, bytes + unit - 1};
  }
  return true;
}

bool ParseDateRange(const std::wstring& text, const SYSTEMTIME& now, ValueRange* range) {
  std::wstring from, to;
  if (SplitRange(text, &from, &to)) {
    std::optional<Period> first, last;
    if (!from.empty() && !(first = ParsePeriod(from, now))) return false;
    if (!to.empty() && !(last = ParsePeriod(to, now))) return false;
    if (first && last && first->first >= last->end) return false;
    *range = {first ? LocalDayStart(first->first) : kMin, last ? LocalDayStart(last->end) : kMax};
    return true;
  }
  std::wstring value = text;
  std::wstring comparison = TakeComparison(&value);
  std::optional<Period> period = ParsePeriod(value, now);
  if (!period) return false;
  std::int64_t start = LocalDayStart(period->first);
  std::int64_t end = LocalDayStart(period->end);
  if (comparison == L">") {
    *range = {end, kMax};
  } else if (comparison == L">=") {
    *range = {start, kMax};
  } else if (comparison == L"<") {
    *range = {kMin, start};
  } else if (comparison == L"<=") {
    *range = {kMin, end};
  } else {
    *range = {start, end};
  }
  return true;
}

}  // namespace qv::service
