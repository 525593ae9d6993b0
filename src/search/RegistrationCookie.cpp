#include "search/RegistrationCookie.h"

#include <cctype>
#include <charconv>
#include <string>

#include "common/Holders.h"
#include "folders/UserPaths.h"
#include "common/Text.h"

namespace qv {
namespace {

// Read whole: a query may run on another host thread than a re-registration.
volatile LONG g_cookie = 0;

// The largest file a cookie can need ("-2147483648" plus some slack).
constexpr DWORD kCookieFileLimit = 64;

std::wstring CookieFilePath() {
  std::wstring directory = DataDirectory();
  return directory.empty() ? std::wstring() : directory + kCookieFileNameW;
}

}  // namespace

LONG RegistrationCookie() { return InterlockedCompareExchange(&g_cookie, 0, 0); }

void SetRegistrationCookie(LONG cookie) { InterlockedExchange(&g_cookie, cookie); }

LONG ReadCookieFile() {
  std::wstring path = CookieFilePath();
  if (path.empty()) return 0;
  UniqueHandle file = FileHandle(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                             OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return 0;
  char text[kCookieFileLimit + 1] = {};
  DWORD read = 0;
  if (!ReadFile(file.Get(), text, kCookieFileLimit, &read, nullptr)) return 0;
  // One decimal number after optional white space, as "%d" reads it; anything
  // that does not fit 32 bits counts as no number.
  const char* first = text;
  const char* last = text + read;
  while (first < last && std::isspace(static_cast<unsigned char>(*first))) ++first;
  if (first < last && *first == '+') ++first;
  LONG cookie = 0;
  auto [end, error] = std::from_chars(first, last, cookie);
  return error == std::errc() ? cookie : 0;
}

void WriteCookieFile(LONG cookie) {
  std::wstring path = CookieFilePath();
  if (path.empty()) return;
  char text[16] = {};
  auto [end, error] = std::to_chars(text, text + sizeof text, cookie);
  if (error != std::errc()) return;
  UniqueHandle file =
      FileHandle(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return;
  DWORD written = 0;
  WriteFile(file.Get(), text, static_cast<DWORD>(end - text), &written, nullptr);
}

}  // namespace qv
