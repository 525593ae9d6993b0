// The commands of CShellView: keys, toolbar buttons, the view-mode menu and Exec.
// The view changes only its presentation itself (view modes, refresh, renaming
// the selected row); creating, deleting and properties go to the folder.

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
  // The folder puts the new row into label editing itself; its list is only
  // freed here.
  viewFolder_->NewFolder();
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
