#pragma once
// Reads a list-view control that lives in another process: the control's
// messages take pointers in its own address space, so the buffers are lent
// from there.

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

}  // namespace qv::probe
