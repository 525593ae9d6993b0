// FolderOperations: creating, deleting, renaming and moving search folders and
// result files, and the settings kept per folder.

#include "operations/FolderOperations.h"

#include <cstring>

#include "common/ModulePaths.h"
#include "common/Text.h"
#include "folders/CDocumentLock.h"
#include "folders/CFolderStore.h"
#include "operations/ShellRequests.h"
#include "pidl/CPidlManager.h"
#include "resources/resource.h"
#include "runtime/ModuleUse.h"

namespace qv {
namespace {

bool IsResult(LPCITEMIDLIST item) { return CPidlManager::KindOf(item) == ItemKind::Result; }
bool IsFolder(LPCITEMIDLIST item) { return CPidlManager::KindOf(item) == ItemKind::Folder; }

bool IsSingleItem(LPCITEMIDLIST list) {
  return CPidlManager::KindOf(list) != ItemKind::None &&
         CPidlManager::KindOf(CPidlManager::GetNextItem(list)) == ItemKind::None;
}

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

// head followed by tail, in a new holder.
CItemIdList JoinLists(LPCITEMIDLIST head, LPCITEMIDLIST tail) {
  CItemIdList joined(RequirePidlManager());
  if (!head && !tail) return joined;
  joined.Adopt(RequirePidlManager().Concat(head, tail));
  if (!joined.Get()) throw std::bad_alloc();
  return joined;
}

// The system's own words for a failure, without the line break it ends with.
std::string SystemMessage(HRESULT failure) {
  wchar_t* text = nullptr;
  DWORD length = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                    FORMAT_MESSAGE_IGNORE_INSERTS,
                                nullptr, static_cast<DWORD>(failure), 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  std::wstring message = length && text ? std::wstring(text, length) : std::wstring();
  if (text) LocalFree(text);
  while (!message.empty() && (message.back() == L'\n' || message.back() == L'\r' || message.back() == L' ')) {
    message.pop_back();
  }
  if (message.empty()) return FormatText("error 0x%08lX", static_cast<unsigned long>(failure));
  return ToUtf8(message);
}

// What went wrong with a save of the document at `path`, for the user.
std::string SaveFailureText(HRESULT failure, const std::wstring& path) {
  std::string file = ToUtf8(path);
  switch (failure) {
    case kDocumentReadOnly:
      return FormatText(LoadResourceText(IDS_DOCUMENT_READ_ONLY).c_str(), file.c_str());
    case kDocumentNotAFile:
      return FormatText(LoadResourceText(IDS_DOCUMENT_NOT_A_FILE).c_str(), file.c_str());
    case kDocumentChangedElsewhere:
      return LoadResourceText(IDS_FOLDER_CHANGED_ELSEWHERE);
    case kDocumentNotWrittenWhole:
      return FormatText(LoadResourceText(IDS_DOCUMENT_NOT_WRITTEN_WHOLE).c_str(), file.c_str());
    default:
      break;
  }
  if (failure == HRESULT_FROM_WIN32(ERROR_TIMEOUT)) {
    return FormatText(LoadResourceText(IDS_DOCUMENT_BUSY).c_str(), file.c_str(),
                      static_cast<unsigned>(kDocumentLockTimeout / 1000));
  }
  return FormatText(LoadResourceText(IDS_DOCUMENT_NOT_SAVED).c_str(), file.c_str(), SystemMessage(failure).c_str());
}

}  // namespace

CItemIdList RenamedResultItem(LPCITEMIDLIST item, const std::string& newName) {
  CItemIdList renamed(RequirePidlManager());
  if (!IsResult(item)) return renamed;
  std::string path = CPidlManager::ResultPath(item);
  std::size_t slash = path.find_last_of('\\');
  if (path.empty() || slash == std::string::npos) return renamed;
  renamed.Adopt(RequirePidlManager().CreateResultItem(newName, path.substr(0, slash + 1) + newName, 0));
  return renamed;
}

FolderOperations::FolderOperations(CFolderStore& store, LPCITEMIDLIST absoluteList, bool isRoot,
                                   IOperationPrompts& prompts)
    : store_(&store), absolute_(RequirePidlManager(), absoluteList), root_(isRoot), prompts_(&prompts) {}

CItemIdList FolderOperations::AbsoluteListOf(LPCITEMIDLIST item) const { return JoinLists(absolute_.Get(), item); }

void FolderOperations::ReportFailure(HWND owner, HRESULT failure, bool tell) {
  failure_ = failure;
  if (!tell) return;
  try {
    prompts_->Inform(owner,
                     FormatText(LoadResourceText(IDS_CHANGE_NOT_SAVED).c_str(),
                                SaveFailureText(failure, store_->DocumentPath()).c_str()),
                     kProductName);
  } catch (...) {
  }
}

bool FolderOperations::ChangeStoredSettings(LPCITEMIDLIST list, const std::function<bool(FolderSettings&)>& change,
                                            bool announce) {
  DocumentLockDeadline deadline;
  try {
    if (!IsFolder(CPidlManager::GetLastItem(list))) return false;
    if (!store_->ChangeFolder(list, change)) return false;
    if (announce) NotifyShell(SHCNE_UPDATEDIR, list, nullptr);
    return true;
  } catch (const ComError& error) {
    // The user's own commands say what was not saved; what the view keeps of
    // its own accord (the view mode, the order) is not worth a message.
    ReportFailure(nullptr, error.Result(), announce);
    return false;
  } catch (...) {
    return false;
  }
}

CItemIdList FolderOperations::AddAndAnnounceFolder(const std::string& name, const char* query, bool number) {
  DocumentLockDeadline deadline;
  CItemIdList created(RequirePidlManager());
  try {
    if (name.empty() || CharacterCount(name) > kMaxFolderNameCharacters) return created;
    ComPtr<IXMLDOMNode> parentNode = store_->FindFolderNode(absolute_.Get());
    if (!parentNode) return created;
    // The name is chosen, and the search string written, in the one change that
    // adds the folder: under the document's lock, against the siblings as the
    // file holds them, before anyone sees the folder.
    ComPtr<IXMLDOMNode> node = store_->AddFolder(
        parentNode.Get(), name.c_str(), number ? CFolderStore::NameTaken::Number : CFolderStore::NameTaken::Refuse,
        query);
    if (!node) {
      ComPtr<IXMLDOMNode> parentNow = store_->FindFolderNode(absolute_.Get());
      if (parentNow && store_->HasChildNamed(parentNow.Get(), name)) {
        prompts_->Inform(nullptr, FormatText(LoadResourceText(IDS_FOLDER_NAME_TAKEN).c_str(), name.c_str()),
                         kProductName);
      }
      return created;
    }
    CItemIdList item(RequirePidlManager());
    item.Adopt(RequirePidlManager().CreateFolderItem(CFolderStore::ReadFolderSettings(node.Get())));
    if (!item.Get()) return created;
    created = AbsoluteListOf(item.Get());
  } catch (const ComError& error) {
    ReportFailure(nullptr, error.Result());
    return CItemIdList(RequirePidlManager());
  }
  NotifyShell(SHCNE_MKDIR, created.Get(), nullptr);
  prompts_->EditNewFolderName(created.Get());
  return created;
}

CItemIdList FolderOperations::NewFolder() {
  try {
    // The first free "New Folder (n)" is chosen by the store under the lock; the
    // search starts at 1 every time, so gaps are filled first.
    return AddAndAnnounceFolder(LoadResourceText(IDS_NEW_FOLDER_NAME), nullptr, true);
  } catch (...) {
    return CItemIdList(RequirePidlManager());
  }
}

CItemIdList FolderOperations::NewNamedFolder(const char* name) {
  try {
    return AddAndAnnounceFolder(name ? name : "", nullptr, false);
  } catch (...) {
    return CItemIdList(RequirePidlManager());
  }
}

void FolderOperations::DeleteFolder(HWND owner, LPCITEMIDLIST item, bool confirm) {
  try {
    CItemIdList absolute(RequirePidlManager());
    if (!item) {
      // The folder deletes itself from its parent; the root has none.
      if (root_ || !IsFolder(absolute_.GetLastItem())) return;
      absolute = absolute_;
      item = absolute_.GetLastItem();
    } else {
      if (!IsFolder(item)) return;
      absolute = AbsoluteListOf(item);
    }
    std::string name = CPidlManager::ItemName(item);
    if (confirm && !prompts_->Confirm(owner, FormatText(LoadResourceText(IDS_CONFIRM_FOLDER_DELETE).c_str(), name.c_str()),
                                      LoadResourceText(IDS_CONFIRM_FOLDER_DELETE_TITLE))) {
      return;
    }
    // The deadline starts once the user has answered.
    DocumentLockDeadline deadline;
    if (!store_->RemoveFolder(absolute.Get())) return;
    NotifyShell(SHCNE_RMDIR, absolute.Get(), nullptr);
  } catch (const ComError& error) {
    ReportFailure(owner, error.Result());
  } catch (...) {
  }
}

void FolderOperations::ReportMissingFile(HWND owner, const std::string& name) {
  prompts_->Inform(owner, FormatText(LoadResourceText(IDS_RESULT_FILE_MISSING).c_str(), name.c_str()),
                   LoadResourceText(IDS_RESULT_FILE_MISSING_TITLE));
}

bool FolderOperations::DeleteResultFile(HWND owner, LPCITEMIDLIST item, bool confirm) {
  if (!IsResult(item)) return false;
  try {
    // Only the exact file the item names is ever deleted: an item that cannot
    // name it exactly, or whose file has gone, is refused.
    std::wstring path = ToWide(CPidlManager::ResultPath(item));
    if (!PathExists(path)) {
      ReportMissingFile(owner, CPidlManager::ItemName(item));
      return false;
    }
    bool deleted = false;
    if (!FitsFileOperation(path)) {
      // The recycle bin takes no path this long: delete the file itself, after
      // the user has agreed to that in so many words.
      if (!prompts_->Confirm(owner,
                             FormatText(LoadResourceText(IDS_CONFIRM_LONG_PATH_DELETE).c_str(),
                                        CPidlManager::ItemName(item).c_str()),
                             LoadResourceText(IDS_CONFIRM_FILES_DELETE_TITLE))) {
        return false;
      }
      deleted = DeleteFileW(ExtendedLengthPath(path).c_str()) != FALSE;
    } else {
      std::wstring source = path + L'\0';
      SHFILEOPSTRUCTW operation = {};
      operation.hwnd = owner;
      operation.wFunc = FO_DELETE;
      operation.pFrom = source.c_str();
      // With confirm set the shell asks its own question; the file goes to the
      // recycle bin either way.
      operation.fFlags = confirm ? FOF_ALLOWUNDO : FOF_ALLOWUNDO | FOF_NOCONFIRMATION;
      // A caller that may show nothing gets what the shell's own menu does then:
      // the file goes to the recycle bin unasked.
      if (prompts_->Quiet()) operation.fFlags |= FOF_NOCONFIRMATION | FOF_SILENT | FOF_NOERRORUI;
      deleted = RunFileOperation(operation) == 0 && !operation.fAnyOperationsAborted;
    }
    // The row leaves the views at once; the search service may go on listing
    // the file for a while.
    if (deleted) NotifyShell(SHCNE_DELETE, AbsoluteListOf(item).Get(), nullptr);
    return deleted;
  } catch (...) {
    return false;
  }
}

bool FolderOperations::DeleteItem(HWND owner, LPCITEMIDLIST item, bool confirm) {
  if (IsResult(item)) return DeleteResultFile(owner, item, confirm);
  DeleteFolder(owner, item, confirm);
  return false;
}

void FolderOperations::DeleteSelection(HWND owner, const LPCITEMIDLIST* items) {
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
    if (files + folders == 1) {
      DeleteItem(owner, items[0], true);
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
    if (!prompts_->Confirm(owner, text, title)) return;
    DocumentLockDeadline deadline;
    for (const LPCITEMIDLIST* item = items; *item && SUCCEEDED(failure_); ++item) DeleteItem(owner, *item, false);
  } catch (...) {
  }
}

bool FolderOperations::RenameItem(LPCITEMIDLIST item, const char* newName) {
  return IsResult(item) ? RenameResultFile(item, newName) : RenameFolder(item, newName);
}

bool FolderOperations::RenameResultFile(LPCITEMIDLIST item, const char* newName) {
  if (!IsResult(item) || !newName || !IsPlainFileName(newName) || !IsUtf8(newName, std::strlen(newName))) return false;
  try {
    std::wstring source = ToWide(CPidlManager::ResultPath(item));
    if (!PathExists(source)) {
      ReportMissingFile(nullptr, CPidlManager::ItemName(item));
      return false;
    }
    std::size_t slash = source.find_last_of(L'\\');
    if (slash == std::wstring::npos) return false;
    // The new name names a file in the same directory, nothing more.
    std::wstring target = source.substr(0, slash + 1) + ToWide(std::string(newName));
    bool renamed = false;
    if (!FitsFileOperation(source) || !FitsFileOperation(target)) {
      // Beyond what the file operation takes: rename the file itself, never over
      // an existing one.
      renamed = MoveFileExW(ExtendedLengthPath(source).c_str(), ExtendedLengthPath(target).c_str(), 0) != FALSE;
    } else {
      std::wstring from = source + L'\0';
      std::wstring to = target + L'\0';
      SHFILEOPSTRUCTW operation = {};
      operation.wFunc = FO_RENAME;
      operation.pFrom = from.c_str();
      operation.pTo = to.c_str();
      operation.fFlags = FOF_ALLOWUNDO;
      renamed = RunFileOperation(operation) == 0 && !operation.fAnyOperationsAborted;
    }
    // The views change the file's row to its new name at once: the search
    // service may answer the old path until its watcher has seen the rename.
    if (renamed) {
      CItemIdList renamedItem = RenamedResultItem(item, newName);
      if (renamedItem.Get()) {
        NotifyShell(SHCNE_RENAMEITEM, AbsoluteListOf(item).Get(), AbsoluteListOf(renamedItem.Get()).Get());
      } else {
        NotifyShell(SHCNE_UPDATEDIR, absolute_.Get(), nullptr);
      }
    }
    return renamed;
  } catch (...) {
    return false;
  }
}

bool FolderOperations::RenameFolder(LPCITEMIDLIST item, const char* newName) {
  try {
    return newName && IsSingleItem(item) && RenamedFolder(item, newName).Get() != nullptr;
  } catch (...) {
    return false;
  }
}

CItemIdList FolderOperations::RenamedFolder(LPCITEMIDLIST item, const std::string& name) {
  DocumentLockDeadline deadline;
  CItemIdList none(RequirePidlManager());
  if (name.empty() || CharacterCount(name) > kMaxFolderNameCharacters || !IsUtf8(name.data(), name.size())) return none;
  FolderSettings old;
  if (CPidlManager::KindOf(item) != ItemKind::Folder || !CPidlManager::ReadFolderSettings(item, old)) return none;

  ComPtr<IXMLDOMNode> parentNode = store_->FindFolderNode(absolute_.Get());
  if (!parentNode || name == old.name) return none;
  CItemIdList oldAbsolute = AbsoluteListOf(item);
  ComPtr<IXMLDOMNode> node = store_->FindFolderNode(oldAbsolute.Get());
  if (!node) return none;
  // A sibling of the same name, letter case aside, is refused as the file
  // system would; the folder itself may change the case of its own name.
  if (store_->HasChildNamed(parentNode.Get(), name, old.name)) return none;
  // The renamed item carries the document's settings with the new name; only
  // the name is written to the document.
  FolderSettings renamedSettings = CFolderStore::ReadFolderSettings(node.Get());
  renamedSettings.name = name;
  CItemIdList renamed(RequirePidlManager());
  renamed.Adopt(RequirePidlManager().CreateFolderItem(renamedSettings));
  if (!renamed.Get()) return none;
  int written = 0;
  try {
    written = store_->ChangeFolder(oldAbsolute.Get(), [&name](FolderSettings& stored) {
      stored.name = name;
      return true;
    });
  } catch (const ComError& error) {
    ReportFailure(nullptr, error.Result(), false);
    return none;
  }
  if (!written) return none;
  CItemIdList newAbsolute = AbsoluteListOf(renamed.Get());
  NotifyShell(SHCNE_RENAMEFOLDER, oldAbsolute.Get(), newAbsolute.Get());
  return renamed;
}

bool FolderOperations::MoveFoldersFrom(LPCITEMIDLIST sourceList, const LPCITEMIDLIST* items, UINT count) {
  if (!sourceList || !items) return false;
  DocumentLockDeadline deadline;
  bool moved = false;
  try {
    for (UINT i = 0; i < count; ++i) {
      if (CPidlManager::KindOf(items[i]) != ItemKind::Folder || !IsSingleItem(items[i])) continue;
      // A sibling of the same name would leave two folders the document cannot
      // tell apart; the folder stays where it is.
      ComPtr<IXMLDOMNode> here = store_->FindFolderNode(absolute_.Get());
      if (!here) break;
      if (store_->HasChildNamed(here.Get(), CPidlManager::ItemName(items[i]))) continue;
      CItemIdList from = JoinLists(sourceList, items[i]);
      int done = 0;
      try {
        // Refused quietly: a move into the folder itself or below it.
        done = store_->MoveFolder(from.Get(), absolute_.Get());
      } catch (const ComError& error) {
        if (error.Result() == E_POINTER || error.Result() == E_INVALIDARG) continue;
        // The document cannot be saved: the folders left stay where they are.
        ReportFailure(nullptr, error.Result());
        break;
      }
      if (!done) continue;
      NotifyShell(SHCNE_RMDIR, from.Get(), nullptr);
      NotifyShell(SHCNE_MKDIR, AbsoluteListOf(items[i]).Get(), nullptr);
      moved = true;
    }
  } catch (...) {
  }
  return moved;
}

std::optional<FolderOperations::AppliedSettings> FolderOperations::ApplySettings(HWND owner, LPCITEMIDLIST folderList,
                                                                               const FolderSettings& shown,
                                                                               FolderSettings edited) {
  if (!IsFolder(CPidlManager::GetLastItem(folderList))) return std::nullopt;
  DocumentLockDeadline deadline;
  bool nameChanged = false;
  if (edited.name != shown.name) {
    // A sibling's name, letter case aside, would make two folders that one
    // path cannot tell apart; a change of case of the folder's own name is not.
    ComPtr<IXMLDOMNode> parentNode = store_->FindFolderNode(absolute_.Get());
    nameChanged = !edited.name.empty() && CharacterCount(edited.name) <= kMaxFolderNameCharacters && parentNode &&
                  !store_->HasChildNamed(parentNode.Get(), edited.name, shown.name);
    if (!nameChanged) edited.name = shown.name;
  }
  if (edited == shown) return std::nullopt;

  FolderSettings saved;
  int written = 0;
  try {
    written = store_->ChangeFolder(folderList, [&](FolderSettings& stored) {
      if (edited.name != shown.name) stored.name = edited.name;
      if (edited.query != shown.query) stored.query = edited.query;
      if (edited.category != shown.category) stored.category = edited.category;
      if (edited.rankByRecency != shown.rankByRecency) stored.rankByRecency = edited.rankByRecency;
      if (edited.maxResults != shown.maxResults) stored.maxResults = edited.maxResults;
      saved = stored;
      return true;
    });
  } catch (const ComError& error) {
    failure_ = error.Result();
    prompts_->Inform(owner,
                     FormatText(LoadResourceText(IDS_SETTINGS_NOT_SAVED).c_str(),
                                SaveFailureText(error.Result(), store_->DocumentPath()).c_str()),
                     FormatText("%s Properties", shown.name.c_str()));
    return std::nullopt;
  }
  if (!written) {
    // Refused: the folder is not where, or not what, the dialog holds any more.
    prompts_->Inform(owner, LoadResourceText(IDS_FOLDER_CHANGED_ELSEWHERE),
                     FormatText("%s Properties", shown.name.c_str()));
    return std::nullopt;
  }
  CItemIdList item(RequirePidlManager());
  item.Adopt(RequirePidlManager().CreateFolderItem(saved));
  if (!item.Get()) return std::nullopt;
  AppliedSettings applied{AbsoluteListOf(item.Get()), saved};
  if (nameChanged) {
    NotifyShell(SHCNE_RENAMEFOLDER, folderList, applied.list.Get());
  } else {
    NotifyShell(SHCNE_UPDATEDIR, applied.list.Get(), nullptr);
  }
  return applied;
}

int FolderOperations::ViewStyle() const {
  try {
    if (root_) return kDefaultStyle;
    FolderSettings record;
    if (!CPidlManager::ReadFolderSettings(absolute_.GetLastItem(), record)) return kDefaultStyle;
    ComPtr<IXMLDOMNode> node = store_->FindFolderNode(absolute_.Get());
    if (node) record = CFolderStore::ReadFolderSettings(node.Get());
    return record.style;
  } catch (...) {
    return kDefaultStyle;
  }
}

void FolderOperations::SetViewStyle(int mode) {
  if (root_) return;
  ChangeStoredSettings(absolute_.Get(), [mode](FolderSettings& record) {
    record.style = mode;
    return true;
  }, false);
}

std::string FolderOperations::SortOrder() const {
  try {
    if (root_) return {};
    ComPtr<IXMLDOMNode> node = store_->FindFolderNode(absolute_.Get());
    return node ? CFolderStore::ReadFolderSettings(node.Get()).sort : std::string();
  } catch (...) {
    return {};
  }
}

void FolderOperations::SetSortOrder(const std::string& order) {
  if (root_ || order.empty()) return;
  ChangeStoredSettings(absolute_.Get(), [&order](FolderSettings& record) {
    record.sort = order;
    return true;
  }, false);
}

}  // namespace qv
