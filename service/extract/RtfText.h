#pragma once
// The words of an RTF document: control words and groups that hold no text
// (font and colour tables, pictures, embedded objects, hidden destinations) are
// skipped; escaped characters are decoded from the document's code page and
// Unicode escapes. Groups are followed with a counter, not recursion.

#include <cstddef>
#include <string>

namespace qv::service {

struct RtfContent {
  std::string text;    // UTF-8
  std::string title;   // from the document's information group
  bool cutOff = false; // the limit was reached or the nesting was hostile
  bool isRtf = false;  // the data starts as RTF does
};

RtfContent RtfText(const std::string& rtf, std::size_t limit);

}  // namespace qv::service
