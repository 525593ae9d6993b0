#include "ui/CDropTarget.h"

#include <shlobj.h>

#include <vector>

#include "module/Holders.h"
#include "module/ModuleUse.h"
#include "pidl/CItemIdList.h"
#include "pidl/CPidlManager.h"
#include "shellfolder/CShellFolder.h"
#include "ui/DataBlocks.h"

namespace qv {
namespace {

bool Offers(IDataObject* data, CLIPFORMAT format) {
  FORMATETC request = GlobalMemoryFormat(format);
  return data->QueryGetData(&request) == S_OK;
}

}  // namespace

CDropTarget::CDropTarget(CShellFolder* folder) : folder_(ComPtr<CShellFolder>::Share(folder)) {
  if (!folder) throw ComError(E_INVALIDARG);
}

CDropTarget::~CDropTarget() = default;

const InterfaceEntry* CDropTarget::InterfaceTable() {
  static const InterfaceEntry table[] = {QV_INTERFACE(CDropTarget, IDropTarget), {}};
  return table;
}

bool CDropTarget::ChooseEffect(DWORD keyState, DWORD* effect) const {
  DWORD allowed = *effect;
  *effect = DROPEFFECT_NONE;
  if (!accepting_) return false;
  DWORD chosen = DROPEFFECT_MOVE;
  if (keyState & MK_CONTROL) chosen = (keyState & MK_SHIFT) ? DROPEFFECT_LINK : DROPEFFECT_COPY;
  // Links to search folders are never made, and an effect the source does not
  // allow is not shown either.
  if (chosen == DROPEFFECT_LINK || !(allowed & chosen)) return false;
  *effect = chosen;
  return true;
}

STDMETHODIMP CDropTarget::DragEnter(IDataObject* data, DWORD keyState, POINTL, DWORD* effect) {
  if (!effect) return E_INVALIDARG;
  return ComBoundary([&]() -> HRESULT {
    accepting_ = data && (Offers(data, PrivateClipboardFormat()) || Offers(data, CF_HDROP));
    ChooseEffect(keyState, effect);
    return S_OK;
  });
}

STDMETHODIMP CDropTarget::DragOver(DWORD keyState, POINTL, DWORD* effect) {
  if (!effect) return E_INVALIDARG;
  ChooseEffect(keyState, effect);
  return S_OK;
}

STDMETHODIMP CDropTarget::DragLeave() {
  accepting_ = false;
  return S_OK;
}

STDMETHODIMP CDropTarget::Drop(IDataObject* data, DWORD keyState, POINTL, DWORD* effect) {
  if (!effect) return E_INVALIDARG;
  if (!data || !ChooseEffect(keyState, effect)) {
    *effect = DROPEFFECT_NONE;
    return E_FAIL;
  }
  DWORD chosen = *effect;
  HRESULT hr = ComBoundary([&]() -> HRESULT {
    StorageMedium medium;
    FORMATETC request = GlobalMemoryFormat(PrivateClipboardFormat());
    HRESULT got = data->GetData(&request, medium.Put());
    if (SUCCEEDED(got) && medium.Get().tymed == TYMED_HGLOBAL) {
      DropFolders(medium.Get().hGlobal, chosen == DROPEFFECT_MOVE);
      return S_OK;
    }
    request = GlobalMemoryFormat(CF_HDROP);
    got = data->GetData(&request, medium.Put());
    if (FAILED(got)) return got;
    // Files are shown as droppable but stay where they are.
    *effect = DROPEFFECT_NONE;
    return S_OK;
  });
  if (FAILED(hr)) *effect = DROPEFFECT_NONE;
  return hr;
}

ComPtr<IShellFolder> CDropTarget::BindToSourceFolder(const DroppedLists& lists) const {
  if (!folder_->AbsoluteList()) return nullptr;
  ComPtr<IShellFolder> desktop;
  if (FAILED(SHGetDesktopFolder(desktop.Put())) || !desktop) return nullptr;
  CItemIdList target(RequirePidlManager(), folder_->AbsoluteList());
  // The order travels in the code of a success result: 0 means the items come
  // from this very folder, and dropping them here changes nothing.
  HRESULT order = desktop->CompareIDs(0, lists.folder, target.Get());
  if (FAILED(order) || static_cast<short>(HRESULT_CODE(order)) == 0) return nullptr;
  ComPtr<IShellFolder> source;
  if (FAILED(desktop->BindToObject(lists.folder, nullptr, IID_IShellFolder, source.PutVoid()))) return nullptr;
  // Only the component's own folders hold search folders to move.
  if (!source || !source.As<IQuorvaneShellFolder>()) return nullptr;
  return source;
}

bool CDropTarget::DropFolders(HGLOBAL block, bool move) {
  GlobalLockGuard lock(block);
  DroppedLists lists;
  if (!lock.Get() || !ReadFolderDropBlock(lock.Get(), lock.Size(), lists)) return false;
  ComPtr<IShellFolder> source = BindToSourceFolder(lists);
  if (!source) return false;

  CPidlManager& manager = RequirePidlManager();
  std::vector<CItemIdList> copies;
  copies.reserve(lists.items.size());
  std::vector<LPCITEMIDLIST> items;
  items.reserve(lists.items.size() + 1);
  for (LPCITEMIDLIST item : lists.items) {
    copies.emplace_back(manager, item);
    items.push_back(copies.back().Get());
  }
  items.push_back(nullptr);
  return SUCCEEDED(folder_->MoveFolders(source.Get(), items.data(), static_cast<UINT>(lists.items.size()), move));
}

}  // namespace qv
