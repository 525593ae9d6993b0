#pragma once
// A top-level window holding the shell's explorer browser control: a folder tree
// beside the folder's own view, as a file manager window shows it.

#include <windows.h>
#include <shobjidl.h>

#include "common/ComBase.h"

namespace qv::browse {

class BrowseWindow {
 public:
  BrowseWindow() = default;
  BrowseWindow(const BrowseWindow&) = delete;
  BrowseWindow& operator=(const BrowseWindow&) = delete;
  ~BrowseWindow();

  // Creates the window and the browser inside it; false when either fails.
  bool Create(HINSTANCE instance, int showCommand);
  HRESULT BrowseTo(LPCITEMIDLIST folder);
  // Runs the message loop until the window closes, or until timeoutSeconds have
  // passed when that is above zero. Returns the exit code for the process.
  int Run(unsigned timeoutSeconds);

 private:
  static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
  bool TranslateBrowserAccelerator(MSG& message);
  void UpdateTitle(LPCITEMIDLIST folder);
  // A command of the menu bar or keys, for the current view.
  void PassCommandToView(UINT command);

  HWND window_ = nullptr;
  HACCEL keys_ = nullptr;
  ComPtr<IExplorerBrowser> browser_;
};

}  // namespace qv::browse
