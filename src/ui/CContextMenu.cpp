#include "ui/CContextMenu.h"

#include <shlwapi.h>

#include <cstring>

#include "common/Holders.h"
#include "common/ModulePaths.h"
#include "runtime/ModuleUse.h"
#include "common/Text.h"
#include "pidl/CPidlManager.h"
#include "resources/resource.h"
#include "operations/FileTypeFilter.h"

namespace qv {
namespace {

std::string LoadText(UINT id) { return LoadResourceText(id); }

// The text with every "%s" replaced by the extension (the move text names it twice).
std::string FormatWithExtension(UINT id, const std::string& extension) {
  std::string text = LoadText(id);
  for (std::size_t at = text.find("%s"); at != std::string::npos; at = text.find("%s", at + extension.size())) {
    text.replace(at, 2, extension);
  }
  return text;
}

bool IsIntegerVerb(LPCSTR verb) { return IS_INTRESOURCE(verb); }

// The verb of an invocation by name, from its wide form when the caller gave one.
std::wstring VerbText(const CMINVOKECOMMANDINFO* info) {
  if ((info->fMask & CMIC_MASK_UNICODE) && info->cbSize >= sizeof(CMINVOKECOMMANDINFOEX)) {
    auto* wide = reinterpret_cast<const CMINVOKECOMMANDINFOEX*>(info);
    if (wide->lpVerbW && !IS_INTRESOURCE(wide->lpVerbW)) return wide->lpVerbW;
  }
  if (!info->lpVerb || IS_INTRESOURCE(info->lpVerb)) return {};
  return ToWide(AnsiToUtf8(info->lpVerb, strlen(info->lpVerb)));
}

bool SameVerb(const std::wstring& first, const wchar_t* second) {
  return second && CompareStringOrdinal(first.c_str(), -1, second, -1, TRUE) == CSTR_EQUAL;
}

HRESULT CopyVerb(const wchar_t* verb, UINT type, CHAR* name, UINT capacity) {
  if (!verb || !name || capacity == 0) return E_INVALIDARG;
  if (type == GCS_VERBA) {
    // Verbs are ASCII.
    lstrcpynA(name, ToUtf8(verb).c_str(), static_cast<int>(capacity));
  } else {
    lstrcpynW(reinterpret_cast<wchar_t*>(name), verb, static_cast<int>(capacity));
  }
  return S_OK;
}

}  // namespace

// Inserts items one after another from a start position and keeps the highest
// offset used, which QueryContextMenu reports.
class CContextMenu::Builder {
 public:
  Builder(HMENU menu, UINT position, UINT firstId, UINT lastId)
      : menu_(menu), position_(position), firstId_(firstId), lastId_(lastId) {}

  void Text(const std::string& text, UINT offset, bool enabled = true, bool isDefault = false) {
    if (firstId_ + offset > lastId_ || firstId_ + offset < firstId_) return;
    std::wstring wide = ToWide(text);
    MENUITEMINFOW item = {};
    item.cbSize = sizeof item;
    item.fMask = MIIM_ID | MIIM_TYPE | MIIM_STATE;
    item.fType = MFT_STRING;
    item.fState = (enabled ? MFS_ENABLED : MFS_GRAYED | MFS_DISABLED) | (isDefault ? MFS_DEFAULT : 0);
    item.wID = firstId_ + offset;
    item.dwTypeData = wide.data();
    if (InsertMenuItemW(menu_, position_, TRUE, &item)) {
      ++position_;
      if (offset + 1 > used_) used_ = offset + 1;
    }
  }
  void Separator() {
    MENUITEMINFOW item = {};
    item.cbSize = sizeof item;
    item.fMask = MIIM_ID | MIIM_TYPE;
    item.fType = MFT_SEPARATOR;
    if (InsertMenuItemW(menu_, position_, TRUE, &item)) ++position_;
  }
  // Room for the merged menu: the identifiers after the menu's own offsets.
  bool HasMergeRoom() const {
    return lastId_ >= firstId_ && lastId_ - firstId_ >= kOwnOffsets;
  }
  HMENU Menu() const { return menu_; }
  UINT Position() const { return position_; }
  UINT FirstId() const { return firstId_; }
  UINT LastId() const { return lastId_; }
  UINT Used() const { return used_; }
  void Merged(UINT used) {
    if (used > used_) used_ = used;
  }

 private:
  HMENU menu_;
  UINT position_;
  UINT firstId_;
  UINT lastId_;
  UINT used_ = 0;
};

CContextMenu::CContextMenu(IShellFolder* folder, LPCITEMIDLIST absoluteList, bool isRoot, const LPCITEMIDLIST* items,
                           UINT count)
    : folder_(ComPtr<IShellFolder>::Share(folder)),
      operations_(RequireFolderStore(), absoluteList, isRoot, *this) {
  CPidlManager& manager = RequirePidlManager();
  items_.reserve(count);
  for (UINT i = 0; i < count; ++i) {
    items_.emplace_back(manager, items[i]);
    if (!CPidlManager::IsResultItem(items[i])) resultsOnly_ = false;
  }
}

CContextMenu::~CContextMenu() = default;

const InterfaceEntry* CContextMenu::InterfaceTable() {
  static const InterfaceEntry table[] = {QV_INTERFACE(CContextMenu, IContextMenu),
                                         QV_INTERFACE(CContextMenu, IContextMenu2),
                                         QV_INTERFACE(CContextMenu, IContextMenu3),
                                         QV_INTERFACE(CContextMenu, IObjectWithSite), {}};
  return table;
}

std::vector<LPCITEMIDLIST> CContextMenu::SelectionArray() const {
  std::vector<LPCITEMIDLIST> array;
  array.reserve(items_.size() + 1);
  for (const CItemIdList& item : items_) array.push_back(item.Get());
  array.push_back(nullptr);
  return array;
}

std::optional<std::string> CContextMenu::FirstExtension() const {
  std::string path = CPidlManager::ResultPath(FirstItem());
  if (path.empty()) return std::nullopt;
  return FileTypeExtension(path.c_str());
}

STDMETHODIMP CContextMenu::QueryContextMenu(HMENU menu, UINT index, UINT firstId, UINT lastId, UINT flags) {
  if (!menu) return E_INVALIDARG;
  return ComBoundary([&]() -> HRESULT {
    Builder builder(menu, index, firstId, lastId);
    if (flags & CMF_DEFAULTONLY) {
      // Only the default command, for callers that run it (ShellExecuteEx).
      if (!items_.empty() && !resultsOnly_) {
        builder.Text(LoadText((flags & CMF_EXPLORE) ? IDS_EXPLORE : IDS_OPEN),
                     (flags & CMF_EXPLORE) ? kExplore : kOpenFolder, true, true);
      } else if (!items_.empty()) {
        builder.Text(LoadText(IDS_OPEN), kOpenResult, true, true);
      }
    } else if (items_.empty()) {
      BuildBackgroundMenu(builder);
    } else if (!resultsOnly_) {
      BuildFolderMenu(builder, flags);
    } else {
      BuildResultMenu(builder);
    }
    return MAKE_HRESULT(SEVERITY_SUCCESS, 0, static_cast<USHORT>(builder.Used()));
  });
}

void CContextMenu::BuildFolderMenu(Builder& builder, UINT flags) {
  std::string open = LoadText(IDS_OPEN);
  std::string explore = LoadText(IDS_EXPLORE);
  if (flags & CMF_EXPLORE) {
    builder.Text(explore, kExplore, true, true);
    builder.Text(open, kOpenFolder);
  } else {
    builder.Text(open, kOpenFolder, true, true);
    builder.Text(explore, kExplore);
  }
  builder.Separator();
  builder.Text(LoadText(IDS_DELETE), kDelete);
  if (flags & CMF_CANRENAME) {
    bool canRename = false;
    if (items_.size() == 1) {
      LPCITEMIDLIST item = FirstItem();
      SFGAOF attributes = SFGAO_CANRENAME;
      canRename = SUCCEEDED(folder_->GetAttributesOf(1, &item, &attributes)) && (attributes & SFGAO_CANRENAME);
    }
    builder.Text(LoadText(IDS_RENAME), kRename, canRename);
  }
  builder.Separator();
  builder.Text(LoadText(IDS_CLEAR_SEARCH_STRING), kClearSearchString);
  builder.Separator();
  builder.Text(LoadText(IDS_PROPERTIES), kProperties);
}

void CContextMenu::BuildResultMenu(Builder& builder) {
  builder.Text(LoadText(IDS_OPEN), kOpenResult, true, true);
  if (std::optional<std::string> extension = FirstExtension()) {
    builder.Text(FormatWithExtension(IDS_MOVE_TYPE_TO_FOLDER, *extension), kMoveTypeToFolder);
    builder.Text(FormatWithExtension(IDS_HIDE_TYPE, *extension), kHideType);
    builder.Text(FormatWithExtension(IDS_SHOW_ONLY_TYPE, *extension), kShowOnlyType);
    builder.Text(LoadText(IDS_OPEN_CONTAINING_FOLDER), kOpenContainingFolder);
  }
  UINT merged = MergeShellMenu(builder);
  builder.Merged(merged);
  if (!merged) {
    // The shell has no menu for the file (a path too long for it): the
    // component's own commands act on exactly its path.
    builder.Separator();
    builder.Text(LoadText(IDS_DELETE), kDelete);
    builder.Text(LoadText(IDS_PROPERTIES), kProperties);
  }
}

void CContextMenu::BuildBackgroundMenu(Builder& builder) {
  builder.Text(LoadText(IDS_NEW_FOLDER_MENU), kNewFolder);
  builder.Separator();
  builder.Text(LoadText(IDS_CLEAR_SEARCH_STRING), kClearSearchString);
  builder.Separator();
  builder.Text(LoadText(IDS_PROPERTIES), kProperties);
}

ComPtr<IContextMenu> CContextMenu::ShellMenuOfFiles() {
  CPidlManager& manager = RequirePidlManager();
  LPCITEMIDLIST firstFile = manager.GetFileIdList(FirstItem());
  if (!firstFile) return nullptr;
  ComPtr<IShellFolder> parent;
  LPCITEMIDLIST firstChild = nullptr;
  if (FAILED(SHBindToParent(firstFile, IID_IShellFolder, parent.PutVoid(), &firstChild)) || !parent || !firstChild) {
    return nullptr;
  }
  // The shell's menu covers the selected files that lie in the first one's
  // directory: a child item names a file only within its own parent folder.
  TaskMemory<ITEMIDLIST> parentList(ILClone(firstFile));
  if (!parentList || !ILRemoveLastID(parentList.Get())) return nullptr;
  std::vector<LPCITEMIDLIST> children{firstChild};
  for (std::size_t i = 1; i < items_.size(); ++i) {
    LPCITEMIDLIST file = manager.GetFileIdList(items_[i].Get());
    if (file && ILIsParent(parentList.Get(), file, TRUE)) children.push_back(ILFindLastID(file));
  }
  ComPtr<IContextMenu> menu;
  if (FAILED(parent->GetUIObjectOf(nullptr, static_cast<UINT>(children.size()), children.data(), IID_IContextMenu,
                                   nullptr, menu.PutVoid()))) {
    return nullptr;
  }
  // Keep the richest form the shell offers.
  if (ComPtr<IContextMenu> richer = menu.As<IContextMenu>(IID_IContextMenu3)) return richer;
  if (ComPtr<IContextMenu> richer = menu.As<IContextMenu>(IID_IContextMenu2)) return richer;
  return menu;
}

UINT CContextMenu::MergeShellMenu(Builder& builder) {
  shellMenu_.Reset();
  if (!builder.HasMergeRoom()) return 0;
  ComPtr<IContextMenu> menu = ShellMenuOfFiles();
  if (!menu) return 0;
  int before = GetMenuItemCount(builder.Menu());
  builder.Separator();
  // The shell's items take the identifiers after this menu's own offsets, so the
  // two never share one; its offsets are ours minus kOwnOffsets.
  HRESULT hr = menu->QueryContextMenu(builder.Menu(), builder.Position(), builder.FirstId() + kOwnOffsets,
                                      builder.LastId(), CMF_EXPLORE);
  if (FAILED(hr) || HRESULT_CODE(hr) == 0) {
    // Nothing merged: the separator goes again.
    if (GetMenuItemCount(builder.Menu()) > before) DeleteMenu(builder.Menu(), builder.Position() - 1, MF_BYPOSITION);
    return 0;
  }
  shellMenu_ = menu;
  return kOwnOffsets + HRESULT_CODE(hr);
}

STDMETHODIMP CContextMenu::InvokeCommand(CMINVOKECOMMANDINFO* info) {
  if (!info || info->cbSize < sizeof(CMINVOKECOMMANDINFO)) return E_INVALIDARG;
  return ComBoundary([&]() -> HRESULT {
    quiet_ = (info->fMask & CMIC_MASK_FLAG_NO_UI) != 0;
    unshown_ = S_OK;
    struct QuietEnd {
      bool& quiet;
      ~QuietEnd() { quiet = false; }
    } quietEnd{quiet_};
    HRESULT hr;
    std::wstring verb = VerbText(info);
    if (!verb.empty() || !IsIntegerVerb(info->lpVerb)) {
      hr = InvokeVerb(info, verb);
    } else {
      UINT offset = LOWORD(reinterpret_cast<UINT_PTR>(info->lpVerb));
      hr = offset >= kOwnOffsets ? InvokeMergedCommand(info, offset - kOwnOffsets) : RunCommand(offset, info->hwnd);
    }
    return FAILED(unshown_) ? unshown_ : hr;
  });
}

HRESULT CContextMenu::InvokeVerb(const CMINVOKECOMMANDINFO* info, const std::wstring& verb) {
  if (verb.empty()) return E_INVALIDARG;
  if (std::optional<UINT> offset = CommandOfVerb(verb)) return RunCommand(*offset, info->hwnd);
  // Other verbs of results are the files' own ("copy", "cut", "link"...).
  if (items_.empty() || !resultsOnly_) return E_INVALIDARG;
  ComPtr<IContextMenu> menu = shellMenu_;
  HMENU scratch = nullptr;
  if (!menu) {
    // Not merged into a menu shown: the shell's menu is made for this call
    // and filled, as its verbs need.
    menu = ShellMenuOfFiles();
    if (!menu) return E_INVALIDARG;
    scratch = CreatePopupMenu();
    if (scratch) menu->QueryContextMenu(scratch, 0, 1, 0x7FFF, CMF_NORMAL);
  }
  HRESULT hr = menu->InvokeCommand(const_cast<CMINVOKECOMMANDINFO*>(info));
  if (scratch) DestroyMenu(scratch);
  // The shell's menu says E_FAIL or E_NOTIMPL for a verb it does not have.
  if (hr == E_FAIL || hr == E_NOTIMPL || hr == HRESULT_FROM_WIN32(ERROR_NOT_FOUND)) return E_INVALIDARG;
  return hr;
}

bool CContextMenu::HasCommand(UINT offset) const {
  if (items_.empty()) return offset == kNewFolder || offset == kClearSearchString || offset == kProperties;
  if (!resultsOnly_) {
    return offset == kExplore || offset == kOpenFolder || offset == kDelete || offset == kRename ||
           offset == kClearSearchString || offset == kProperties;
  }
  switch (offset) {
    case kOpenResult:
    case kDelete:
    case kProperties:
      return true;
    case kMoveTypeToFolder:
    case kHideType:
    case kShowOnlyType:
    case kOpenContainingFolder:
      return FirstExtension().has_value();
    default:
      return false;
  }
}

const wchar_t* CContextMenu::VerbOf(UINT offset) const {
  if (!HasCommand(offset)) return nullptr;
  switch (offset) {
    case kExplore:
      return L"explore";
    case kOpenFolder:
    case kOpenResult:
      return L"open";
    case kDelete:
      return L"delete";
    case kRename:
      return L"rename";
    case kProperties:
      return L"properties";
    case kNewFolder:
      return L"NewFolder";
    default:
      return nullptr;
  }
}

std::optional<UINT> CContextMenu::CommandOfVerb(const std::wstring& verb) const {
  for (UINT offset = 0; offset < kOwnOffsets; ++offset) {
    if (SameVerb(verb, VerbOf(offset))) return offset;
  }
  return std::nullopt;
}

ComPtr<IShellView> CContextMenu::SiteView() {
  if (!site_) return nullptr;
  // The browser the menu was shown in: through the site's services, or the
  // site itself when it is the browser.
  ComPtr<IShellBrowser> browser;
  if (FAILED(IUnknown_QueryService(site_.Get(), SID_STopLevelBrowser, IID_IShellBrowser, browser.PutVoid())) ||
      !browser) {
    browser = site_.As<IShellBrowser>();
  }
  ComPtr<IShellView> view;
  if (!browser || FAILED(browser->QueryActiveShellView(view.Put())) || !view) return nullptr;
  return view;
}

HRESULT CContextMenu::StartRenaming() {
  if (items_.size() != 1) return E_INVALIDARG;
  ComPtr<IShellView> view = SiteView();
  // Renaming is the caller's editing of the name; without a view there is none.
  if (!view) return HRESULT_FROM_WIN32(ERROR_NOT_SUPPORTED);
  return view->SelectItem(ILFindLastID(FirstItem()),
                          SVSI_EDIT | SVSI_SELECT | SVSI_DESELECTOTHERS | SVSI_ENSUREVISIBLE | SVSI_FOCUSED);
}

bool CContextMenu::Confirm(HWND owner, const std::string& text, const std::string& title) {
  if (!quiet_) return CMessageBoxPrompts::Confirm(owner, text, title);
  unshown_ = HRESULT_FROM_WIN32(ERROR_CANCELLED);
  return false;
}

void CContextMenu::Inform(HWND owner, const std::string& text, const std::string& title) {
  if (!quiet_) {
    CMessageBoxPrompts::Inform(owner, text, title);
    return;
  }
  if (SUCCEEDED(unshown_)) {
    unshown_ = title == LoadText(IDS_RESULT_FILE_MISSING_TITLE) ? HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND) : E_FAIL;
  }
}

STDMETHODIMP CContextMenu::HandleMenuMsg(UINT message, WPARAM wParam, LPARAM lParam) {
  LRESULT ignored = 0;
  return HandleMenuMsg2(message, wParam, lParam, &ignored);
}

STDMETHODIMP CContextMenu::HandleMenuMsg2(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) {
  return ComBoundary([&]() -> HRESULT {
    if (!shellMenu_) return E_NOTIMPL;
    if (ComPtr<IContextMenu3> third = shellMenu_.As<IContextMenu3>()) {
      return third->HandleMenuMsg2(message, wParam, lParam, result);
    }
    if (ComPtr<IContextMenu2> second = shellMenu_.As<IContextMenu2>()) {
      // The older form has no result; WM_MENUCHAR then falls back to the default.
      if (result) *result = 0;
      return second->HandleMenuMsg(message, wParam, lParam);
    }
    return E_NOTIMPL;
  });
}

HRESULT CContextMenu::InvokeMergedCommand(const CMINVOKECOMMANDINFO* info, UINT offset) {
  // Nothing was merged: the identifier is nobody's.
  if (!shellMenu_) return E_INVALIDARG;
  // The caller's structure, with the verb as the shell menu's own offset.
  CMINVOKECOMMANDINFOEX passed = {};
  std::memcpy(&passed, info, info->cbSize < sizeof passed ? info->cbSize : sizeof passed);
  passed.lpVerb = MAKEINTRESOURCEA(offset);
  if ((passed.fMask & CMIC_MASK_UNICODE) && passed.cbSize >= sizeof passed) passed.lpVerbW = MAKEINTRESOURCEW(offset);
  return shellMenu_->InvokeCommand(reinterpret_cast<CMINVOKECOMMANDINFO*>(&passed));
}

HRESULT CContextMenu::RunCommand(UINT offset, HWND window) {
  if (!HasCommand(offset)) return E_INVALIDARG;
  FolderOperations& folder = operations_;
  HRESULT outcome = S_OK;
  switch (offset) {
    case kExplore:
    case kOpenFolder:
      for (const CItemIdList& item : items_) {
        HRESULT hr = folder.OpenFolderItem(window, item.Get(), offset == kExplore);
        if (FAILED(hr) && SUCCEEDED(outcome)) outcome = hr;
      }
      break;
    case kOpenResult:
      for (const CItemIdList& item : items_) {
        HRESULT hr = folder.OpenResult(item.Get());
        if (FAILED(hr) && SUCCEEDED(outcome)) outcome = hr;
      }
      break;
    case kRename:
      return StartRenaming();
    case kNewFolder:
      // The site's view starts editing the new row's name (EditNewFolderName).
      folder.NewFolder();
      break;
    case kDelete:
      if (items_.size() == 1 && CPidlManager::KindOf(FirstItem()) == ItemKind::Result) {
        // One file: whether it went is known.
        if (!folder.DeleteItem(window, FirstItem(), true)) outcome = HRESULT_FROM_WIN32(ERROR_CANCELLED);
      } else if (!items_.empty()) {
        folder.DeleteSelection(window, SelectionArray().data());
      }
      break;
    case kProperties:
      if (items_.empty()) folder.ShowProperties(window, nullptr);
      for (const CItemIdList& item : items_) folder.ShowProperties(window, item.Get());
      break;
    case kMoveTypeToFolder:
    case kHideType:
    case kShowOnlyType:
      RunFileTypeCommand(offset);
      break;
    case kOpenContainingFolder:
      for (const CItemIdList& item : items_) folder.OpenContainingFolder(item.Get());
      break;
    case kClearSearchString:
      folder.ClearSearchString(FirstItem());
      break;
    default:
      break;
  }
  return outcome;
}

void CContextMenu::RunFileTypeCommand(UINT offset) {
  std::optional<std::string> extension = FirstExtension();
  if (!extension) return;
  FolderOperations& folder = operations_;
  switch (offset) {
    case kMoveTypeToFolder:
      // The type's files leave this folder only once their own folder exists.
      if (folder.MoveFileTypeToFolder(extension->c_str())) folder.HideFileType(extension->c_str());
      break;
    case kHideType:
      folder.HideFileType(extension->c_str());
      break;
    case kShowOnlyType:
      folder.ShowOnlyFileType(extension->c_str());
      break;
    default:
      break;
  }
}

STDMETHODIMP CContextMenu::SetSite(IUnknown* site) {
  site_ = ComPtr<IUnknown>::Share(site);
  return S_OK;
}

STDMETHODIMP CContextMenu::GetSite(REFIID riid, void** ppv) {
  if (!ppv) return E_POINTER;
  *ppv = nullptr;
  if (!site_) return E_FAIL;
  return site_->QueryInterface(riid, ppv);
}

void CContextMenu::EditNewFolderName(LPCITEMIDLIST created) {
  if (!created) return;
  ComPtr<IShellView> view = SiteView();
  if (!view) return;
  view->SelectItem(ILFindLastID(created),
                   SVSI_EDIT | SVSI_SELECT | SVSI_DESELECTOTHERS | SVSI_ENSUREVISIBLE | SVSI_FOCUSED);
}

STDMETHODIMP CContextMenu::GetCommandString(UINT_PTR offset, UINT type, UINT* reserved, CHAR* name, UINT capacity) {
  return ComBoundary([&]() -> HRESULT {
    if (offset >= kOwnOffsets) {
      if (!shellMenu_) return E_INVALIDARG;
      return shellMenu_->GetCommandString(offset - kOwnOffsets, type, reserved, name, capacity);
    }
    switch (type) {
      case GCS_VERBA:
      case GCS_VERBW:
        return CopyVerb(VerbOf(static_cast<UINT>(offset)), type, name, capacity);
      case GCS_HELPTEXTA:
      case GCS_HELPTEXTW:
        return E_NOTIMPL;
      case GCS_VALIDATEA:
      case GCS_VALIDATEW:
        return HasCommand(static_cast<UINT>(offset)) ? S_OK : S_FALSE;
      default:
        return E_INVALIDARG;
    }
  });
}

}  // namespace qv
