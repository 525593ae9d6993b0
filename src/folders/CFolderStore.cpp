#include "folders/CFolderStore.h"

#include <cstdio>
#include <cstdlib>
#include <algorithm>
#include <cstring>
#include <exception>

#include "folders/CDocumentLock.h"
#include "common/Holders.h"
#include "folders/UserPaths.h"
#include "common/ModulePaths.h"
#include "common/Text.h"
#include "pidl/CPidlManager.h"

namespace qv {
namespace {

// The import library has no definition of this interface's IID.
const IID kIidXmlDomDocument2 = {0x2933BF95, 0x7B36, 0x11D2, {0xB2, 0x0E, 0x00, 0xC0, 0x4F, 0x98, 0x3E, 0x60}};

constexpr char kNameAttribute[] = "name";
constexpr char kQueryAttribute[] = "query";
constexpr char kCategoryAttribute[] = "category";
constexpr char kRankingAttribute[] = "ranking";
constexpr char kMaxResultsAttribute[] = "maxResults";
constexpr char kStyleAttribute[] = "style";
constexpr char kSortAttribute[] = "sort";
constexpr char kRecency[] = "recency";
constexpr char kRelevance[] = "relevance";
constexpr char kNewFolderCategory[] = "file";

Bstr WideBstr(const std::string& text) { return Bstr(ToWide(text).c_str()); }

// Places an error message where a reader expected the node's text, so a damaged
// folder shows what went wrong instead of stale data.
std::size_t PlaceMessage(const char* message, char* buffer, std::size_t capacity) {
  return CopyText(message, buffer, capacity);
}

// The leading decimal integer of a text (blanks and a sign may lead), 0 when it
// has none; clamped to the 32-bit range.
std::int32_t LeadingInteger(const char* text) {
  long long value = std::strtoll(text, nullptr, 10);
  if (value > INT32_MAX) return INT32_MAX;
  if (value < INT32_MIN) return INT32_MIN;
  return static_cast<std::int32_t>(value);
}

// The attribute node of an element, or null when it has none of that name.
// Throws when the node has no attribute map at all (a comment, say).
ComPtr<IXMLDOMNode> FindAttributeNode(IXMLDOMNode* node, const char* attribute) {
  ComPtr<IXMLDOMNamedNodeMap> attributes;
  HRESULT hr = node->get_attributes(attributes.Put());
  if (FAILED(hr) || !attributes) throw ComError(FAILED(hr) ? hr : E_FAIL, IID_IXMLDOMNode);
  ComPtr<IXMLDOMNode> found;
  Bstr name = WideBstr(attribute);
  ThrowIfFailed(attributes->getNamedItem(name.Get(), found.Put()), IID_IXMLDOMNamedNodeMap);
  return found;
}

std::string NodeValue(IXMLDOMNode* node) {
  Variant value;
  ThrowIfFailed(node->get_nodeValue(value.Put()), IID_IXMLDOMNode);
  if (value.Type() != VT_BSTR) return {};
  return ToUtf8(V_BSTR(value.Get()), SysStringLen(V_BSTR(value.Get())));
}

// An XPath string literal that stands for exactly the given text.
std::wstring WideXPathLiteral(const std::wstring& text) {
  if (text.find(L'"') == std::wstring::npos) return L"\"" + text + L"\"";
  if (text.find(L'\'') == std::wstring::npos) return L"'" + text + L"'";
  std::wstring literal = L"concat(";
  std::size_t start = 0;
  bool first = true;
  while (true) {
    std::size_t quote = text.find(L'"', start);
    std::wstring piece = text.substr(start, quote == std::wstring::npos ? std::wstring::npos : quote - start);
    if (!piece.empty()) {
      literal += (first ? L"\"" : L", \"") + piece + L"\"";
      first = false;
    }
    if (quote == std::wstring::npos) break;
    literal += first ? L"'\"'" : L", '\"'";
    first = false;
    start = quote + 1;
  }
  return literal + L")";
}

bool IsDocumentElement(IXMLDOMNode* node) {
  ComPtr<IXMLDOMNode> parent;
  if (FAILED(node->get_parentNode(parent.Put())) || !parent) return true;
  DOMNodeType type = NODE_INVALID;
  parent->get_nodeType(&type);
  return type == NODE_DOCUMENT;
}

// Serialises the store's operations: hosts reach the one store from several
// threads, and the parser's document is used by one thread at a time.
class StoreLock {
 public:
  StoreLock() { EnterCriticalSection(&Section()); }
  ~StoreLock() { LeaveCriticalSection(&Section()); }

 private:
  static CRITICAL_SECTION& Section() {
    static CRITICAL_SECTION section = [] {
      CRITICAL_SECTION s;
      InitializeCriticalSection(&s);
      return s;
    }();
    return section;
  }
};

// The XPath of an element of the document, from its own and its ancestors'
// names; empty for a node outside any document element.
std::wstring ElementPath(IXMLDOMNode* node) {
  std::wstring path;
  ComPtr<IXMLDOMNode> current = ComPtr<IXMLDOMNode>::Share(node);
  while (current) {
    if (IsDocumentElement(current.Get())) return L"/*" + path;
    ComPtr<IXMLDOMNode> attribute = FindAttributeNode(current.Get(), kNameAttribute);
    if (!attribute) return {};
    Variant value;
    ThrowIfFailed(attribute->get_nodeValue(value.Put()), IID_IXMLDOMNode);
    if (value.Type() != VT_BSTR) return {};
    path = L"/folder[@name=" + WideXPathLiteral(V_BSTR(value.Get())) + L"]" + path;
    ComPtr<IXMLDOMNode> parent;
    if (FAILED(current->get_parentNode(parent.Put()))) return {};
    current = parent;
  }
  return {};
}

bool BelongsTo(IXMLDOMNode* node, IXMLDOMDocument2* document) {
  ComPtr<IXMLDOMDocument> owner;
  if (FAILED(node->get_ownerDocument(owner.Put())) || !owner) return false;
  ComPtr<IUnknown> a, b;
  owner->QueryInterface(IID_IUnknown, a.PutVoid());
  document->QueryInterface(IID_IUnknown, b.PutVoid());
  return a && a.Get() == b.Get();
}

// Replacing the file can fail for a moment while another program (a virus
// scanner, a backup) has it open; the save tries again for a short while.
bool IsPassingConflict(DWORD error) { return error == ERROR_SHARING_VIOLATION || error == ERROR_ACCESS_DENIED; }
constexpr int kReplaceAttempts = 10;
constexpr DWORD kReplacePause = 50;

[[noreturn]] void ThrowLastError() { throw ComError(HRESULT_FROM_WIN32(GetLastError()), IID_IXMLDOMDocument); }

// A file removed when the holder ends, unless its path was cleared first.
struct RemovedUnlessKept {
  std::wstring path;
  RemovedUnlessKept() = default;
  RemovedUnlessKept(const RemovedUnlessKept&) = delete;
  RemovedUnlessKept& operator=(const RemovedUnlessKept&) = delete;
  ~RemovedUnlessKept() {
    if (!path.empty()) DeleteFileW(ExtendedLengthPath(path).c_str());
  }
};

// The serialised document with the encoding its declaration names, if it names
// one, changed to UTF-8: the text is written as UTF-8.
std::wstring WithUtf8Declaration(std::wstring text) {
  if (text.rfind(L"<?xml", 0) != 0) return text;
  std::size_t close = text.find(L"?>");
  std::size_t encoding = text.find(L"encoding", 0);
  if (close == std::wstring::npos || encoding == std::wstring::npos || encoding > close) return text;
  std::size_t open = text.find_first_of(L"\"'", encoding);
  if (open == std::wstring::npos || open > close) return text;
  std::size_t end = text.find(text[open], open + 1);
  if (end == std::wstring::npos || end > close) return text;
  return text.replace(open + 1, end - open - 1, L"UTF-8");
}

// Refuses to replace what is in the document's place when it is marked
// read-only or is not a file at all (a directory, a device).
void CheckReplaceable(const std::wstring& path) {
  DWORD attributes = GetFileAttributesW(ExtendedLengthPath(path).c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return;
  if (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE)) {
    throw ComError(kDocumentNotAFile, IID_IXMLDOMDocument);
  }
  if (attributes & FILE_ATTRIBUTE_READONLY) throw ComError(kDocumentReadOnly, IID_IXMLDOMDocument);
}

}  // namespace

// A change to the document: both locks held, and the document brought up to
// date with the file first.
class CFolderStore::ChangeScope {
 public:
  explicit ChangeScope(const CFolderStore& store)
      : store_(store), hold_(store.lock_.get()), exceptions_(std::uncaught_exceptions()) {
    store.RefreshFromFile(true);
  }
  ~ChangeScope() {
    // A change that failed half way leaves the copy as the file is.
    if (std::uncaught_exceptions() > exceptions_) Guarded(0, [&] { return store_.LoadCurrentFile(); });
  }

 private:
  const CFolderStore& store_;
  StoreLock threads_;
  DocumentLockHold hold_;
  int exceptions_;
};

ComPtr<IXMLDOMDocument2> CFolderStore::CreateParser() {
  ComPtr<IXMLDOMDocument2> document;
  CLSID clsid;
  ThrowIfFailed(CLSIDFromProgID(L"Msxml2.DOMDocument.3.0", &clsid), IID_IXMLDOMDocument);
  ThrowIfFailed(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER | CLSCTX_INPROC_HANDLER | CLSCTX_LOCAL_SERVER,
                                 kIidXmlDomDocument2, document.PutVoid()),
                kIidXmlDomDocument2);
  document->put_async(VARIANT_FALSE);
  document->put_resolveExternals(VARIANT_FALSE);
  document->put_validateOnParse(VARIANT_FALSE);
  // MSXML 3.0 evaluates the older pattern language unless told otherwise; the
  // lookups here are XPath 1.0 (concat() among them).
  Variant language;
  V_VT(language.Get()) = VT_BSTR;
  V_BSTR(language.Get()) = Bstr(L"XPath").Detach();
  Bstr property(L"SelectionLanguage");
  ThrowIfFailed(document->setProperty(property.Get(), *language.Get()), kIidXmlDomDocument2);
  return document;
}

CFolderStore::CFolderStore(std::wstring documentPath) : path_(std::move(documentPath)) {
  document_ = CreateParser();
  if (!path_.empty()) lock_ = std::make_unique<CDocumentLock>(path_);
  Load();
}

CFolderStore::~CFolderStore() = default;

std::wstring CFolderStore::DefaultDocumentPath() {
  std::wstring directory = DataDirectory();
  return directory.empty() ? std::wstring() : directory + kDocumentFileNameW;
}

int CFolderStore::Load() {
  StoreLock lock;
  return Guarded(0, [&] {
    DocumentLockHold hold(lock_.get());
    return LoadCurrentFile();
  });
}

int CFolderStore::LoadCurrentFile() const {
  ComPtr<IXMLDOMDocument2> document = CreateParser();
  FileStamp stamp;
  FileStamp::Read(path_, stamp);
  bool damaged = false;
  VARIANT_BOOL loaded = VARIANT_FALSE;
  if (stamp.exists) {
    // A file another program holds open without sharing it cannot be told from a
    // damaged one by the parser: the copy in memory stays until it can be read.
    UniqueHandle readable = FileHandle(CreateFileW(path_.c_str(), GENERIC_READ,
                                                   FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                                   OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!readable && IsPassingConflict(GetLastError()) && generation_ > 0) return 0;
    readable.Reset();
    Variant file;
    V_VT(file.Get()) = VT_BSTR;
    V_BSTR(file.Get()) = Bstr(path_.c_str()).Detach();
    damaged = FAILED(document->load(*file.Get(), &loaded)) || loaded != VARIANT_TRUE;
  }
  if (loaded != VARIANT_TRUE) {
    Bstr fresh = WideBstr(kFreshDocument);
    if (FAILED(document->loadXML(fresh.Get(), &loaded)) || loaded != VARIANT_TRUE) return 0;
  }
  document_ = document;
  loaded_ = stamp;
  FileGlance::Read(path_, glanced_);
  damagedFileOnDisk_ = damaged;
  ++generation_;
  return 1;
}

void CFolderStore::Refresh() const { RefreshFromFile(false); }

void CFolderStore::RefreshFromFile(bool thorough) const {
  if (path_.empty()) return;
  StoreLock lock;
  Guarded(false, [&] {
    // A lookup first glances at the file (the common case: nothing changed);
    // a change always compares the full stamp.
    FileGlance glance;
    bool glanced = !thorough && FileGlance::Read(path_, glance);
    if (glanced && glance == glanced_) return false;
    FileStamp now;
    // A file that cannot be examined for the moment keeps the copy in memory.
    if (!FileStamp::Read(path_, now)) return false;
    if (now == loaded_) {
      // Touched but not replaced or written: the next glance need not look further.
      if (glanced) glanced_ = glance;
      return false;
    }
    DocumentLockHold hold(lock_.get());
    // Read again under the lock: the writer that changed the file has finished.
    if (FileStamp::Read(path_, now) && now != loaded_) LoadCurrentFile();
    return true;
  });
}

unsigned CFolderStore::Generation() const {
  StoreLock lock;
  return generation_;
}

void CFolderStore::SetDamagedFileAside() {
  SYSTEMTIME now;
  GetLocalTime(&now);
  wchar_t stamp[32];
  std::swprintf(stamp, 32, L"%04u%02u%02u-%02u%02u%02u", now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute,
                now.wSecond);
  std::wstring base = path_ + L".damaged-" + stamp;
  for (int attempt = 1; attempt < 1000; ++attempt) {
    std::wstring aside = attempt == 1 ? base : base + L"-" + std::to_wstring(attempt);
    // MoveFileW never replaces an existing file, so an earlier copy is never lost.
    if (MoveFileW(ExtendedLengthPath(path_).c_str(), ExtendedLengthPath(aside).c_str())) {
      damagedFileOnDisk_ = false;
      return;
    }
    DWORD error = GetLastError();
    if (error == ERROR_FILE_NOT_FOUND) {
      damagedFileOnDisk_ = false;
      return;
    }
    if (error != ERROR_ALREADY_EXISTS && error != ERROR_FILE_EXISTS) break;
  }
  // The user's file could not be kept: refuse to write over it.
  throw ComError(HRESULT_FROM_WIN32(ERROR_CANNOT_MAKE), IID_IXMLDOMDocument);
}

int CFolderStore::Save() {
  StoreLock lock;
  if (path_.empty()) throw ComError(HRESULT_FROM_WIN32(ERROR_PATH_NOT_FOUND), IID_IXMLDOMDocument);
  DocumentLockHold hold(lock_.get());
  CheckReplaceable(path_);
  FileStamp now;
  if (FileStamp::Read(path_, now) && now != loaded_) {
    // Another process saved since this copy was read: writing it would undo
    // that change. The copy takes the file's version; the caller's change is refused.
    LoadCurrentFile();
    throw ComError(kDocumentChangedElsewhere, IID_IXMLDOMDocument);
  }
  if (damagedFileOnDisk_) SetDamagedFileAside();
  WriteFile();
  return 1;
}

void CFolderStore::WriteFile() {
  // The document is serialised here and written to a temporary file beside the
  // real one, every write checked; only a temporary file that holds all of it
  // and reads back as the same document replaces the file, in one step. Any
  // failure leaves the previous file as it was and no temporary file behind.
  Bstr xml;
  ThrowIfFailed(document_->get_xml(xml.Put()), IID_IXMLDOMDocument);
  std::wstring text = WithUtf8Declaration(std::wstring(xml.Get() ? xml.Get() : L"", xml.Length()));
  std::string bytes = ToUtf8(text);

  std::wstring directory = path_.substr(0, path_.find_last_of(L'\\') + 1);
  if (directory.empty()) directory = L".\\";
  RemovedUnlessKept temporary;
  UniqueHandle file;
  for (unsigned attempt = 0; !file; ++attempt) {
    wchar_t name[40];
    swprintf(name, 40, L"qvx%08lx-%u.tmp", GetCurrentProcessId(), GetTickCount() + attempt);
    std::wstring candidate = directory + name;
    file = FileHandle(CreateFileW(ExtendedLengthPath(candidate).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
    if (file) {
      temporary.path = candidate;
    } else if (GetLastError() != ERROR_FILE_EXISTS || attempt > 100) {
      throw ComError(HRESULT_FROM_WIN32(GetLastError()), IID_IXMLDOMDocument);
    }
  }
  for (std::size_t done = 0; done < bytes.size();) {
    DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size() - done, 1u << 20));
    DWORD written = 0;
    if (!::WriteFile(file.Get(), bytes.data() + done, chunk, &written, nullptr)) ThrowLastError();
    // A short write without an error is a full disk all the same.
    if (written != chunk) throw ComError(HRESULT_FROM_WIN32(ERROR_DISK_FULL), IID_IXMLDOMDocument);
    done += written;
  }
  if (!FlushFileBuffers(file.Get())) ThrowLastError();
  LARGE_INTEGER size = {};
  if (!GetFileSizeEx(file.Get(), &size)) ThrowLastError();
  if (static_cast<std::uint64_t>(size.QuadPart) != bytes.size()) {
    throw ComError(HRESULT_FROM_WIN32(ERROR_DISK_FULL), IID_IXMLDOMDocument);
  }
  file.Reset();
  VerifyWrittenFile(temporary.path, text);

  HRESULT hr = S_OK;
  for (int attempt = 1;; ++attempt) {
    if (MoveFileExW(ExtendedLengthPath(temporary.path).c_str(), ExtendedLengthPath(path_).c_str(),
                    MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
      break;
    }
    DWORD error = GetLastError();
    if (!IsPassingConflict(error) || attempt >= kReplaceAttempts) {
      hr = HRESULT_FROM_WIN32(error);
      break;
    }
    Sleep(kReplacePause);
  }
  if (FAILED(hr)) throw ComError(hr, IID_IXMLDOMDocument);
  temporary.path.clear();
  FileStamp::Read(path_, loaded_);
  FileGlance::Read(path_, glanced_);
  ++generation_;
}

void CFolderStore::VerifyWrittenFile(const std::wstring& file, const std::wstring& text) {
  ComPtr<IXMLDOMDocument2> check = CreateParser();
  Variant source;
  V_VT(source.Get()) = VT_BSTR;
  V_BSTR(source.Get()) = Bstr(file.c_str()).Detach();
  VARIANT_BOOL loaded = VARIANT_FALSE;
  Bstr reread;
  if (FAILED(check->load(*source.Get(), &loaded)) || loaded != VARIANT_TRUE || FAILED(check->get_xml(reread.Put())) ||
      std::wstring(reread.Get() ? reread.Get() : L"", reread.Length()) != text) {
    throw ComError(kDocumentNotWrittenWhole, IID_IXMLDOMDocument);
  }
}

std::string CFolderStore::XPathLiteral(const std::string& text) {
  if (text.find('"') == std::string::npos) return "\"" + text + "\"";
  if (text.find('\'') == std::string::npos) return "'" + text + "'";
  // Both quotation marks: join the pieces between double quotation marks with
  // single-quoted double quotation marks.
  std::string literal = "concat(";
  std::size_t start = 0;
  bool first = true;
  auto add = [&](const std::string& argument) {
    if (!first) literal += ", ";
    literal += argument;
    first = false;
  };
  while (true) {
    std::size_t quote = text.find('"', start);
    std::string piece = text.substr(start, quote == std::string::npos ? std::string::npos : quote - start);
    if (!piece.empty()) add("\"" + piece + "\"");
    if (quote == std::string::npos) break;
    add("'\"'");
    start = quote + 1;
  }
  return literal + ")";
}

std::string CFolderStore::BuildFolderPath(LPCITEMIDLIST list) {
  std::string expression;
  for (LPCITEMIDLIST item = list; CPidlManager::KindOf(item) != ItemKind::None;
       item = CPidlManager::GetNextItem(item)) {
    ItemKind kind = CPidlManager::KindOf(item);
    if (kind == ItemKind::Result) break;
    expression += '/';
    if (kind == ItemKind::Folder) {
      expression += "folder[@name=" + XPathLiteral(CPidlManager::ItemName(item)) + "]";
    } else {
      expression += '*';
    }
  }
  return expression;
}

ComPtr<IXMLDOMNode> CFolderStore::FindFolderNode(LPCITEMIDLIST list) const {
  StoreLock lock;
  Refresh();
  return Guarded(ComPtr<IXMLDOMNode>(), [&] {
    ComPtr<IXMLDOMNode> node;
    std::string expression = BuildFolderPath(list);
    if (expression.empty()) return node;
    Bstr query = WideBstr(expression);
    if (document_->selectSingleNode(query.Get(), node.Put()) != S_OK) node.Reset();
    return node;
  });
}

ComPtr<IXMLDOMNode> CFolderStore::FindChildFolder(IXMLDOMNode* parent, const char* name) const {
  StoreLock lock;
  return Guarded(ComPtr<IXMLDOMNode>(), [&] {
    ComPtr<IXMLDOMNode> node;
    if (!parent || !name) return node;
    Bstr query = WideBstr("folder[@name=" + XPathLiteral(name) + "]");
    if (parent->selectSingleNode(query.Get(), node.Put()) != S_OK) node.Reset();
    return node;
  });
}

bool CFolderStore::HasChildNamed(IXMLDOMNode* parent, const std::string& name, const std::string& except) const {
  StoreLock lock;
  return Guarded(false, [&] {
    if (!parent) return false;
    std::wstring wanted = ToWide(name);
    ComPtr<IXMLDOMNodeList> children;
    Bstr query(L"folder");
    if (FAILED(parent->selectNodes(query.Get(), children.Put())) || !children) return false;
    ComPtr<IXMLDOMNode> child;
    while (children->nextNode(child.Put()) == S_OK && child) {
      std::string childName = NodeAttributeText(child.Get(), kNameAttribute);
      if (except.empty() || childName != except) {
        std::wstring other = ToWide(childName);
        if (CompareStringOrdinal(other.c_str(), static_cast<int>(other.size()), wanted.c_str(),
                                 static_cast<int>(wanted.size()), TRUE) == CSTR_EQUAL) {
          return true;
        }
      }
      child.Reset();
    }
    return false;
  });
}

std::size_t CFolderStore::GetNodeName(IXMLDOMNode* node, char* buffer, std::size_t capacity) {
  if (!buffer || capacity == 0) return 0;
  try {
    if (!node) throw ComError(E_POINTER, IID_IXMLDOMNode);
    Bstr name;
    ThrowIfFailed(node->get_nodeName(name.Put()), IID_IXMLDOMNode);
    return CopyText(ToUtf8(name.Get(), name.Length()).c_str(), buffer, capacity);
  } catch (...) {
    return PlaceMessage("GetNodeName exception", buffer, capacity);
  }
}

std::size_t CFolderStore::GetNodeValue(IXMLDOMNode* node, char* buffer, std::size_t capacity) {
  if (!buffer || capacity == 0) return 0;
  try {
    if (!node) throw ComError(E_POINTER, IID_IXMLDOMNode);
    return CopyText(NodeValue(node).c_str(), buffer, capacity);
  } catch (...) {
    return PlaceMessage("GetNodeValue exception", buffer, capacity);
  }
}

std::size_t CFolderStore::GetNodeAttribute(IXMLDOMNode* node, const char* attribute, char* buffer,
                                           std::size_t capacity) {
  if (!node || !buffer || capacity == 0) return 0;
  ComPtr<IXMLDOMNode> found;
  try {
    found = FindAttributeNode(node, attribute);
  } catch (...) {
    return PlaceMessage("GetNodeAttribute exception", buffer, capacity);
  }
  return found ? GetNodeValue(found.Get(), buffer, capacity) : 0;
}

std::int32_t CFolderStore::GetNodeAttributeInt(IXMLDOMNode* node, const char* attribute, std::int32_t fallback) {
  if (!node) return fallback;
  try {
    ComPtr<IXMLDOMNode> found = FindAttributeNode(node, attribute);
    if (!found) return fallback;
    char text[20] = {};
    CopyText(NodeValue(found.Get()).c_str(), text, sizeof text);
    return text[0] ? LeadingInteger(text) : fallback;
  } catch (...) {
    return fallback;
  }
}

int CFolderStore::SetNodeAttribute(IXMLDOMNode* node, const char* attribute, const char* text) {
  if (!node || !attribute) return 0;
  return Guarded(0, [&] {
    ComPtr<IXMLDOMElement> element;
    if (FAILED(node->QueryInterface(IID_IXMLDOMElement, element.PutVoid())) || !element) return 0;
    Variant value;
    V_VT(value.Get()) = VT_BSTR;
    V_BSTR(value.Get()) = WideBstr(text ? text : "").Detach();
    Bstr name = WideBstr(attribute);
    return SUCCEEDED(element->setAttribute(name.Get(), *value.Get())) ? 1 : 0;
  });
}

int CFolderStore::SetNodeAttributeInt(IXMLDOMNode* node, const char* attribute, std::int32_t value) {
  char text[20];
  std::snprintf(text, sizeof text, "%d", static_cast<int>(value));
  return SetNodeAttribute(node, attribute, text);
}

std::string CFolderStore::NodeAttributeText(IXMLDOMNode* node, const char* attribute) {
  if (!node) return {};
  try {
    ComPtr<IXMLDOMNode> found = FindAttributeNode(node, attribute);
    return found ? NodeValue(found.Get()) : std::string();
  } catch (const ComError&) {
    return "GetNodeAttribute exception";
  }
}

FolderSettings CFolderStore::ReadFolderSettings(IXMLDOMNode* node) {
  FolderSettings settings;
  settings.name = NodeAttributeText(node, kNameAttribute);
  if (settings.name.empty() && node) {
    char name[kNameSize] = {};
    GetNodeName(node, name, sizeof name);
    settings.name = name;
  }
  settings.category = NodeAttributeText(node, kCategoryAttribute);
  settings.maxResults = GetNodeAttributeInt(node, kMaxResultsAttribute, kDefaultMaxResults);
  settings.rankByRecency = lstrcmpiW(ToWide(NodeAttributeText(node, kRankingAttribute)).c_str(), L"recency") == 0;
  settings.query = NodeAttributeText(node, kQueryAttribute);
  settings.style = GetNodeAttributeInt(node, kStyleAttribute, kDefaultStyle);
  settings.sort = NodeAttributeText(node, kSortAttribute);
  return settings;
}

int CFolderStore::WriteFolderSettings(IXMLDOMNode* node, const FolderSettings& settings, const FolderSettings* stored) {
  // Only what changed is written: an attribute the document holds in a form of
  // its own (a ranking spelt otherwise, a number with a sign) stays as it is.
  auto changed = [&](auto member) { return !stored || settings.*member != stored->*member; };
  if (changed(&FolderSettings::name)) SetNodeAttribute(node, kNameAttribute, settings.name.c_str());
  if (changed(&FolderSettings::query)) SetNodeAttribute(node, kQueryAttribute, settings.query.c_str());
  if (changed(&FolderSettings::category)) SetNodeAttribute(node, kCategoryAttribute, settings.category.c_str());
  if (changed(&FolderSettings::rankByRecency)) {
    SetNodeAttribute(node, kRankingAttribute, settings.rankByRecency ? kRecency : kRelevance);
  }
  if (changed(&FolderSettings::maxResults)) SetNodeAttributeInt(node, kMaxResultsAttribute, settings.maxResults);
  if (changed(&FolderSettings::style)) SetNodeAttributeInt(node, kStyleAttribute, settings.style);
  if (changed(&FolderSettings::sort) && !settings.sort.empty())
    SetNodeAttribute(node, kSortAttribute, settings.sort.c_str());
  return 1;
}

int CFolderStore::UpdateFolder(LPCITEMIDLIST oldList, LPCITEMIDLIST newList) {
  ChangeScope scope(*this);
  FolderSettings settings;
  if (!CPidlManager::ReadFolderSettings(CPidlManager::GetLastItem(newList), settings)) return 0;
  ComPtr<IXMLDOMNode> node = FindFolderNode(oldList);
  // Nothing to change: reporting a save here would claim an edit that never happened.
  if (!node) return 0;
  FolderSettings stored = ReadFolderSettings(node.Get());
  // The settings the held items carry may be older than the document's; only
  // what the new item changes against the old one is applied.
  FolderSettings old;
  CPidlManager::ReadFolderSettings(CPidlManager::GetLastItem(oldList), old);
  FolderSettings updated = stored;
  if (settings.name != old.name) updated.name = settings.name;
  if (settings.query != old.query) updated.query = settings.query;
  if (settings.category != old.category) updated.category = settings.category;
  if (settings.rankByRecency != old.rankByRecency) updated.rankByRecency = settings.rankByRecency;
  if (settings.maxResults != old.maxResults) updated.maxResults = settings.maxResults;
  if (settings.style != old.style) updated.style = settings.style;
  if (updated == stored) return 0;
  return ApplyChange(node.Get(), stored, updated);
}

int CFolderStore::ChangeFolder(LPCITEMIDLIST list, const std::function<bool(FolderSettings&)>& change) {
  ChangeScope scope(*this);
  if (CPidlManager::KindOf(CPidlManager::GetLastItem(list)) != ItemKind::Folder) return 0;
  ComPtr<IXMLDOMNode> node = FindFolderNode(list);
  if (!node) return 0;
  FolderSettings stored = ReadFolderSettings(node.Get());
  FolderSettings updated = stored;
  if (!change(updated)) return 0;
  if (updated == stored) return 1;
  return ApplyChange(node.Get(), stored, updated);
}

int CFolderStore::ApplyChange(IXMLDOMNode* node, const FolderSettings& stored, const FolderSettings& updated) {
  if (updated.name != stored.name) {
    // Another process may have given a sibling this name since the caller looked.
    ComPtr<IXMLDOMNode> parent;
    if (FAILED(node->get_parentNode(parent.Put())) || !parent) return 0;
    if (HasChildNamed(parent.Get(), updated.name, stored.name)) return 0;
  }
  WriteFolderSettings(node, updated, &stored);
  try {
    return Save();
  } catch (...) {
    // Not saved: the document in memory goes back to what the file holds.
    WriteFolderSettings(node, stored, &updated);
    throw;
  }
}

ComPtr<IXMLDOMNode> CFolderStore::AddFolder(IXMLDOMNode* parent, const char* name, NameTaken taken,
                                            const char* query) {
  if (!parent) throw ComError(E_POINTER, IID_IXMLDOMNode);
  ChangeScope change(*this);
  // The parent may belong to a copy older than the file; it is found again in
  // the current one by its path.
  ComPtr<IXMLDOMNode> current = ComPtr<IXMLDOMNode>::Share(parent);
  if (!BelongsTo(parent, document_.Get())) {
    std::wstring parentPath = ElementPath(parent);
    current.Reset();
    Bstr query(parentPath.c_str());
    if (parentPath.empty() || document_->selectSingleNode(query.Get(), current.Put()) != S_OK) return nullptr;
  }
  parent = current.Get();
  // Another process may have added a namesake since the caller looked.
  std::string base = name ? name : "";
  std::string chosen = base;
  for (int number = 1; HasChildNamed(parent, chosen); ++number) {
    if (taken == NameTaken::Refuse) return nullptr;
    chosen = base + " (" + std::to_string(number) + ")";
    // A numbered name longer than a folder name may be is refused.
    if (CharacterCount(chosen) > kMaxFolderNameCharacters) return nullptr;
  }
  ComPtr<IXMLDOMElement> element;
  Bstr tag(L"folder");
  ThrowIfFailed(document_->createElement(tag.Get(), element.Put()), IID_IXMLDOMDocument);
  ComPtr<IXMLDOMNode> node = element.As<IXMLDOMNode>(IID_IXMLDOMNode);
  SetNodeAttribute(node.Get(), kNameAttribute, chosen.c_str());
  SetNodeAttribute(node.Get(), kCategoryAttribute, kNewFolderCategory);
  if (query) SetNodeAttribute(node.Get(), kQueryAttribute, query);
  ComPtr<IXMLDOMNode> added;
  ThrowIfFailed(parent->appendChild(node.Get(), added.Put()), IID_IXMLDOMNode);
  Save();
  return added;
}

int CFolderStore::RemoveFolder(LPCITEMIDLIST list) {
  ChangeScope change(*this);
  // Only a list that names a folder removes one: a result's list would name its
  // containing folder, and the namespace root is not a folder at all.
  if (CPidlManager::KindOf(CPidlManager::GetLastItem(list)) != ItemKind::Folder) return 0;
  ComPtr<IXMLDOMNode> node = FindFolderNode(list);
  if (!node || IsDocumentElement(node.Get())) return 0;
  ComPtr<IXMLDOMNode> parent;
  if (FAILED(node->get_parentNode(parent.Put())) || !parent) return 0;
  ComPtr<IXMLDOMNode> removed;
  ThrowIfFailed(parent->removeChild(node.Get(), removed.Put()), IID_IXMLDOMNode);
  return Save();
}

int CFolderStore::MoveFolder(LPCITEMIDLIST source, LPCITEMIDLIST destination) {
  ChangeScope change(*this);
  ComPtr<IXMLDOMNode> target = FindFolderNode(destination);
  if (!target) throw ComError(E_POINTER, IID_IXMLDOMNode);
  ComPtr<IXMLDOMNode> node = FindFolderNode(source);
  if (!node) throw ComError(E_INVALIDARG, IID_IXMLDOMNode);
  // A folder cannot move into itself or into one of its own sub-folders.
  std::string from = BuildFolderPath(source);
  std::string to = BuildFolderPath(destination);
  if (to == from || to.compare(0, from.size() + 1, from + "/") == 0 || IsDocumentElement(node.Get())) return 0;
  // Two folders of one name in one place could not be told apart.
  ComPtr<IXMLDOMNode> parent;
  if (SUCCEEDED(node->get_parentNode(parent.Put())) && parent.Get() != target.Get() &&
      HasChildNamed(target.Get(), NodeAttributeText(node.Get(), kNameAttribute))) {
    return 0;
  }
  ComPtr<IXMLDOMNode> moved;
  ThrowIfFailed(target->appendChild(node.Get(), moved.Put()), IID_IXMLDOMNode);
  return Save();
}

bool CFolderStore::HasSubfolders(LPCITEMIDLIST list) const {
  if (!list || CPidlManager::KindOf(list) == ItemKind::Result) return false;
  StoreLock lock;
  return Guarded(false, [&] {
    ComPtr<IXMLDOMNode> node = FindFolderNode(list);
    VARIANT_BOOL children = VARIANT_FALSE;
    return node && node->hasChildNodes(&children) == S_OK && children == VARIANT_TRUE;
  });
}

}  // namespace qv
