#pragma once
// The character sets of PDF text: the standard single-byte encodings (WinAnsi,
// MacRoman, Standard, PDFDoc), glyph names (the Adobe glyph list's common names
// and the uniXXXX and uXXXX[XX] forms) and text strings (UTF-16 with its mark,
// UTF-8 with its mark, PDFDoc otherwise).

#include <cstdint>
#include <string>
#include <string_view>

namespace qv::service::pdf {

// The 256 code points of a named encoding (0 where a code has none); null for
// another name.
const std::uint16_t* EncodingTable(std::string_view name);

// The code points a glyph name stands for; false when it is unknown.
bool GlyphNameText(std::string_view name, std::u32string* out);

// A text string (a document's title, say) in UTF-8.
std::string TextStringUtf8(std::string_view bytes);

}  // namespace qv::service::pdf
