// CShellFolder: creating, deleting and renaming search folders and result files.

#include <cstring>

#include "folders/CFolderStore.h"
#include "module/ModuleUse.h"
#include "module/Text.h"
#include "pidl/CPidlManager.h"
#include "resources/resource.h"
#include "shellfolder/CShellFolder.h"
#include "shellfolder/ShellRequests.h"
#include "ui/Confirmation.h"
#include "view/CShellView.h"
#include "view/OpenViews.h"

namespace qv {
namespace {

bool IsResult(LPCITEMIDLIST item) { return CPidlManager::KindOf(item) == ItemKind::Result; }
bool IsFolder(LPCITEMIDLIST item) { return CPidlManager::KindOf(item) == ItemKind::Folder; }

// A path followed by the second terminator the file operation's lists need.
struct FileOperationPath {
  char text[kPathSize + 1] = {};
};

}  // namespace

CItemIdList CShellFolder::AddAndAnnounceFolder(const std::string& name, const char* query) {
  CItemIdList created(RequirePidlManager());
  if (name.empty() || name.size() >= kNameSize) return created;
  CFolderStore& store = RequireFolderStore();
  ComPtr<IXMLDOMNode> parentNode = store.FindFolderNode(absolute_.Get());
  if (!parentNode) return created;
  ComPtr<IXMLDOMNode> node = store.AddFolder(parentNode.Get(), name.c_str());
  if (!node) return created;
  CItemIdList item(RequirePidlManager());
  item.Adopt(RequirePidlManager().CreateFolderItem(node.Get()));
  if (!item.Get()) return created;
  created = AbsoluteListOf(item.Get());
  // The search string goes in before anyone sees the folder: a view that starts
  // renaming it writes its own copy of the item back.
  if (query && !ChangeStoredSettings(created, [query](SearchFolderRecord& record) {
        std::memset(record.query, 0, sizeof record.query);
        CopyAnsi(query, record.query, sizeof record.query);
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
    for (int number = 1; store.FindChildFolder(node.Get(), name.c_str()); ++number) {
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
    char name[kNameSize] = {};
    CPidlManager::GetName(item, name, sizeof name);
    if (confirm && !AskYesNo(owner, FormatText(LoadResourceText(IDS_CONFIRM_FOLDER_DELETE).c_str(), name).c_str(),
                             LoadResourceText(IDS_CONFIRM_FOLDER_DELETE_TITLE).c_str())) {
      return;
    }
    if (!RequireFolderStore().RemoveFolder(absolute.Get())) return;
    NotifyShell(SHCNE_RMDIR, absolute.Get(), nullptr);
    RefreshAllViews();
  } catch (...) {
  }
}

bool CShellFolder::DeleteResultFile(HWND owner, LPCITEMIDLIST item, bool confirm) {
  const ResultRecord* record = CPidlManager::GetResultRecord(item);
  if (!IsResult(item) || !record || !record->filePath[0]) return false;
  FileOperationPath source;
  CopyAnsi(record->filePath, source.text, kPathSize);
  SHFILEOPSTRUCTA operation = {};
  operation.hwnd = owner;
  operation.wFunc = FO_DELETE;
  operation.pFrom = source.text;
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
  const ResultRecord* record = CPidlManager::GetResultRecord(item);
  if (!IsResult(item) || !record || !newName || !*newName) return false;
  // The new name names a file in the same directory, nothing more.
  if (std::strpbrk(newName, "\\/:")) return false;
  FileOperationPath source;
  CopyAnsi(record->filePath, source.text, kPathSize);
  char* slash = std::strrchr(source.text, '\\');
  if (!slash) return false;
  std::size_t directoryLength = static_cast<std::size_t>(slash - source.text) + 1;
  if (directoryLength + std::strlen(newName) > kPathSize - 1) return false;
  FileOperationPath target;
  std::memcpy(target.text, source.text, directoryLength);
  std::memcpy(target.text + directoryLength, newName, std::strlen(newName));
  SHFILEOPSTRUCTA operation = {};
  operation.wFunc = FO_RENAME;
  operation.pFrom = source.text;
  operation.pTo = target.text;
  operation.fFlags = FOF_ALLOWUNDO;
  return RunFileOperation(operation) == 0 && !operation.fAnyOperationsAborted;
}

}  // namespace qv
