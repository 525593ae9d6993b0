#pragma once
// The folder object the shell binds to: the namespace root (made by the class
// factory) and every search folder below it (made by BindToObject). It answers
// the shell's questions about the items of one folder and hands out the
// per-item objects.

#include <windows.h>
#include <shlobj.h>

#include <memory>
#include <string>

#include "common/ComBase.h"
#include "operations/FolderOperations.h"
#include "pidl/CItemIdList.h"
#include "runtime/LiveObjects.h"
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

  // IShellFolder2: the columns of the folder's own view, with the platform's
  // property keys.
  STDMETHODIMP GetDefaultSearchGUID(GUID* guid) override;
  STDMETHODIMP EnumSearches(IEnumExtraSearch** searches) override;
  STDMETHODIMP GetDefaultColumn(DWORD reserved, ULONG* sortColumn, ULONG* displayColumn) override;
  STDMETHODIMP GetDefaultColumnState(UINT column, SHCOLSTATEF* state) override;
  STDMETHODIMP GetDetailsEx(LPCITEMIDLIST item, const SHCOLUMNID* key, VARIANT* value) override;
  STDMETHODIMP GetDetailsOf(LPCITEMIDLIST item, UINT column, SHELLDETAILS* details) override;
  STDMETHODIMP MapColumnToSCID(UINT column, SHCOLUMNID* key) override;

  // IQuorvaneShellFolder
  STDMETHODIMP MoveFolders(IShellFolder* sourceFolder, LPCITEMIDLIST* items, UINT count, BOOL move) override;

  // IPersist, IPersistFolder, IPersistFolder2
  STDMETHODIMP GetClassID(CLSID* classId) override;
  STDMETHODIMP Initialize(LPCITEMIDLIST absoluteList) override;
  STDMETHODIMP GetCurFolder(LPITEMIDLIST* absoluteList) override;

  // For the view and the per-item objects.
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

  // IViewFolder: the operations behind the view's commands.
  bool RenameItem(LPCITEMIDLIST item, const char* newName) override;
  CItemIdList NewFolder() override;
  void DeleteFolder(HWND owner, LPCITEMIDLIST item, bool confirm) override;
  void DeleteSelection(HWND owner, const LPCITEMIDLIST* items) override;
  void ShowProperties(HWND owner, LPCITEMIDLIST item) override;

  // The operations of this folder, asking with message boxes. Throws ComError
  // when the module-wide objects are missing.
  FolderOperations Operations() const;

 private:
  SFGAOF AttributesOf(LPCITEMIDLIST item, SFGAOF wanted) const;
  // The desktop's parsing name of this folder's list joined with `item`.
  std::string ParsingNameOf(LPCITEMIDLIST item) const;

  ComPtr<CShellFolder> parent_;
  CItemIdList relative_;
  CItemIdList absolute_;
  ULONG resultCount_ = 0;
  ULONG folderCount_ = 0;
};

}  // namespace qv
