#include "service/extract/PlainText.h"

#include <algorithm>

#include "service/extract/CodePage.h"
#include "service/extract/MarkupText.h"
#include "service/extract/Utf8Text.h"

namespace qv::service {
namespace {

// UTF-16 without a byte-order mark: in Latin text every other byte is zero.
// Returns 0 when the bytes do not look like it, else 1 (little-endian) or 2.
int GuessUnmarkedUtf16(std::string_view bytes) {
  std::size_t pairs = std::min<std::size_t>(bytes.size(), 4096) / 2;
  if (pairs < 4) return 0;
  std::size_t evenZeros = 0;
  std::size_t oddZeros = 0;
  for (std::size_t i = 0; i < pairs; ++i) {
    evenZeros += bytes[2 * i] == '\0';
    oddZeros += bytes[2 * i + 1] == '\0';
  }
  if (oddZeros * 10 >= pairs * 4 && evenZeros * 50 <= pairs) return 1;
  if (evenZeros * 10 >= pairs * 4 && oddZeros * 50 <= pairs) return 2;
  return 0;
}

}  // namespace

bool DecodeText(std::string_view bytes, std::string* utf8) {
  utf8->clear();
  auto at = [&](std::size_t i) { return static_cast<unsigned char>(bytes[i]); };
  if (bytes.size() >= 3 && at(0) == 0xEF && at(1) == 0xBB && at(2) == 0xBF) {
    // A file cut at the size limit may end inside a multi-byte character.
    std::string_view body = bytes.substr(3);
    utf8->assign(body.substr(0, body.size() - PartialUtf8Tail(body)));
    MakeValidUtf8(*utf8);
    return true;
  }
  if (bytes.size() >= 2 && at(0) == 0xFF && at(1) == 0xFE) {
    *utf8 = Utf16BytesToUtf8(bytes.substr(2), false);
    return true;
  }
  if (bytes.size() >= 2 && at(0) == 0xFE && at(1) == 0xFF) {
    *utf8 = Utf16BytesToUtf8(bytes.substr(2), true);
    return true;
  }
  if (int utf16 = GuessUnmarkedUtf16(bytes)) {
    *utf8 = Utf16BytesToUtf8(bytes, utf16 == 2);
    return true;
  }
  // Otherwise NULs mean binary data.
  if (bytes.find('\0') != std::string_view::npos) return false;
  std::string_view whole = bytes.substr(0, bytes.size() - PartialUtf8Tail(bytes));
  if (IsValidUtf8(whole)) {
    utf8->assign(whole);
    return true;
  }
  if (!CodePageToUtf8(kAnsiCodePage, bytes, utf8)) {
    utf8->assign(bytes);
    MakeValidUtf8(*utf8);
  }
  return true;
}

std::string StripMarkup(const std::string& text) {
  std::string result;
  result.reserve(text.size());
  bool inTag = false;
  for (char c : text) {
    if (c == '<') {
      inTag = true;
      result.push_back(' ');
    } else if (c == '>' && inTag) {
      inTag = false;
    } else if (!inTag) {
      result.push_back(c);
    }
  }
  return result;
}

bool PlainFileText(std::string_view bytes, PlainKind kind, std::size_t limit, std::string* text, bool* cutOff) {
  text->clear();
  *cutOff = false;
  std::string decoded;
  if (!DecodeText(bytes, &decoded)) return false;
  if (kind == PlainKind::Html) {
    MarkupText page = HtmlText(decoded, limit);
    *text = page.title.empty() ? std::move(page.text) : page.title + " " + page.text;
    *cutOff = page.cutOff;
  } else {
    *text = kind == PlainKind::Xml ? StripMarkup(decoded) : std::move(decoded);
  }
  if (text->size() > limit) {
    CutUtf8(*text, limit);
    *cutOff = true;
  }
  return true;
}

}  // namespace qv::service
