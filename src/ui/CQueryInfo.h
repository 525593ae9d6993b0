#pragma once
// The info tip of one item: the chain of search folder names from the namespace
// root down to the item (a result shows the folders that hold it).

#include <windows.h>
#include <shlobj.h>

#include "common/ComBase.h"
#include "runtime/LiveObjects.h"
#include "pidl/CItemIdList.h"

namespace qv {

class CQueryInfo final : public ComObject<CQueryInfo, LiveCount<LiveClass::QueryInfo>, IQueryInfo> {
 public:
  // item: the item's list below the namespace root; the object keeps a copy.
  explicit CQueryInfo(LPCITEMIDLIST item);

  static const InterfaceEntry* InterfaceTable();

  STDMETHODIMP GetInfoTip(DWORD flags, LPWSTR* tip) override;
  STDMETHODIMP GetInfoFlags(DWORD* flags) override;

 private:
  CItemIdList item_;
};

}  // namespace qv
