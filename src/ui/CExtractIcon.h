#pragma once
// The icon object of one item, handed out by the folder's GetUIObjectOf: its
// answers are positions in the folder's image lists (CIconCache).

#include <windows.h>
#include <shlobj.h>

#include "common/ComBase.h"
#include "runtime/LiveObjects.h"
#include "pidl/CItemIdList.h"

namespace qv {

class CIconCache;

class CExtractIcon final
    : public ComObject<CExtractIcon, LiveCount<LiveClass::ExtractIcon>, IExtractIconA, IExtractIconW> {
 public:
  // `cache` holds the icons of `owner`'s items and lives as long as `owner`,
  // which the object keeps alive; item: the item's list below the namespace
  // root, of which the object keeps a copy.
  CExtractIcon(IUnknown* owner, CIconCache& cache, LPCITEMIDLIST item);

  static const InterfaceEntry* InterfaceTable();

  // IExtractIconA
  STDMETHODIMP GetIconLocation(UINT flags, LPSTR iconFile, UINT capacity, int* index, UINT* resultFlags) override;
  STDMETHODIMP Extract(LPCSTR iconFile, UINT index, HICON* large, HICON* small, UINT sizes) override;
  // IExtractIconW
  STDMETHODIMP GetIconLocation(UINT flags, LPWSTR iconFile, UINT capacity, int* index, UINT* resultFlags) override;
  STDMETHODIMP Extract(LPCWSTR iconFile, UINT index, HICON* large, HICON* small, UINT sizes) override;

 private:
  HRESULT Locate(UINT flags, int* index, UINT* resultFlags);
  HRESULT ExtractAt(UINT index, HICON* large, HICON* small);

  ComPtr<IUnknown> owner_;
  CIconCache* cache_;
  CItemIdList item_;
};

}  // namespace qv
