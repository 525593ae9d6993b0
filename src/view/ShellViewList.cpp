// The list presentation of CShellView: filling the list from the folder, row
// texts, sorting by column, renaming in place, the status bar texts.

#include <windows.h>
#include <shlwapi.h>

#include <cstring>

#include "module/ModuleObjects.h"
#include "module/ModulePaths.h"
#include "module/Settings.h"
#include "module/Text.h"
#include "pidl/CPidlManager.h"
#include "resources/resource.h"
#include "view/CShellView.h"
#include "view/IViewFolder.h"

namespace qv {
namespace {

constexpr int kStatusFolderName = 0;
constexpr int kStatusCounts = 1;
constexpr int kStatusQuery = 2;

void CountText(int results, int folders, char* buffer, int capacity) {
  if (results <= 0 && folders <= 0)
    CopyAnsi("Empty", buffer, capacity);
  else if (results <= 0)
    wnsprintfA(buffer, capacity, "%d folder(s)", folders);
  else if (folders <= 0)
    wnsprintfA(buffer, capacity, "%d file(s)", results);
  else
    wnsprintfA(buffer, capacity, "%d file(s) %d folder(s)", results, folders);
}

}  // namespace

bool CShellView::SetUpList() {
  if (!list_) return false;
  list_->DeleteAllItems();
  char text[MAX_PATH] = {};
  LoadStringA(ModuleInstance(), IDS_NAME_COLUMN, text, MAX_PATH);
  list_->InsertColumn(text, GetColumnWidth(kNameColumn));
  LoadStringA(ModuleInstance(), IDS_DETAILS_COLUMN, text, MAX_PATH);
  list_->InsertColumn(text, GetColumnWidth(kDetailsColumn));
  // The list shares the folder's image lists (LVS_SHAREIMAGELISTS): they stay the folder's.
  list_->SetImageList(LVSIL_SMALL, viewFolder_->SmallImageList());
  list_->SetImageList(LVSIL_NORMAL, viewFolder_->LargeImageList());
  return true;
}

void CShellView::FillList() {
  if (!list_) return;
  // Taken first: a change made while the list fills is seen by the next look.
  RememberShownDocument();
  ComPtr<IEnumIDList> items;
  HRESULT hr = folder_->EnumObjects(window_, SHCONTF_FOLDERS | SHCONTF_NONFOLDERS, items.Put());
  if (SUCCEEDED(hr) && items) {
    list_->SetRedraw(false);
    for (;;) {
      LPITEMIDLIST item = nullptr;
      ULONG fetched = 0;
      if (items->Next(1, &item, &fetched) != S_OK || fetched == 0) break;
      AddItem(item);
      ThePidlManager()->Free(item);
      // The host may have browsed away while this view asked it about the item.
      if (!list_->Control()) return;
    }
    list_->SortByColumn(0);
    SelectPendingNewItem();
    list_->SetRedraw(true);
    list_->Repaint();
  }
  items.Reset();
  list_->SetMode(viewFolder_->GetViewStyle());
  WriteStatusText();
}

int CShellView::AddItem(LPCITEMIDLIST item) {
  if (dialogBrowser_ && dialogBrowser_->IncludeObject(this, item) == S_FALSE) return -1;
  if (!list_ || !list_->Control()) return -1;
  LPITEMIDLIST copy = ThePidlManager()->Copy(item);
  if (!copy) return -1;
  int index = list_->InsertItem(copy);
  if (index < 0) ThePidlManager()->Free(copy);
  return index;
}

void CShellView::OnGetDisplayInfo(NMLVDISPINFOA* info) {
  LVITEMA& row = info->item;
  auto item = reinterpret_cast<LPCITEMIDLIST>(row.lParam);
  if (!item) return;
  if (row.iSubItem == 0) {
    if ((row.mask & LVIF_TEXT) && row.pszText && row.cchTextMax > 0) {
      STRRET name = {};
      if (SUCCEEDED(folder_->GetDisplayNameOf(item, SHGDN_INFOLDER, &name))) {
        if (name.uType == STRRET_WSTR) {
          WideToAnsi(name.pOleStr, row.pszText, row.cchTextMax);
          allocator_->Free(name.pOleStr);
        } else {
          StrRetToBufA(&name, item, row.pszText, row.cchTextMax);
        }
      }
    }
    if (row.mask & LVIF_IMAGE) {
      ComPtr<IExtractIconA> icon;
      if (SUCCEEDED(folder_->GetUIObjectOf(window_, 1, &item, IID_IExtractIconA, nullptr, icon.PutVoid())) && icon) {
        UINT flags = 0;
        icon->GetIconLocation(GIL_FORSHELL, nullptr, 0, &row.iImage, &flags);
      }
    }
    return;
  }
  if (!(row.mask & LVIF_TEXT) || !row.pszText || row.cchTextMax <= 0) return;
  CListWindow::DetailText(item, row.pszText, row.cchTextMax);
  if (row.pszText[0] == '\0') {
    UINT text = CPidlManager::IsResultItem(item) ? IDS_VALUE_NOT_SET : IDS_FOLDER_DETAILS;
    LoadStringA(ModuleInstance(), text, row.pszText, row.cchTextMax);
  }
}

void CShellView::OnColumnClick(int column) {
  if (!list_) return;
  list_->SortByColumn(column);
  CListWindow::ReverseSortDirection(column);
}

void CShellView::RememberColumnWidths() {
  if (!list_ || !list_->Control()) return;
  SetColumnWidth(kNameColumn, list_->ColumnWidth(kNameColumn));
  SetColumnWidth(kDetailsColumn, list_->ColumnWidth(kDetailsColumn));
}

void CShellView::OnBeginLabelEdit() {
  editingLabel_ = true;
  // An item's name holds 49 characters: the edit box takes no more, so what
  // the user typed is what the rename gets.
  if (list_ && list_->Control()) {
    if (HWND edit = reinterpret_cast<HWND>(SendMessageA(list_->Control(), LVM_GETEDITCONTROL, 0, 0)))
      SendMessageA(edit, EM_LIMITTEXT, kNameSize - 1, 0);
  }
}

void CShellView::OnEndLabelEdit(NMLVDISPINFOA* info) {
  const char* text = info->item.pszText;
  if (!text || !text[0] || !list_) return;
  LPCITEMIDLIST item = list_->ItemIdentifier(info->item.iItem);
  if (!item) return;
  bool renamingNewItem = pendingNewItem_.Get() && CPidlManager::IsSameItem(item, pendingNewItem_.Get());
  if (!viewFolder_->RenameItem(item, text)) return;
  if (renamingNewItem) {
    // Follow the new folder under its new name, so the refresh selects it.
    auto* record = const_cast<ItemRecord*>(CPidlManager::GetItemRecord(pendingNewItem_.GetLastItem()));
    if (record) CopyAnsi(text, record->common.name, kNameSize);
  }
  Refresh();
}

void CShellView::OnDeleteItem(NMLISTVIEW* row) {
  if (CPidlManager* manager = ThePidlManager())
    manager->Free(reinterpret_cast<LPITEMIDLIST>(row->lParam));
}

void CShellView::WriteStatusText() {
  const SearchFolderRecord* folder = CPidlManager::GetFolderRecord(folderItem_.GetLastItem());
  if (!folder || !browser_) return;
  ComPtr<IShellBrowser> browser = browser_;
  LRESULT ignored = 0;
  char name[kNameSize + 1] = {};
  std::memcpy(name, folder->name, kNameSize);
  browser->SendControlMsg(FCW_STATUS, SB_SETTEXTA, kStatusFolderName, reinterpret_cast<LPARAM>(name), &ignored);
  char counts[MAX_PATH] = {};
  CountText(viewFolder_->ResultCount(), viewFolder_->FolderCount(), counts, MAX_PATH);
  browser->SendControlMsg(FCW_STATUS, SB_SETTEXTA, kStatusCounts, reinterpret_cast<LPARAM>(counts), &ignored);
  char query[kQuerySize + 1] = {};
  std::memcpy(query, folder->query, kQuerySize);
  browser->SendControlMsg(FCW_STATUS, SB_SETTEXTA, kStatusQuery, reinterpret_cast<LPARAM>(query), &ignored);
}

void CShellView::EditNewItemLabel(LPCITEMIDLIST list) {
  LPCITEMIDLIST item = CPidlManager::GetLastItem(list);
  if (!item || !list_) return;
  int index = AddItem(item);
  if (index < 0) return;
  pendingNewItem_.Set(item);
  list_->Focus();
  list_->EditLabel(index);
}

void CShellView::SelectPendingNewItem() {
  if (!pendingNewItem_.Get()) return;
  int index = list_->FindItem(pendingNewItem_.Get());
  if (index >= 0) list_->SelectOnly(index);
  pendingNewItem_.Set(nullptr);
}

void CShellView::ApplyViewMode(int mode) {
  if (!list_ || !list_->Control()) return;
  list_->SetMode(mode);
  viewFolder_->SetViewStyle(mode);
}

void CShellView::StartRenameOfSelection() {
  if (!list_ || !list_->Control() || list_->SelectedCount() != 1) return;
  int row = list_->NextItem(-1, LVNI_SELECTED);
  if (row < 0) return;
  list_->Focus();
  list_->EditLabel(row);
}

}  // namespace qv
