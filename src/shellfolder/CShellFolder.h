#pragma once
// The folder object the shell binds to: the namespace root (made by the class
// factory) and every search folder below it (made by BindToObject). It answers
// the shell's questions about the items of one folder and hands out the
// per-item objects.

#include <windows.h>
#include <shlobj.h>

#include <functional>
#include <memory>
#include <string>

#include "common/ComBase.h"
#include "runtime/LiveObjects.h"
#include "pidl/CItemIdList.h"
#include "pidl/FolderSettings.h"
#include "shellfolder/IQuorvaneShellFolder.h"
#include "view/IViewFolder.h"

namespace qv {

class CIconCache;

class CShellFolder final
    : public ComObject<CShellFolder, LiveCount<LiveClass::ShellFolder>, IQuorvaneShellFolder, IPersistFolder2>,
      public IViewFolder {
 public:
  // The namespace root; the shell places it with IPersistFolder::Initialize.
  // Throws ComError when the module-wide objects are missing.
  CShellFolder();
  // A folder below parent; relativeList is the item (or items) that parent was
  // asked to bind to.
  CShellFolder(CShellFolder* parent, LPCITEMIDLIST relativeList);
  ~CShellFolder() override;

  static const InterfaceEntry* InterfaceTable();

  // IShellFolder
  STDMETHODIMP ParseDisplayName(HWND hwnd, IBindCtx* bindContext, LPWSTR displayName, ULONG* eaten,
                                LPITEMIDLIST* item, ULONG* attributes) override;
  STDMETHODIMP EnumObjects(HWND hwnd, SHCONTF flags, IEnumIDList** enumerator) override;
  STDMETHODIMP BindToObject(LPCITEMIDLIST item, IBindCtx* bindContext, REFIID riid, void** ppv) override;
  STDMETHODIMP BindToStorage(LPCITEMIDLIST item, IBindCtx* bindContext, REFIID riid, void** ppv) override;
  STDMETHODIMP CompareIDs(LPARAM column, LPCITEMIDLIST first, LPCITEMIDLIST second) override;
  STDMETHODIMP CreateViewObject(HWND owner, REFIID riid, void** ppv) override;
  STDMETHODIMP GetAttributesOf(UINT count, LPCITEMIDLIST* items, SFGAOF* attributes) override;
  STDMETHODIMP GetUIObjectOf(HWND owner, UINT count, LPCITEMIDLIST* items, REFIID riid, UINT* reserved,
                             void** ppv) override;
  STDMETHODIMP GetDisplayNameOf(LPCITEMIDLIST item, SHGDNF flags, STRRET* name) override;
  STDMETHODIMP SetNameOf(HWND hwnd, LPCITEMIDLIST item, LPCWSTR newName, SHGDNF flags,
                         LPITEMIDLIST* renamedItem) override;

  // IQuorvaneShellFolder
  STDMETHODIMP MoveFolders(IShellFolder* sourceFolder, LPCITEMIDLIST* items, UINT count, BOOL move) override;

  // IPersist, IPersistFolder, IPersistFolder2
  STDMETHODIMP GetClassID(CLSID* classId) override;
  STDMETHODIMP Initialize(LPCITEMIDLIST absoluteList) override;
  STDMETHODIMP GetCurFolder(LPITEMIDLIST* absoluteList) override;

  // For the view, the per-item objects and the folder operations.
  bool IsRootFolder() const { return !parent_; }
  CShellFolder* Parent() const { return parent_.Get(); }
  // This folder's list from the desktop; empty before Initialize.
  LPCITEMIDLIST AbsoluteList() const { return absolute_.Get(); }
  // This folder's list below the namespace root; empty for the root.
  LPCITEMIDLIST RelativeList() const { return relative_.Get(); }
  // The icons of this folder's items, made on first use.
  CIconCache& IconCache();

  // New lists for a child item: from the desktop, and below the namespace root.
  CItemIdList AbsoluteListOf(LPCITEMIDLIST item) const;
  CItemIdList RelativeListOf(LPCITEMIDLIST item) const;

  // IViewFolder: the counts are those of the enumeration EnumObjects made last.
  int ResultCount() const override { return static_cast<int>(resultCount_); }
  int FolderCount() const override { return static_cast<int>(folderCount_); }
  int GetViewStyle() override;
  void SetViewStyle(int mode) override;
  std::string GetSortOrder() override;
  void SetSortOrder(const std::string& order) override;
  std::wstring ContentSignature() override;
  HIMAGELIST SmallImageList() override;
  HIMAGELIST LargeImageList() override;

  // Folder and item operations. `item` is always a child list of this folder;
  // `owner` is the window of the view or dialog the command came from (null when
  // there is none) and owns any question asked. None of them throws: a refused
  // or failed operation changes nothing, notifies nothing and answers false or
  // an empty list.

  // Adds "New Folder" (or the first free "New Folder (n)") under this folder and
  // starts editing its name in the newest view; the new folder's absolute list.
  CItemIdList NewFolder();
  // Adds a sub-folder with exactly this name (no uniqueness test), announces it
  // and starts editing its name in the newest view; its absolute list.
  CItemIdList NewNamedFolder(const char* name);
  // Removes a search folder after asking when `confirm` is set. A null item
  // removes this folder itself (through its parent); never the root.
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
  bool RenameItem(LPCITEMIDLIST item, const char* newName) override;
  bool RenameResultFile(LPCITEMIDLIST item, const char* newName);
  bool RenameFolder(LPCITEMIDLIST item, const char* newName);

  // File-type commands on this folder's search string; `extension` has no dot.
  // False when refused (the rewritten search string would not fit).
  bool ShowOnlyFileType(const char* extension);
  bool HideFileType(const char* extension);
  // Adds the sub-folder "<ext> files" searching this folder's string narrowed to
  // the type; this folder's own string is left for HideFileType.
  bool MoveFileTypeToFolder(const char* extension);
  // Empties the search string of a child folder (and refreshes the views) or,
  // with a null item, of this folder itself.
  void ClearSearchString(LPCITEMIDLIST item);

  // Verbs.
  // Opens a child as a folder, with the folder tree when `explore` is set.
  void OpenFolderItem(HWND owner, LPCITEMIDLIST item, bool explore);
  // Runs the default verb of a result's file.
  void OpenResult(LPCITEMIDLIST item);
  // Opens the directory that holds a result's file.
  void OpenContainingFolder(LPCITEMIDLIST item);
  // The file's property sheet for a result, the folder properties dialog for a
  // search folder or (null item) this folder, the About box for the root.
  void ShowProperties(HWND owner, LPCITEMIDLIST item);
  // The product version and module directory in a message box.
  void ShowAbout(HWND owner);

 private:
  SFGAOF AttributesOf(LPCITEMIDLIST item, SFGAOF wanted) const;
  // The renamed child's new item, or an empty list when the rename is refused.
  CItemIdList RenamedFolder(LPCITEMIDLIST item, const std::string& name);
  // Reads the stored settings of the folder `list` names, lets `change` edit
  // them (false refuses) and writes and saves what changed; nothing else of the
  // folder is written.
  static bool ChangeStoredSettings(const CItemIdList& list, const std::function<bool(FolderSettings&)>& change);
  // Adds a sub-folder under this folder with the given name and search string,
  // announces it and starts editing its name in the newest view.
  CItemIdList AddAndAnnounceFolder(const std::string& name, const char* query);
  // Tells the user that a result's file cannot be found exactly any more.
  static void ReportMissingFile(HWND owner, const std::string& name);

  ComPtr<CShellFolder> parent_;
  CItemIdList relative_;
  CItemIdList absolute_;
  ULONG resultCount_ = 0;
  ULONG folderCount_ = 0;
  std::unique_ptr<CIconCache> iconCache_;
};

}  // namespace qv
