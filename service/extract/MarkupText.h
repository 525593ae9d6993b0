#pragma once
// The words of XML and HTML: tags dropped, entities decoded, and the contents
// of elements that hold no readable text (scripts, styles, field codes) left
// out. One forward scan without recursion: a deeply nested or endless document
// costs time in proportion to its size and memory bounded by `limit`.

#include <cstddef>
#include <string>
#include <string_view>

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

// XmlText over a part read a piece at a time (as it is inflated): the same
// text, with only the tag or entity a piece cuts short kept until the next.
class XmlTextReader {
 public:
  explicit XmlTextReader(std::size_t limit);
  // The next bytes: valid UTF-8, never split inside a character. False once
  // no more are wanted (the text reached its limit, or nesting went past
  // reason).
  bool Add(std::string_view bytes);
  // The part has ended: what is pending is read as its end.
  MarkupText Finish();

 private:
  friend MarkupText XmlText(const std::string& xml, std::size_t limit);
  // Reads `xml` from its start; returns the bytes used. Unless `final`, stops
  // before a tag or entity the bytes may cut short.
  std::size_t Scan(const std::string& xml, bool final);

  std::size_t limit_;
  std::string pending_;
  std::size_t retryAt_ = 0;  // the size of pending_ at which a tag cut short is tried again
  int depth_ = 0;
  int skipDepth_ = 0;  // inside elements that hold no words
  bool done_ = false;
  MarkupText result_;
};

// The text of the first element with this qualified name ("dc:title"); empty
// when there is none.
std::string XmlElementText(const std::string& xml, const std::string& name);

// Text of an HTML page (already decoded to UTF-8), with its title.
MarkupText HtmlText(const std::string& html, std::size_t limit);

}  // namespace qv::service
