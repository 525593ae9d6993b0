#pragma once
// The one thing the document readers need of the platform: text written in a
// Windows code page, as UTF-8. Everything else they do is a function of bytes,
// so they also build natively (the fuzzing build gives this its own
// implementation, fuzz/native/CodePage.cpp).

#include <string>
#include <string_view>

namespace qv::service {

// The system's ANSI code page.
constexpr unsigned kAnsiCodePage = 0;

// Converts `bytes` written in `codePage` to valid UTF-8 (bytes the code page
// does not define become U+FFFD); false when the code page is not installed.
bool CodePageToUtf8(unsigned codePage, std::string_view bytes, std::string* utf8);

}  // namespace qv::service
