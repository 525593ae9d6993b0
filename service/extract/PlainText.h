#pragma once
// The words of plain text and markup files, as functions of their bytes.

#include <cstddef>
#include <string>
#include <string_view>

namespace qv::service {

// Decodes raw file bytes (UTF-8 or UTF-16 with or without a byte-order mark,
// otherwise the system's ANSI code page) to valid UTF-8; false for binary
// data. UTF-16 without a mark is recognised by the zero bytes of Latin text.
bool DecodeText(std::string_view bytes, std::string* utf8);

// Replaces markup tags with spaces so only the words between them are indexed.
std::string StripMarkup(const std::string& text);

enum class PlainKind { Text, Xml, Html };

// The words of a text file's bytes, at most `limit` bytes of valid UTF-8;
// false for binary data. `cutOff` tells whether the limit was met.
bool PlainFileText(std::string_view bytes, PlainKind kind, std::size_t limit, std::string* text, bool* cutOff);

}  // namespace qv::service
