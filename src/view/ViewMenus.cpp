// The view's menus: the view-mode menu of the views button and the folder's
// context menu for the selected rows, shown on a right-click or run for its
// default command when a row is activated.

#include <shlobj.h>
#include <shlwapi.h>

#include <cstring>

#include "common/Holders.h"
#include "common/ModulePaths.h"
#include "resources/resource.h"
#include "ui/CDropSource.h"
#include "view/CShellView.h"

namespace qv {
namespace {

// The context menu's items take identifiers from 1; 0 is "no command".
constexpr UINT kFirstMenuCommand = 1;
// The shell's own menu for result files is merged above the context menu's
// items, so the range leaves it the room the shell usually gives.
constexpr UINT kLastMenuCommand = FCIDM_SHVIEWLAST;
// Identifiers of the offsets the context menu keeps for itself but never uses.
constexpr UINT kFirstReservedCommand = kFirstMenuCommand + 12;
constexpr UINT kLastReservedCommand = kFirstMenuCommand + 15;

// The menu item checked for each view mode.
UINT CommandOfMode(int mode) {
  switch (mode) {
    case kModeLargeIcons:
      return IDC_MODE_LARGE_ICONS;
    case kModeDetails:
      return IDC_MODE_DETAILS;
    case kModeSmallIcons:
      return IDC_MODE_SMALL_ICONS;
    case kModeList:
      return IDC_MODE_LIST;
    case kModeReport:
      return IDC_MODE_REPORT;
    default:
      return 0;
  }
}

// The identifier of the menu's default item, or 0 when it has none.
UINT DefaultCommandOf(HMENU menu) {
  int count = GetMenuItemCount(menu);
  for (int position = 0; position < count; ++position) {
    MENUITEMINFOW item = {};
    item.cbSize = sizeof item;
    item.fMask = MIIM_STATE | MIIM_ID;
    if (GetMenuItemInfoW(menu, position, TRUE, &item) && (item.fState & MFS_DEFAULT)) return item.wID;
  }
  return 0;
}

}  // namespace

void CShellView::ShowViewModeMenu(LPARAM lParam) {
  // The views button's record: its second pointer-sized field points to a
  // VARIANT holding the address of the button's screen rectangle.
  auto* record = reinterpret_cast<const void* const*>(lParam);
  if (!record) return;
  auto* value = static_cast<const VARIANT*>(record[1]);
  if (!value || value->vt != VT_INT_PTR || !value->pintVal) return;
  RECT button = *reinterpret_cast<const RECT*>(value->pintVal);
  MenuHandle menu(LoadMenuW(ModuleInstance(), MAKEINTRESOURCEW(IDM_VIEW_MODES)));
  if (!menu) return;
  HMENU popup = GetSubMenu(menu.Get(), 0);
  if (!popup) return;
  if (list_ && list_->Control()) {
    if (UINT current = CommandOfMode(list_->GetMode())) CheckMenuItem(popup, current, MF_BYCOMMAND | MF_CHECKED);
  }
  // The choice comes back as WM_COMMAND to the view window.
  TrackPopupMenu(popup, 0, button.left, button.bottom, 0, window_, nullptr);
}

void CShellView::ShowItemMenu(int x, int y, bool runDefault) {
  std::vector<LPCITEMIDLIST> selected = SelectedIdentifiers();
  UINT count = static_cast<UINT>(selected.size());
  ComPtr<IContextMenu> contextMenu;
  if (FAILED(folder_->GetUIObjectOf(parent_, count, count ? selected.data() : nullptr, IID_IContextMenu, nullptr,
                                    contextMenu.PutVoid())) ||
      !contextMenu) {
    return;
  }
  // The menu finds this view through the browser, to start renaming a folder
  // it makes.
  if (browser_) IUnknown_SetSite(contextMenu.Get(), browser_.Get());
  UINT flags = CMF_NORMAL;
  HWND tree = nullptr;
  if (browser_ && SUCCEEDED(browser_->GetControlWindow(FCW_TREE, &tree)) && tree) flags |= CMF_EXPLORE;
  if (count == 1) flags |= CMF_CANRENAME;

  MenuHandle menu(CreatePopupMenu());
  if (!menu) return;
  if (FAILED(contextMenu->QueryContextMenu(menu.Get(), 0, kFirstMenuCommand, kLastMenuCommand, flags))) return;
  UINT command = 0;
  if (runDefault) {
    command = DefaultCommandOf(menu.Get());
  } else {
    // While the menu is up, its owner-drawn and late-filled items (the shell's
    // "Send To", "Open with") are served by the context menu.
    trackedMenu_ = contextMenu.As<IContextMenu2>();
    command = static_cast<UINT>(TrackPopupMenu(menu.Get(), TPM_RETURNCMD, x, y, 0, window_, nullptr));
    trackedMenu_.Reset();
  }
  InvokeMenuCommand(contextMenu.Get(), command);
}

bool CShellView::BrowseIntoActivatedFolder() {
  if (!browser_) return false;
  std::vector<LPCITEMIDLIST> selected = SelectedIdentifiers();
  if (selected.size() != 1) return false;
  SFGAOF attributes = SFGAO_FOLDER;
  if (FAILED(folder_->GetAttributesOf(1, selected.data(), &attributes)) || !(attributes & SFGAO_FOLDER)) return false;
  // Not through ShellExecuteEx, which a host need not support for a virtual
  // folder. The browser replaces this view, so the row's item is copied first and
  // the view kept alive until the call returns.
  TaskMemory<ITEMIDLIST> item(ILClone(selected[0]));
  if (!item) return false;
  ComPtr<IShellView> self = ComPtr<IShellView>::Share(this);
  ComPtr<IShellBrowser> browser = browser_;
  return SUCCEEDED(browser->BrowseObject(item.Get(), SBSP_SAMEBROWSER | SBSP_RELATIVE));
}

bool CShellView::ForwardMenuMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) {
  if (!trackedMenu_) return false;
  ComPtr<IContextMenu2> menu = trackedMenu_;  // the message may end the menu
  *result = 0;
  if (ComPtr<IContextMenu3> third = menu.As<IContextMenu3>()) {
    return SUCCEEDED(third->HandleMenuMsg2(message, wParam, lParam, result));
  }
  if (message == WM_MENUCHAR) return false;
  return SUCCEEDED(menu->HandleMenuMsg(message, wParam, lParam));
}

void CShellView::InvokeMenuCommand(IContextMenu* menu, UINT command) {
  if (command < kFirstMenuCommand || (command >= kFirstReservedCommand && command <= kLastReservedCommand)) return;
  UINT offset = command - kFirstMenuCommand;
  // "rename" is the caller's part: the view edits the row's label in place.
  wchar_t verb[16] = {};
  if (SUCCEEDED(menu->GetCommandString(offset, GCS_VERBW, nullptr, reinterpret_cast<char*>(verb), ARRAYSIZE(verb))) &&
      lstrcmpiW(verb, L"rename") == 0) {
    StartRenameOfSelection();
    return;
  }
  CMINVOKECOMMANDINFOEX info = {};
  info.cbSize = sizeof info;
  info.fMask = CMIC_MASK_UNICODE;
  info.hwnd = parent_;
  info.lpVerb = MAKEINTRESOURCEA(offset);
  info.lpVerbW = MAKEINTRESOURCEW(offset);
  // The shell's merged commands start programs; they show their windows.
  info.nShow = SW_SHOWNORMAL;
  menu->InvokeCommand(reinterpret_cast<CMINVOKECOMMANDINFO*>(&info));
}

void CShellView::BeginDragOfSelection() {
  std::vector<LPCITEMIDLIST> selected = SelectedIdentifiers();
  if (selected.empty()) return;
  ComPtr<IDataObject> data;
  if (FAILED(folder_->GetUIObjectOf(window_, static_cast<UINT>(selected.size()), selected.data(), IID_IDataObject,
                                    nullptr, data.PutVoid())) ||
      !data) {
    return;
  }
  ComPtr<IDropSource> source;
  if (FAILED(CreateComObject<CDropSource>(IID_IDropSource, source.PutVoid())) || !source) return;
  // Whatever the target did, the rows stay until the view is refreshed.
  DWORD effect = DROPEFFECT_NONE;
  DoDragDrop(data.Get(), source.Get(), DROPEFFECT_COPY | DROPEFFECT_MOVE | DROPEFFECT_LINK, &effect);
}

}  // namespace qv
