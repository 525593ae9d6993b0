#pragma once
// A top-level window holding a tree of the search folders beside the shell's
// explorer browser control, which shows the chosen folder's own view, as a file
// manager window does. The title names the folder shown, as its path from the
// namespace root.

#include <windows.h>
#include <shobjidl.h>

#include <string>

#include "FolderTree.h"
#include "NamespacePath.h"
#include "common/ComBase.h"

namespace qv::browse {

class NavigationEvents;

class BrowseWindow {
 public:
  BrowseWindow();
  BrowseWindow(const BrowseWindow&) = delete;
  BrowseWindow& operator=(const BrowseWindow&) = delete;
  ~BrowseWindow();

  // Creates the window, its folder tree rooted at the junction (absolute list)
  // and the browser; false when any of them fails.
  bool Create(HINSTANCE instance, int showCommand, LPCITEMIDLIST junction);
  HRESULT BrowseTo(LPCITEMIDLIST folder);
  // Runs the message loop until the window closes. With timeoutSeconds above
  // zero the window closes that long after it first shows a folder ready.
  // Returns the exit code for the process.
  int Run(unsigned timeoutSeconds);

  HWND Window() const { return window_; }
  FolderTree& Tree() { return tree_; }
  // The path of the folder shown ("quorvane\Work\Reports"), as the title names it.
  const std::wstring& ShownPath() const { return shownPath_; }
  // The browser's current view, if any.
  ComPtr<IShellView> CurrentView() const;

 private:
  friend class NavigationEvents;
  static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
  bool TranslateBrowserAccelerator(MSG& message);
  // The browser now shows `folder`, whoever moved it there (the tree, the view).
  void OnNavigated(LPCITEMIDLIST folder);
  // Once the message queue is idle after a navigation: the folder is shown.
  void AnnounceShown();
  void Layout(int width, int height);
  // A command of the menu bar or keys, for the current view.
  void PassCommandToView(UINT command);

  HWND window_ = nullptr;
  HACCEL keys_ = nullptr;
  ShellIdList junction_;
  ShellIdList current_;
  // The shell's change notifications for the search folders, which keep the
  // tree current; one reload is pending at a time.
  ULONG changeRegistration_ = 0;
  bool reloadPending_ = false;
  FolderTree tree_;
  ComPtr<IExplorerBrowser> browser_;
  ComPtr<NavigationEvents> events_;
  DWORD eventsCookie_ = 0;
  std::wstring shownPath_;
  bool announcePending_ = false;
  unsigned closeAfterShownSeconds_ = 0;
};

}  // namespace qv::browse
