#include "service/extract/Utf8Text.h"

namespace qv::service {
namespace {

// The length of the well-formed character at text[at], 0 when there is none.
std::size_t CharacterLength(std::string_view text, std::size_t at) {
  auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
  unsigned char lead = byte(at);
  if (lead < 0x80) return 1;
  std::size_t length;
  unsigned char low = 0x80;
  unsigned char high = 0xBF;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    if (lead == 0xE0) low = 0xA0;   // overlong
    if (lead == 0xED) high = 0x9F;  // surrogates
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    if (lead == 0xF0) low = 0x90;   // overlong
    if (lead == 0xF4) high = 0x8F;  // past U+10FFFF
  } else {
    return 0;
  }
  if (text.size() - at < length) return 0;
  if (byte(at + 1) < low || byte(at + 1) > high) return 0;
  for (std::size_t i = 2; i < length; ++i) {
    if ((byte(at + i) & 0xC0) != 0x80) return 0;
  }
  return length;
}

}  // namespace

void AppendUtf8(std::string& out, unsigned long c) {
  if ((c >= 0xD800 && c <= 0xDFFF) || c > 0x10FFFF) c = 0xFFFD;
  if (c < 0x80) {
    out.push_back(static_cast<char>(c));
  } else if (c < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (c >> 6)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  } else if (c < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (c >> 12)));
    out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (c >> 18)));
    out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  }
}

void AppendUtf16(std::string& out, const char16_t* text, std::size_t length) {
  out.reserve(out.size() + length);
  for (std::size_t i = 0; i < length; ++i) {
    unsigned long unit = text[i];
    if (unit >= 0xD800 && unit <= 0xDBFF && i + 1 < length && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
      AppendUtf8(out, 0x10000 + ((unit - 0xD800) << 10) + (text[i + 1] - 0xDC00));
      ++i;
    } else {
      AppendUtf8(out, unit);
    }
  }
}

std::string Utf16BytesToUtf8(std::string_view bytes, bool bigEndian) {
  std::u16string units(bytes.size() / 2, u'\0');
  for (std::size_t i = 0; i < units.size(); ++i) {
    auto first = static_cast<unsigned char>(bytes[2 * i]);
    auto second = static_cast<unsigned char>(bytes[2 * i + 1]);
    units[i] = static_cast<char16_t>(bigEndian ? (first << 8) | second : (second << 8) | first);
  }
  std::string utf8;
  AppendUtf16(utf8, units.data(), units.size());
  return utf8;
}

bool IsValidUtf8(std::string_view bytes) {
  for (std::size_t i = 0; i < bytes.size();) {
    std::size_t length = CharacterLength(bytes, i);
    if (length == 0) return false;
    i += length;
  }
  return true;
}

void MakeValidUtf8(std::string& text) {
  if (IsValidUtf8(text)) return;
  std::string valid;
  valid.reserve(text.size() + text.size() / 8);
  for (std::size_t i = 0; i < text.size();) {
    std::size_t length = CharacterLength(text, i);
    if (length == 0) {
      AppendUtf8(valid, 0xFFFD);
      ++i;
    } else {
      valid.append(text, i, length);
      i += length;
    }
  }
  text = std::move(valid);
}

void CutUtf8(std::string& text, std::size_t limit) {
  if (text.size() <= limit) return;
  std::size_t end = limit;
  while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) --end;
  text.resize(end);
}

std::size_t PartialUtf8Tail(std::string_view bytes) {
  std::size_t continuation = 0;
  while (continuation < 3 && continuation < bytes.size() &&
         (static_cast<unsigned char>(bytes[bytes.size() - 1 - continuation]) & 0xC0) == 0x80) {
    ++continuation;
  }
  if (continuation == bytes.size()) return 0;
  auto lead = static_cast<unsigned char>(bytes[bytes.size() - 1 - continuation]);
  std::size_t length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
  return length > 1 && continuation + 1 < length ? continuation + 1 : 0;
}

}  // namespace qv::service
