// Fuzz target: the PDF reader, as a function of bytes. Whatever the bytes, it
// ends within its budget and hands on valid UTF-8 no longer than its limit.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string_view>

#include "service/extract/PdfText.h"
#include "service/extract/Utf8Text.h"

namespace {

constexpr std::size_t kLimit = 64 * 1024;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace qv::service;
  static std::unique_ptr<pdf::Crypto> crypto = pdf::CreatePdfCrypto();
  std::string_view bytes(reinterpret_cast<const char*>(data), size);
  PdfContent content = PdfText(bytes, kLimit, crypto.get(), 4 * 1024 * 1024, 1024 * 1024);
  if (content.text.size() > kLimit || !IsValidUtf8(content.text) || !IsValidUtf8(content.title)) std::abort();
  return 0;
}
