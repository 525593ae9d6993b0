#include "pidl/CPidlManager.h"

#include <objbase.h>
#include <shlobj.h>

#include <cstring>
#include <string>

#include "common/ModulePaths.h"
#include "common/Text.h"

namespace qv {
namespace {

USHORT ItemSize(LPCITEMIDLIST item) { return item ? item->mkid.cb : 0; }

// An item size below 2 cannot step to a next item; such a list ends there.
bool IsEnd(LPCITEMIDLIST item) { return ItemSize(item) < sizeof(USHORT); }

ItemIdentifier* AsIdentifier(LPITEMIDLIST list) { return reinterpret_cast<ItemIdentifier*>(list); }

// The extension's two texts, or null pointers for an item of the older layout.
struct ExtensionText {
  const char* name = nullptr;
  std::size_t nameBytes = 0;
  const char* text = nullptr;
  std::size_t textBytes = 0;
};

// Checks an extension that follows the base record of an item of `cb` bytes.
bool ReadExtension(LPCITEMIDLIST item, ExtensionText& out) {
  USHORT cb = ItemSize(item);
  if (cb < kItemSize + sizeof(ItemExtensionHeader)) return false;
  const BYTE* start = reinterpret_cast<const BYTE*>(item) + kItemSize;
  ItemExtensionHeader header;
  std::memcpy(&header, start, sizeof header);
  if (header.signature != kExtensionSignature || header.version != kExtensionVersion) return false;
  if (header.size != cb - kItemSize) return false;
  if (sizeof header + header.nameBytes + header.textBytes != header.size) return false;
  out.name = reinterpret_cast<const char*>(start + sizeof header);
  out.nameBytes = header.nameBytes;
  out.text = out.name + header.nameBytes;
  out.textBytes = header.textBytes;
  return IsUtf8(out.name, out.nameBytes) && IsUtf8(out.text, out.textBytes);
}

// The longest prefix of ANSI text that fits a field of `size` bytes with its
// terminator, never ending on the first byte of a double-byte character.
std::size_t CopyAnsiBytes(const std::string& ansi, std::size_t size) {
  std::size_t length = 0;
  while (length < ansi.size()) {
    std::size_t step = IsDBCSLeadByte(static_cast<BYTE>(ansi[length])) && length + 1 < ansi.size() ? 2 : 1;
    if (length + step + 1 > size) break;
    length += step;
  }
  return length;
}

// The file system path of a shell ID list, of any length; empty when it has none.
std::string ShellPathOf(LPCITEMIDLIST list) {
  PWSTR path = nullptr;
  if (!list || FAILED(SHGetNameFromIDList(list, SIGDN_FILESYSPATH, &path)) || !path) return {};
  std::string text = ToUtf8(path);
  CoTaskMemFree(path);
  return text;
}

// A field of the base record read as the process code page wrote it.
template <std::size_t N>
std::string AnsiField(const char (&field)[N]) {
  return AnsiToUtf8(field, strnlen(field, N));
}

// Fills a base-record field with the best-fit ANSI copy of the text, for
// readers of the older layout.
template <std::size_t N>
void SetAnsiField(char (&field)[N], const std::string& text) {
  std::string ansi = Utf8ToAnsi(text);
  std::size_t length = CopyAnsiBytes(ansi, N);
  std::memset(field, 0, N);
  std::memcpy(field, ansi.data(), length);
}

// A new item with the base record and an extension holding the two texts.
LPITEMIDLIST CreateExtendedItem(CPidlManager& manager, std::int32_t kind, const std::string& name,
                                const std::string& text) {
  std::size_t extension = sizeof(ItemExtensionHeader) + name.size() + text.size();
  if (kItemSize + extension > kMaxItemSize) return nullptr;
  auto* list = static_cast<BYTE*>(manager.Allocator() ? manager.Allocator()->Alloc(kItemSize + extension + kListOverhead)
                                                      : nullptr);
  if (!list) return nullptr;
  std::memset(list, 0, kItemSize + extension + kListOverhead);
  auto* identifier = reinterpret_cast<ItemIdentifier*>(list);
  identifier->cb = static_cast<USHORT>(kItemSize + extension);
  identifier->record.common.kind = kind;
  ItemExtensionHeader header{kExtensionSignature, static_cast<std::uint16_t>(extension), kExtensionVersion,
                             static_cast<std::uint16_t>(name.size()), static_cast<std::uint16_t>(text.size())};
  std::memcpy(list + kItemSize, &header, sizeof header);
  std::memcpy(list + kItemSize + sizeof header, name.data(), name.size());
  std::memcpy(list + kItemSize + sizeof header + name.size(), text.data(), text.size());
  return reinterpret_cast<LPITEMIDLIST>(list);
}

}  // namespace

// The manager is a module-wide helper, not a COM object: the live-object count
// that decides unloading leaves it out.
CPidlManager::CPidlManager() {
  ThrowIfFailed(SHGetMalloc(allocator_.Put()), IID_IMalloc);
  ThrowIfFailed(SHGetDesktopFolder(desktop_.Put()), IID_IShellFolder);
}

CPidlManager::~CPidlManager() = default;

LPITEMIDLIST CPidlManager::Allocate(std::size_t size) {
  void* memory = allocator_ ? allocator_->Alloc(size) : nullptr;
  if (memory) std::memset(memory, 0, size);
  return static_cast<LPITEMIDLIST>(memory);
}

LPITEMIDLIST CPidlManager::Create(std::int32_t kind) {
  LPITEMIDLIST list = Allocate(kItemSize + kListOverhead);
  if (!list) return nullptr;
  AsIdentifier(list)->cb = kItemSize;
  AsIdentifier(list)->record.common.kind = kind;
  return list;
}

LPITEMIDLIST CPidlManager::CreateFolderItem(const FolderSettings& settings) {
  if (settings.name.size() > 0xFFFF || settings.query.size() > 0xFFFF) return nullptr;
  LPITEMIDLIST list = CreateExtendedItem(*this, kFolderKind, settings.name, settings.query);
  if (!list) return nullptr;
  SearchFolderRecord& record = AsIdentifier(list)->record.folder;
  SetAnsiField(record.name, settings.name);
  SetAnsiField(record.query, settings.query);
  SetAnsiField(record.category, settings.category);
  record.rankByRecency = settings.rankByRecency;
  record.maxResults = settings.maxResults;
  record.style = settings.style;
  return list;
}

LPITEMIDLIST CPidlManager::CreateResultItem(const std::string& name, const std::string& path,
                                            std::uint32_t fileIdList) {
  if (name.size() > 0xFFFF || path.size() > 0xFFFF) return nullptr;
  LPITEMIDLIST list = CreateExtendedItem(*this, kResultKind, name, path);
  if (!list) return nullptr;
  ResultRecord& record = AsIdentifier(list)->record.result;
  SetAnsiField(record.name, name);
  SetAnsiField(record.filePath, path);
  record.fileIdList = fileIdList;
  return list;
}

LPITEMIDLIST CPidlManager::ParseFilePath(const std::string& path) {
  if (path.empty() || !desktop_) return nullptr;
  // Wildcards have no place in a file's path; the shell would match them.
  if (path.find_first_of("*?") != std::string::npos) return nullptr;
  std::wstring wide = ToWide(path);
  if (wide.empty()) return nullptr;
  LPITEMIDLIST list = nullptr;
  if (FAILED(desktop_->ParseDisplayName(nullptr, nullptr, wide.data(), nullptr, &list, nullptr))) return nullptr;
  // The shell may answer a path it had to adjust (a short name, a cut); only a
  // list that gives back exactly this path names this file.
  std::string parsed = ShellPathOf(list);
  if (parsed.empty() || CompareStringOrdinal(ToWide(parsed).c_str(), -1, wide.c_str(), -1, TRUE) != CSTR_EQUAL) {
    CoTaskMemFree(list);
    return nullptr;
  }
  return list;
}

std::uint32_t CPidlManager::RegisterFilePath(const std::string& path) {
  return fileIdLists_.Add(path, ParseFilePath(path));
}

LPCITEMIDLIST CPidlManager::GetFileIdList(LPCITEMIDLIST item) {
  const ResultRecord* record = GetResultRecord(item);
  std::string path = ResultPath(item);
  if (!record || path.empty()) return nullptr;
  if (LPCITEMIDLIST list = fileIdLists_.Find(record->fileIdList, path)) return list;
  // A handle from another process or an earlier run: parse the path here.
  RegisterFilePath(path);
  return fileIdLists_.Find(0, path);
}

LPITEMIDLIST CPidlManager::Copy(LPCITEMIDLIST list) {
  if (!list) return nullptr;
  std::size_t size = GetSize(list);
  LPITEMIDLIST copy = Allocate(size);
  if (copy) std::memcpy(copy, list, size - 1);  // the spare byte stays zero
  return copy;
}

LPITEMIDLIST CPidlManager::Concat(LPCITEMIDLIST first, LPCITEMIDLIST second) {
  if (!first) return Copy(second);
  if (!second) return Copy(first);
  std::size_t firstItems = GetSize(first) - kListOverhead;
  std::size_t secondSize = GetSize(second);
  LPITEMIDLIST joined = Allocate(firstItems + secondSize);
  if (!joined) return nullptr;
  std::memcpy(joined, first, firstItems);
  std::memcpy(reinterpret_cast<BYTE*>(joined) + firstItems, second, secondSize - 1);
  return joined;
}

void CPidlManager::Free(LPITEMIDLIST list) {
  if (list && allocator_) allocator_->Free(list);
}

ItemKind CPidlManager::KindOf(LPCITEMIDLIST item) {
  if (IsEnd(item)) return ItemKind::None;
  if (ItemSize(item) < sizeof(USHORT) + sizeof(std::int32_t)) return ItemKind::Foreign;
  std::int32_t kind;
  std::memcpy(&kind, reinterpret_cast<const BYTE*>(item) + sizeof(USHORT), sizeof kind);
  if (kind != kFolderKind && kind != kResultKind) return ItemKind::Foreign;
  ExtensionText extension;
  if (ItemSize(item) != kItemSize && !ReadExtension(item, extension)) return ItemKind::Foreign;
  if (kind == kFolderKind) return ItemKind::Folder;
  if (kind == kResultKind) return ItemKind::Result;
  return ItemKind::Foreign;
}

LPCITEMIDLIST CPidlManager::GetNextItem(LPCITEMIDLIST item) {
  if (IsEnd(item)) return nullptr;
  return reinterpret_cast<LPCITEMIDLIST>(reinterpret_cast<const BYTE*>(item) + ItemSize(item));
}

LPCITEMIDLIST CPidlManager::GetLastItem(LPCITEMIDLIST list) {
  LPCITEMIDLIST last = nullptr;
  for (LPCITEMIDLIST item = list; !IsEnd(item); item = GetNextItem(item)) last = item;
  return last;
}

std::size_t CPidlManager::GetSize(LPCITEMIDLIST list) {
  if (!list) return 0;
  std::size_t size = 0;
  for (LPCITEMIDLIST item = list; !IsEnd(item); item = GetNextItem(item)) size += ItemSize(item);
  return size + kListOverhead;
}

const ItemRecord* CPidlManager::GetItemRecord(LPCITEMIDLIST item) {
  ItemKind kind = KindOf(item);
  if (kind != ItemKind::Folder && kind != ItemKind::Result) return nullptr;
  return &reinterpret_cast<const ItemIdentifier*>(item)->record;
}

const SearchFolderRecord* CPidlManager::GetFolderRecord(LPCITEMIDLIST item) {
  return KindOf(item) == ItemKind::Folder ? &GetItemRecord(item)->folder : nullptr;
}

const ResultRecord* CPidlManager::GetResultRecord(LPCITEMIDLIST item) {
  return KindOf(item) == ItemKind::Result ? &GetItemRecord(item)->result : nullptr;
}

const ItemExtensionHeader* CPidlManager::GetExtension(LPCITEMIDLIST item) {
  ExtensionText extension;
  if (!GetItemRecord(item) || !ReadExtension(item, extension)) return nullptr;
  return reinterpret_cast<const ItemExtensionHeader*>(reinterpret_cast<const BYTE*>(item) + kItemSize);
}

std::string CPidlManager::ItemName(LPCITEMIDLIST item) {
  const ItemRecord* record = GetItemRecord(item);
  if (!record) return {};
  ExtensionText extension;
  if (ReadExtension(item, extension)) return std::string(extension.name, extension.nameBytes);
  return AnsiField(record->common.name);
}

bool CPidlManager::ReadFolderSettings(LPCITEMIDLIST item, FolderSettings& settings) {
  const SearchFolderRecord* record = GetFolderRecord(item);
  if (!record) return false;
  ExtensionText extension;
  if (ReadExtension(item, extension)) {
    settings.name.assign(extension.name, extension.nameBytes);
    settings.query.assign(extension.text, extension.textBytes);
  } else {
    settings.name = AnsiField(record->name);
    settings.query = AnsiField(record->query);
  }
  settings.category = AnsiField(record->category);
  settings.rankByRecency = record->rankByRecency;
  settings.maxResults = record->maxResults;
  settings.style = record->style;
  return true;
}

std::string CPidlManager::ResultPath(LPCITEMIDLIST item) {
  const ResultRecord* record = GetResultRecord(item);
  if (!record) return {};
  ExtensionText extension;
  if (ReadExtension(item, extension)) return std::string(extension.text, extension.textBytes);
  // An item of the older layout holds the path in the code page of the process
  // that made it, cut to 259 bytes. A path that filled the field may have been
  // cut, and a '?' may stand for a character the code page lacked: neither
  // names one file for certain.
  std::size_t length = strnlen(record->filePath, kPathSize);
  if (length == 0 || length >= kPathSize - 1) return {};
  std::string path = AnsiField(record->filePath);
  if (path.find_first_of("*?") != std::string::npos) return {};
  return path;
}

std::uint32_t CPidlManager::ResultRank(LPCITEMIDLIST item) {
  const ResultRecord* record = GetResultRecord(item);
  return record ? (static_cast<std::uint32_t>(record->rankHigh) << 16) | record->rankLow : 0;
}

void CPidlManager::SetResultRank(LPITEMIDLIST item, std::uint32_t rank) {
  if (!GetResultRecord(item)) return;
  if (rank > kMaxItemRank) rank = kMaxItemRank;
  ResultRecord& record = AsIdentifier(item)->record.result;
  record.rankLow = static_cast<std::uint16_t>(rank & 0xFFFF);
  record.rankHigh = static_cast<std::uint8_t>(rank >> 16);
}

std::string CPidlManager::DisplayPath(LPCITEMIDLIST list) {
  std::string path;
  for (LPCITEMIDLIST item = list; !IsEnd(item); item = GetNextItem(item)) {
    ItemKind kind = KindOf(item);
    if (kind == ItemKind::Result) break;
    if (!path.empty()) path += '\\';
    path += kind == ItemKind::Folder ? ItemName(item) : std::string(kProductName);
  }
  return path;
}

std::size_t CPidlManager::GetName(LPCITEMIDLIST item, char* buffer, std::size_t capacity) {
  return CopyText(ItemName(item).c_str(), buffer, capacity);
}

std::size_t CPidlManager::GetPath(LPCITEMIDLIST list, char* buffer, std::size_t capacity) {
  if (!buffer || capacity == 0) return 0;
  return CopyText(DisplayPath(list).c_str(), buffer, capacity);
}

int CPidlManager::CompareNames(const std::string& first, const std::string& second) {
  std::wstring a = ToWide(first);
  std::wstring b = ToWide(second);
  // Letter case aside first, as the file system sorts; names that differ only in
  // case (possible in older documents) are still two items, ordered by their code
  // units.
  int order = CompareStringOrdinal(a.c_str(), static_cast<int>(a.size()), b.c_str(), static_cast<int>(b.size()), TRUE);
  if (order == CSTR_EQUAL) {
    order = CompareStringOrdinal(a.c_str(), static_cast<int>(a.size()), b.c_str(), static_cast<int>(b.size()), FALSE);
  }
  return order == CSTR_LESS_THAN ? -1 : (order == CSTR_GREATER_THAN ? 1 : 0);
}

int CPidlManager::CompareItems(LPCITEMIDLIST a, LPCITEMIDLIST b) {
  bool aIsResult = KindOf(a) == ItemKind::Result;
  bool bIsResult = KindOf(b) == ItemKind::Result;
  if (aIsResult != bIsResult) return aIsResult ? 1 : -1;
  int order = CompareNames(ItemName(a), ItemName(b));
  // Two results of one title are two files when their paths differ.
  if (order == 0 && aIsResult) order = CompareNames(ResultPath(a), ResultPath(b));
  return order;
}

int CPidlManager::Compare(LPCITEMIDLIST first, LPCITEMIDLIST second) {
  LPCITEMIDLIST a = first;
  LPCITEMIDLIST b = second;
  for (; !IsEnd(a); a = GetNextItem(a), b = GetNextItem(b)) {
    if (IsEnd(b)) return 1;
    if (int order = CompareItems(a, b)) return order;
  }
  return IsEnd(b) ? 0 : -1;
}

bool CPidlManager::IsSameItem(LPCITEMIDLIST first, LPCITEMIDLIST second) {
  LPCITEMIDLIST a = GetLastItem(first);
  LPCITEMIDLIST b = GetLastItem(second);
  ItemKind kind = KindOf(a);
  if (kind != KindOf(b)) return false;
  if (kind == ItemKind::Result) return ItemName(a) == ItemName(b) && ResultPath(a) == ResultPath(b);
  if (kind != ItemKind::Folder) return true;
  FolderSettings x;
  FolderSettings y;
  ReadFolderSettings(a, x);
  ReadFolderSettings(b, y);
  // The view mode is not a setting of the search.
  y.style = x.style;
  return x == y;
}

bool CPidlManager::IsResultItem(LPCITEMIDLIST item) {
  ItemKind kind = KindOf(item);
  return kind == ItemKind::None || kind == ItemKind::Result;
}

}  // namespace qv
