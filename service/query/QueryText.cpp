#include "service/query/QueryText.h"

#include <cwctype>

#include "common/Text.h"

namespace qv::service {

bool IsWordCharacter(wchar_t c) { return c >= 0x80 || std::iswalnum(c); }

bool HasWordCharacter(const std::wstring& text) {
  for (wchar_t c : text) {
    if (IsWordCharacter(c)) return true;
  }
  return false;
}

std::string QuoteForMatch(const std::wstring& text) {
  std::string quoted = "\"";
  for (char c : ToUtf8(text)) {
    // The full-text engine reads its expression as a C string.
    if (c == '\0') c = ' ';
    quoted.push_back(c);
    if (c == '"') quoted.push_back('"');
  }
  quoted.push_back('"');
  return quoted;
}

bool IsUnspacedScript(char32_t c) {
  return (c >= 0x0E00 && c <= 0x0EFF) ||    // Thai, Lao
         (c >= 0x1000 && c <= 0x109F) ||    // Myanmar
         (c >= 0x1780 && c <= 0x17FF) ||    // Khmer
         (c >= 0x3040 && c <= 0x30FF) ||    // Hiragana, Katakana
         (c >= 0x3400 && c <= 0x4DBF) ||    // CJK extension A
         (c >= 0x4E00 && c <= 0x9FFF) ||    // CJK unified ideographs
         (c >= 0xF900 && c <= 0xFAFF) ||    // CJK compatibility ideographs
         (c >= 0x20000 && c <= 0x3134F);    // CJK extensions B-G
}

std::size_t LongestUnspacedRun(const std::wstring& text) {
  std::size_t longest = 0;
  std::size_t run = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    char32_t c = text[i];
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size()) {
      c = 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00);
      ++i;
    }
    run = IsUnspacedScript(c) ? run + 1 : 0;
    if (run > longest) longest = run;
  }
  return longest;
}

bool HasUnspacedScript(const std::string& utf8) {
  for (std::size_t i = 0; i < utf8.size(); ++i) {
    auto byte = static_cast<unsigned char>(utf8[i]);
    if (byte < 0xE0) continue;
    // Every such script lies in three- and four-byte sequences.
    char32_t c = 0;
    if (byte < 0xF0 && i + 2 < utf8.size()) {
      c = ((byte & 0x0F) << 12) | ((static_cast<unsigned char>(utf8[i + 1]) & 0x3F) << 6) |
          (static_cast<unsigned char>(utf8[i + 2]) & 0x3F);
    } else if (i + 3 < utf8.size()) {
      c = ((byte & 0x07) << 18) | ((static_cast<unsigned char>(utf8[i + 1]) & 0x3F) << 12) |
          ((static_cast<unsigned char>(utf8[i + 2]) & 0x3F) << 6) | (static_cast<unsigned char>(utf8[i + 3]) & 0x3F);
    }
    if (IsUnspacedScript(c)) return true;
  }
  return false;
}

}  // namespace qv::service
