#include "service/extract/PdfFilters.h"

#include <zlib.h>

#include <algorithm>
#include <cstdint>

namespace qv::service::pdf {
namespace {

constexpr std::size_t kChunk = 64 * 1024;

// Inflates zlib data (raw deflate when the header is missing) up to `cap` bytes.
DecodeResult Inflate(std::string_view data, std::size_t cap, std::string* out, bool raw = false) {
  z_stream stream = {};
  if (inflateInit2(&stream, raw ? -MAX_WBITS : MAX_WBITS + 32) != Z_OK) return DecodeResult::Damaged;
  stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
  stream.avail_in = static_cast<uInt>(std::min<std::size_t>(data.size(), 0x7FFFFFFF));
  DecodeResult result = DecodeResult::Decoded;
  int status = Z_OK;
  while (status == Z_OK) {
    if (out->size() >= cap) {
      result = DecodeResult::CutOff;
      break;
    }
    std::size_t before = out->size();
    std::size_t room = std::min(kChunk, cap - before);
    out->resize(before + room);
    stream.next_out = reinterpret_cast<Bytef*>(out->data() + before);
    stream.avail_out = static_cast<uInt>(room);
    status = inflate(&stream, Z_NO_FLUSH);
    out->resize(before + room - stream.avail_out);
    if (status == Z_BUF_ERROR && stream.avail_in == 0) break;  // the data ended without its end mark
  }
  if (status != Z_STREAM_END && result == DecodeResult::Decoded) result = DecodeResult::Damaged;
  bool nothing = stream.total_out == 0 && status == Z_DATA_ERROR;
  inflateEnd(&stream);
  if (nothing && !raw) {
    out->clear();
    return Inflate(data, cap, out, true);
  }
  return result;
}

// PNG (10-15) and TIFF (2) predictors undone row by row.
DecodeResult Unpredict(const Object& parms, std::string* data) {
  int predictor = parms.Get("Predictor").Int(1);
  if (predictor < 2) return DecodeResult::Decoded;
  int colors = std::clamp(parms.Get("Colors").Int(1), 1, 32);
  int bits = std::clamp(parms.Get("BitsPerComponent").Int(8), 1, 16);
  int columns = std::clamp(parms.Get("Columns").Int(1), 1, 1 << 20);
  std::size_t pixelBytes = std::max<std::size_t>(1, (static_cast<std::size_t>(colors) * bits + 7) / 8);
  std::size_t rowBytes = (static_cast<std::size_t>(colors) * bits * columns + 7) / 8;
  rowBytes = std::max<std::size_t>(1, std::min(rowBytes, data->size()));
  std::string out;
  out.reserve(data->size());
  if (predictor == 2) {
    if (bits != 8) return DecodeResult::Decoded;
    for (std::size_t row = 0; row < data->size(); row += rowBytes) {
      std::size_t end = std::min(row + rowBytes, data->size());
      for (std::size_t i = row + pixelBytes; i < end; ++i) (*data)[i] = static_cast<char>((*data)[i] + (*data)[i - pixelBytes]);
    }
    return DecodeResult::Decoded;
  }
  std::string previous(rowBytes, '\0');
  std::string current(rowBytes, '\0');
  std::size_t position = 0;
  while (position < data->size()) {
    unsigned type = static_cast<unsigned char>((*data)[position++]);
    std::size_t count = std::min(rowBytes, data->size() - position);
    std::fill(current.begin(), current.end(), '\0');
    std::copy_n(data->begin() + static_cast<std::ptrdiff_t>(position), count, current.begin());
    position += count;
    for (std::size_t i = 0; i < rowBytes; ++i) {
      unsigned left = i >= pixelBytes ? static_cast<unsigned char>(current[i - pixelBytes]) : 0;
      unsigned up = static_cast<unsigned char>(previous[i]);
      unsigned upLeft = i >= pixelBytes ? static_cast<unsigned char>(previous[i - pixelBytes]) : 0;
      unsigned value = static_cast<unsigned char>(current[i]);
      switch (type) {
        case 1: value += left; break;
        case 2: value += up; break;
        case 3: value += (left + up) / 2; break;
        case 4: {
          int p = static_cast<int>(left + up) - static_cast<int>(upLeft);
          int pa = std::abs(p - static_cast<int>(left)), pb = std::abs(p - static_cast<int>(up)),
              pc = std::abs(p - static_cast<int>(upLeft));
          value += pa <= pb && pa <= pc ? left : pb <= pc ? up : upLeft;
          break;
        }
        default: break;
      }
      current[i] = static_cast<char>(value);
    }
    out.append(current, 0, count);
    std::swap(previous, current);
  }
  *data = std::move(out);
  return DecodeResult::Decoded;
}

DecodeResult AsciiHex(std::string_view data, std::size_t cap, std::string* out) {
  int high = -1;
  for (char c : data) {
    if (c == '>') break;
    int value = c >= '0' && c <= '9' ? c - '0' : c >= 'a' && c <= 'f' ? c - 'a' + 10 : c >= 'A' && c <= 'F' ? c - 'A' + 10 : -1;
    if (value < 0) continue;
    if (high < 0) {
      high = value;
      continue;
    }
    if (out->size() >= cap) return DecodeResult::CutOff;
    out->push_back(static_cast<char>(high * 16 + value));
    high = -1;
  }
  if (high >= 0 && out->size() < cap) out->push_back(static_cast<char>(high * 16));
  return DecodeResult::Decoded;
}

DecodeResult Ascii85(std::string_view data, std::size_t cap, std::string* out) {
  std::uint32_t group = 0;
  int count = 0;
  for (std::size_t i = 0; i < data.size(); ++i) {
    char c = data[i];
    if (c == '~') break;
    if (out->size() + 4 > cap) return DecodeResult::CutOff;
    if (c == 'z' && count == 0) {
      out->append(4, '\0');
      continue;
    }
    if (c < '!' || c > 'u') continue;
    group = group * 85 + static_cast<std::uint32_t>(c - '!');
    if (++count == 5) {
      for (int shift = 24; shift >= 0; shift -= 8) out->push_back(static_cast<char>((group >> shift) & 0xFF));
      group = 0;
      count = 0;
    }
  }
  if (count > 1) {
    for (int n = count; n < 5; ++n) group = group * 85 + 84;
    for (int n = 0; n < count - 1; ++n) out->push_back(static_cast<char>((group >> (24 - 8 * n)) & 0xFF));
  }
  return DecodeResult::Decoded;
}

DecodeResult RunLength(std::string_view data, std::size_t cap, std::string* out) {
  std::size_t i = 0;
  while (i < data.size()) {
    unsigned length = static_cast<unsigned char>(data[i++]);
    if (length == 128) return DecodeResult::Decoded;
    std::size_t run = length < 128 ? length + 1 : 257 - length;
    if (out->size() + run > cap) return DecodeResult::CutOff;
    if (length < 128) {
      std::size_t copy = std::min(run, data.size() - i);
      out->append(data.substr(i, copy));
      i += copy;
    } else if (i < data.size()) {
      out->append(run, data[i++]);
    }
  }
  return DecodeResult::Decoded;
}

DecodeResult Lzw(std::string_view data, const Object& parms, std::size_t cap, std::string* out) {
  int early = parms.Get("EarlyChange").Int(1) != 0 ? 1 : 0;
  // Each entry: the entry it extends, its last byte, its length.
  struct Entry {
    std::int32_t prefix;
    unsigned char last;
    std::uint32_t length;
  };
  std::vector<Entry> table;
  auto reset = [&] {
    table.clear();
    for (int i = 0; i < 256; ++i) table.push_back({-1, static_cast<unsigned char>(i), 1});
    table.push_back({-1, 0, 0});  // 256: clear
    table.push_back({-1, 0, 0});  // 257: end
  };
  reset();
  int width = 9;
  std::uint32_t buffer = 0;
  int bits = 0;
  std::int32_t previous = -1;
  auto emit = [&](std::int32_t code) -> bool {
    std::uint32_t length = table[static_cast<std::size_t>(code)].length;
    if (out->size() + length > cap) return false;
    std::size_t end = out->size() + length;
    out->resize(end);
    for (std::int32_t c = code; c >= 0; c = table[static_cast<std::size_t>(c)].prefix) (*out)[--end] = static_cast<char>(table[static_cast<std::size_t>(c)].last);
    return true;
  };
  for (char byte : data) {
    buffer = (buffer << 8) | static_cast<unsigned char>(byte);
    bits += 8;
    while (bits >= width) {
      std::int32_t code = static_cast<std::int32_t>((buffer >> (bits - width)) & ((1u << width) - 1));
      bits -= width;
      if (code == 256) {
        reset();
        width = 9;
        previous = -1;
        continue;
      }
      if (code == 257) return DecodeResult::Decoded;
      if (previous < 0) {
        if (code > 255) return DecodeResult::Damaged;
        if (!emit(code)) return DecodeResult::CutOff;
        previous = code;
        continue;
      }
      std::size_t size = table.size();
      unsigned char first;
      if (static_cast<std::size_t>(code) < size) {
        std::int32_t c = code;
        while (table[static_cast<std::size_t>(c)].prefix >= 0) c = table[static_cast<std::size_t>(c)].prefix;
        first = table[static_cast<std::size_t>(c)].last;
      } else if (static_cast<std::size_t>(code) == size) {
        std::int32_t c = previous;
        while (table[static_cast<std::size_t>(c)].prefix >= 0) c = table[static_cast<std::size_t>(c)].prefix;
        first = table[static_cast<std::size_t>(c)].last;
      } else {
        return DecodeResult::Damaged;
      }
      if (size < 4096) table.push_back({previous, first, table[static_cast<std::size_t>(previous)].length + 1});
      if (!emit(code)) return DecodeResult::CutOff;
      previous = code;
      std::size_t next = table.size() + static_cast<std::size_t>(early);
      width = next >= 2048 ? 12 : next >= 1024 ? 11 : next >= 512 ? 10 : 9;
    }
  }
  return DecodeResult::Decoded;
}

}  // namespace

DecodeResult DecodeFilters(std::string_view data, const std::vector<Filter>& filters, Budget& budget,
                           std::string* out) {
  out->assign(data);
  DecodeResult overall = DecodeResult::Decoded;
  for (const auto& [name, parms] : filters) {
    std::string input = std::move(*out);
    out->clear();
    std::size_t cap = budget.BytesLeft();
    DecodeResult result;
    if (name == "FlateDecode" || name == "Fl") {
      result = Inflate(input, cap, out);
      if (result != DecodeResult::CutOff && Unpredict(parms, out) != DecodeResult::Decoded) result = DecodeResult::Damaged;
    } else if (name == "LZWDecode" || name == "LZW") {
      result = Lzw(input, parms, cap, out);
      if (result != DecodeResult::CutOff) Unpredict(parms, out);
    } else if (name == "ASCIIHexDecode" || name == "AHx") {
      result = AsciiHex(input, cap, out);
    } else if (name == "ASCII85Decode" || name == "A85") {
      result = Ascii85(input, cap, out);
    } else if (name == "RunLengthDecode" || name == "RL") {
      result = RunLength(input, cap, out);
    } else if (name == "Crypt") {
      result = DecodeResult::Decoded;
      *out = std::move(input);
      continue;
    } else {
      // DCTDecode, JPXDecode, CCITTFaxDecode, JBIG2Decode: pictures.
      out->clear();
      return DecodeResult::Skipped;
    }
    if (result == DecodeResult::CutOff) budget.TakeBytes(budget.BytesLeft() + 1);  // the rest was this stream's
    if (!budget.TakeBytes(out->size()) || result == DecodeResult::CutOff) return DecodeResult::CutOff;
    if (result == DecodeResult::Damaged) overall = DecodeResult::Damaged;
  }
  return overall;
}

}  // namespace qv::service::pdf
