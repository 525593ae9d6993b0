#include "pidl/CFileIdListTable.h"

#include <objbase.h>

#include "common/Holders.h"

namespace qv {

CFileIdListTable::~CFileIdListTable() {
  for (Entry& entry : entries_) CoTaskMemFree(entry.list);
}

std::uint32_t CFileIdListTable::Add(const std::string& path, LPITEMIDLIST list) {
  if (!list) return 0;
  std::string key = path;
  ExclusiveLock guard(lock_);
  auto found = byPath_.find(key);
  if (found != byPath_.end()) {
    // The first list of a path stays valid for every item that already holds its
    // handle; the newer parse is not needed.
    CoTaskMemFree(list);
    return found->second;
  }
  try {
    entries_.push_back(Entry{key, list});
    auto handle = static_cast<std::uint32_t>(entries_.size());
    byPath_.emplace(std::move(key), handle);
    return handle;
  } catch (...) {
    if (!entries_.empty() && entries_.back().list == list) entries_.pop_back();
    CoTaskMemFree(list);
    return 0;
  }
}

LPCITEMIDLIST CFileIdListTable::Find(std::uint32_t handle, const std::string& key) const {
  SharedLock guard(lock_);
  if (handle > 0 && handle <= entries_.size() && entries_[handle - 1].path == key) {
    return entries_[handle - 1].list;
  }
  auto found = byPath_.find(key);
  return found != byPath_.end() ? entries_[found->second - 1].list : nullptr;
}

std::size_t CFileIdListTable::Size() const {
  SharedLock guard(lock_);
  return entries_.size();
}

}  // namespace qv
