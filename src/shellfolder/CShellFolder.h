#pragma once
// The folder object the shell binds to: the namespace root (made by the class
// factory) and every search folder below it (made by BindToObject). It answers
// the shell's questions about the items of one folder and hands out the
// per-item objects.

#include <windows.h>
#include <shlobj.h>

#include <memory>

#include "module/ComBase.h"
#include "pidl/CItemIdList.h"
#include "shellfolder/IQuorvaneShellFolder.h"

namespace qv {

class CIconCache;

class CShellFolder final
    : public ComObject<CShellFolder, LiveClass::ShellFolder, IQuorvaneShellFolder, IPersistFolder2> {
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
  // The counts of the enumeration EnumObjects made last.
  ULONG ResultCount() const { return resultCount_; }
  ULONG FolderCount() const { return folderCount_; }
  // The icons of this folder's items, made on first use.
  CIconCache& IconCache();

  // New lists for a child item: from the desktop, and below the namespace root.
  CItemIdList AbsoluteListOf(LPCITEMIDLIST item) const;
  CItemIdList RelativeListOf(LPCITEMIDLIST item) const;

 private:
  SFGAOF AttributesOf(LPCITEMIDLIST item, SFGAOF wanted) const;

  ComPtr<CShellFolder> parent_;
  CItemIdList relative_;
  CItemIdList absolute_;
  ULONG resultCount_ = 0;
  ULONG folderCount_ = 0;
  std::unique_ptr<CIconCache> iconCache_;
};

}  // namespace qv
