#include "service/extract/BinaryOfficeText.h"

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <vector>

#include "service/extract/CodePage.h"
#include "service/extract/Utf8Text.h"

namespace qv::service {
namespace {

std::uint32_t Read16(std::string_view bytes, std::size_t at) {
  if (at + 2 > bytes.size()) return 0;
  return static_cast<unsigned char>(bytes[at]) | (static_cast<unsigned char>(bytes[at + 1]) << 8);
}

std::uint32_t Read32(std::string_view bytes, std::size_t at) {
  if (at + 4 > bytes.size()) return 0;
  return Read16(bytes, at) | (Read16(bytes, at + 2) << 16);
}

// Collects text up to the limit, one separator between runs of words.
class TextOut {
 public:
  explicit TextOut(std::size_t limit) : limit_(limit) {}
  bool Full() const { return text_.size() >= limit_; }
  void Character(char32_t c) {
    if (Full()) return;
    if (c == U' ') {
      Separate();
      return;
    }
    AppendUtf8(text_, c);
  }
  void Separate() {
    if (!text_.empty() && text_.back() != ' ') text_.push_back(' ');
  }
  void Utf8(const std::string& text) {
    for (char c : text) {
      if (Full()) return;
      if (c == ' ') {
        Separate();
      } else {
        text_.push_back(c);
      }
    }
  }
  std::string Take(bool* cutOff) {
    *cutOff = Full();
    CutUtf8(text_, limit_);
    while (!text_.empty() && text_.back() == ' ') text_.pop_back();
    return std::move(text_);
  }

 private:
  std::size_t limit_;
  std::string text_;
};

// Word's characters: paragraph, cell and page marks separate words; field
// codes (between 0x13 and 0x14) are left out, their results kept.
class WordCharacters {
 public:
  explicit WordCharacters(TextOut& out) : out_(out) {}
  void Add(char32_t c) {
    if (c == 0x13) {
      ++fieldDepth_;
      inCode_ = true;
      return;
    }
    if (c == 0x14) {
      inCode_ = false;
      return;
    }
    if (c == 0x15) {
      if (fieldDepth_ > 0) --fieldDepth_;
      inCode_ = false;
      return;
    }
    if (inCode_) return;
    if (c == 0x0D || c == 0x0B || c == 0x07 || c == 0x0C || c == 0x09 || c == 0xA0) {
      out_.Character(U' ');
    } else if (c == 0x1E) {
      out_.Character(U'-');
    } else if (c >= 0x20 && (c < 0xD800 || c >= 0xE000)) {
      out_.Character(c);
    }
  }

 private:
  TextOut& out_;
  int fieldDepth_ = 0;
  bool inCode_ = false;
};

}  // namespace

BinaryOfficeContent WordBinaryText(std::string_view document, std::string_view table0, std::string_view table1,
                                   std::size_t limit) {
  BinaryOfficeContent content;
  // The file information block: its identifier, flags and where the piece table is.
  if (document.size() < 0x1AA || Read16(document, 0) != 0xA5EC) {
    content.damaged = true;
    return content;
  }
  std::uint32_t flags = Read16(document, 0x0A);
  if (flags & 0x0100) {  // fEncrypted (or obfuscated)
    content.encrypted = true;
    return content;
  }
  std::string_view table = (flags & 0x0200) ? table1 : table0;
  // FibRgFcLcb follows the base, the 16-bit and the 32-bit field arrays.
  std::size_t at = 32;
  std::size_t shorts = Read16(document, at);
  at += 2 + shorts * 2;
  std::size_t longs = Read16(document, at);
  at += 2 + longs * 4;
  std::size_t pairs = Read16(document, at);
  at += 2;
  if (pairs <= 33 || at + 34 * 8 > document.size()) {
    content.damaged = true;
    return content;
  }
  std::uint32_t clx = Read32(document, at + 33 * 8);
  std::uint32_t clxLength = Read32(document, at + 33 * 8 + 4);
  if (clx >= table.size() || clxLength > table.size() - clx) {
    content.damaged = true;
    return content;
  }
  std::string_view clxBytes = table.substr(clx, clxLength);
  // Skip the property modifiers (0x01 blocks); the piece table is the 0x02 block.
  std::size_t p = 0;
  while (p < clxBytes.size() && clxBytes[p] == 0x01) p += 3 + Read16(clxBytes, p + 1);
  if (p + 5 > clxBytes.size() || clxBytes[p] != 0x02) {
    content.damaged = true;
    return content;
  }
  std::uint32_t length = Read32(clxBytes, p + 1);
  std::string_view pieces = clxBytes.substr(p + 5, std::min<std::size_t>(length, clxBytes.size() - p - 5));
  if (pieces.size() < 4) {
    content.damaged = true;
    return content;
  }
  std::size_t count = (pieces.size() - 4) / 12;
  TextOut out(limit);
  WordCharacters characters(out);
  for (std::size_t i = 0; i < count && !out.Full(); ++i) {
    std::uint32_t start = Read32(pieces, i * 4);
    std::uint32_t end = Read32(pieces, (i + 1) * 4);
    std::uint32_t fc = Read32(pieces, (count + 1) * 4 + i * 8 + 2);
    if (end <= start) continue;
    std::size_t characterCount = end - start;
    bool compressed = (fc & 0x40000000) != 0;
    std::size_t offset = compressed ? (fc & 0x3FFFFFFF) / 2 : (fc & 0x3FFFFFFF);
    std::size_t bytes = compressed ? characterCount : characterCount * 2;
    if (offset >= document.size() || bytes > document.size() - offset) {
      content.damaged = true;
      bytes = offset < document.size() ? (document.size() - offset) & ~std::size_t(compressed ? 0 : 1) : 0;
    }
    std::string_view piece = document.substr(std::min(offset, document.size()), bytes);
    if (compressed) {
      // Compressed pieces are in code page 1252.
      std::string utf8;
      if (!CodePageToUtf8(1252, piece, &utf8)) utf8.assign(piece);
      std::u32string decoded;
      for (std::size_t j = 0; j < utf8.size();) {
        unsigned char lead = static_cast<unsigned char>(utf8[j]);
        std::size_t n = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
        char32_t c = n == 1 ? lead : lead & (0x3F >> (n - 1));
        for (std::size_t k = 1; k < n && j + k < utf8.size(); ++k) c = (c << 6) | (static_cast<unsigned char>(utf8[j + k]) & 0x3F);
        characters.Add(c);
        j += n;
      }
    } else {
      for (std::size_t j = 0; j + 1 < piece.size(); j += 2) {
        char32_t c = Read16(piece, j);
        if (c >= 0xD800 && c < 0xDC00 && j + 3 < piece.size()) {
          char32_t low = Read16(piece, j + 2);
          if (low >= 0xDC00 && low < 0xE000) {
            characters.Add(0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00));
            j += 2;
            continue;
          }
        }
        characters.Add(c);
      }
    }
  }
  content.text = out.Take(&content.cutOff);
  return content;
}

namespace {

// The payloads of a BIFF record and the CONTINUE records after it, read as one.
class ContinuedRecord {
 public:
  void Add(std::string_view payload) { parts_.push_back(payload); }
  bool AtEnd() const { return part_ >= parts_.size(); }
  bool Byte(unsigned char* out) {
    while (part_ < parts_.size() && at_ >= parts_[part_].size()) Next();
    if (part_ >= parts_.size()) return false;
    *out = static_cast<unsigned char>(parts_[part_][at_++]);
    return true;
  }
  bool Skip(std::size_t count) {
    unsigned char ignored;
    for (std::size_t i = 0; i < count; ++i) {
      if (!Byte(&ignored)) return false;
    }
    return true;
  }
  bool Number(int bytes, std::uint32_t* out) {
    *out = 0;
    for (int i = 0; i < bytes; ++i) {
      unsigned char b;
      if (!Byte(&b)) return false;
      *out |= static_cast<std::uint32_t>(b) << (8 * i);
    }
    return true;
  }
  // `count` characters, 8- or 16-bit; a record boundary inside them repeats
  // the flags byte that says which.
  bool Characters(std::size_t count, bool wide, TextOut& out) {
    for (std::size_t i = 0; i < count; ++i) {
      if (part_ < parts_.size() && at_ >= parts_[part_].size()) {
        Next();
        unsigned char flags;
        if (!Byte(&flags)) return false;
        wide = (flags & 1) != 0;
      }
      std::uint32_t c;
      if (!Number(wide ? 2 : 1, &c)) return false;
      out.Character(c < 0x20 ? U' ' : static_cast<char32_t>(c));
    }
    return true;
  }

 private:
  void Next() {
    ++part_;
    at_ = 0;
  }
  std::vector<std::string_view> parts_;
  std::size_t part_ = 0;
  std::size_t at_ = 0;
};

// An XLUnicodeRichExtendedString (shared strings) or XLUnicodeString (labels).
bool ReadExcelString(ContinuedRecord& record, int lengthBytes, bool rich, TextOut& out) {
  std::uint32_t count = 0, flags = 0, runs = 0, extended = 0;
  if (!record.Number(lengthBytes, &count) || !record.Number(1, &flags)) return false;
  if (rich && (flags & 0x08) && !record.Number(2, &runs)) return false;
  if (rich && (flags & 0x04) && !record.Number(4, &extended)) return false;
  if (!record.Characters(count, (flags & 1) != 0, out)) return false;
  out.Separate();
  return record.Skip(runs * 4) && record.Skip(extended);
}

void AppendNumber(double value, TextOut& out) {
  char text[32];
  std::snprintf(text, sizeof text, "%.15g", value);
  out.Separate();
  out.Utf8(text);
  out.Separate();
}

double RkValue(std::uint32_t rk) {
  double value;
  if (rk & 2) {
    value = static_cast<double>(static_cast<std::int32_t>(rk) >> 2);
  } else {
    std::uint64_t bits = static_cast<std::uint64_t>(rk & 0xFFFFFFFC) << 32;
    std::memcpy(&value, &bits, sizeof value);
  }
  return (rk & 1) ? value / 100 : value;
}

}  // namespace

BinaryOfficeContent ExcelBinaryText(std::string_view workbook, std::size_t limit) {
  BinaryOfficeContent content;
  TextOut out(limit);
  // BIFF8 starts with a BOF record of version 0x0600.
  if (Read16(workbook, 0) != 0x0809 || Read16(workbook, 4) != 0x0600) {
    content.damaged = true;
    return content;
  }
  std::size_t at = 0;
  while (at + 4 <= workbook.size() && !out.Full()) {
    std::uint32_t type = Read16(workbook, at);
    std::size_t size = Read16(workbook, at + 2);
    std::string_view payload = workbook.substr(at + 4, std::min(size, workbook.size() - at - 4));
    at += 4 + payload.size();
    switch (type) {
      case 0x002F:  // FILEPASS: the workbook is encrypted
        content.encrypted = true;
        content.text = out.Take(&content.cutOff);
        return content;
      case 0x00FC: {  // SST, continued
        ContinuedRecord record;
        record.Add(payload.substr(std::min<std::size_t>(8, payload.size())));
        while (at + 4 <= workbook.size() && Read16(workbook, at) == 0x003C) {
          std::size_t next = Read16(workbook, at + 2);
          record.Add(workbook.substr(at + 4, std::min(next, workbook.size() - at - 4)));
          at += 4 + std::min(next, workbook.size() - at - 4);
        }
        std::uint32_t unique = Read32(payload, 4);
        for (std::uint32_t i = 0; i < unique && !out.Full(); ++i) {
          if (!ReadExcelString(record, 2, true, out)) {
            if (!record.AtEnd()) content.damaged = true;
            break;
          }
        }
        break;
      }
      case 0x0085: {  // BOUNDSHEET: a sheet's name
        ContinuedRecord record;
        record.Add(payload.substr(std::min<std::size_t>(6, payload.size())));
        ReadExcelString(record, 1, false, out);
        break;
      }
      case 0x0204:    // LABEL
      case 0x00D6: {  // RSTRING
        ContinuedRecord record;
        record.Add(payload.substr(std::min<std::size_t>(6, payload.size())));
        ReadExcelString(record, 2, false, out);
        break;
      }
      case 0x0207: {  // STRING: a formula's text result
        ContinuedRecord record;
        record.Add(payload);
        ReadExcelString(record, 2, false, out);
        break;
      }
      case 0x0203:  // NUMBER
        if (payload.size() >= 14) {
          double value;
          std::memcpy(&value, payload.data() + 6, sizeof value);
          AppendNumber(value, out);
        }
        break;
      case 0x027E:  // RK
        if (payload.size() >= 10) AppendNumber(RkValue(Read32(payload, 6)), out);
        break;
      case 0x00BD:  // MULRK: several RK cells of one row
        for (std::size_t cell = 4; cell + 6 <= payload.size() - 2 && payload.size() >= 8; cell += 6) {
          AppendNumber(RkValue(Read32(payload, cell + 2)), out);
        }
        break;
      default:
        break;
    }
  }
  content.text = out.Take(&content.cutOff);
  return content;
}

BinaryOfficeContent PowerPointBinaryText(std::string_view document, std::size_t limit) {
  BinaryOfficeContent content;
  TextOut out(limit);
  std::size_t at = 0;
  bool any = false;
  // Records nest, but every container's children follow its header: one scan
  // over all headers visits them all without recursion.
  while (at + 8 <= document.size() && !out.Full()) {
    std::uint32_t versionAndInstance = Read16(document, at);
    std::uint32_t type = Read16(document, at + 2);
    std::size_t length = Read32(document, at + 4);
    at += 8;
    if (type == 0x2F14) content.encrypted = true;  // CryptSession10Container
    if ((versionAndInstance & 0x0F) == 0x0F) {
      any = true;
      continue;  // a container: its children come next
    }
    std::string_view body = document.substr(at, std::min(length, document.size() - at));
    if (body.size() < length) content.damaged = true;
    at += body.size();
    if (type == 0x0FA0) {  // TextCharsAtom: UTF-16
      out.Separate();
      for (std::size_t i = 0; i + 1 < body.size(); i += 2) {
        char32_t c = Read16(body, i);
        out.Character(c < 0x20 || (c >= 0xD800 && c < 0xE000) ? U' ' : c);
      }
      out.Separate();
    } else if (type == 0x0FA8) {  // TextBytesAtom: the low bytes of UTF-16
      out.Separate();
      for (char byte : body) {
        char32_t c = static_cast<unsigned char>(byte);
        out.Character(c < 0x20 ? U' ' : c);
      }
      out.Separate();
    }
  }
  if (!any) content.damaged = true;
  content.text = out.Take(&content.cutOff);
  return content;
}

}  // namespace qv::service
