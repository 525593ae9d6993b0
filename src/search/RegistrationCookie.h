#pragma once
// The cookie the desktop search service issued at registration and expects with
// every query: one per process, kept in memory and in the file "cookie" in the
// user's data directory, beside quorvane.xml.

#include <windows.h>

namespace qv {

constexpr char kCookieFileName[] = "cookie";
constexpr wchar_t kCookieFileNameW[] = L"cookie";

// 0 until a registration or the cookie file supplies one.
LONG RegistrationCookie();
void SetRegistrationCookie(LONG cookie);

// The cookie stored in the file; 0 when there is no data directory, no file, or
// no number in it.
LONG ReadCookieFile();
// Stores the cookie in decimal, with no line end. Silently does nothing when the
// file cannot be written.
void WriteCookieFile(LONG cookie);

}  // namespace qv
