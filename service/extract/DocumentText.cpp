#include "service/extract/DocumentText.h"

#include <algorithm>
#include <cstring>

#include "common/Holders.h"
#include "service/PathText.h"
#include "service/ServicePaths.h"
#include "service/TextExtractor.h"
#include "service/extract/CompoundDocument.h"
#include "service/extract/DocumentReader.h"
#include "service/extract/MappedFile.h"

namespace qv::service {
namespace {

// PDF files up to this size are read.
constexpr unsigned long long kMaxMappedBytes = 2ull * 1024 * 1024 * 1024;

// A document file read through its handle, at any offset.
class FileSource : public ByteSource {
 public:
  explicit FileSource(HANDLE file) : file_(file) {
    LARGE_INTEGER size;
    if (GetFileSizeEx(file, &size)) size_ = static_cast<std::uint64_t>(size.QuadPart);
  }
  std::uint64_t Size() const override { return size_; }
  bool ReadAt(std::uint64_t offset, void* buffer, std::size_t size) const override {
    if (offset > size_ || size > size_ - offset) return false;
    auto* bytes = static_cast<char*>(buffer);
    while (size > 0) {
      OVERLAPPED at = {};
      at.Offset = static_cast<DWORD>(offset);
      at.OffsetHigh = static_cast<DWORD>(offset >> 32);
      DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(size, 1 << 20));
      DWORD read = 0;
      if (!ReadFile(file_, bytes, chunk, &read, &at) || read == 0) return false;
      bytes += read;
      offset += read;
      size -= read;
    }
    return true;
  }

 private:
  HANDLE file_;
  std::uint64_t size_ = 0;
};

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

bool IsDocumentExtension(const std::wstring& extension) {
  return DocumentKindOf(extension) != DocumentKind::None || IsCompoundDocumentExtension(extension);
}

ReadTextResult ReadDocumentText(HANDLE file, const std::wstring& path, const std::wstring& extension,
                                std::size_t limit, std::string* text) {
  text->clear();
  DocumentKind kind = DocumentKindOf(extension);
  FileSource source(file);
  char first = 0;
  if (source.Size() > 0 && !source.ReadAt(0, &first, 1)) return ReadTextResult::Unreadable;
  // What is plainly not such a document is skipped before any reader looks at it.
  bool compound = IsCompoundDocumentExtension(extension);
  char magic[8] = {};
  if (compound ? !source.ReadAt(0, magic, 8) || std::memcmp(magic, "\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8) != 0
               : !LooksLikeDocument(kind, source)) {
    return ReadTextResult::Damaged;
  }
  ReadingNote note(path);
  if (note.CrashedBefore()) return ReadTextResult::Damaged;
  if (compound) return ReadCompoundDocument(path, extension, limit, text);
  ReadBudget budget;
  budget.text = limit;
  // A PDF's parts are spread all over it: it is read through a view of the whole file.
  MappedFile mapped;
  if (kind == DocumentKind::Pdf && !mapped.Open(file, kMaxMappedBytes)) return ReadTextResult::Damaged;
  MemorySource view(mapped.Bytes());
  DocumentContent content = ReadDocument(kind, kind == DocumentKind::Pdf ? static_cast<const ByteSource&>(view) : source, budget);
  if (content.unreadable) return ReadTextResult::Unreadable;
  *text = std::move(content.text);
  if (content.encrypted) return ReadTextResult::Encrypted;
  if (content.cutOff) return ReadTextResult::CutOff;
  return content.damaged ? ReadTextResult::Damaged : ReadTextResult::Read;
}

}  // namespace qv::service
