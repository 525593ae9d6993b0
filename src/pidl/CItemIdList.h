#pragma once
// Owns one item identifier list (or none), freed through the module's
// CPidlManager.

#include <windows.h>
#include <shtypes.h>

#include <cstddef>
#include <string>

#include "common/ComBase.h"
#include "pidl/ItemIdentifier.h"

namespace qv {

class CPidlManager;

class CItemIdList {
 public:
  explicit CItemIdList(CPidlManager& manager) : manager_(&manager) {}
  // Holds a copy of the list; throws std::bad_alloc when the copy fails.
  CItemIdList(CPidlManager& manager, LPCITEMIDLIST list);
  CItemIdList(const CItemIdList& other);
  CItemIdList& operator=(const CItemIdList& other);
  virtual ~CItemIdList();

  // Frees the held list and holds a copy of the new one; returns it.
  LPCITEMIDLIST Set(LPCITEMIDLIST list);
  // Takes over a list the caller owns.
  void Adopt(LPITEMIDLIST list);
  // Gives up the held list to the caller, who frees it (or hands it to the shell).
  LPITEMIDLIST Detach() {
    LPITEMIDLIST list = list_;
    list_ = nullptr;
    return list;
  }
  LPCITEMIDLIST Get() const { return list_; }
  // A new list (the caller frees it): the held list followed by the given one.
  LPITEMIDLIST ConcatWith(LPCITEMIDLIST list) const;
  LPCITEMIDLIST GetLastItem() const;
  const ItemRecord* GetLastData() const;
  bool IsResult() const;
  bool IsFolder() const;
  bool IsRoot() const;
  // The exact path of the file a result's list names; empty when none.
  std::string ResultPath() const;
  // The folder definition document's element for the held list.

 private:
  void Release();

  CPidlManager* manager_;
  LPITEMIDLIST list_ = nullptr;
};

}  // namespace qv
