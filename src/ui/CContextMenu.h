#pragma once
// The context menu a folder hands out for a selection of its items, or for no
// item (the folder's background). It builds the menu from the string table and
// runs a chosen command as one of the folder's operations, asking through its
// own prompts; a folder it makes is renamed in the active view of the browser
// its site leads to. For a selection of
// results it also merges the shell's own menu for the files behind them and
// passes those commands on.

#include <windows.h>
#include <shlobj.h>

#include <optional>
#include <string>
#include <vector>

#include "common/ComBase.h"
#include "operations/FolderOperations.h"
#include "pidl/CItemIdList.h"
#include "runtime/LiveObjects.h"
#include "ui/Confirmation.h"

namespace qv {

class CContextMenu final
    : public ComObject<CContextMenu, LiveCount<LiveClass::ContextMenu>, IContextMenu3, IObjectWithSite>,
      private CMessageBoxPrompts {
 public:
  // Command offsets from the first identifier the caller gives.
  enum Offset : UINT {
    kExplore = 0,
    kOpenFolder = 1,
    kRename = 2,
    kOpenResult = 3,
    kNewFolder = 4,
    kDelete = 5,
    kProperties = 6,
    kMoveTypeToFolder = 7,
    kHideType = 8,
    kShowOnlyType = 9,
    kOpenContainingFolder = 10,
    kClearSearchString = 11,
    // Offsets up to 15 are the menu's own, whether used or not; the shell's
    // merged menu starts after them.
    kOwnOffsets = 16,
  };

  // `folder` is the folder the items belong to, `absoluteList` its list from
  // the desktop and `isRoot` set for the namespace root. Copies the items;
  // throws std::bad_alloc when it cannot.
  CContextMenu(IShellFolder* folder, LPCITEMIDLIST absoluteList, bool isRoot, const LPCITEMIDLIST* items,
               UINT count);
  ~CContextMenu() override;

  static const InterfaceEntry* InterfaceTable();

  // IContextMenu
  STDMETHODIMP QueryContextMenu(HMENU menu, UINT index, UINT firstId, UINT lastId, UINT flags) override;
  STDMETHODIMP InvokeCommand(CMINVOKECOMMANDINFO* info) override;
  STDMETHODIMP GetCommandString(UINT_PTR offset, UINT type, UINT* reserved, CHAR* name, UINT capacity) override;
  // IContextMenu2, IContextMenu3: the messages of the merged shell menu's own
  // items (drawing, filling the "Send To" and "Open with" submenus) while the
  // caller tracks the menu; E_NOTIMPL when nothing was merged.
  STDMETHODIMP HandleMenuMsg(UINT message, WPARAM wParam, LPARAM lParam) override;
  STDMETHODIMP HandleMenuMsg2(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override;
  // IObjectWithSite: the caller's site, through which a new folder's view is found.
  STDMETHODIMP SetSite(IUnknown* site) override;
  STDMETHODIMP GetSite(REFIID riid, void** ppv) override;

 private:
  class Builder;

  void BuildFolderMenu(Builder& builder, UINT flags);
  void BuildResultMenu(Builder& builder);
  void BuildBackgroundMenu(Builder& builder);
  // Adds the shell's menu for the selected files; the highest offset it used + 1,
  // or 0 when nothing was merged.
  UINT MergeShellMenu(Builder& builder);
  ComPtr<IContextMenu> ShellMenuOfFiles();
  HRESULT InvokeMergedCommand(const CMINVOKECOMMANDINFO* info, UINT offset);
  // A verb by name: one of this menu's own, or for results the shell's menu of
  // the files (made for the call when it was not merged); E_INVALIDARG when
  // neither knows it.
  HRESULT InvokeVerb(const CMINVOKECOMMANDINFO* info, const std::wstring& verb);
  HRESULT RunCommand(UINT offset, HWND window);
  void RunFileTypeCommand(UINT offset);
  // Whether this menu (for its selection) has the command, shown or not.
  bool HasCommand(UINT offset) const;
  // The canonical verb of a command ("open", "delete"...), or null.
  const wchar_t* VerbOf(UINT offset) const;
  // The command a verb names for this selection, or none.
  std::optional<UINT> CommandOfVerb(const std::wstring& verb) const;
  // "rename": the caller's view (through the site) starts editing the name.
  HRESULT StartRenaming();
  // The browser's active view, through the site; null when there is none.
  ComPtr<IShellView> SiteView();
  // IOperationPrompts: a folder made here starts renaming in the site's view.
  void EditNewFolderName(LPCITEMIDLIST created) override;
  // IOperationPrompts: under CMIC_MASK_FLAG_NO_UI nothing is shown; a question
  // counts as answered No and what would have been said becomes the command's
  // result.
  bool Confirm(HWND owner, const std::string& text, const std::string& title) override;
  void Inform(HWND owner, const std::string& text, const std::string& title) override;
  bool Quiet() const override { return quiet_; }

  // The selection as the folder's operations take it: ends with a null entry.
  std::vector<LPCITEMIDLIST> SelectionArray() const;
  LPCITEMIDLIST FirstItem() const { return items_.empty() ? nullptr : items_.front().Get(); }
  // The file-type extension of the first selected result, if it has one.
  std::optional<std::string> FirstExtension() const;

  ComPtr<IShellFolder> folder_;
  FolderOperations operations_;
  ComPtr<IUnknown> site_;
  std::vector<CItemIdList> items_;
  bool resultsOnly_ = true;
  ComPtr<IContextMenu> shellMenu_;
  bool quiet_ = false;
  HRESULT unshown_ = S_OK;  // what a quiet command would have asked or said
};

}  // namespace qv
