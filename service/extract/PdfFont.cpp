#include "service/extract/PdfFont.h"

#include <algorithm>

#include "service/extract/PdfEncoding.h"

namespace qv::service::pdf {
namespace {

// Entries of one CMap before the rest is taken as hostile; each also takes
// this many bytes of the document's budget, for the memory it holds.
constexpr std::size_t kMaxMappings = 1 << 16;
constexpr std::size_t kMappingCost = 64;
// Code space ranges of one CMap (real ones have a handful).
constexpr std::size_t kMaxCodeSpaces = 64;

std::uint32_t CodeOf(std::string_view bytes) {
  std::uint32_t code = 0;
  for (std::size_t i = 0; i < bytes.size() && i < 4; ++i) code = (code << 8) | static_cast<unsigned char>(bytes[i]);
  return code;
}

// UTF-16BE to code points, pairs joined.
std::u32string Utf16(std::string_view bytes) {
  std::u32string out;
  for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
    char32_t unit = static_cast<char32_t>((static_cast<unsigned char>(bytes[i]) << 8) | static_cast<unsigned char>(bytes[i + 1]));
    if (unit >= 0xD800 && unit < 0xDC00 && i + 3 < bytes.size()) {
      char32_t low = static_cast<char32_t>((static_cast<unsigned char>(bytes[i + 2]) << 8) | static_cast<unsigned char>(bytes[i + 3]));
      if (low >= 0xDC00 && low < 0xE000) {
        out.push_back(0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00));
        i += 2;
        continue;
      }
    }
    if (unit < 0xD800 || unit >= 0xE000) out.push_back(unit);
  }
  if (bytes.size() == 1) out.push_back(static_cast<unsigned char>(bytes[0]));
  return out;
}

bool IsStandardFont(const std::string& name) {
  // "ABCDEF+Helvetica-Bold" is a subset of Helvetica.
  std::string base = name.substr(name.find('+') == 6 ? 7 : 0);
  for (const char* family : {"Helvetica", "Times", "Courier", "Arial", "TimesNewRoman", "CourierNew"}) {
    if (base.compare(0, std::char_traits<char>::length(family), family) == 0) return true;
  }
  return false;
}

}  // namespace

Font::Font(File& file, const Object& dictionary) {
  const Object& subtype = dictionary.Get("Subtype");
  simple_ = !subtype.IsName("Type0");
  if (!simple_) {
    Object encoding = file.Resolve(dictionary.Get("Encoding"));
    if (encoding.Is(Object::Type::Name)) {
      const std::string& name = encoding.text;
      identityCodes_ = name == "Identity-H" || name == "Identity-V";
      unicodeCodes_ = name.compare(0, 3, "Uni") == 0 &&
                      (name.find("UCS2") != std::string::npos || name.find("UTF16") != std::string::npos);
      vertical_ = name.size() > 2 && name.compare(name.size() - 2, 2, "-V") == 0;
    } else if (encoding.IsStream()) {
      std::string cmap;
      file.ReadStream(encoding, &cmap);
      ReadToUnicode(cmap, file.DocumentBudget());  // the code space only: its maps name CIDs, not text
      map_.clear();
      ranges_.clear();
      vertical_ = encoding.Get("WMode").Int(0) == 1;
    }
  }
  std::vector<CodeSpace> encodingSpace = std::move(codeSpace_);
  codeSpace_.clear();
  Object toUnicode = file.Resolve(dictionary.Get("ToUnicode"));
  if (toUnicode.IsStream()) {
    std::string cmap;
    file.ReadStream(toUnicode, &cmap);
    ReadToUnicode(cmap, file.DocumentBudget());
  }
  if (!encodingSpace.empty()) {
    codeSpace_ = std::move(encodingSpace);
  } else if (!simple_ && (identityCodes_ || unicodeCodes_ || codeSpace_.empty())) {
    codeSpace_.clear();
    codeSpace_.push_back({2, 0, 0xFFFF});
  } else if (simple_) {
    codeSpace_.clear();
    codeSpace_.push_back({1, 0, 0xFF});
  }
  if (simple_) ReadEncoding(file, dictionary);
  ReadWidths(file, dictionary);
}

void Font::ReadToUnicode(const std::string& cmap, Budget& budget) {
  Lexer lexer(cmap);
  Object token;
  enum class Section { None, CodeSpace, Char, Range } section = Section::None;
  std::vector<Object> operands;
  std::size_t mappings = 0;
  auto mapped = [&] { return ++mappings <= kMaxMappings && budget.TakeBytes(kMappingCost); };
  while (lexer.Next(&token)) {
    if (!budget.TakeObjects(1)) break;
    if (token.Is(Object::Type::Keyword)) {
      const std::string& word = token.text;
      if (word == "begincodespacerange") section = Section::CodeSpace;
      else if (word == "beginbfchar") section = Section::Char;
      else if (word == "beginbfrange") section = Section::Range;
      else if (word.compare(0, 3, "end") == 0) section = Section::None;
      if (word == "[") {
        // The destinations of a bfrange, one per code.
        Object array;
        array.type = Object::Type::Array;
        array.array = std::make_shared<Array>();
        while (lexer.Next(&token) && !(token.Is(Object::Type::Keyword) && token.text == "]")) {
          if (!budget.TakeObjects(1)) return;
          array.array->push_back(std::move(token));
        }
        operands.push_back(std::move(array));
      } else {
        operands.clear();
        continue;
      }
    } else {
      operands.push_back(std::move(token));
    }
    if (section == Section::CodeSpace && operands.size() == 2) {
      const std::string& low = operands[0].text;
      const std::string& high = operands[1].text;
      if (!low.empty() && low.size() <= 4 && low.size() == high.size() && codeSpace_.size() < kMaxCodeSpaces) {
        codeSpace_.push_back({static_cast<int>(low.size()), CodeOf(low), CodeOf(high)});
      }
      operands.clear();
    } else if (section == Section::Char && operands.size() == 2) {
      if (!mapped()) break;
      if (operands[0].Is(Object::Type::String) && operands[1].Is(Object::Type::String)) {
        map_[CodeOf(operands[0].text)] = Utf16(operands[1].text);
      } else if (operands[1].Is(Object::Type::Name)) {
        std::u32string text;
        if (GlyphNameText(operands[1].text, &text)) map_[CodeOf(operands[0].text)] = text;
      }
      operands.clear();
    } else if (section == Section::Range && operands.size() == 3) {
      std::uint32_t low = CodeOf(operands[0].text);
      std::uint32_t high = CodeOf(operands[1].text);
      if (low <= high && operands[0].Is(Object::Type::String)) {
        if (operands[2].Is(Object::Type::Array)) {
          std::uint32_t code = low;
          for (const Object& item : *operands[2].array) {
            if (code > high || !mapped()) break;
            map_[code++] = Utf16(item.text);
          }
        } else if (operands[2].Is(Object::Type::String) && !Utf16(operands[2].text).empty() && mapped()) {
          ranges_.push_back({low, high, Utf16(operands[2].text)});
        }
      }
      operands.clear();
    }
    if (operands.size() > 3) operands.clear();
  }
  std::sort(ranges_.begin(), ranges_.end(), [](const Range& a, const Range& b) { return a.low < b.low; });
}

void Font::ReadEncoding(File& file, const Object& dictionary) {
  Object encoding = file.Resolve(dictionary.Get("Encoding"));
  Object descriptor = file.Resolve(dictionary.Get("FontDescriptor"));
  int flags = file.Resolve(descriptor.Get("Flags")).Int(0);
  bool symbolic = (flags & 4) != 0 && (flags & 32) == 0;
  std::string baseFont = dictionary.Get("BaseFont").text;
  bool standard = IsStandardFont(baseFont);
  const Object& subtype = dictionary.Get("Subtype");
  std::string baseName;
  if (encoding.Is(Object::Type::Name)) baseName = encoding.text;
  if (encoding.Is(Object::Type::Dictionary)) baseName = file.Resolve(encoding.Get("BaseEncoding")).text;
  const std::uint16_t* table = EncodingTable(baseName);
  // Without a standard base, a text font has its own: Standard for Type 1
  // fonts, WinAnsi for TrueType. A symbol font's own encoding is unknown.
  if (!table && !subtype.IsName("Type3") && (!symbolic || standard)) {
    table = EncodingTable(subtype.IsName("TrueType") ? "WinAnsiEncoding" : "StandardEncoding");
  }
  if (table) {
    hasEncoding_ = true;
    for (int i = 0; i < 256; ++i) {
      if (table[i]) encoding_[i] = std::u32string(1, table[i]);
    }
  }
  Object differences = file.Resolve(encoding.Get("Differences"));
  if (differences.Is(Object::Type::Array)) {
    hasEncoding_ = true;
    int code = 0;
    for (const Object& item : *differences.array) {
      if (item.Is(Object::Type::Number)) {
        code = item.Int(0);
      } else if (item.Is(Object::Type::Name)) {
        if (code >= 0 && code < 256) {
          encoding_[code].clear();
          GlyphNameText(item.text, &encoding_[code]);
        }
        ++code;
      }
    }
  }
}

void Font::ReadWidths(File& file, const Object& dictionary) {
  if (simple_) {
    Object descriptor = file.Resolve(dictionary.Get("FontDescriptor"));
    Object widths = file.Resolve(dictionary.Get("Widths"));
    int first = file.Resolve(dictionary.Get("FirstChar")).Int(0);
    defaultWidth_ = widths.Is(Object::Type::Array) ? file.Resolve(descriptor.Get("MissingWidth")).number : 500;
    if (dictionary.Get("BaseFont").text.find("Courier") != std::string::npos) defaultWidth_ = 600;
    if (widths.Is(Object::Type::Array)) {
      for (std::size_t i = 0; i < widths.array->size() && i < 256; ++i) {
        widths_[static_cast<std::uint32_t>(first) + static_cast<std::uint32_t>(i)] = file.Resolve((*widths.array)[i]).number;
      }
    }
    Object matrix = file.Resolve(dictionary.Get("FontMatrix"));
    if (dictionary.Get("Subtype").IsName("Type3") && matrix.Is(Object::Type::Array) && !matrix.array->empty()) {
      widthScale_ = (*matrix.array)[0].number * 1000;
    }
    return;
  }
  Object descendants = file.Resolve(dictionary.Get("DescendantFonts"));
  Object descendant = descendants.Is(Object::Type::Array) && !descendants.array->empty()
                          ? file.Resolve((*descendants.array)[0])
                          : Object();
  Object dw = file.Resolve(descendant.Get("DW"));
  defaultWidth_ = dw.Is(Object::Type::Number) ? dw.number : 1000;
  if (!identityCodes_) return;  // codes are not CIDs: every glyph gets the default
  Object w = file.Resolve(descendant.Get("W"));
  if (!w.Is(Object::Type::Array)) return;
  const Array& items = *w.array;
  for (std::size_t i = 0; i < items.size() && widths_.size() < kMaxMappings;) {
    if (i + 1 < items.size() && items[i + 1].Is(Object::Type::Array)) {
      std::uint32_t cid = static_cast<std::uint32_t>(std::max(0, items[i].Int(0)));
      for (const Object& width : *items[i + 1].array) {
        if (widths_.size() >= kMaxMappings) break;
        widths_[cid++] = width.number;
      }
      i += 2;
    } else if (i + 2 < items.size()) {
      int low = std::max(0, items[i].Int(0)), high = items[i + 1].Int(0);
      for (int cid = low; cid <= high && widths_.size() < kMaxMappings; ++cid) {
        widths_[static_cast<std::uint32_t>(cid)] = items[i + 2].number;
      }
      i += 3;
    } else {
      break;
    }
  }
}

int Font::CodeLength(std::string_view bytes, std::size_t position) const {
  std::size_t left = bytes.size() - position;
  int shortest = 4;
  for (int length = 1; length <= 4 && static_cast<std::size_t>(length) <= left; ++length) {
    std::uint32_t code = CodeOf(bytes.substr(position, static_cast<std::size_t>(length)));
    for (const CodeSpace& space : codeSpace_) {
      if (space.length == length && code >= space.low && code <= space.high) return length;
      shortest = std::min(shortest, space.length);
    }
  }
  if (codeSpace_.empty()) shortest = simple_ ? 1 : 2;
  return static_cast<int>(std::min<std::size_t>(static_cast<std::size_t>(shortest), left));
}

bool Font::TextOf(std::uint32_t code, std::u32string* out) const {
  auto mapped = map_.find(code);
  if (mapped != map_.end()) {
    *out = mapped->second;
    return true;
  }
  auto range = std::upper_bound(ranges_.begin(), ranges_.end(), code, [](std::uint32_t c, const Range& r) { return c < r.low; });
  if (range != ranges_.begin()) {
    --range;
    if (code <= range->high) {
      *out = range->base;
      out->back() += code - range->low;
      return true;
    }
  }
  if (simple_ && hasEncoding_ && code < 256) {
    *out = encoding_[code];
    return !out->empty();
  }
  if (unicodeCodes_) {
    std::string bytes;
    for (int shift = code > 0xFFFF ? 24 : 8; shift >= 0; shift -= 8) bytes.push_back(static_cast<char>((code >> shift) & 0xFF));
    *out = Utf16(bytes);
    return !out->empty();
  }
  return false;
}

double Font::WidthOf(std::uint32_t code) const {
  auto found = widths_.find(code);
  return (found == widths_.end() ? defaultWidth_ : found->second) * widthScale_;
}

void Font::Decode(std::string_view bytes, std::vector<Glyph>* glyphs) const {
  glyphs->clear();
  for (std::size_t position = 0; position < bytes.size();) {
    int length = std::max(1, CodeLength(bytes, position));
    if (unicodeCodes_ && length == 2 && position + 4 <= bytes.size()) {
      std::uint32_t unit = CodeOf(bytes.substr(position, 2));
      if (unit >= 0xD800 && unit < 0xDC00) length = 4;
    }
    std::uint32_t code = CodeOf(bytes.substr(position, static_cast<std::size_t>(length)));
    Glyph glyph;
    TextOf(code, &glyph.text);
    glyph.width = vertical_ ? 1000 : WidthOf(code);
    glyph.wordSpace = length == 1 && code == 32;
    glyphs->push_back(std::move(glyph));
    position += static_cast<std::size_t>(length);
  }
}

}  // namespace qv::service::pdf
