// A test filter DLL: QV_TEST_FILTER names what its filters do (words, crash,
// hang); see TestFilters.h.

#include <windows.h>
#include <filter.h>
#include <filterr.h>

#include <algorithm>
#include <new>
#include <string>
#include <vector>

#include "TestFilters.h"
#include "common/ComBase.h"

namespace qv::service::test {
namespace {

constexpr IID kFilterInterface = {0x89bcb740, 0x6119, 0x101a, {0xbc, 0xb7, 0x00, 0xdd, 0x01, 0x06, 0x55, 0xaf}};

enum class Behaviour { Words, Crash, Hang };
volatile LONG g_objects = 0;

struct Counted {
  static void Created() { InterlockedIncrement(&g_objects); }
  static void Destroyed() { InterlockedDecrement(&g_objects); }
};

void NoteLoad(const std::wstring& what) {
  // The log's path may be of any length (the build tree's).
  DWORD size = GetEnvironmentVariableW(kFilterLogVariable, nullptr, 0);
  if (size == 0) return;
  std::wstring log(size, L'\0');
  DWORD length = GetEnvironmentVariableW(kFilterLogVariable, log.data(), size);
  if (length == 0 || length >= size) return;
  log.resize(length);
  HANDLE file = CreateFileW(log.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return;
  std::wstring line = what + L"\n";
  DWORD written = 0;
  WriteFile(file, line.data(), static_cast<DWORD>(line.size() * sizeof(wchar_t)), &written, nullptr);
  CloseHandle(file);
}

struct Chunk {
  CHUNKSTATE kind;
  CHUNK_BREAKTYPE breakType;
  std::wstring text;
};

// The words filter: the file's own words (given in pieces of 5 characters, so
// words run across GetText calls; a file starting "many " without end), a value chunk whose "text" must not be
// indexed, a missing embedding, and two more chunks of known words.
class TestFilter : public ComObject<TestFilter, Counted, IFilter, IPersistFile, IPersistStream> {
 public:
  TestFilter(Behaviour behaviour, bool stream) : behaviour_(behaviour), stream_(stream) {}

  static const InterfaceEntry* InterfaceTable() {
    static const InterfaceEntry table[] = {
        {&kFilterInterface, InterfaceOffset<TestFilter, IFilter>()},
        {&IID_IPersistFile, InterfaceOffset<TestFilter, IPersistFile>()},
        {&IID_IPersistStream, InterfaceOffset<TestFilter, IPersistStream>()},
        {nullptr, 0}};
    return table;
  }
  STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override {
    // The stream filter has no IPersistFile, the others no IPersistStream.
    if ((stream_ && IsEqualIID(riid, IID_IPersistFile)) || (!stream_ && IsEqualIID(riid, IID_IPersistStream))) {
      *ppv = nullptr;
      return E_NOINTERFACE;
    }
    return ComObject::QueryInterface(riid, ppv);
  }

  // IFilter
  STDMETHODIMP Init(ULONG, ULONG, const FULLPROPSPEC*, ULONG* flags) override {
    if (flags) *flags = 0;
    if (content_.find("refuse") != std::string::npos) return FILTER_E_UNKNOWNFORMAT;
    std::wstring own(content_.begin(), content_.end());
    // "many ...": the file's words over and over, past any document's budget.
    if (content_.rfind("many ", 0) == 0) {
      std::wstring repeated;
      while (repeated.size() < 2 * 1024 * 1024) repeated += own + L" ";
      own = std::move(repeated);
    }
    chunks_ = {{CHUNK_TEXT, CHUNK_NO_BREAK, own},
               {CHUNK_VALUE, CHUNK_EOS, L"forbiddenvalue"},
               {CHUNK_TEXT, CHUNK_EOP, L"vermilion"},
               {CHUNK_TEXT, CHUNK_EOS, L"\xD835\xDC00 cerulean"}};
    next_ = 0;
    return S_OK;
  }
  STDMETHODIMP GetChunk(STAT_CHUNK* chunk) override {
    if (behaviour_ == Behaviour::Crash) *static_cast<volatile int*>(nullptr) = 1;
    if (behaviour_ == Behaviour::Hang) Sleep(INFINITE);
    // An embedded object with no filter of its own comes between the value and the rest.
    if (next_ == 2 && !embeddingSkipped_) {
      embeddingSkipped_ = true;
      return FILTER_E_EMBEDDING_UNAVAILABLE;
    }
    if (next_ >= chunks_.size()) return FILTER_E_END_OF_CHUNKS;
    *chunk = {};
    chunk->idChunk = static_cast<ULONG>(next_ + 1);
    chunk->flags = chunks_[next_].kind;
    chunk->breakType = chunks_[next_].breakType;
    current_ = chunks_[next_++].text;
    offset_ = 0;
    return S_OK;
  }
  STDMETHODIMP GetText(ULONG* length, WCHAR* buffer) override {
    if (offset_ >= current_.size()) return FILTER_E_NO_MORE_TEXT;
    ULONG take = static_cast<ULONG>(std::min<std::size_t>({*length, 5, current_.size() - offset_}));
    current_.copy(buffer, take, offset_);
    offset_ += take;
    *length = take;
    return offset_ >= current_.size() ? FILTER_S_LAST_TEXT : S_OK;
  }
  STDMETHODIMP GetValue(PROPVARIANT**) override { return FILTER_E_NO_VALUES; }
  STDMETHODIMP BindRegion(FILTERREGION, REFIID, void**) override { return E_NOTIMPL; }

  // IPersist
  STDMETHODIMP GetClassID(CLSID* id) override {
    *id = stream_ ? kWordsStreamFilter : kWordsFileFilter;
    return S_OK;
  }
  // IPersistFile
  STDMETHODIMP IsDirty() override { return S_FALSE; }
  STDMETHODIMP Load(LPCOLESTR path, DWORD) override {
    NoteLoad(path);
    HANDLE file = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return HRESULT_FROM_WIN32(GetLastError());
    char bytes[4096];
    DWORD read = 0;
    ReadFile(file, bytes, sizeof bytes, &read, nullptr);
    CloseHandle(file);
    content_.assign(bytes, read);
    return S_OK;
  }
  STDMETHODIMP Save(LPCOLESTR, BOOL) override { return E_NOTIMPL; }
  STDMETHODIMP SaveCompleted(LPCOLESTR) override { return E_NOTIMPL; }
  STDMETHODIMP GetCurFile(LPOLESTR*) override { return E_NOTIMPL; }
  // IPersistStream
  STDMETHODIMP Load(IStream* stream) override {
    NoteLoad(L"stream");
    char bytes[4096];
    ULONG read = 0;
    stream->Read(bytes, sizeof bytes, &read);
    content_.assign(bytes, read);
    return S_OK;
  }
  STDMETHODIMP Save(IStream*, BOOL) override { return E_NOTIMPL; }
  STDMETHODIMP GetSizeMax(ULARGE_INTEGER*) override { return E_NOTIMPL; }

 private:
  Behaviour behaviour_;
  bool stream_;
  std::string content_;
  std::vector<Chunk> chunks_;
  std::size_t next_ = 0;
  bool embeddingSkipped_ = false;
  std::wstring current_;
  std::size_t offset_ = 0;
};

class Factory : public ComObject<Factory, NotCounted, IClassFactory> {
 public:
  Factory(Behaviour behaviour, bool stream) : behaviour_(behaviour), stream_(stream) {}
  static const InterfaceEntry* InterfaceTable() {
    static const InterfaceEntry table[] = {QV_INTERFACE(Factory, IClassFactory), {nullptr, 0}};
    return table;
  }
  STDMETHODIMP CreateInstance(IUnknown* outer, REFIID riid, void** ppv) override {
    *ppv = nullptr;
    if (outer) return CLASS_E_NOAGGREGATION;
    auto* filter = new (std::nothrow) TestFilter(behaviour_, stream_);
    if (!filter) return E_OUTOFMEMORY;
    HRESULT hr = filter->QueryInterface(riid, ppv);
    filter->Release();
    return hr;
  }
  STDMETHODIMP LockServer(BOOL) override { return S_OK; }

 private:
  Behaviour behaviour_;
  bool stream_;
};

}  // namespace
}  // namespace qv::service::test

using namespace qv::service::test;

STDAPI DllGetClassObject(REFCLSID id, REFIID riid, void** ppv) {
  *ppv = nullptr;
#if QV_TEST_FILTER == 1
  bool stream = IsEqualCLSID(id, kWordsStreamFilter);
  if (!stream && !IsEqualCLSID(id, kWordsFileFilter)) return CLASS_E_CLASSNOTAVAILABLE;
  Behaviour behaviour = Behaviour::Words;
#elif QV_TEST_FILTER == 2
  bool stream = false;
  if (!IsEqualCLSID(id, kCrashingFilter)) return CLASS_E_CLASSNOTAVAILABLE;
  Behaviour behaviour = Behaviour::Crash;
#else
  bool stream = false;
  if (!IsEqualCLSID(id, kHangingFilter)) return CLASS_E_CLASSNOTAVAILABLE;
  Behaviour behaviour = Behaviour::Hang;
#endif
  auto* factory = new (std::nothrow) Factory(behaviour, stream);
  if (!factory) return E_OUTOFMEMORY;
  HRESULT hr = factory->QueryInterface(riid, ppv);
  factory->Release();
  return hr;
}

STDAPI DllCanUnloadNow() { return g_objects == 0 ? S_OK : S_FALSE; }
