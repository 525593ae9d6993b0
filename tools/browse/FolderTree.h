#pragma once
// The browse window's tree of search folders: a tree control fed by the
// namespace's own IShellFolder objects, from the junction down. A folder's
// sub-folders are read when it is first expanded; choosing a folder asks the
// window to browse to it, and the window marks the folder it shows.

#include <windows.h>
#include <commctrl.h>
#include <shlobj.h>

#include <functional>
#include <set>
#include <string>
#include <vector>

#include "NamespacePath.h"

namespace qv::browse {

class FolderTree {
 public:
  // Called with a folder's absolute list when the user chooses it.
  using ChooseFolder = std::function<void(LPCITEMIDLIST folder)>;

  FolderTree() = default;
  FolderTree(const FolderTree&) = delete;
  FolderTree& operator=(const FolderTree&) = delete;
  ~FolderTree();

  // Creates the control in `parent` with the junction (absolute list) as its
  // only root, expanded; false when the control cannot be made.
  bool Create(HWND parent, HINSTANCE instance, LPCITEMIDLIST junction, ChooseFolder choose);
  HWND Control() const { return tree_; }
  void Move(const RECT& area);
  // A notification from the control; its answer.
  LRESULT OnNotify(const NMHDR* header);
  // Reads the tree again from the namespace (folders were added, renamed,
  // moved or removed), then marks `current` as ShowCurrent does.
  void Reload(LPCITEMIDLIST current);
  // Marks the folder the window shows, expanding the tree down to it; false when
  // the folder is not below the junction.
  bool ShowCurrent(LPCITEMIDLIST folder);
  // The tree's texts, depth first, one a line, each after one tab per level
  // below the root and the one marked followed by " *"; the tree as a user
  // reads it.
  std::wstring Outline() const;

 private:
  // Adds the junction as the root, with its sub-folders shown.
  bool AddRoot(LPCITEMIDLIST junction);
  HTREEITEM AddNode(HTREEITEM parent, LPCITEMIDLIST absolute, const std::wstring& name, bool hasChildren);
  // Reads a node's sub-folders once.
  void FillChildren(HTREEITEM node);
  static LPCITEMIDLIST ListOf(HWND tree, HTREEITEM node);
  void AppendOutline(HTREEITEM node, int depth, std::wstring& text) const;

  HWND tree_ = nullptr;
  HTREEITEM root_ = nullptr;
  // Each node's absolute list, which the node's data points to.
  std::vector<ShellIdList> lists_;
  std::set<HTREEITEM> filled_;
  ChooseFolder choose_;
  // Set while the window, not the user, moves the selection.
  bool marking_ = false;
};

}  // namespace qv::browse
