#pragma once
// Stream filters of PDF files: FlateDecode (with PNG and TIFF predictors),
// LZWDecode, ASCIIHexDecode, ASCII85Decode and RunLengthDecode, in chains.
// Image filters hold no text: a stream that uses one is skipped. Every byte a
// filter produces is taken from the document's budget.

#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "service/extract/PdfObject.h"
#include "service/extract/PdfBudget.h"

namespace qv::service::pdf {

enum class DecodeResult {
  Decoded,
  Damaged,  // the data ended early or was malformed: `out` holds what decoded
  CutOff,   // the budget ran out: `out` holds what decoded before that
  Skipped,  // an image or unknown filter: nothing to read
};

// One filter of a chain: its name and its /DecodeParms dictionary (resolved).
using Filter = std::pair<std::string, Object>;

DecodeResult DecodeFilters(std::string_view data, const std::vector<Filter>& filters, Budget& budget,
                           std::string* out);

}  // namespace qv::service::pdf
