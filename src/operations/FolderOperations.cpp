// CShellFolder: creating, deleting and renaming search folders and result files.

#include <cstring>

#include "folders/CFolderStore.h"
#include "common/ModulePaths.h"
#include "runtime/ModuleUse.h"
#include "common/Text.h"
#include "pidl/CPidlManager.h"
#include "resources/resource.h"
#include "shellfolder/CShellFolder.h"
#include "operations/ShellRequests.h"
#include "ui/Confirmation.h"
#include "view/CShellView.h"
#include "view/OpenViews.h"

namespace qv {
namespace {

bool IsResult(LPCITEMIDLIST item) { return CPidlManager::KindOf(item) == ItemKind::Result; }
bool IsFolder(LPCITEMIDLIST item) { return CPidlManager::KindOf(item) == ItemKind::Folder; }

// The file operation takes paths of fewer than MAX_PATH characters only.
bool FitsFileOperation(const std::wstring& path) { return path.size() < MAX_PATH; }

// True when the exact path names an existing file or directory.
bool PathExists(const std::wstring& path) {
  return !path.empty() && GetFileAttributesW(ExtendedLengthPath(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

// Characters no file name may hold, and the wildcards the file operation would
// expand.
bool IsPlainFileName(const std::string& name) {
  return !name.empty() && name.find_first_of("\\/:*?\"<>|") == std::string::npos && name != "." && name != "..";
}

}  // namespace

CItemIdList CShellFolder::AddAndAnnounceFolder(const std::string& name, const char* query) {
  CItemIdList created(RequirePidlManager());
  if (name.empty() || CharacterCount(name) > kMaxFolderNameCharacters) return created;
  CFolderStore& store = RequireFolderStore();
  ComPtr<IXMLDOMNode> parentNode = store.FindFolderNode(absolute_.Get());
  if (!parentNode) return created;
  ComPtr<IXMLDOMNode> node = store.AddFolder(parentNode.Get(), name.c_str());
  if (!node) return created;
  CItemIdList item(RequirePidlManager());
  item.Adopt(RequirePidlManager().CreateFolderItem(CFolderStore::ReadFolderSettings(node.Get())));
  if (!item.Get()) return created;
  created = AbsoluteListOf(item.Get());
  // The search string goes in before anyone sees the folder: a view that starts
  // renaming it writes its own copy of the item back.
  if (query && !ChangeStoredSettings(created, [query](FolderSettings& record) {
        record.query = query;
        return true;
      })) {
    RequireFolderStore().RemoveFolder(created.Get());
    return CItemIdList(RequirePidlManager());
  }
  NotifyShell(SHCNE_MKDIR, created.Get(), nullptr);
  if (CShellView* view = GetLastView()) view->EditNewItemLabel(created.Get());
  return created;
}

CItemIdList CShellFolder::NewFolder() {
  try {
    CFolderStore& store = RequireFolderStore();
    ComPtr<IXMLDOMNode> node = store.FindFolderNode(absolute_.Get());
    if (!node) return CItemIdList(RequirePidlManager());
    std::string base = LoadResourceText(IDS_NEW_FOLDER_NAME);
    std::string name = base;
    // The search starts at 1 every time, so gaps are filled first.
    for (int number = 1; store.HasChildNamed(node.Get(), name); ++number) {
      name = FormatText("%s (%d)", base.c_str(), number);
    }
    return AddAndAnnounceFolder(name, nullptr);
  } catch (...) {
    return CItemIdList(RequirePidlManager());
  }
}

CItemIdList CShellFolder::NewNamedFolder(const char* name) {
  try {
    return AddAndAnnounceFolder(name ? name : "", nullptr);
  } catch (...) {
    return CItemIdList(RequirePidlManager());
  }
}

void CShellFolder::DeleteFolder(HWND owner, LPCITEMIDLIST item, bool confirm) {
  try {
    if (!item) {
      // The folder deletes itself through its parent; the root has none.
      if (parent_ && relative_.Get()) parent_->DeleteFolder(owner, relative_.GetLastItem(), confirm);
      return;
    }
    if (!IsFolder(item)) return;
    CItemIdList absolute = AbsoluteListOf(item);
    std::string name = CPidlManager::ItemName(item);
    if (confirm && !AskYesNo(owner, FormatText(LoadResourceText(IDS_CONFIRM_FOLDER_DELETE).c_str(), name.c_str()).c_str(),
                             LoadResourceText(IDS_CONFIRM_FOLDER_DELETE_TITLE).c_str())) {
      return;
    }
    if (!RequireFolderStore().RemoveFolder(absolute.Get())) return;
    NotifyShell(SHCNE_RMDIR, absolute.Get(), nullptr);
    RefreshAllViews();
  } catch (...) {
  }
}

void CShellFolder::ReportMissingFile(HWND owner, const std::string& name) {
  ShowInformation(owner, FormatText(LoadResourceText(IDS_RESULT_FILE_MISSING).c_str(), name.c_str()).c_str(),
                  LoadResourceText(IDS_RESULT_FILE_MISSING_TITLE).c_str());
}

bool CShellFolder::DeleteResultFile(HWND owner, LPCITEMIDLIST item, bool confirm) {
  if (!IsResult(item)) return false;
  // Only the exact file the item names is ever deleted: an item that cannot
  // name it exactly, or whose file has gone, is refused.
  std::wstring path = ToWide(CPidlManager::ResultPath(item));
  if (!PathExists(path)) {
    ReportMissingFile(owner, CPidlManager::ItemName(item));
    return false;
  }
  if (!FitsFileOperation(path)) {
    // The recycle bin takes no path this long: delete the file itself, after
    // the user has agreed to that in so many words.
    if (!AskYesNo(owner,
                  FormatText(LoadResourceText(IDS_CONFIRM_LONG_PATH_DELETE).c_str(), CPidlManager::ItemName(item).c_str())
                      .c_str(),
                  LoadResourceText(IDS_CONFIRM_FILES_DELETE_TITLE).c_str())) {
      return false;
    }
    return DeleteFileW(ExtendedLengthPath(path).c_str()) != FALSE;
  }
  std::wstring source = path + L'\0';
  SHFILEOPSTRUCTW operation = {};
  operation.hwnd = owner;
  operation.wFunc = FO_DELETE;
  operation.pFrom = source.c_str();
  // With confirm set the shell asks its own question; the file goes to the
  // recycle bin either way.
  operation.fFlags = confirm ? FOF_ALLOWUNDO : FOF_ALLOWUNDO | FOF_NOCONFIRMATION;
  return RunFileOperation(operation) == 0 && !operation.fAnyOperationsAborted;
}

bool CShellFolder::DeleteItem(HWND owner, LPCITEMIDLIST item, bool confirm) {
  if (IsResult(item)) return DeleteResultFile(owner, item, confirm);
  DeleteFolder(owner, item, confirm);
  return false;
}

void CShellFolder::DeleteSelection(HWND owner, const LPCITEMIDLIST* items) {
  if (!items || !items[0]) return;
  try {
    int files = 0;
    int folders = 0;
    for (const LPCITEMIDLIST* item = items; *item; ++item) {
      if (IsResult(*item)) {
        ++files;
      } else {
        ++folders;
      }
    }
    // Deleted files leave the views at once (deleted folders refresh them
    // themselves); the search service may go on listing a file for a while.
    if (files + folders == 1) {
      if (DeleteItem(owner, items[0], true)) RefreshAllViews();
      return;
    }
    std::string text;
    std::string title;
    if (files == 0) {
      text = FormatText(LoadResourceText(IDS_CONFIRM_FOLDERS_DELETE).c_str(), folders);
      title = LoadResourceText(IDS_CONFIRM_FOLDERS_DELETE_TITLE);
    } else if (folders == 0) {
      text = FormatText(LoadResourceText(IDS_CONFIRM_FILES_DELETE).c_str(), files);
      title = LoadResourceText(IDS_CONFIRM_FILES_DELETE_TITLE);
    } else {
      text = FormatText(LoadResourceText(IDS_CONFIRM_MIXED_DELETE).c_str(), folders, files);
      title = LoadResourceText(IDS_CONFIRM_MIXED_DELETE_TITLE);
    }
    if (!AskYesNo(owner, text.c_str(), title.c_str())) return;
    bool filesDeleted = false;
    for (const LPCITEMIDLIST* item = items; *item; ++item) filesDeleted |= DeleteItem(owner, *item, false);
    if (filesDeleted) RefreshAllViews();
  } catch (...) {
  }
}

bool CShellFolder::RenameItem(LPCITEMIDLIST item, const char* newName) {
  return IsResult(item) ? RenameResultFile(item, newName) : RenameFolder(item, newName);
}

bool CShellFolder::RenameResultFile(LPCITEMIDLIST item, const char* newName) {
  if (!IsResult(item) || !newName || !IsPlainFileName(newName) || !IsUtf8(newName, std::strlen(newName))) return false;
  std::wstring source = ToWide(CPidlManager::ResultPath(item));
  if (!PathExists(source)) {
    ReportMissingFile(nullptr, CPidlManager::ItemName(item));
    return false;
  }
  std::size_t slash = source.find_last_of(L'\\');
  if (slash == std::wstring::npos) return false;
  // The new name names a file in the same directory, nothing more.
  std::wstring target = source.substr(0, slash + 1) + ToWide(std::string(newName));
  if (!FitsFileOperation(source) || !FitsFileOperation(target)) {
    // Beyond what the file operation takes: rename the file itself, never over
    // an existing one.
    return MoveFileExW(ExtendedLengthPath(source).c_str(), ExtendedLengthPath(target).c_str(), 0) != FALSE;
  }
  std::wstring from = source + L'\0';
  std::wstring to = target + L'\0';
  SHFILEOPSTRUCTW operation = {};
  operation.wFunc = FO_RENAME;
  operation.pFrom = from.c_str();
  operation.pTo = to.c_str();
  operation.fFlags = FOF_ALLOWUNDO;
  return RunFileOperation(operation) == 0 && !operation.fAnyOperationsAborted;
}

}  // namespace qv
