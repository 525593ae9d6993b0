// Fuzz target: the Office 97-2003 stream readers (Word's piece table, Excel's
// BIFF8 records, PowerPoint's text atoms), as functions of bytes. The first
// byte picks the reader; a Word seed's streams are one: its header, text and
// piece table all in the rest. Whatever the bytes, a reader hands on valid
// UTF-8 no longer than its limit.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "service/extract/BinaryOfficeText.h"
#include "service/extract/Utf8Text.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace qv::service;
  constexpr std::size_t kLimit = 64 * 1024;
  if (size == 0) return 0;
  std::string_view bytes(reinterpret_cast<const char*>(data) + 1, size - 1);
  BinaryOfficeContent content;
  switch (data[0] % 3) {
    case 0:
      content = WordBinaryText(bytes, bytes, bytes, kLimit);
      break;
    case 1:
      content = ExcelBinaryText(bytes, kLimit);
      break;
    default:
      content = PowerPointBinaryText(bytes, kLimit);
      break;
  }
  if (content.text.size() > kLimit || !IsValidUtf8(content.text)) std::abort();
  return 0;
}
