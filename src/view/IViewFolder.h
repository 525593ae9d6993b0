#pragma once
// What a view needs from its folder beyond IShellFolder: the counts of the last
// enumeration, the folder's stored view mode, renaming of either kind of item,
// the folder's icon lists and the folder operations behind the view's commands. The folder object implements it beside IShellFolder;
// the view keeps the object alive through its IShellFolder reference.

#include <windows.h>
#include <commctrl.h>
#include <shtypes.h>

#include <string>

#include "pidl/CItemIdList.h"

namespace qv {

class IViewFolder {
 public:
  // Results and sub-folders counted by the enumerator EnumObjects made last.
  virtual int ResultCount() const = 0;
  virtual int FolderCount() const = 0;
  // The view mode stored for the folder (0x8000 for the root and when none is stored).
  virtual int GetViewStyle() = 0;
  // Stores the mode for the folder; the root keeps nothing.
  virtual void SetViewStyle(int mode) = 0;
  // The column and direction the user last sorted the folder by ("modified
  // descending"); empty when never sorted or not kept (the root).
  virtual std::string GetSortOrder() { return {}; }
  virtual void SetSortOrder(const std::string& order) { (void)order; }
  // What the view shows of the folder's definition, to compare after another
  // process changed the document (empty: the view does not follow such changes).
  virtual std::wstring ContentSignature() { return {}; }
  // Renames a child to a UTF-8 name: a result renames its file, a search folder
  // the folder.
  virtual bool RenameItem(LPCITEMIDLIST item, const char* newName) = 0;
  // The folder's image lists; the folder keeps ownership. Null when missing.
  virtual HIMAGELIST SmallImageList() = 0;
  virtual HIMAGELIST LargeImageList() = 0;

  // The folder operations the view's commands run. `owner` is the window any
  // question is asked over; `item` is a child of the folder, null for the folder
  // itself.
  virtual bool IsRootFolder() const = 0;
  // Creates a search folder here; its absolute list (empty when refused).
  virtual CItemIdList NewFolder() = 0;
  virtual void DeleteFolder(HWND owner, LPCITEMIDLIST item, bool confirm) = 0;
  // `items` ends with a null entry.
  virtual void DeleteSelection(HWND owner, const LPCITEMIDLIST* items) = 0;
  virtual void ShowProperties(HWND owner, LPCITEMIDLIST item) = 0;

 protected:
  ~IViewFolder() = default;
};

}  // namespace qv
