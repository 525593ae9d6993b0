#pragma once
// UTF-8 as the index receives it: always well-formed, never cut inside a
// character. Pure functions of bytes.

#include <cstddef>
#include <string>
#include <string_view>

namespace qv::service {

// Appends the UTF-8 form of a code point; surrogates and values past U+10FFFF
// become U+FFFD.
void AppendUtf8(std::string& out, unsigned long codePoint);

// Appends UTF-16 text; a lone surrogate becomes U+FFFD.
void AppendUtf16(std::string& out, const char16_t* text, std::size_t length);

// UTF-16 code units read from bytes (little- or big-endian, an odd last byte
// ignored), as UTF-8.
std::string Utf16BytesToUtf8(std::string_view bytes, bool bigEndian);

bool IsValidUtf8(std::string_view bytes);

// Each byte that does not begin a well-formed character becomes U+FFFD
// (overlong forms, surrogates and values past U+10FFFF included).
void MakeValidUtf8(std::string& text);

// Cuts valid UTF-8 to at most `limit` bytes without splitting a character.
void CutUtf8(std::string& text, std::size_t limit);

// The number of bytes at the end of the text that begin a character the text
// cuts short (0 when it ends whole).
std::size_t PartialUtf8Tail(std::string_view bytes);

}  // namespace qv::service
