#pragma once
// What the folder operations ask of the user and of the window they run from:
// a question before a delete, a refusal to read, the properties dialog of a
// search folder and the start of in-place renaming of a folder just made. The
// message boxes (ui/OperationPrompts.h) and the properties dialog implement it;
// tests answer it with a scripted object.

#include <windows.h>
#include <shtypes.h>

#include <string>

namespace qv {

class IOperationPrompts {
 public:
  // A Yes/No question (UTF-8 texts) owned by `owner` (may be null); true for Yes.
  virtual bool Confirm(HWND owner, const std::string& text, const std::string& title) = 0;
  // A refusal or a notice the user reads and dismisses.
  virtual void Inform(HWND owner, const std::string& text, const std::string& title) = 0;
  // Opens the properties of the search folder `folderList` (absolute), a child of
  // the folder `holderList`.
  virtual void ShowFolderProperties(HWND owner, LPCITEMIDLIST holderList, LPCITEMIDLIST folderList) = 0;
  // A folder (absolute list) was just made where the user asked for it: the
  // window it came from may start editing its name. Nothing by default.
  virtual void EditNewFolderName(LPCITEMIDLIST created) { (void)created; }
  // True when nothing may be shown (a caller's CMIC_MASK_FLAG_NO_UI): the shell
  // is then asked to show no error either. False by default.
  virtual bool Quiet() const { return false; }

 protected:
  ~IOperationPrompts() = default;
};

}  // namespace qv
