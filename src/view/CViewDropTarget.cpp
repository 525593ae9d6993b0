#include "view/CViewDropTarget.h"

#include <commctrl.h>

#include "pidl/CPidlManager.h"
#include "view/CListWindow.h"

namespace qv {
namespace {

// The identifier a row of the list holds, or null: the rows are the view's, which
// owns the list.
LPCITEMIDLIST RowIdentifier(HWND list, int row) {
  return reinterpret_cast<LPCITEMIDLIST>(SendMessageW(GetParent(list), kRowItemMessage, row, 0));
}

}  // namespace

CViewDropTarget::CViewDropTarget(HWND list, IShellFolder* folder) : list_(list), folder_(ComPtr<IShellFolder>::Share(folder)) {
  if (!folder_) throw ComError(E_INVALIDARG);
}

CViewDropTarget::~CViewDropTarget() = default;

const InterfaceEntry* CViewDropTarget::InterfaceTable() {
  static const InterfaceEntry table[] = {QV_INTERFACE(CViewDropTarget, IDropTarget), {}};
  return table;
}

int CViewDropTarget::FolderRowAt(POINTL point) const {
  if (!IsWindow(list_)) return -1;
  LVHITTESTINFO hit = {};
  hit.pt = {point.x, point.y};
  ScreenToClient(list_, &hit.pt);
  int row = static_cast<int>(SendMessageW(list_, LVM_HITTEST, 0, reinterpret_cast<LPARAM>(&hit)));
  if (row < 0 || !(hit.flags & LVHT_ONITEM)) return -1;
  return CPidlManager::KindOf(RowIdentifier(list_, row)) == ItemKind::Folder ? row : -1;
}

void CViewDropTarget::Highlight(int row, bool on) const {
  if (row < 0 || !IsWindow(list_)) return;
  SendMessageW(GetParent(list_), kDropHighlightMessage, on ? row : -1, 0);
}

void CViewDropTarget::LeaveCurrent() {
  if (current_ && entered_) current_->DragLeave();
  Highlight(currentRow_, false);
  current_.Reset();
  currentRow_ = -1;
  entered_ = false;
}

void CViewDropTarget::Track(int row, DWORD keyState, POINTL point, DWORD* effect) {
  DWORD allowed = *effect;
  *effect = DROPEFFECT_NONE;
  if (entered_ && row == currentRow_) {
    *effect = allowed;
    if (FAILED(current_->DragOver(keyState, point, effect))) *effect = DROPEFFECT_NONE;
    return;
  }
  LeaveCurrent();
  currentRow_ = row;
  LPCITEMIDLIST identifier = row >= 0 ? RowIdentifier(list_, row) : nullptr;
  if (identifier) {
    folder_->GetUIObjectOf(list_, 1, &identifier, IID_IDropTarget, nullptr, current_.PutVoid());
  } else {
    folder_->CreateViewObject(list_, IID_IDropTarget, current_.PutVoid());
  }
  if (!current_) return;
  // Every position gets a target (the background at least), so the cursor shows
  // what a drop there would do; the row lights up only when it would take it.
  *effect = allowed;
  entered_ = SUCCEEDED(current_->DragEnter(data_.Get(), keyState, point, effect));
  if (!entered_) *effect = DROPEFFECT_NONE;
  if (*effect != DROPEFFECT_NONE) Highlight(row, true);
}

STDMETHODIMP CViewDropTarget::DragEnter(IDataObject* data, DWORD keyState, POINTL point, DWORD* effect) {
  if (!data || !effect) return E_INVALIDARG;
  return ComBoundary([&]() -> HRESULT {
    LeaveCurrent();
    data_ = ComPtr<IDataObject>::Share(data);
    Track(FolderRowAt(point), keyState, point, effect);
    return S_OK;
  });
}

STDMETHODIMP CViewDropTarget::DragOver(DWORD keyState, POINTL point, DWORD* effect) {
  if (!effect) return E_INVALIDARG;
  return ComBoundary([&]() -> HRESULT {
    if (!data_) {
      *effect = DROPEFFECT_NONE;
      return S_OK;
    }
    Track(FolderRowAt(point), keyState, point, effect);
    return S_OK;
  });
}

STDMETHODIMP CViewDropTarget::DragLeave() {
  return ComBoundary([&]() -> HRESULT {
    LeaveCurrent();
    data_.Reset();
    return S_OK;
  });
}

STDMETHODIMP CViewDropTarget::Drop(IDataObject* data, DWORD keyState, POINTL point, DWORD* effect) {
  if (!data || !effect) return E_INVALIDARG;
  return ComBoundary([&]() -> HRESULT {
    if (!data_) data_ = ComPtr<IDataObject>::Share(data);
    DWORD allowed = *effect;
    Track(FolderRowAt(point), keyState, point, effect);
    ComPtr<IDropTarget> target = current_;
    bool entered = entered_;
    // The drop may refresh the list (folders moved), which renumbers its rows:
    // the highlight comes off first.
    Highlight(currentRow_, false);
    current_.Reset();
    currentRow_ = -1;
    entered_ = false;
    data_.Reset();
    if (!target || !entered || *effect == DROPEFFECT_NONE) {
      if (target && entered) target->DragLeave();
      *effect = DROPEFFECT_NONE;
      return S_OK;
    }
    *effect = allowed;
    return target->Drop(data, keyState, point, effect);
  });
}

}  // namespace qv
