// The commands of CShellView: keys, toolbar buttons, the view-mode menu and Exec.
// The view changes only its presentation itself (view modes, refresh, renaming
// the selected row); creating, deleting and properties go to the folder.

#include <shlwapi.h>

#include "common/Holders.h"
#include "pidl/CPidlManager.h"
#include "runtime/ModuleUse.h"
#include "resources/resource.h"
#include "view/CShellView.h"
#include "view/IViewFolder.h"

namespace qv {

void CShellView::ExecuteViewCommand(UINT command, UINT, LPARAM) {
  switch (command) {
    case IDC_NEW_FOLDER:
      NewFolder();
      break;
    case IDC_DELETE:
    case IDC_DELETE_KEY:
      DeleteSelectionOrFolder();
      break;
    case IDC_PROPERTIES:
      ShowSelectionProperties();
      break;
    case IDC_RENAME_KEY:
      StartRenameOfSelection();
      break;
    case IDC_MODE_LARGE_ICONS:
      ApplyViewMode(kModeLargeIcons);
      break;
    case IDC_MODE_SMALL_ICONS:
      ApplyViewMode(kModeSmallIcons);
      break;
    case IDC_MODE_LIST:
      ApplyViewMode(kModeList);
      break;
    case IDC_MODE_DETAILS:
      ApplyViewMode(kModeDetails);
      break;
    case IDC_MODE_REPORT:
      ApplyViewMode(kModeReport);
      break;
    case IDC_MODE_THUMBNAILS:
      MessageBeep(0);
      break;
    case IDC_REFRESH_KEY:
      Refresh();
      break;
    default:
      break;
  }
}

std::vector<LPCITEMIDLIST> CShellView::SelectedIdentifiers() const {
  std::vector<LPCITEMIDLIST> items;
  if (!list_ || !list_->Control()) return items;
  int wanted = list_->SelectedCount();
  for (int row = list_->NextItem(-1, LVNI_SELECTED); row != -1 && static_cast<int>(items.size()) < wanted;
       row = list_->NextItem(row, LVNI_SELECTED)) {
    if (LPCITEMIDLIST item = list_->ItemIdentifier(row)) items.push_back(item);
  }
  return items;
}

void CShellView::NewFolder() {
  // The new folder's row starts in label editing, in its sorted place once the
  // rename is done.
  CItemIdList created = viewFolder_->NewFolder();
  if (LPCITEMIDLIST item = created.GetLastItem()) {
    SelectItem(item, SVSI_EDIT | SVSI_SELECT | SVSI_DESELECTOTHERS | SVSI_ENSUREVISIBLE | SVSI_FOCUSED);
  }
}

STDMETHODIMP CShellView::SelectItem(PCUITEMID_CHILD item, SVSIF flags) {
  return ComBoundary([&]() -> HRESULT {
    if (!list_ || !list_->Control()) return E_FAIL;
    if (!item) {
      if (flags & SVSI_DESELECTOTHERS) ListView_SetItemState(list_->Control(), -1, 0, LVIS_SELECTED);
      return S_OK;
    }
    int index = list_->FindItem(item);
    if ((flags & SVSI_EDIT) == SVSI_EDIT) {
      if (index >= 0) {
        list_->SelectOnly(index);
        list_->Focus();
        list_->EditLabel(index);
        return S_OK;
      }
      // A search folder just made here, before the list is filled again.
      STRRET name = {};
      TaskMemory<wchar_t> text;
      TaskMemory<ITEMIDLIST> found;
      if (CPidlManager::KindOf(item) != ItemKind::Folder || FAILED(folder_->GetDisplayNameOf(item, SHGDN_INFOLDER, &name)) ||
          FAILED(StrRetToStrW(&name, item, text.Put())) ||
          FAILED(folder_->ParseDisplayName(nullptr, nullptr, text.Get(), nullptr, found.Put(), nullptr))) {
        return E_INVALIDARG;
      }
      EditNewItemLabel(item);
      return S_OK;
    }
    if (index < 0) return E_INVALIDARG;
    if (flags & SVSI_DESELECTOTHERS) ListView_SetItemState(list_->Control(), -1, 0, LVIS_SELECTED);
    UINT state = ((flags & SVSI_SELECT) ? LVIS_SELECTED : 0) | ((flags & SVSI_FOCUSED) ? LVIS_FOCUSED : 0);
    UINT mask = LVIS_SELECTED | ((flags & SVSI_FOCUSED) ? LVIS_FOCUSED : 0);
    ListView_SetItemState(list_->Control(), index, state, mask);
    if (flags & SVSI_ENSUREVISIBLE) ListView_EnsureVisible(list_->Control(), index, FALSE);
    return S_OK;
  });
}

void CShellView::DeleteSelectionOrFolder() {
  if (!list_ || !list_->Control()) {
    viewFolder_->DeleteFolder(window_, nullptr, true);
    return;
  }
  std::vector<LPCITEMIDLIST> selected = SelectedIdentifiers();
  if (selected.empty()) {
    if (!viewFolder_->IsRootFolder()) viewFolder_->DeleteFolder(window_, nullptr, true);
    return;
  }
  // Copies: deleting refreshes the views, which frees the rows' own identifiers.
  std::vector<CItemIdList> copies;
  copies.reserve(selected.size());
  for (LPCITEMIDLIST item : selected) copies.emplace_back(RequirePidlManager(), item);
  std::vector<LPCITEMIDLIST> items;
  for (const CItemIdList& copy : copies) items.push_back(copy.Get());
  items.push_back(nullptr);
  viewFolder_->DeleteSelection(window_, items.data());
}

void CShellView::ShowSelectionProperties() {
  std::vector<LPCITEMIDLIST> selected = SelectedIdentifiers();
  if (selected.empty()) {
    viewFolder_->ShowProperties(window_, nullptr);
    return;
  }
  // The properties dialogs are modeless, but a result's sheet may refresh the
  // list; each row's identifier is copied before its turn.
  std::vector<CItemIdList> copies;
  for (LPCITEMIDLIST item : selected) copies.emplace_back(RequirePidlManager(), item);
  for (const CItemIdList& copy : copies) viewFolder_->ShowProperties(window_, copy.Get());
}

}  // namespace qv
