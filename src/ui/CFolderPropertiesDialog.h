#pragma once
// The modeless dialog that edits one search folder's name, search string,
// category, ranking and maximum number of results.

#include <windows.h>
#include <shtypes.h>

#include <string>

#include "common/ComBase.h"
#include "operations/IOperationPrompts.h"
#include "pidl/CItemIdList.h"
#include "pidl/FolderSettings.h"
#include "search/QueryPreview.h"

namespace qv {

// The dialog is the prompts of the operations it runs: what they report is
// shown over its window.
class CFolderPropertiesDialog : public IOperationPrompts {
 public:
  // `holderList` is the absolute list of the folder whose child the edited
  // folder is; `folderList` the edited folder's absolute list.
  CFolderPropertiesDialog(LPCITEMIDLIST holderList, LPCITEMIDLIST folderList);
  CFolderPropertiesDialog(const CFolderPropertiesDialog&) = delete;
  CFolderPropertiesDialog& operator=(const CFolderPropertiesDialog&) = delete;
  virtual ~CFolderPropertiesDialog();

  HWND Window() const { return window_; }
  // The edited folder's absolute list: it follows the folder through renames.
  LPCITEMIDLIST FolderList() const { return folder_.Get(); }

  // Writes the controls' changes to the document; true when settings were saved.
  bool Apply();

  // IOperationPrompts
  bool Confirm(HWND owner, const std::string& text, const std::string& title) override;
  void Inform(HWND owner, const std::string& text, const std::string& title) override;
  void ShowFolderProperties(HWND owner, LPCITEMIDLIST holderList, LPCITEMIDLIST folderList) override;

 private:
  friend HWND ShowFolderPropertiesDialog(LPCITEMIDLIST, LPCITEMIDLIST);
  static INT_PTR CALLBACK DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  void OnInitDialog(HWND window);
  void SetTitle(const std::string& name);
  // A control's text as UTF-8.
  std::string ControlText(int control) const;
  // The settings the controls hold now (the name aside).
  FolderSettings EditedSearch() const;

  // Under the search string, a moment after the user stops typing: how many
  // files the query finds now and what the service read literally. One query
  // at a time: a change while one runs asks again once it has answered.
  void SearchChanged();
  void StartPreview();
  void PollPreview();
  void ShowPreview(const QueryPreview::Answer& answer);

  HWND window_ = nullptr;
  CItemIdList folder_;
  CItemIdList holder_;
  // The settings the controls were filled with: Apply writes only what the
  // user changed against them.
  FolderSettings shown_;
  std::string shownCategoryText_;
  QueryPreview preview_;
  bool previewAgain_ = false;
};

// Opens the dialog for the folder `folderList` names (a child of the folder
// `holderList` names) and returns at once; the dialog frees itself when its
// window is destroyed. The dialog's window, or null when it could not be made.
HWND ShowFolderPropertiesDialog(LPCITEMIDLIST holderList, LPCITEMIDLIST folderList);

// The open dialogs, oldest first, and their number.
int OpenPropertiesDialogCount();
CFolderPropertiesDialog* OpenPropertiesDialog(int index);

}  // namespace qv
