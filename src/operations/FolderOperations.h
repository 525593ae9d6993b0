#pragma once
// The folder and file operations of one search folder (or of the namespace
// root): making, deleting and renaming search folders and results' files,
// moving folders, the file-type commands, the verbs and the settings the view
// keeps per folder. Built from the folder's absolute list and the store; what
// it asks goes to an IOperationPrompts. Every change is written to the store
// and announced to the shell (SHChangeNotify), so views here and in other
// processes refresh themselves.

#include <windows.h>
#include <shlobj.h>

#include <functional>
#include <optional>
#include <string>

#include "operations/IOperationPrompts.h"
#include "pidl/CItemIdList.h"
#include "pidl/FolderSettings.h"

namespace qv {

class CFolderStore;

// The item a result becomes when its file is renamed to `newName` in the same
// directory; an empty list for an item that is no result with a path.
CItemIdList RenamedResultItem(LPCITEMIDLIST item, const std::string& newName);

class FolderOperations {
 public:
  // `absoluteList` is the folder's list from the desktop; `isRoot` marks the
  // namespace root (which is never deleted and has the About box for
  // properties). The store and the prompts must outlive the object.
  FolderOperations(CFolderStore& store, LPCITEMIDLIST absoluteList, bool isRoot, IOperationPrompts& prompts);

  LPCITEMIDLIST AbsoluteList() const { return absolute_.Get(); }
  bool IsRootFolder() const { return root_; }
  // A new list for a child item of this folder, from the desktop.
  CItemIdList AbsoluteListOf(LPCITEMIDLIST item) const;

  // In what follows `item` is always a child list of this folder and `owner`
  // the window the command came from (null when there is none), which owns any
  // question asked. None of them throws: a refused or failed operation changes
  // nothing, notifies nothing and answers false or an empty list. A change the
  // folder definitions could not save is reported to the user through the
  // prompts (naming the file and the cause), except a rename, whose caller
  // reads LastFailure. Each operation waits for the document's lock at most
  // kDocumentLockTimeout in all.

  // Adds "New Folder" (or the first free "New Folder (n)") under this folder;
  // the new folder's absolute list. The prompts may start editing its name.
  CItemIdList NewFolder();
  // Adds a sub-folder with exactly this name (no uniqueness test).
  CItemIdList NewNamedFolder(const char* name);
  // Removes a search folder after asking when `confirm` is set. A null item
  // removes this folder itself (from its parent); never the root.
  void DeleteFolder(HWND owner, LPCITEMIDLIST item, bool confirm);
  // Sends a result's file to the recycle bin; with `confirm` set the shell asks.
  bool DeleteResultFile(HWND owner, LPCITEMIDLIST item, bool confirm);
  // DeleteResultFile for a result, DeleteFolder for a search folder.
  // True when a result file was deleted.
  bool DeleteItem(HWND owner, LPCITEMIDLIST item, bool confirm);
  // Deletes a null-terminated array of items: one item asks its own question,
  // several ask one question for all of them.
  void DeleteSelection(HWND owner, const LPCITEMIDLIST* items);
  // Renames a result's file (same directory) or a search folder.
  bool RenameItem(LPCITEMIDLIST item, const char* newName);
  bool RenameResultFile(LPCITEMIDLIST item, const char* newName);
  bool RenameFolder(LPCITEMIDLIST item, const char* newName);
  // The renamed child's new item, or an empty list when the rename is refused.
  CItemIdList RenamedFolder(LPCITEMIDLIST item, const std::string& name);
  // Why the last operation that failed to save failed; S_OK when none did.
  HRESULT LastFailure() const { return failure_; }
  // Moves search folders (child lists of the folder `sourceList`) here; a
  // namesake here, or a move into the folder itself or below it, leaves a
  // folder where it is. True when any folder moved.
  bool MoveFoldersFrom(LPCITEMIDLIST sourceList, const LPCITEMIDLIST* items, UINT count);

  // File-type commands on this folder's search string; `extension` has no dot.
  // False when refused (the rewritten search string would not fit).
  bool ShowOnlyFileType(const char* extension);
  bool HideFileType(const char* extension);
  // Adds the sub-folder "<ext> files" searching this folder's string narrowed to
  // the type; this folder's own string is left for HideFileType.
  bool MoveFileTypeToFolder(const char* extension);
  // Empties the search string of a child folder or, with a null item, of this
  // folder itself.
  void ClearSearchString(LPCITEMIDLIST item);

  // Writes what the user changed in a folder's properties: `shown` is what the
  // dialog showed of the folder `folderList` (a child of this folder),
  // `edited` what it holds now. A new name a sibling already has is left out.
  // The folder's new absolute list and stored settings, or none when nothing
  // was written (a refusal is reported through the prompts, owned by `owner`).
  struct AppliedSettings {
    CItemIdList list;
    FolderSettings settings;
  };
  std::optional<AppliedSettings> ApplySettings(HWND owner, LPCITEMIDLIST folderList, const FolderSettings& shown,
                                               FolderSettings edited);

  // Verbs.
  // Opens a child as a folder, with the folder tree when `explore` is set.
  // S_OK, or why the shell could not.
  HRESULT OpenFolderItem(HWND owner, LPCITEMIDLIST item, bool explore);
  // Runs the default verb of a result's file; S_OK, or why it did not run
  // (HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND) when the file has gone).
  HRESULT OpenResult(LPCITEMIDLIST item);
  // Opens the directory that holds a result's file.
  void OpenContainingFolder(LPCITEMIDLIST item);
  // The file's property sheet for a result, the folder properties for a search
  // folder or (null item) this folder, the indexing options and About box for the root.
  void ShowProperties(HWND owner, LPCITEMIDLIST item);
  // The indexing options window, and the product version and module directory
  // in a message beside it.
  void ShowAbout(HWND owner);
  // Starts the index tool `tool` with its "options" command; false when it did
  // not start.
  bool OpenIndexingOptions(HWND owner, const std::wstring& tool) const;

  // What the view keeps per folder; the root keeps nothing.
  int ViewStyle() const;
  void SetViewStyle(int mode);
  std::string SortOrder() const;
  void SetSortOrder(const std::string& order);

 private:
  // Reads the stored settings of the folder `list` names, lets `change` edit
  // them (false refuses) and writes and saves what changed; nothing else of the
  // folder is written. Announces the folder as updated when asked.
  bool ChangeStoredSettings(LPCITEMIDLIST list, const std::function<bool(FolderSettings&)>& change,
                            bool announce);
  // Adds a sub-folder with the given name (or, when the name is taken and
  // `number` is set, the first free "name (n)") and search string, and
  // announces it.
  CItemIdList AddAndAnnounceFolder(const std::string& name, const char* query, bool number);
  // Records why a change was not saved and tells the user, naming the file.
  void ReportFailure(HWND owner, HRESULT failure, bool tell = true);
  // Tells the user that a result's file cannot be found exactly any more.
  void ReportMissingFile(HWND owner, const std::string& name);
  // ShellExecuteEx, showing no error of its own when the prompts are quiet;
  // S_OK or the failure.
  HRESULT Execute(SHELLEXECUTEINFOW& info) const;

  CFolderStore* store_;
  CItemIdList absolute_;
  bool root_;
  IOperationPrompts* prompts_;
  HRESULT failure_ = S_OK;
};

}  // namespace qv
