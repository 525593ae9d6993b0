#include "pidl/CItemIdList.h"

#include <new>

#include "pidl/CPidlManager.h"
#include "common/Text.h"

namespace qv {

CItemIdList::CItemIdList(CPidlManager& manager, LPCITEMIDLIST list) : manager_(&manager) {
  if (list && !Set(list)) throw std::bad_alloc();
}

CItemIdList::CItemIdList(const CItemIdList& other) : CItemIdList(*other.manager_, other.list_) {}

CItemIdList& CItemIdList::operator=(const CItemIdList& other) {
  if (this != &other) {
    LPITEMIDLIST copy = other.list_ ? other.manager_->Copy(other.list_) : nullptr;
    if (other.list_ && !copy) throw std::bad_alloc();
    Release();
    manager_ = other.manager_;
    list_ = copy;
  }
  return *this;
}

CItemIdList::~CItemIdList() { Release(); }

void CItemIdList::Release() {
  manager_->Free(list_);
  list_ = nullptr;
}

LPCITEMIDLIST CItemIdList::Set(LPCITEMIDLIST list) {
  LPITEMIDLIST copy = manager_->Copy(list);
  Release();
  list_ = copy;
  return list_;
}

void CItemIdList::Adopt(LPITEMIDLIST list) {
  Release();
  list_ = list;
}

LPITEMIDLIST CItemIdList::ConcatWith(LPCITEMIDLIST list) const { return manager_->Concat(list_, list); }

LPCITEMIDLIST CItemIdList::GetLastItem() const { return CPidlManager::GetLastItem(list_); }

const ItemRecord* CItemIdList::GetLastData() const { return CPidlManager::GetItemRecord(GetLastItem()); }

bool CItemIdList::IsResult() const { return CPidlManager::KindOf(GetLastItem()) == ItemKind::Result; }

bool CItemIdList::IsFolder() const { return CPidlManager::KindOf(GetLastItem()) == ItemKind::Folder; }

bool CItemIdList::IsRoot() const { return CPidlManager::KindOf(GetLastItem()) == ItemKind::Foreign; }

std::string CItemIdList::ResultPath() const { return CPidlManager::ResultPath(GetLastItem()); }

}  // namespace qv
