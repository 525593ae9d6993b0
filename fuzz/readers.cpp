// Fuzz target: every document reader, as a function of bytes. The first byte
// picks the reader, the rest is the file. Whatever the bytes, a reader ends
// within its budget and hands on valid UTF-8 no longer than its limit.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "service/extract/DocumentReader.h"
#include "service/extract/EmailText.h"
#include "service/extract/MarkupText.h"
#include "service/extract/PlainText.h"
#include "service/extract/RtfText.h"
#include "service/extract/Utf8Text.h"

namespace {

using namespace qv::service;

constexpr std::size_t kLimit = 64 * 1024;

void Check(const std::string& text, std::size_t limit) {
  if (text.size() > limit || !IsValidUtf8(text)) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  std::string_view bytes(reinterpret_cast<const char*>(data) + 1, size - 1);
  int reader = data[0] % 10;
  switch (reader) {
    case 0:
    case 1:
    case 2: {
      static const PlainKind kinds[] = {PlainKind::Text, PlainKind::Xml, PlainKind::Html};
      std::string text;
      bool cutOff = false;
      if (PlainFileText(bytes, kinds[reader], kLimit, &text, &cutOff)) Check(text, kLimit);
      break;
    }
    case 3: {
      // The markup readers take valid UTF-8 (the package reader makes it so).
      std::string xml(bytes);
      MakeValidUtf8(xml);
      MarkupText whole = XmlText(xml, kLimit);
      Check(whole.text, kLimit);
      Check(XmlElementText(xml, "dc:title"), 4 * 4096);
      // Read a piece at a time, as a part is inflated (never inside a
      // character): the same text.
      XmlTextReader reader(kLimit);
      std::size_t step = 1 + data[0] / 10;
      std::string carry;
      for (std::size_t at = 0; at < xml.size(); at += step) {
        carry.append(xml, at, step);
        std::size_t complete = carry.size() - PartialUtf8Tail(carry);
        if (!reader.Add(std::string_view(carry.data(), complete))) break;
        carry.erase(0, complete);
      }
      reader.Add(carry);
      MarkupText pieces = reader.Finish();
      if (pieces.text != whole.text || pieces.cutOff != whole.cutOff) std::abort();
      break;
    }
    default: {
      static const DocumentKind kinds[] = {DocumentKind::Rtf, DocumentKind::Email, DocumentKind::WordProcessing,
                                           DocumentKind::Spreadsheet, DocumentKind::Presentation,
                                           DocumentKind::OpenDocument};
      DocumentKind kind = kinds[reader - 4];
      ReadBudget budget;
      budget.text = kLimit;
      budget.inflated = 4 * 1024 * 1024;
      budget.members = 200;
      MemorySource source(bytes);
      DocumentContent content = ReadDocument(kind, source, budget);
      Check(content.text, kLimit);
      break;
    }
  }
  return 0;
}
