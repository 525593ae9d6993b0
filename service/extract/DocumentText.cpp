#include "service/extract/DocumentText.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <optional>

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
// Documents up to this size are read into memory in one read.
constexpr std::uint64_t kSmallDocumentBytes = 1024 * 1024;

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

thread_local DocumentReadingNote* t_note = nullptr;

// The note of the document being read on this thread: the one a pass holds,
// or one made for this document and deleted after it.
class ReadingNote {
 public:
  explicit ReadingNote(const std::wstring& path) : shared_(t_note) {
    if (shared_) {
      crashedBefore_ = !shared_->Begin(path);
      return;
    }
    note_ = ReadingNotePath();
    if (note_.empty()) return;
    // Left behind: reading that file ended the process last time.
    std::wstring previous = ReadNote(note_);
    crashedBefore_ = !previous.empty() && FoldPathCase(previous) == FoldPathCase(path);
    if (!crashedBefore_) WriteNote(note_, path);
  }
  ~ReadingNote() {
    if (shared_) {
      shared_->Done();
    } else if (!note_.empty()) {
      DeleteFileW(note_.c_str());
    }
  }
  bool CrashedBefore() const { return crashedBefore_; }

 private:
  DocumentReadingNote* shared_;
  std::wstring note_;
  bool crashedBefore_ = false;
};

bool SetFileLength(HANDLE file, std::uint64_t length) {
  FILE_END_OF_FILE_INFO end = {};
  end.EndOfFile.QuadPart = static_cast<LONGLONG>(length);
  return SetFileInformationByHandle(file, FileEndOfFileInfo, &end, sizeof end) != FALSE;
}

}  // namespace

DocumentReadingNote::DocumentReadingNote() : note_(ReadingNotePath()), outer_(t_note) {
  if (!note_.empty()) {
    // Left behind: reading that file ended the process last time.
    crashed_ = ReadNote(note_);
    file_ = CreateFileW(note_.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                        nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_TEMPORARY, nullptr);
  }
  // Without a note of its own, each document makes its note as it would alone.
  if (file_ != INVALID_HANDLE_VALUE) t_note = this;
}

DocumentReadingNote::~DocumentReadingNote() {
  if (file_ == INVALID_HANDLE_VALUE) return;
  t_note = outer_;
  CloseHandle(file_);
  DeleteFileW(note_.c_str());
}

bool DocumentReadingNote::Begin(const std::wstring& path) {
  if (!crashed_.empty() && FoldPathCase(crashed_) == FoldPathCase(path)) {
    crashed_.clear();
    SetFileLength(file_, 0);
    return false;
  }
  OVERLAPPED start = {};
  DWORD written = 0;
  DWORD bytes = static_cast<DWORD>(path.size() * sizeof(wchar_t));
  // A note cut short by a full disk would name another file: none is kept.
  if (!WriteFile(file_, path.data(), bytes, &written, &start) || written != bytes) written = 0;
  SetFileLength(file_, written);
  return true;
}

void DocumentReadingNote::Done() { SetFileLength(file_, 0); }

bool IsDocumentExtension(const std::wstring& extension) {
  return DocumentKindOf(extension) != DocumentKind::None || IsCompoundDocumentExtension(extension);
}

ReadTextResult ReadDocumentText(HANDLE file, const std::wstring& path, const std::wstring& extension,
                                std::size_t limit, std::string* text) {
  text->clear();
  DocumentKind kind = DocumentKindOf(extension);
  FileSource fileSource(file);
  // A small document is read whole at once, a larger one where its reader
  // looks; a PDF, whose parts are spread all over it, through a view of the
  // whole file.
  std::string small;
  std::optional<MemorySource> memory;
  MappedFile mapped;
  if (fileSource.Size() <= kSmallDocumentBytes) {
    small.resize(static_cast<std::size_t>(fileSource.Size()));
    if (!fileSource.ReadAt(0, small.data(), small.size())) return ReadTextResult::Unreadable;
    memory.emplace(small);
  } else {
    char first = 0;
    if (!fileSource.ReadAt(0, &first, 1)) return ReadTextResult::Unreadable;
    if (kind == DocumentKind::Pdf) {
      if (!mapped.Open(file, kMaxMappedBytes)) return ReadTextResult::Damaged;
      memory.emplace(mapped.Bytes());
    }
  }
  const ByteSource& source = memory ? static_cast<const ByteSource&>(*memory) : fileSource;
  // What is plainly not such a document is skipped before any reader looks at it.
  bool compound = IsCompoundDocumentExtension(extension);
  char magic[8] = {};
  if (compound ? !source.ReadAt(0, magic, 8) || std::memcmp(magic, "\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8) != 0
               : !LooksLikeDocument(kind, source)) {
    return ReadTextResult::Damaged;
  }
  ReadingNote note(path);
  if (note.CrashedBefore()) return ReadTextResult::Damaged;
  if (compound) return ReadCompoundDocument(source, extension, limit, text);
  ReadBudget budget;
  budget.text = limit;
  DocumentContent content = ReadDocument(kind, source, budget);
  if (content.unreadable) return ReadTextResult::Unreadable;
  *text = std::move(content.text);
  if (content.encrypted) return ReadTextResult::Encrypted;
  if (content.cutOff) return ReadTextResult::CutOff;
  return content.damaged ? ReadTextResult::Damaged : ReadTextResult::Read;
}

}  // namespace qv::service
