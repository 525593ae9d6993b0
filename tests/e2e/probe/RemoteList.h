#pragma once
// Reads a list-view or tree-view control that lives in another process: the
// control's messages take pointers in its own address space, so the buffers are
// lent from there.

#include <windows.h>

#include <string>
#include <vector>

namespace qv::probe {

struct ListRow {
  int index = 0;
  bool selected = false;
  POINT centre = {};  // screen point in the middle of the row's name
  std::wstring name;
  std::wstring detail;
};

// The rows of the list, in display order; empty when it cannot be read.
std::vector<ListRow> ReadListRows(HWND list);

struct TreeNode {
  int depth = 0;  // 0 for a root
  bool selected = false;
  bool expanded = false;
  POINT centre = {};  // screen point in the middle of the node's text
  std::wstring name;
};

// The nodes of the tree that are shown (those under expanded nodes), top down.
std::vector<TreeNode> ReadTreeNodes(HWND tree);

}  // namespace qv::probe
