#pragma once
// The words of XML and HTML: tags dropped, entities decoded, and the contents
// of elements that hold no readable text (scripts, styles, field codes) left
// out. One forward scan without recursion: a deeply nested or endless document
// costs time in proportion to its size and memory bounded by `limit`.

#include <cstddef>
#include <string>

#include "service/extract/Utf8Text.h"

namespace qv::service {

struct MarkupText {
  std::string text;    // UTF-8
  std::string title;   // the <title> of an HTML page
  bool cutOff = false; // the text reached the limit, or nesting went past reason
};

// Text of an XML part of an office document. Words split over several runs
// (<w:t>Hel</w:t><w:t>lo</w:t>) stay whole: only paragraph, cell, tab and break
// elements separate words.
MarkupText XmlText(const std::string& xml, std::size_t limit);

// The text of the first element with this qualified name ("dc:title"); empty
// when there is none.
std::string XmlElementText(const std::string& xml, const std::string& name);

// Text of an HTML page (already decoded to UTF-8), with its title.
MarkupText HtmlText(const std::string& html, std::size_t limit);

}  // namespace qv::service
