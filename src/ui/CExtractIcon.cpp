#include "ui/CExtractIcon.h"

#include <string>

#include "runtime/ModuleUse.h"
#include "pidl/CPidlManager.h"
#include "ui/CIconCache.h"

namespace qv {

CExtractIcon::CExtractIcon(IUnknown* owner, CIconCache& cache, LPCITEMIDLIST item)
    : owner_(ComPtr<IUnknown>::Share(owner)), cache_(&cache), item_(RequirePidlManager(), item) {}

const InterfaceEntry* CExtractIcon::InterfaceTable() {
  // The platform headers give these two interfaces no __uuidof, hence the IIDs.
  static const InterfaceEntry table[] = {
      {&IID_IExtractIconA, InterfaceOffset<CExtractIcon, IExtractIconA>()},
      {&IID_IExtractIconW, InterfaceOffset<CExtractIcon, IExtractIconW>()},
      {}};
  return table;
}

HRESULT CExtractIcon::Locate(UINT flags, int* index, UINT* resultFlags) {
  if (!index || !resultFlags) return E_POINTER;
  return ComBoundary([&]() -> HRESULT {
    LPCITEMIDLIST item = item_.GetLastItem();
    if (CPidlManager::KindOf(item) == ItemKind::Folder) {
      *index = (flags & GIL_OPENICON) ? CIconCache::kOpenFolderIndex : CIconCache::kClosedFolderIndex;
    } else if (std::string path = CPidlManager::ResultPath(item); !path.empty()) {
      *index = cache_->IndexFor(path.c_str());
    } else {
      // No record, or an older item whose path may not name its file exactly:
      // the generic icon rather than another file's.
      *index = CIconCache::kResultWithoutRecordIndex;
    }
    *resultFlags = GIL_NOTFILENAME;
    return S_OK;
  });
}

HRESULT CExtractIcon::ExtractAt(UINT index, HICON* large, HICON* small) {
  if (large) *large = nullptr;
  if (small) *small = nullptr;
  return ComBoundary([&]() -> HRESULT {
    CIconCache& cache = *cache_;
    if (large) *large = cache.GetLargeIcon(static_cast<int>(index));
    if (small) *small = cache.GetSmallIcon(static_cast<int>(index));
    return S_OK;
  });
}

// The ANSI form answers older hosts with the same positions; it names no file.
STDMETHODIMP CExtractIcon::GetIconLocation(UINT flags, LPSTR, UINT, int* index, UINT* resultFlags) {
  return Locate(flags, index, resultFlags);
}

STDMETHODIMP CExtractIcon::Extract(LPCSTR, UINT index, HICON* large, HICON* small, UINT) {
  return ExtractAt(index, large, small);
}

STDMETHODIMP CExtractIcon::GetIconLocation(UINT flags, LPWSTR iconFile, UINT capacity, int* index,
                                           UINT* resultFlags) {
  HRESULT hr = Locate(flags, index, resultFlags);
  // A host that takes a location (a folder tree, a title bar) gets the shell's
  // own folder icon as a file and index, which every host can load and cache;
  // hosts that ignore GIL_NOTFILENAME would otherwise show a blank document.
  // The view asks without a buffer and keeps the image-list position.
  if (SUCCEEDED(hr) && iconFile && capacity > 0 && CPidlManager::KindOf(item_.GetLastItem()) == ItemKind::Folder) {
    bool located = false;
    ComBoundary([&]() -> HRESULT {
      located = FolderIconLocation((flags & GIL_OPENICON) != 0, iconFile, capacity, index);
      return S_OK;
    });
    if (located) {
      *resultFlags = 0;
      return S_OK;
    }
  }
  if (SUCCEEDED(hr)) {
    // The index is a position in the component's own image lists, not in a
    // file: a host's icon cache, keyed by file and index, must not keep it.
    *resultFlags |= GIL_DONTCACHE;
    if (iconFile && capacity > 0) iconFile[0] = L'\0';
  }
  return hr;
}

STDMETHODIMP CExtractIcon::Extract(LPCWSTR, UINT index, HICON* large, HICON* small, UINT) {
  return ExtractAt(index, large, small);
}

}  // namespace qv
