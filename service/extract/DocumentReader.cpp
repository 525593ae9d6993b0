#include "service/extract/DocumentReader.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "service/extract/EmailText.h"
#include "service/extract/MarkupText.h"
#include "service/extract/PdfText.h"
#include "service/extract/RtfText.h"
#include "service/extract/Utf8Text.h"
#include "service/extract/ZipArchive.h"

namespace qv::service {
namespace {

// An XML part is read up to this size; a part claiming more is a zip bomb or a
// document whose first part is enough to find it by.
constexpr std::size_t kMaxPartBytes = 32 * 1024 * 1024;
// Document properties (the title) are small.
constexpr std::size_t kMaxPropertiesBytes = 1024 * 1024;
// RTF and e-mail files are read whole up to this size (pictures and
// attachments make up most of a large one).
constexpr std::size_t kMaxFileBytes = 32 * 1024 * 1024;

struct Extracted {
  std::string title;
  std::string text;
  bool damaged = false;  // nothing could be read, or only part of it
  bool encrypted = false;
};

// Appends the words of one XML member, read as it is inflated: no further
// than the text it still may add.
void AddXmlPart(const ZipArchive& zip, const ZipArchive::Member& member, ReadBudget& budget, Extracted& out) {
  if (out.text.size() >= budget.text) {
    budget.Exhausted();
    return;
  }
  XmlTextReader reader(budget.text - out.text.size());
  std::string piece;  // a chunk, after the bytes of a character the last one cut short
  auto sink = [&](std::string_view bytes) {
    piece.append(bytes);
    std::string_view whole(piece.data(), piece.size() - PartialUtf8Tail(piece));
    bool more;
    if (IsValidUtf8(whole)) {
      more = reader.Add(whole);
    } else {
      std::string valid(whole);
      MakeValidUtf8(valid);
      more = reader.Add(valid);
    }
    piece.erase(0, whole.size());
    return more;
  };
  switch (zip.Stream(member, kMaxPartBytes, budget, sink)) {
    case ZipArchive::ReadResult::Missing:
    case ZipArchive::ReadResult::Damaged:
    case ZipArchive::ReadResult::CutOff:
      out.damaged = true;
      break;
    case ZipArchive::ReadResult::Read:
    case ZipArchive::ReadResult::Stopped:
      break;
  }
  MakeValidUtf8(piece);
  reader.Add(piece);
  MarkupText part = reader.Finish();
  if (part.cutOff) budget.Exhausted();
  if (!out.text.empty()) out.text.push_back(' ');
  out.text += part.text;
}

// Appends the words of the named member; false when there is none.
bool AddXmlPart(const ZipArchive& zip, const std::string& name, ReadBudget& budget, Extracted& out) {
  const ZipArchive::Member* member = zip.Find(name);
  if (!member) return false;
  AddXmlPart(zip, *member, budget, out);
  return true;
}

// "ppt/slides/slide12.xml" sorts after "slide2". Each member once, however
// often the directory lists it.
std::vector<const ZipArchive::Member*> NumberedMembers(const ZipArchive& zip, const std::string& prefix) {
  std::vector<std::pair<long, const ZipArchive::Member*>> found;
  for (const ZipArchive::Member& member : zip.Members()) {
    const std::string& name = member.name;
    if (name.size() > prefix.size() + 4 && name.compare(0, prefix.size(), prefix) == 0 &&
        name.compare(name.size() - 4, 4, ".xml") == 0 && name.find('/', prefix.size()) == std::string::npos) {
      found.emplace_back(std::strtol(name.c_str() + prefix.size(), nullptr, 10), &member);
    }
  }
  std::stable_sort(found.begin(), found.end(),
                   [](const auto& a, const auto& b) { return a.first < b.first; });
  // The same data under several names is read under the first only.
  std::unordered_set<std::uint64_t> seen;
  std::vector<const ZipArchive::Member*> unique;
  for (const auto& [number, member] : found) {
    if (seen.insert(member->localHeaderOffset).second) unique.push_back(member);
  }
  return unique;
}

std::string MetadataTitle(const ZipArchive& zip, const std::string& member, ReadBudget& budget) {
  std::string xml;
  if (zip.Read(member, kMaxPropertiesBytes, budget, &xml) != ZipArchive::ReadResult::Read) return {};
  MakeValidUtf8(xml);
  return XmlElementText(xml, "dc:title");
}

Extracted ReadPackage(const ByteSource& source, DocumentKind kind, ReadBudget& budget) {
  Extracted out;
  ZipArchive zip;
  if (!zip.Open(source)) {
    // Encrypted Office documents are compound files, not zip archives.
    out.damaged = true;
    return out;
  }
  bool found = false;
  switch (kind) {
    case DocumentKind::WordProcessing:
      out.title = MetadataTitle(zip, "docProps/core.xml", budget);
      found = AddXmlPart(zip, "word/document.xml", budget, out);
      break;
    case DocumentKind::Spreadsheet:
      out.title = MetadataTitle(zip, "docProps/core.xml", budget);
      found = AddXmlPart(zip, "xl/sharedStrings.xml", budget, out);
      // A workbook with nothing but numbers has no shared strings.
      if (!found) found = zip.Find("xl/workbook.xml") != nullptr;
      break;
    case DocumentKind::Presentation:
      out.title = MetadataTitle(zip, "docProps/core.xml", budget);
      for (const ZipArchive::Member* slide : NumberedMembers(zip, "ppt/slides/slide")) {
        AddXmlPart(zip, *slide, budget, out);
        found = true;
        if (budget.cutOff) break;
      }
      for (const ZipArchive::Member* notes : NumberedMembers(zip, "ppt/notesSlides/notesSlide")) {
        if (budget.cutOff) break;
        AddXmlPart(zip, *notes, budget, out);
      }
      break;
    case DocumentKind::OpenDocument: {
      std::string manifest;
      zip.Read("META-INF/manifest.xml", kMaxPropertiesBytes, budget, &manifest);
      if (manifest.find("encryption-data") != std::string::npos) {
        out.damaged = out.encrypted = true;
        return out;
      }
      out.title = MetadataTitle(zip, "meta.xml", budget);
      found = AddXmlPart(zip, "content.xml", budget, out);
      break;
    }
    default:
      break;
  }
  if (!found) out.damaged = true;
  return out;
}

bool ReadWhole(const ByteSource& source, std::size_t limit, std::string* bytes, bool* cutOff) {
  std::uint64_t size = source.Size();
  *cutOff = size > limit;
  bytes->resize(static_cast<std::size_t>(std::min<std::uint64_t>(size, limit)));
  return source.ReadAt(0, bytes->data(), bytes->size());
}

// PDF from a source that holds the whole file in memory (a mapped file).
Extracted ReadPdf(const ByteSource& source, ReadBudget& budget) {
  Extracted out;
  std::string copy;
  std::string_view bytes = source.View();
  if (bytes.size() != source.Size()) {
    bool cutOff = false;
    if (!ReadWhole(source, kMaxFileBytes, &copy, &cutOff)) cutOff = true;
    if (cutOff) budget.Exhausted();
    bytes = copy;
  }
  std::unique_ptr<pdf::Crypto> crypto = pdf::CreatePdfCrypto();
  PdfContent pdf = PdfText(bytes, budget.text, crypto.get(), static_cast<std::size_t>(budget.inflated));
  out.title = std::move(pdf.title);
  out.text = std::move(pdf.text);
  out.damaged = !pdf.isPdf || pdf.encrypted || pdf.damaged;
  out.encrypted = pdf.encrypted;
  if (pdf.cutOff) budget.Exhausted();
  return out;
}

bool StartsWith(const ByteSource& source, const char* magic) {
  std::size_t length = std::strlen(magic);
  char start[8] = {};
  return source.ReadAt(0, start, length) && std::memcmp(start, magic, length) == 0;
}

}  // namespace

DocumentKind DocumentKindOf(const std::wstring& extension) {
  if (extension == L"docx" || extension == L"docm" || extension == L"dotx") return DocumentKind::WordProcessing;
  if (extension == L"xlsx" || extension == L"xlsm") return DocumentKind::Spreadsheet;
  if (extension == L"pptx" || extension == L"pptm" || extension == L"ppsx") return DocumentKind::Presentation;
  if (extension == L"odt" || extension == L"ods" || extension == L"odp" || extension == L"ott") {
    return DocumentKind::OpenDocument;
  }
  if (extension == L"rtf") return DocumentKind::Rtf;
  if (extension == L"eml") return DocumentKind::Email;
  if (extension == L"pdf") return DocumentKind::Pdf;
  return DocumentKind::None;
}

bool LooksLikeDocument(DocumentKind kind, const ByteSource& source) {
  switch (kind) {
    case DocumentKind::None:
      return false;
    case DocumentKind::Rtf:
      return StartsWith(source, "{\\rtf");
    case DocumentKind::Email:
      return true;
    case DocumentKind::Pdf: {
      // The header may follow a little junk.
      char start[1024] = {};
      std::size_t length = static_cast<std::size_t>(std::min<std::uint64_t>(source.Size(), sizeof start));
      return source.ReadAt(0, start, length) && std::string_view(start, length).find("%PDF-") != std::string_view::npos;
    }
    default:
      return StartsWith(source, "PK\x03\x04");
  }
}

DocumentContent ReadDocument(DocumentKind kind, const ByteSource& source, ReadBudget& budget) {
  Extracted out;
  if (kind == DocumentKind::Rtf || kind == DocumentKind::Email) {
    std::string bytes;
    bool cutOff = false;
    if (!ReadWhole(source, kMaxFileBytes, &bytes, &cutOff)) {
      DocumentContent unreadable;
      unreadable.unreadable = true;
      return unreadable;
    }
    if (cutOff) budget.Exhausted();
    if (kind == DocumentKind::Rtf) {
      RtfContent rtf = RtfText(bytes, budget.text);
      out.title = std::move(rtf.title);
      out.text = std::move(rtf.text);
      if (rtf.cutOff) budget.Exhausted();
      out.damaged = !rtf.isRtf;
    } else {
      EmailContent email = EmailText(bytes, budget.text);
      out.text = std::move(email.text);
      if (email.cutOff) budget.Exhausted();
    }
  } else if (kind == DocumentKind::Pdf) {
    out = ReadPdf(source, budget);
  } else if (kind != DocumentKind::None) {
    out = ReadPackage(source, kind, budget);
  } else {
    out.damaged = true;
  }
  DocumentContent content;
  // The title's words are found like the rest (an e-mail's subject is in its text already).
  content.text = out.title.empty() ? std::move(out.text) : out.title + " " + out.text;
  MakeValidUtf8(content.text);
  CutUtf8(content.text, budget.text);
  content.damaged = out.damaged || budget.cutOff;
  content.encrypted = out.encrypted;
  content.cutOff = budget.cutOff && !out.damaged;
  return content;
}

}  // namespace qv::service
