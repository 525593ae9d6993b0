#pragma once
// The words of plain-text files: which files count as text, and reading one as
// UTF-8 for the full-text index.

#include <cstddef>
#include <string>

namespace qv::service {

// Only this much of a text file is indexed; longer files are found by the words
// in their first part.
constexpr std::size_t kMaxIndexedTextBytes = 1024 * 1024;

// True for the extensions (lower case, without the dot) whose contents are indexed.
bool IsTextExtension(const std::wstring& extension);

enum class ReadTextResult {
  Read,        // `text` holds the contents
  NotText,     // the bytes are binary; nothing to index
  Vanished,    // the file no longer exists
  Unreadable,  // locked or access denied: try again on a later pass
};

ReadTextResult ReadFileText(const std::wstring& path, const std::wstring& extension, std::string* text);

// Decodes raw file bytes (UTF-8 or UTF-16 with or without a byte-order mark,
// otherwise the ANSI code page) to UTF-8; false for binary data.
bool DecodeText(const std::string& bytes, std::string* utf8);

// Replaces markup tags with spaces so only the words between them are indexed.
std::string StripMarkup(const std::string& text);

}  // namespace qv::service
