// The list presentation of CShellView: filling the list from the folder, row
// texts, sorting by column, renaming in place, the status bar texts.

#include <windows.h>
#include <shlwapi.h>

#include <string>

#include "common/Holders.h"
#include "runtime/ModuleObjects.h"
#include "common/ModulePaths.h"
#include "runtime/Settings.h"
#include "common/Text.h"
#include "pidl/CPidlManager.h"
#include "resources/resource.h"
#include "view/CShellView.h"
#include "view/IViewFolder.h"

namespace qv {
namespace {

constexpr int kStatusFolderName = 0;
constexpr int kStatusCounts = 1;
constexpr int kStatusQuery = 2;

std::string CountText(int results, int folders) {
  if (results <= 0 && folders <= 0) return "Empty";
  if (results <= 0) return std::to_string(folders) + " folder(s)";
  if (folders <= 0) return std::to_string(results) + " file(s)";
  return std::to_string(results) + " file(s) " + std::to_string(folders) + " folder(s)";
}

// Places wide text into a buffer the list gave, cut at its size.
void PlaceText(const std::wstring& text, LPWSTR buffer, int capacity) {
  if (!buffer || capacity <= 0) return;
  lstrcpynW(buffer, text.c_str(), capacity);
}

}  // namespace

bool CShellView::SetUpList() {
  if (!list_) return false;
  list_->DeleteAllItems();
  list_->InsertColumn(LoadResourceText(IDS_NAME_COLUMN).c_str(), GetColumnWidth(kNameColumn));
  list_->InsertColumn(LoadResourceText(IDS_DETAILS_COLUMN).c_str(), GetColumnWidth(kDetailsColumn));
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

void CShellView::OnGetDisplayInfo(NMLVDISPINFOW* info) {
  LVITEMW& row = info->item;
  auto item = reinterpret_cast<LPCITEMIDLIST>(row.lParam);
  if (!item) return;
  if (row.iSubItem == 0) {
    if ((row.mask & LVIF_TEXT) && row.pszText && row.cchTextMax > 0) {
      row.pszText[0] = L'\0';
      STRRET name = {};
      if (SUCCEEDED(folder_->GetDisplayNameOf(item, SHGDN_INFOLDER, &name))) {
        // StrRetToStrW takes every STRRET form and frees the shell's string.
        TaskMemory<wchar_t> text;
        if (SUCCEEDED(StrRetToStrW(&name, item, text.Put()))) lstrcpynW(row.pszText, text.Get(), row.cchTextMax);
      }
    }
    if (row.mask & LVIF_IMAGE) {
      ComPtr<IExtractIconW> icon;
      if (SUCCEEDED(folder_->GetUIObjectOf(window_, 1, &item, IID_IExtractIconW, nullptr, icon.PutVoid())) && icon) {
        UINT flags = 0;
        icon->GetIconLocation(GIL_FORSHELL, nullptr, 0, &row.iImage, &flags);
      }
    }
    return;
  }
  if (!(row.mask & LVIF_TEXT) || !row.pszText || row.cchTextMax <= 0) return;
  std::string text = CListWindow::DetailText(item);
  if (text.empty()) {
    text = LoadResourceText(CPidlManager::IsResultItem(item) ? IDS_VALUE_NOT_SET : IDS_FOLDER_DETAILS);
  }
  PlaceText(ToWide(text), row.pszText, row.cchTextMax);
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
  // An item's name holds 49 characters: the edit box (a Unicode one, so it
  // counts characters) takes no more, so what the user typed is what the
  // rename gets.
  if (list_ && list_->Control()) {
    if (HWND edit = reinterpret_cast<HWND>(SendMessageW(list_->Control(), LVM_GETEDITCONTROL, 0, 0)))
      SendMessageW(edit, EM_LIMITTEXT, kMaxFolderNameCharacters, 0);
  }
}

void CShellView::OnEndLabelEdit(NMLVDISPINFOW* info) {
  if (!info->item.pszText || !info->item.pszText[0] || !list_) return;
  std::string name = ToUtf8(info->item.pszText);
  if (name.empty()) return;
  LPCITEMIDLIST item = list_->ItemIdentifier(info->item.iItem);
  if (!item) return;
  bool renamingNewItem = pendingNewItem_.Get() && CPidlManager::IsSameItem(item, pendingNewItem_.Get());
  if (!viewFolder_->RenameItem(item, name.c_str())) return;
  if (renamingNewItem) {
    // Follow the new folder under its new name, so the refresh selects it.
    FolderSettings settings;
    if (CPidlManager::ReadFolderSettings(pendingNewItem_.GetLastItem(), settings)) {
      settings.name = name;
      pendingNewItem_.Adopt(ThePidlManager()->CreateFolderItem(settings));
    }
  }
  Refresh();
}

void CShellView::OnDeleteItem(NMLISTVIEW* row) {
  if (CPidlManager* manager = ThePidlManager())
    manager->Free(reinterpret_cast<LPITEMIDLIST>(row->lParam));
}

void CShellView::WriteStatusText() {
  FolderSettings folder;
  if (!CPidlManager::ReadFolderSettings(folderItem_.GetLastItem(), folder) || !browser_) return;
  ComPtr<IShellBrowser> browser = browser_;
  LRESULT ignored = 0;
  std::wstring name = ToWide(folder.name);
  browser->SendControlMsg(FCW_STATUS, SB_SETTEXTW, kStatusFolderName, reinterpret_cast<LPARAM>(name.c_str()),
                          &ignored);
  std::wstring counts = ToWide(CountText(viewFolder_->ResultCount(), viewFolder_->FolderCount()));
  browser->SendControlMsg(FCW_STATUS, SB_SETTEXTW, kStatusCounts, reinterpret_cast<LPARAM>(counts.c_str()), &ignored);
  std::wstring query = ToWide(folder.query);
  browser->SendControlMsg(FCW_STATUS, SB_SETTEXTW, kStatusQuery, reinterpret_cast<LPARAM>(query.c_str()), &ignored);
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
