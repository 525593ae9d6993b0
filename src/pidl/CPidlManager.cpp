#include "pidl/CPidlManager.h"

#include <cstring>
#include <string>

#include "folders/CFolderStore.h"
#include "module/ModulePaths.h"
#include "module/Text.h"
#include "pidl/RecordText.h"

namespace qv {
namespace {

USHORT ItemSize(LPCITEMIDLIST item) { return item ? item->mkid.cb : 0; }

// An item size below 2 cannot step to a next item; such a list ends there.
bool IsEnd(LPCITEMIDLIST item) { return ItemSize(item) < sizeof(USHORT); }

ItemIdentifier* AsIdentifier(LPITEMIDLIST list) { return reinterpret_cast<ItemIdentifier*>(list); }

std::string NameOf(LPCITEMIDLIST item) {
  const ItemRecord* record = CPidlManager::GetItemRecord(item);
  return record ? FieldText(record->common.name) : std::string();
}

}  // namespace

CPidlManager::CPidlManager() {
  CountObject(LiveClass::PidlManager);
  ThrowIfFailed(SHGetMalloc(allocator_.Put()), IID_IMalloc);
  ThrowIfFailed(SHGetDesktopFolder(desktop_.Put()), IID_IShellFolder);
}

CPidlManager::~CPidlManager() { UncountObject(LiveClass::PidlManager); }

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

LPITEMIDLIST CPidlManager::CreateFolderItem(IXMLDOMNode* node) {
  LPITEMIDLIST list = Create(kFolderKind);
  if (list) CFolderStore::ReadFolderRecord(AsIdentifier(list)->record.folder, node);
  return list;
}

LPITEMIDLIST CPidlManager::CreateFolderItem(const SearchFolderRecord& record) {
  LPITEMIDLIST list = Create(kFolderKind);
  if (list) {
    AsIdentifier(list)->record.folder = record;
    AsIdentifier(list)->record.folder.kind = kFolderKind;
  }
  return list;
}

LPITEMIDLIST CPidlManager::CreateResultItem(const ResultRecord& record) {
  LPITEMIDLIST list = Create(kResultKind);
  if (list) {
    ResultRecord& target = AsIdentifier(list)->record.result;
    std::memcpy(target.name, record.name, sizeof target.name);
    std::memcpy(target.filePath, record.filePath, sizeof target.filePath);
    target.fileIdList = record.fileIdList;
  }
  return list;
}

LPITEMIDLIST CPidlManager::ParseFilePath(const char* path) {
  if (!path || !*path || !desktop_) return nullptr;
  std::wstring wide = ToWide(path);
  LPITEMIDLIST list = nullptr;
  if (FAILED(desktop_->ParseDisplayName(nullptr, nullptr, wide.data(), nullptr, &list, nullptr))) return nullptr;
  return list;
}

std::uint32_t CPidlManager::RegisterFilePath(const char* path) {
  return fileIdLists_.Add(path, ParseFilePath(path));
}

LPCITEMIDLIST CPidlManager::GetFileIdList(LPCITEMIDLIST item) {
  const ResultRecord* record = GetResultRecord(item);
  if (!record || record->fileIdList == 0) return nullptr;
  std::string path = FieldText(record->filePath);
  if (LPCITEMIDLIST list = fileIdLists_.Find(record->fileIdList, path.c_str())) return list;
  // A handle from another process or an earlier run: parse the path here.
  RegisterFilePath(path.c_str());
  return fileIdLists_.Find(0, path.c_str());
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
  if (ItemSize(item) != kItemSize) return ItemKind::Foreign;
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

std::size_t CPidlManager::GetName(LPCITEMIDLIST item, char* buffer, std::size_t capacity) {
  return CopyAnsi(NameOf(item).c_str(), buffer, capacity);
}

std::size_t CPidlManager::GetPath(LPCITEMIDLIST list, char* buffer, std::size_t capacity) {
  if (!buffer || capacity == 0) return 0;
  std::string path;
  for (LPCITEMIDLIST item = list; !IsEnd(item) && path.size() < capacity; item = GetNextItem(item)) {
    ItemKind kind = KindOf(item);
    if (kind == ItemKind::Result) break;
    path += kind == ItemKind::Folder ? NameOf(item) : std::string(kProductName);
    path += '\\';
  }
  if (!path.empty() && path.back() == '\\') path.pop_back();
  return CopyAnsi(path.c_str(), buffer, capacity);
}

int CPidlManager::Compare(LPCITEMIDLIST first, LPCITEMIDLIST second) {
  LPCITEMIDLIST a = first;
  LPCITEMIDLIST b = second;
  for (; !IsEnd(a); a = GetNextItem(a), b = GetNextItem(b)) {
    if (IsEnd(b)) return 1;
    bool aIsResult = KindOf(a) == ItemKind::Result;
    bool bIsResult = KindOf(b) == ItemKind::Result;
    if (aIsResult != bIsResult) return aIsResult ? 1 : -1;
    int order = lstrcmpiA(NameOf(a).c_str(), NameOf(b).c_str());
    if (order != 0) return order < 0 ? -1 : 1;
  }
  return IsEnd(b) ? 0 : -1;
}

bool CPidlManager::IsSameItem(LPCITEMIDLIST first, LPCITEMIDLIST second) {
  LPCITEMIDLIST a = GetLastItem(first);
  LPCITEMIDLIST b = GetLastItem(second);
  ItemKind kind = KindOf(a);
  if (kind != KindOf(b)) return false;
  if (kind != ItemKind::Folder && kind != ItemKind::Result) return true;
  if (lstrcmpiA(NameOf(a).c_str(), NameOf(b).c_str()) != 0) return false;
  if (kind == ItemKind::Result) {
    return lstrcmpiA(FieldText(GetResultRecord(a)->filePath).c_str(),
                     FieldText(GetResultRecord(b)->filePath).c_str()) == 0;
  }
  const SearchFolderRecord& x = *GetFolderRecord(a);
  const SearchFolderRecord& y = *GetFolderRecord(b);
  return x.maxResults == y.maxResults && x.rankByRecency == y.rankByRecency &&
         lstrcmpiA(FieldText(x.category).c_str(), FieldText(y.category).c_str()) == 0 &&
         lstrcmpiA(FieldText(x.query).c_str(), FieldText(y.query).c_str()) == 0;
}

bool CPidlManager::IsResultItem(LPCITEMIDLIST item) {
  ItemKind kind = KindOf(item);
  return kind == ItemKind::None || kind == ItemKind::Result;
}

}  // namespace qv
