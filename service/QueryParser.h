#pragma once
// The service's query language, turned into full-text expressions and file-type
// filters:
//   words          every word must match (the last one also as a prefix)
//   "a phrase"     the words in this order
//   -word -"a b"   results must not match
//   filetype:ext   only files with this extension (repeatable: any of them)
//   -filetype:ext  no files with this extension
// Anything malformed (an unbalanced quote, a lone operator) is read literally.

#include <string>
#include <vector>

namespace qv::service {

struct ParsedQuery {
  std::string match;    // FTS5 expression every result matches; empty for none
  std::string exclude;  // FTS5 expression no result may match; empty for none
  std::vector<std::wstring> fileTypes;
  std::vector<std::wstring> excludedFileTypes;

  bool IsEmpty() const { return match.empty() && exclude.empty() && fileTypes.empty() && excludedFileTypes.empty(); }
};

ParsedQuery ParseQuery(const std::wstring& text);

}  // namespace qv::service
