#include "service/extract/CompoundDocument.h"

#include <windows.h>
#include <objbase.h>
#include <propidl.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>

#include "common/ComBase.h"
#include "service/TextExtractor.h"
#include "service/extract/BinaryOfficeText.h"
#include "service/extract/CodePage.h"
#include "service/extract/Utf8Text.h"

namespace qv::service {
namespace {

// A stream is read up to this size (pictures make up most of a large one).
constexpr ULONGLONG kMaxStreamBytes = 64 * 1024 * 1024;
// Recipients and attachments of one message read at most.
constexpr int kMaxMessageParts = 500;

enum class Kind { None, Word, Excel, PowerPoint, Message };

Kind KindOf(const std::wstring& extension) {
  if (extension == L"doc" || extension == L"dot") return Kind::Word;
  if (extension == L"xls" || extension == L"xlt") return Kind::Excel;
  if (extension == L"ppt" || extension == L"pps" || extension == L"pot") return Kind::PowerPoint;
  if (extension == L"msg") return Kind::Message;
  return Kind::None;
}

// The document's bytes as the storage reads them, from the handle the indexer
// opened (which shares the file with its owner in every way), read-only and
// without locks. Opened so, the storage neither opens the file again nor makes
// the snapshot copy of it that a transacted open shared with writers takes.
class SourceLockBytes : public ComObject<SourceLockBytes, NotCounted, ILockBytes> {
 public:
  explicit SourceLockBytes(const ByteSource& source) : source_(source) {}
  static const InterfaceEntry* InterfaceTable() {
    static const InterfaceEntry table[] = {QV_INTERFACE(SourceLockBytes, ILockBytes), {nullptr, 0}};
    return table;
  }

  STDMETHODIMP ReadAt(ULARGE_INTEGER offset, void* buffer, ULONG size, ULONG* read) override {
    if (read) *read = 0;
    std::uint64_t total = source_.Size();
    if (offset.QuadPart >= total) return S_OK;
    ULONG take = static_cast<ULONG>(std::min<std::uint64_t>(size, total - offset.QuadPart));
    if (!source_.ReadAt(offset.QuadPart, buffer, take)) return STG_E_READFAULT;
    if (read) *read = take;
    return S_OK;
  }
  STDMETHODIMP WriteAt(ULARGE_INTEGER, const void*, ULONG, ULONG* written) override {
    if (written) *written = 0;
    return STG_E_ACCESSDENIED;
  }
  STDMETHODIMP Flush() override { return S_OK; }
  STDMETHODIMP SetSize(ULARGE_INTEGER) override { return STG_E_ACCESSDENIED; }
  STDMETHODIMP LockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) override { return STG_E_INVALIDFUNCTION; }
  STDMETHODIMP UnlockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) override { return STG_E_INVALIDFUNCTION; }
  STDMETHODIMP Stat(STATSTG* stat, DWORD) override {
    if (!stat) return STG_E_INVALIDPOINTER;
    *stat = {};
    stat->type = STGTY_LOCKBYTES;
    stat->cbSize.QuadPart = source_.Size();
    stat->grfMode = STGM_READ | STGM_SHARE_DENY_NONE;
    return S_OK;
  }

 private:
  const ByteSource& source_;
};

// False when there is no such stream; `cutOff` when it was longer than the bound.
bool ReadStream(IStorage* storage, const wchar_t* name, std::string* bytes, bool* cutOff = nullptr) {
  bytes->clear();
  ComPtr<IStream> stream;
  if (FAILED(storage->OpenStream(name, nullptr, STGM_READ | STGM_SHARE_EXCLUSIVE, 0, stream.Put()))) return false;
  STATSTG stat = {};
  if (FAILED(stream->Stat(&stat, STATFLAG_NONAME))) return false;
  ULONGLONG size = stat.cbSize.QuadPart;
  if (cutOff) *cutOff = size > kMaxStreamBytes;
  bytes->resize(static_cast<std::size_t>(size < kMaxStreamBytes ? size : kMaxStreamBytes));
  std::size_t total = 0;
  while (total < bytes->size()) {
    ULONG read = 0;
    ULONG chunk = static_cast<ULONG>(bytes->size() - total < (1u << 20) ? bytes->size() - total : (1u << 20));
    if (FAILED(stream->Read(bytes->data() + total, chunk, &read)) || read == 0) break;
    total += read;
  }
  bytes->resize(total);
  return true;
}

// The title in a document's summary information; empty when there is none.
std::string SummaryTitle(IStorage* storage) {
  ComPtr<IPropertySetStorage> sets;
  if (FAILED(storage->QueryInterface(IID_IPropertySetStorage, sets.PutVoid()))) return {};
  ComPtr<IPropertyStorage> properties;
  if (FAILED(sets->Open(FMTID_SummaryInformation, STGM_READ | STGM_SHARE_EXCLUSIVE, properties.Put()))) return {};
  PROPSPEC titleProperty = {};
  titleProperty.ulKind = PRSPEC_PROPID;
  titleProperty.propid = PIDSI_TITLE;
  PROPVARIANT value;
  PropVariantInit(&value);
  std::string title;
  if (SUCCEEDED(properties->ReadMultiple(1, &titleProperty, &value))) {
    if (value.vt == VT_LPWSTR && value.pwszVal) {
      AppendUtf16(title, reinterpret_cast<const char16_t*>(value.pwszVal), wcslen(value.pwszVal));
    } else if (value.vt == VT_LPSTR && value.pszVal) {
      CodePageToUtf8(kAnsiCodePage, value.pszVal, &title);
    }
  }
  PropVariantClear(&value);
  return title;
}

// One property of a message (or of a recipient or attachment): its Unicode
// stream, else its 8-bit one.
std::string MessageProperty(IStorage* storage, unsigned id) {
  wchar_t name[32];
  std::string bytes, text;
  swprintf(name, 32, L"__substg1.0_%04X001F", id);
  if (ReadStream(storage, name, &bytes)) return Utf16BytesToUtf8(bytes, false);
  swprintf(name, 32, L"__substg1.0_%04X001E", id);
  if (ReadStream(storage, name, &bytes)) {
    while (!bytes.empty() && bytes.back() == '\0') bytes.pop_back();
    if (!CodePageToUtf8(kAnsiCodePage, bytes, &text)) text.clear();
  }
  return text;
}

void Add(std::string& text, const std::string& words) {
  if (words.empty()) return;
  if (!text.empty()) text.push_back(' ');
  text += words;
}

std::string MessageText(IStorage* storage, std::string* subject) {
  std::string text;
  *subject = MessageProperty(storage, 0x0037);                     // subject
  for (unsigned id : {0x0C1Au, 0x0C1Fu, 0x0042u, 0x0E04u, 0x0E03u}) {  // sender, its address, on behalf of, to, cc
    Add(text, MessageProperty(storage, id));
  }
  ComPtr<IEnumSTATSTG> elements;
  std::string attachments;
  if (SUCCEEDED(storage->EnumElements(0, nullptr, 0, elements.Put()))) {
    STATSTG element = {};
    int parts = 0;
    while (parts < kMaxMessageParts && elements->Next(1, &element, nullptr) == S_OK) {
      std::wstring name = element.pwcsName ? element.pwcsName : L"";
      CoTaskMemFree(element.pwcsName);
      if (element.type != STGTY_STORAGE) continue;
      bool recipient = name.rfind(L"__recip_version1.0_", 0) == 0;
      bool attachment = name.rfind(L"__attach_version1.0_", 0) == 0;
      if (!recipient && !attachment) continue;
      ++parts;
      ComPtr<IStorage> part;
      if (FAILED(storage->OpenStorage(name.c_str(), nullptr, STGM_READ | STGM_SHARE_EXCLUSIVE, nullptr, 0, part.Put()))) {
        continue;
      }
      if (recipient) {
        Add(text, MessageProperty(part.Get(), 0x3001));  // display name
        Add(text, MessageProperty(part.Get(), 0x39FE));  // SMTP address
        Add(text, MessageProperty(part.Get(), 0x3003));  // address
      } else {
        std::string file = MessageProperty(part.Get(), 0x3707);  // long file name
        Add(attachments, file.empty() ? MessageProperty(part.Get(), 0x3704) : file);
      }
    }
  }
  Add(text, MessageProperty(storage, 0x1000));  // body
  Add(text, attachments);
  return text;
}

}  // namespace

bool IsCompoundDocumentExtension(const std::wstring& extension) { return KindOf(extension) != Kind::None; }

ReadTextResult ReadCompoundDocument(const ByteSource& source, const std::wstring& extension, std::size_t limit,
                                    std::string* text) {
  text->clear();
  Kind kind = KindOf(extension);
  ComPtr<SourceLockBytes> bytes = MakeComObject<SourceLockBytes>(source);
  ComPtr<IStorage> storage;
  HRESULT hr = StgOpenStorageOnILockBytes(bytes.Get(), nullptr, STGM_READ | STGM_SHARE_DENY_WRITE, nullptr, 0,
                                          storage.Put());
  if (hr == STG_E_READFAULT) return ReadTextResult::Unreadable;
  if (FAILED(hr)) return ReadTextResult::Damaged;
  std::string title;
  BinaryOfficeContent content;
  bool streamCutOff = false;
  if (kind == Kind::Message) {
    content.text = MessageText(storage.Get(), &title);
  } else {
    title = SummaryTitle(storage.Get());
    std::string main;
    if (kind == Kind::Word) {
      std::string table0, table1;
      if (ReadStream(storage.Get(), L"WordDocument", &main, &streamCutOff)) {
        ReadStream(storage.Get(), L"0Table", &table0);
        ReadStream(storage.Get(), L"1Table", &table1);
        content = WordBinaryText(main, table0, table1, limit);
      } else {
        content.damaged = true;
      }
    } else if (kind == Kind::Excel) {
      if (ReadStream(storage.Get(), L"Workbook", &main, &streamCutOff)) {
        content = ExcelBinaryText(main, limit);
      } else {
        content.damaged = true;  // "Book": Excel 5/95, not read
      }
    } else {
      if (ReadStream(storage.Get(), L"PowerPoint Document", &main, &streamCutOff)) {
        content = PowerPointBinaryText(main, limit);
      } else {
        content.damaged = true;
      }
    }
    // Encrypted Office documents keep their own streams in an "EncryptionInfo" one.
    std::string ignored;
    if (ReadStream(storage.Get(), L"EncryptionInfo", &ignored)) content.encrypted = true;
  }
  *text = title.empty() ? std::move(content.text) : title + " " + content.text;
  MakeValidUtf8(*text);
  CutUtf8(*text, limit);
  if (content.encrypted) return ReadTextResult::Encrypted;
  if (content.damaged) return ReadTextResult::Damaged;
  return content.cutOff || streamCutOff ? ReadTextResult::CutOff : ReadTextResult::Read;
}

}  // namespace qv::service
