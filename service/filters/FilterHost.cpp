#include "service/filters/FilterHost.h"

#include <windows.h>
#include <filter.h>
#include <filterr.h>
#include <shlwapi.h>

#include <string>

#include "common/ComBase.h"
#include "common/Holders.h"
#include "service/extract/Utf8Text.h"

namespace qv::service {
namespace {

// IFilter's interface ID, also the registry's name for filter entries.
constexpr IID kFilterInterface = {0x89bcb740, 0x6119, 0x101a, {0xbc, 0xb7, 0x00, 0xdd, 0x01, 0x06, 0x55, 0xaf}};
// A filter that hands out chunks without end is cut off here (the indexer's
// time limit ends one that hands out nothing).
constexpr unsigned long kMaxChunks = 1000000;
constexpr ULONG kTextBufferChars = 4096;
constexpr int kMaxEmptyTexts = 1000;

// Text for the index: paragraph and line separators and control characters
// become spaces; a surrogate pair split between two GetText calls stays whole.
class ChunkText {
 public:
  ChunkText(std::string& out, std::size_t limit) : out_(out), limit_(limit) {}

  bool Full() const { return out_.size() >= limit_; }
  void Break() {
    Flush();
    if (!out_.empty() && out_.back() != ' ') out_.push_back(' ');
  }
  void Add(const wchar_t* text, ULONG length) {
    for (ULONG i = 0; i < length; ++i) {
      char16_t unit = static_cast<char16_t>(text[i]);
      if (unit < 0x20 || unit == 0x2028 || unit == 0x2029 || unit == 0x7F) unit = u' ';
      pending_.push_back(unit);
    }
    // A high surrogate at the end waits for its other half.
    std::size_t whole = pending_.size();
    if (whole > 0 && pending_.back() >= 0xD800 && pending_.back() < 0xDC00) --whole;
    AppendUtf16(out_, pending_.data(), whole);
    pending_.erase(0, whole);
  }
  void Flush() {
    AppendUtf16(out_, pending_.data(), pending_.size());
    pending_.clear();
  }

 private:
  std::string& out_;
  std::size_t limit_;
  std::u16string pending_;
};

FilterStatus StatusOfLoadFailure(HRESULT hr) {
  switch (hr) {
    case FILTER_E_PASSWORD:
      return FilterStatus::Encrypted;
    case FILTER_E_ACCESS:
    case E_ACCESSDENIED:
    case STG_E_ACCESSDENIED:
    case STG_E_SHAREVIOLATION:
    case STG_E_LOCKVIOLATION:
    case HRESULT_FROM_WIN32(ERROR_SHARING_VIOLATION):
    case HRESULT_FROM_WIN32(ERROR_LOCK_VIOLATION):
      return FilterStatus::Unreadable;
    default:
      return FilterStatus::Damaged;
  }
}

// The filter reads the file itself (IPersistFile) or, failing that, a stream
// on it (IPersistStream).
HRESULT LoadFile(IFilter* filter, const std::wstring& path) {
  ComPtr<IPersistFile> file;
  if (SUCCEEDED(filter->QueryInterface(IID_IPersistFile, file.PutVoid()))) {
    return file->Load(path.c_str(), STGM_READ | STGM_SHARE_DENY_NONE);
  }
  ComPtr<IPersistStream> persist;
  if (FAILED(filter->QueryInterface(IID_IPersistStream, persist.PutVoid()))) return E_NOINTERFACE;
  ComPtr<IStream> stream;
  HRESULT hr = SHCreateStreamOnFileEx(path.c_str(), STGM_READ | STGM_SHARE_DENY_NONE, FILE_ATTRIBUTE_NORMAL, FALSE,
                                      nullptr, stream.Put());
  if (FAILED(hr)) return hr;
  return persist->Load(stream.Get());
}

// The text of the chunks of text, as far as the limit.
FilterStatus ReadChunks(IFilter* filter, std::size_t limit, std::string* text) {
  ChunkText out(*text, limit);
  wchar_t buffer[kTextBufferChars];
  for (unsigned long chunks = 0; chunks < kMaxChunks; ++chunks) {
    STAT_CHUNK chunk = {};
    HRESULT hr = filter->GetChunk(&chunk);
    if (hr == FILTER_E_END_OF_CHUNKS) {
      out.Flush();
      return FilterStatus::Read;
    }
    // An embedded object or link whose own filter is missing: the rest goes on.
    if (hr == FILTER_E_EMBEDDING_UNAVAILABLE || hr == FILTER_E_LINK_UNAVAILABLE) continue;
    if (hr == FILTER_E_PASSWORD) return FilterStatus::Encrypted;
    if (FAILED(hr)) {
      out.Flush();
      return text->empty() ? FilterStatus::Damaged : FilterStatus::Read;
    }
    if (!(chunk.flags & CHUNK_TEXT)) continue;
    if (chunk.breakType != CHUNK_NO_BREAK) out.Break();
    // A filter that keeps answering with no text moves on to the next chunk.
    for (int empty = 0; empty < kMaxEmptyTexts;) {
      if (out.Full()) {
        out.Flush();
        CutUtf8(*text, limit);
        return FilterStatus::CutOff;
      }
      ULONG length = kTextBufferChars;
      hr = filter->GetText(&length, buffer);
      if (FAILED(hr)) break;  // FILTER_E_NO_MORE_TEXT, or the chunk had none after all
      if (length > kTextBufferChars) length = kTextBufferChars;
      if (length == 0) ++empty;
      out.Add(buffer, length);
      if (hr == FILTER_S_LAST_TEXT) break;
    }
  }
  out.Flush();
  CutUtf8(*text, limit);
  return FilterStatus::CutOff;
}

bool ReadExactly(HANDLE pipe, void* data, DWORD size) {
  auto* bytes = static_cast<char*>(data);
  while (size > 0) {
    DWORD read = 0;
    if (!ReadFile(pipe, bytes, size, &read, nullptr) || read == 0) return false;
    bytes += read;
    size -= read;
  }
  return true;
}

bool WriteAll(HANDLE pipe, const char* data, std::size_t size) {
  while (size > 0) {
    DWORD written = 0;
    if (!WriteFile(pipe, data, static_cast<DWORD>(size), &written, nullptr) || written == 0) return false;
    data += written;
    size -= written;
  }
  return true;
}

// A filter that crashes ends the host at once and quietly: no error report,
// no debugger; the indexer sees the pipe close.
LONG WINAPI EndQuietly(EXCEPTION_POINTERS* exception) {
  TerminateProcess(GetCurrentProcess(), exception ? exception->ExceptionRecord->ExceptionCode : 1);
  return EXCEPTION_EXECUTE_HANDLER;
}

}  // namespace

FilterStatus ReadWithFilter(const CLSID& filterClass, const std::wstring& path, std::size_t limit, std::string* text) {
  text->clear();
  ComPtr<IFilter> filter;
  if (FAILED(CoCreateInstance(filterClass, nullptr, CLSCTX_INPROC_SERVER, kFilterInterface, filter.PutVoid()))) {
    return FilterStatus::NoFilter;
  }
  HRESULT hr = LoadFile(filter.Get(), path);
  if (FAILED(hr)) return StatusOfLoadFailure(hr);
  ULONG flags = 0;
  hr = filter->Init(IFILTER_INIT_CANON_PARAGRAPHS | IFILTER_INIT_HARD_LINE_BREAKS | IFILTER_INIT_CANON_HYPHENS |
                        IFILTER_INIT_CANON_SPACES | IFILTER_INIT_APPLY_INDEX_ATTRIBUTES | IFILTER_INIT_INDEXING_ONLY |
                        IFILTER_INIT_DISABLE_EMBEDDED,
                    0, nullptr, &flags);
  if (FAILED(hr)) return StatusOfLoadFailure(hr);
  FilterStatus status = ReadChunks(filter.Get(), limit, text);
  MakeValidUtf8(*text);
  CutUtf8(*text, limit);
  return status;
}

int RunFilterHost() {
  SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX | SEM_NOOPENFILEERRORBOX);
  SetUnhandledExceptionFilter(EndQuietly);
  // Low CPU, I/O and memory priority, as the watcher runs.
  SetPriorityClass(GetCurrentProcess(), PROCESS_MODE_BACKGROUND_BEGIN);
  // The pipe is the host's alone: a filter that writes to standard output, or
  // starts a program, never reaches it.
  HANDLE pipe = GetStdHandle(STD_INPUT_HANDLE);
  if (!pipe || pipe == INVALID_HANDLE_VALUE || pipe != GetStdHandle(STD_OUTPUT_HANDLE)) return 1;
  SetHandleInformation(pipe, HANDLE_FLAG_INHERIT, 0);
  SetStdHandle(STD_INPUT_HANDLE, nullptr);
  SetStdHandle(STD_OUTPUT_HANDLE, nullptr);
  SetStdHandle(STD_ERROR_HANDLE, nullptr);
  ComInitialization com;
  std::uint32_t ready = kHostReady;
  if (!WriteAll(pipe, reinterpret_cast<const char*>(&ready), sizeof ready)) return 1;
  std::string text;
  for (;;) {
    char header[kRequestHeaderBytes];
    if (!ReadExactly(pipe, header, sizeof header)) return 0;  // the indexer is done
    std::uint32_t pathChars = 0;
    std::optional<FilterRequest> request = DecodeFilterRequestHeader(header, &pathChars);
    if (!request) return 1;
    request->path.resize(pathChars);
    if (!ReadExactly(pipe, request->path.data(), pathChars * sizeof(wchar_t))) return 1;
    if (request->path.find(L'\0') != std::wstring::npos) return 1;
    FilterStatus status = FilterStatus::Damaged;
    try {
      status = ReadWithFilter(request->filter, request->path, request->textLimit, &text);
    } catch (...) {
      status = FilterStatus::Damaged;
      text.clear();
    }
    if (status != FilterStatus::Read && status != FilterStatus::CutOff) text.clear();
    std::string reply = EncodeFilterReplyHeader(status, static_cast<std::uint32_t>(text.size()));
    if (!WriteAll(pipe, reply.data(), reply.size()) || !WriteAll(pipe, text.data(), text.size())) return 1;
  }
}

}  // namespace qv::service
