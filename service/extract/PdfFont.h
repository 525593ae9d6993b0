#pragma once
// How a PDF font's codes become text: its /ToUnicode CMap (bfchar, bfrange,
// code space ranges of 1 to 4 bytes), else for simple fonts its /Encoding
// (a standard encoding and /Differences by glyph name), and for Type0 fonts
// Identity-H/V or a Unicode CMap. A font with no way to Unicode gives nothing.
// Widths come along so the reader can tell where words end.

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "service/extract/PdfFile.h"

namespace qv::service::pdf {

class Font {
 public:
  struct Glyph {
    std::u32string text;  // empty when the code has no text
    double width = 0;     // in thousandths of the font size
    bool wordSpace = false;  // the single-byte code 32, which /Tw widens
  };

  Font() = default;
  Font(File& file, const Object& dictionary);

  // The glyphs of a shown string, in order.
  void Decode(std::string_view bytes, std::vector<Glyph>* glyphs) const;
  bool Vertical() const { return vertical_; }

 private:
  struct Range {
    std::uint32_t low, high;
    std::u32string base;  // the text of `low`; later codes raise its last character
  };
  struct CodeSpace {
    int length;
    std::uint32_t low, high;
  };

  void ReadToUnicode(const std::string& cmap, Budget& budget);
  void ReadWidths(File& file, const Object& dictionary);
  void ReadEncoding(File& file, const Object& dictionary);
  int CodeLength(std::string_view bytes, std::size_t position) const;
  bool TextOf(std::uint32_t code, std::u32string* out) const;
  double WidthOf(std::uint32_t code) const;

  bool simple_ = true;
  bool vertical_ = false;
  bool unicodeCodes_ = false;   // a Type0 font whose codes are UTF-16 themselves
  bool identityCodes_ = false;  // codes are CIDs
  std::vector<CodeSpace> codeSpace_;
  std::unordered_map<std::uint32_t, std::u32string> map_;
  std::vector<Range> ranges_;
  std::u32string encoding_[256];
  bool hasEncoding_ = false;
  std::unordered_map<std::uint32_t, double> widths_;
  double defaultWidth_ = 0;
  double widthScale_ = 1;  // Type3 glyph space to thousandths
};

}  // namespace qv::service::pdf
