#pragma once
// A folder for view tests: a fixed set of search folders and results served
// through IShellFolder, with the view's folder services. View modes are kept in
// a store shared by the folders of one test, keyed by folder name, as the folder
// definition document keeps them per folder; so are the kept sorts.

#include <windows.h>
#include <shlobj.h>

#include <map>
#include <string>
#include <vector>

#include "common/ComBase.h"
#include "common/Holders.h"
#include "pidl/CItemIdList.h"
#include "view/IViewFolder.h"

namespace qv::test {

struct ViewStyleStore {
  std::map<std::string, int> modes;
  std::map<std::string, std::string> sorts;
};

class TestFolder : public ComObject<TestFolder, NotCounted, IShellFolder>, public IViewFolder {
 public:
  // `name` empty makes the namespace root.
  TestFolder(const std::string& name, const std::string& query, ViewStyleStore& styles);
  ~TestFolder() override;
  static const InterfaceEntry* InterfaceTable();

  void AddFolder(const std::string& name, const std::string& query = "");
  void AddResult(const std::string& name, const std::string& path);
  // Later renames are refused.
  bool acceptRenames = true;
  std::vector<std::string> renames;

  // IShellFolder
  STDMETHODIMP ParseDisplayName(HWND, IBindCtx*, LPWSTR, ULONG*, PIDLIST_RELATIVE*, ULONG*) override {
    return E_NOTIMPL;
  }
  STDMETHODIMP EnumObjects(HWND, SHCONTF, IEnumIDList** enumerator) override;
  STDMETHODIMP BindToObject(PCUIDLIST_RELATIVE, IBindCtx*, REFIID, void** ppv) override;
  STDMETHODIMP BindToStorage(PCUIDLIST_RELATIVE, IBindCtx*, REFIID, void** ppv) override;
  STDMETHODIMP CompareIDs(LPARAM, PCUIDLIST_RELATIVE first, PCUIDLIST_RELATIVE second) override;
  STDMETHODIMP CreateViewObject(HWND, REFIID riid, void** ppv) override;
  STDMETHODIMP GetAttributesOf(UINT, PCUITEMID_CHILD_ARRAY, SFGAOF* attributes) override;
  STDMETHODIMP GetUIObjectOf(HWND, UINT count, PCUITEMID_CHILD_ARRAY items, REFIID riid, UINT*, void** ppv) override;
  STDMETHODIMP GetDisplayNameOf(PCUITEMID_CHILD item, SHGDNF flags, STRRET* name) override;
  STDMETHODIMP SetNameOf(HWND, PCUITEMID_CHILD, LPCWSTR, SHGDNF, PITEMID_CHILD*) override { return E_NOTIMPL; }

  // IViewFolder
  int ResultCount() const override { return resultCount_; }
  int FolderCount() const override { return folderCount_; }
  int GetViewStyle() override;
  void SetViewStyle(int mode) override;
  std::string GetSortOrder() override;
  void SetSortOrder(const std::string& order) override;
  bool RenameItem(LPCITEMIDLIST item, const char* newName) override;
  HIMAGELIST SmallImageList() override { return small_.Get(); }
  HIMAGELIST LargeImageList() override { return large_.Get(); }
  bool IsRootFolder() const override { return name_.empty(); }
  CItemIdList NewFolder() override;
  void DeleteFolder(HWND owner, LPCITEMIDLIST item, bool confirm) override;
  void DeleteSelection(HWND owner, const LPCITEMIDLIST* items) override;
  void ShowProperties(HWND owner, LPCITEMIDLIST item) override;

  // The folder operations the view ran, as "Operation(item names)", and what was
  // asked of and done with the context menus and data objects handed out.
  std::vector<std::string> operations;
  std::vector<std::string> menuCalls;
  // The window messages the context menus were handed while their menu was up.
  std::vector<UINT> menuMessages;
  // What the drop targets handed out were asked, as "Call(target name)".
  std::vector<std::string> dropCalls;

 private:
  std::string name_;
  ViewStyleStore& styles_;
  CItemIdList self_;
  std::vector<CItemIdList> children_;
  int resultCount_ = 0;
  int folderCount_ = 0;
  ImageListHandle small_;
  ImageListHandle large_;
};

}  // namespace qv::test
