#pragma once
// The words of files: which files have contents worth indexing, and reading
// one as UTF-8 for the full-text index. Plain text and HTML are read here;
// office documents, RTF and e-mail by the document readers.

#include <cstddef>
#include <string>

#include "service/extract/PlainText.h"

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
  Damaged,     // damaged or hostile: `text` holds what could be read (maybe
               // nothing); not tried again until the file changes
  CutOff,      // whole but past the document's budget: `text` holds its first
               // part; not tried again until the file changes
  Encrypted,   // needs a password: nothing read; not tried again until it changes
  FilterFailed,  // the registered filter reading it crashed or hung: nothing read;
                 // not tried again until the file changes
};

ReadTextResult ReadFileText(const std::wstring& path, const std::wstring& extension, std::string* text);

}  // namespace qv::service
