#pragma once
// The values of the size: and date operators, read into ranges.

#include <windows.h>

#include <cstdint>
#include <string>

namespace qv::service {

struct ValueRange {
  std::int64_t low;   // inclusive
  std::int64_t high;  // sizes: inclusive; times: exclusive
};

// "300", "10MB", ">10MB", "<=1kb", "1MB..5MB", "..2GB", "empty", "small",
// "medium", "large", "huge" (units B, KB, MB, GB, TB of 1024, any case; a
// number with a unit but no comparison is that many units up to the next one).
// False for anything else.
bool ParseSizeRange(const std::wstring& value, ValueRange* range);

// "2026-03-31", "2026-03", "2026", a range "2026-01-01..2026-03-31" (either end
// may be left open), a comparison ">=2026-01-01" (>, >=, <, <=, =), or today,
// yesterday, thisweek, lastweek, thismonth, lastmonth, thisyear, lastyear; all
// in local time, `now` being the local time of the query. The range is in
// FILETIME units (UTC), the high end exclusive. False for anything else,
// including dates that do not exist (2026-13-45).
bool ParseDateRange(const std::wstring& value, const SYSTEMTIME& now, ValueRange* range);

}  // namespace qv::service
