#include "service/extract/DocumentText.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "common/Holders.h"
#include "service/PathText.h"
#include "service/ServicePaths.h"
#include "service/TextExtractor.h"
#include "service/extract/EmailText.h"
#include "service/extract/MappedFile.h"
#include "service/extract/MarkupText.h"
#include "service/extract/PdfText.h"
#include "service/extract/RtfText.h"
#include "service/extract/ZipArchive.h"

namespace qv::service {
namespace {

// An XML part is read up to this size; a part claiming more is a zip bomb or a
// document whose first part is enough to find it by.
constexpr std::size_t kMaxPartBytes = 32 * 1024 * 1024;
// RTF and e-mail files are read whole up to this size (pictures and
// attachments make up most of a large one).
constexpr std::size_t kMaxFileBytes = 32 * 1024 * 1024;
// PDF files are mapped, not read: their text is spread all over them.
constexpr unsigned long long kMaxPdfBytes = 2ull * 1024 * 1024 * 1024;

enum class Kind { None, WordProcessing, Spreadsheet, Presentation, OpenDocument, Rtf, Email, Pdf };

Kind KindOf(const std::wstring& extension) {
  if (extension == L"docx" || extension == L"docm" || extension == L"dotx") return Kind::WordProcessing;
  if (extension == L"xlsx" || extension == L"xlsm") return Kind::Spreadsheet;
  if (extension == L"pptx" || extension == L"pptm" || extension == L"ppsx") return Kind::Presentation;
  if (extension == L"odt" || extension == L"ods" || extension == L"odp" || extension == L"ott") return Kind::OpenDocument;
  if (extension == L"rtf") return Kind::Rtf;
  if (extension == L"eml") return Kind::Email;
  if (extension == L"pdf") return Kind::Pdf;
  return Kind::None;
}

struct Extracted {
  std::string title;
  std::string text;
  bool damaged = false;  // nothing could be read, or only part of it
};

// Appends the words of one XML member; false when it is missing.
bool AddXmlPart(const ZipArchive& zip, const std::string& name, std::size_t limit, Extracted& out) {
  std::string xml;
  switch (zip.Read(name, kMaxPartBytes, &xml)) {
    case ZipArchive::ReadResult::Missing:
      return false;
    case ZipArchive::ReadResult::Damaged:
      out.damaged = true;
      break;
    case ZipArchive::ReadResult::CutOff:
      out.damaged = true;
      break;
    case ZipArchive::ReadResult::Read:
      break;
  }
  if (out.text.size() >= limit) {
    out.damaged = true;
    return true;
  }
  MarkupText part = XmlText(xml, limit - out.text.size());
  out.damaged = out.damaged || part.cutOff;
  if (!out.text.empty()) out.text.push_back(' ');
  out.text += part.text;
  return true;
}

// "ppt/slides/slide12.xml" sorts after "slide2".
std::vector<std::string> NumberedMembers(const ZipArchive& zip, const std::string& prefix) {
  std::vector<std::pair<long, std::string>> found;
  for (const ZipArchive::Member& member : zip.Members()) {
    const std::string& name = member.name;
    if (name.size() > prefix.size() + 4 && name.compare(0, prefix.size(), prefix) == 0 &&
        name.compare(name.size() - 4, 4, ".xml") == 0 && name.find('/', prefix.size()) == std::string::npos) {
      found.emplace_back(std::strtol(name.c_str() + prefix.size(), nullptr, 10), name);
    }
  }
  std::sort(found.begin(), found.end());
  std::vector<std::string> names;
  for (auto& [number, name] : found) names.push_back(std::move(name));
  return names;
}

std::string MetadataTitle(const ZipArchive& zip, const std::string& member) {
  std::string xml;
  if (zip.Read(member, 1024 * 1024, &xml) != ZipArchive::ReadResult::Read) return {};
  return XmlElementText(xml, "dc:title");
}

Extracted ReadPackage(HANDLE file, Kind kind, std::size_t limit) {
  Extracted out;
  ZipArchive zip;
  if (!zip.Open(file)) {
    // Encrypted Office documents are compound files, not zip archives.
    out.damaged = true;
    return out;
  }
  bool found = false;
  switch (kind) {
    case Kind::WordProcessing:
      out.title = MetadataTitle(zip, "docProps/core.xml");
      found = AddXmlPart(zip, "word/document.xml", limit, out);
      break;
    case Kind::Spreadsheet:
      out.title = MetadataTitle(zip, "docProps/core.xml");
      found = AddXmlPart(zip, "xl/sharedStrings.xml", limit, out);
      // A workbook with nothing but numbers has no shared strings.
      if (!found) {
        std::string workbook;
        found = zip.Read("xl/workbook.xml", 0, &workbook) != ZipArchive::ReadResult::Missing;
      }
      break;
    case Kind::Presentation:
      out.title = MetadataTitle(zip, "docProps/core.xml");
      for (const std::string& slide : NumberedMembers(zip, "ppt/slides/slide")) {
        found = AddXmlPart(zip, slide, limit, out) || found;
      }
      for (const std::string& notes : NumberedMembers(zip, "ppt/notesSlides/notesSlide")) {
        AddXmlPart(zip, notes, limit, out);
      }
      break;
    case Kind::OpenDocument: {
      std::string manifest;
      zip.Read("META-INF/manifest.xml", 1024 * 1024, &manifest);
      if (manifest.find("encryption-data") != std::string::npos) {
        out.damaged = true;
        return out;
      }
      out.title = MetadataTitle(zip, "meta.xml");
      found = AddXmlPart(zip, "content.xml", limit, out);
      break;
    }
    default:
      break;
  }
  if (!found) out.damaged = true;
  return out;
}

Extracted ReadPdf(HANDLE file, std::size_t limit) {
  Extracted out;
  MappedFile mapped;
  if (!mapped.Open(file, kMaxPdfBytes)) {
    out.damaged = true;
    return out;
  }
  std::unique_ptr<pdf::Crypto> crypto = pdf::CreatePdfCrypto();
  PdfContent pdf = PdfText(mapped.Bytes(), limit, crypto.get());
  out.title = std::move(pdf.title);
  out.text = std::move(pdf.text);
  out.damaged = !pdf.isPdf || pdf.encrypted || pdf.damaged || pdf.cutOff;
  return out;
}

bool ReadWhole(HANDLE file, std::size_t limit, std::string* bytes, bool* cutOff) {
  LARGE_INTEGER size;
  if (!GetFileSizeEx(file, &size)) return false;
  *cutOff = static_cast<std::uint64_t>(size.QuadPart) > limit;
  bytes->resize(static_cast<std::size_t>(std::min<std::uint64_t>(static_cast<std::uint64_t>(size.QuadPart), limit)));
  std::size_t total = 0;
  while (total < bytes->size()) {
    DWORD read = 0;
    DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(bytes->size() - total, 1 << 20));
    if (!ReadFile(file, bytes->data() + total, chunk, &read, nullptr)) return false;
    if (read == 0) break;
    total += read;
  }
  bytes->resize(total);
  return true;
}

// The note of the document being read; see the header.
std::wstring ReadingNotePath() {
  std::wstring folder = DataFolder();
  return folder.empty() ? folder : folder + L"document.reading";
}

std::wstring ReadNote(const std::wstring& note) {
  UniqueHandle file(CreateFileW(note.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, 0, nullptr));
  if (file.Get() == INVALID_HANDLE_VALUE) {
    file.Release();
    return {};
  }
  std::wstring path(32768, L'\0');
  DWORD read = 0;
  if (!ReadFile(file.Get(), path.data(), static_cast<DWORD>(path.size() * sizeof(wchar_t)), &read, nullptr)) return {};
  path.resize(read / sizeof(wchar_t));
  return path;
}

void WriteNote(const std::wstring& note, const std::wstring& path) {
  UniqueHandle file(CreateFileW(note.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_TEMPORARY,
                                nullptr));
  if (file.Get() == INVALID_HANDLE_VALUE) {
    file.Release();
    return;
  }
  DWORD written = 0;
  WriteFile(file.Get(), path.data(), static_cast<DWORD>(path.size() * sizeof(wchar_t)), &written, nullptr);
}

class ReadingNote {
 public:
  explicit ReadingNote(const std::wstring& path) : note_(ReadingNotePath()) {
    if (note_.empty()) return;
    // Left behind: reading that file ended the process last time.
    std::wstring previous = ReadNote(note_);
    crashedBefore_ = !previous.empty() && FoldPathCase(previous) == FoldPathCase(path);
    if (!crashedBefore_) WriteNote(note_, path);
  }
  ~ReadingNote() {
    if (!note_.empty()) DeleteFileW(note_.c_str());
  }
  bool CrashedBefore() const { return crashedBefore_; }

 private:
  std::wstring note_;
  bool crashedBefore_ = false;
};

}  // namespace

bool IsDocumentExtension(const std::wstring& extension) { return KindOf(extension) != Kind::None; }

ReadTextResult ReadDocumentText(HANDLE file, const std::wstring& path, const std::wstring& extension,
                                std::size_t limit, std::string* text) {
  text->clear();
  Kind kind = KindOf(extension);
  // What is plainly not such a document is skipped before any reader looks at it.
  char magic[5] = {};
  DWORD read = 0;
  if (!ReadFile(file, magic, sizeof magic, &read, nullptr)) return ReadTextResult::Unreadable;
  bool isPackage = kind != Kind::Rtf && kind != Kind::Email && kind != Kind::Pdf;
  if ((isPackage && (read < 4 || std::memcmp(magic, "PK\x03\x04", 4) != 0)) ||
      (kind == Kind::Rtf && (read < 5 || std::memcmp(magic, "{\\rtf", 5) != 0))) {
    return ReadTextResult::Damaged;
  }
  SetFilePointer(file, 0, nullptr, FILE_BEGIN);
  ReadingNote note(path);
  if (note.CrashedBefore()) return ReadTextResult::Damaged;
  Extracted out;
  if (kind == Kind::Rtf || kind == Kind::Email) {
    std::string bytes;
    bool cutOff = false;
    if (!ReadWhole(file, kMaxFileBytes, &bytes, &cutOff)) return ReadTextResult::Unreadable;
    if (kind == Kind::Rtf) {
      RtfContent rtf = RtfText(bytes, limit);
      out.title = std::move(rtf.title);
      out.text = std::move(rtf.text);
      out.damaged = cutOff || rtf.cutOff || !rtf.isRtf;
    } else {
      EmailContent email = EmailText(bytes, limit);
      out.title = std::move(email.subject);
      out.text = std::move(email.text);
      out.damaged = cutOff || email.cutOff;
    }
  } else if (kind == Kind::Pdf) {
    out = ReadPdf(file, limit);
  } else {
    out = ReadPackage(file, kind, limit);
  }
  // The title's words are found like the rest (an e-mail's subject is in its text already).
  *text = kind == Kind::Email || out.title.empty() ? std::move(out.text) : out.title + " " + out.text;
  if (text->size() > limit) text->resize(limit);
  return out.damaged ? ReadTextResult::Damaged : ReadTextResult::Read;
}

}  // namespace qv::service
