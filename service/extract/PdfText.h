#pragma once
// The words of a PDF document: the text its pages show (through the page
// tree, content streams and the forms they draw), in reading order as the
// producer wrote it, with the document's title. A pure function of the bytes:
// one budget bounds what it inflates, parses and produces.

#include <cstddef>
#include <string>
#include <string_view>

#include "service/extract/PdfCrypto.h"

namespace qv::service {

struct PdfContent {
  std::string text;   // UTF-8
  std::string title;  // UTF-8: the information dictionary's /Title, else XMP dc:title
  bool isPdf = false;
  bool encrypted = false;  // needs a password: nothing was read
  bool damaged = false;    // something was malformed or missing
  bool cutOff = false;     // the budget or `limit` ran out
};

// What one document may cost by default: bytes decoded (inflated, decrypted)
// and objects parsed (content operators and operands included).
constexpr std::size_t kMaxPdfDecodedBytes = 128 * 1024 * 1024;
constexpr std::size_t kMaxPdfObjects = 16 * 1024 * 1024;

// `crypto` may be null; encrypted documents are then not read.
PdfContent PdfText(std::string_view bytes, std::size_t limit, pdf::Crypto* crypto,
                   std::size_t maxDecodedBytes = kMaxPdfDecodedBytes, std::size_t maxObjects = kMaxPdfObjects);

}  // namespace qv::service
