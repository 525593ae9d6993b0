#pragma once
// The list-view control that shows a folder's items, and the presentation rules
// that belong to the control alone: the five view modes, the order of rows, row
// shading. Every operation is a message to the control; the control itself goes
// with the view window that is its parent.

#include <windows.h>
#include <commctrl.h>
#include <shtypes.h>

#include <string>

namespace qv {

// View modes: the list-view type bits, and the component's own report mode
// (report type, full-row selection, shaded rows).
constexpr int kModeLargeIcons = 0;
constexpr int kModeDetails = 1;
constexpr int kModeSmallIcons = 2;
constexpr int kModeList = 3;
constexpr int kModeReport = 0x8000;

class CListWindow {
 public:
  CListWindow() = default;
  CListWindow(const CListWindow&) = delete;
  CListWindow& operator=(const CListWindow&) = delete;
  virtual ~CListWindow() = default;

  // Makes the control as a child of `parent`, sized later by the parent's WM_SIZE.
  bool CreateControl(HINSTANCE instance, HWND parent);
  HWND Control() const { return control_; }
  // The parent window is going away and takes the control with it.
  void ControlDestroyed() { control_ = nullptr; }

  // The header text is UTF-8.
  void InsertColumn(const char* text, int width);
  // Appends a row that owns `item` (freed on LVN_DELETEITEM); its index or -1.
  int InsertItem(LPITEMIDLIST item);
  void SetMode(int mode);
  int GetMode() const { return mode_; }
  HWND EditLabel(int index);
  // Sorts by the column in its current direction.
  void SortByColumn(int column);

  void DeleteAllItems();
  int ItemCount() const;
  int SelectedCount() const;
  int NextItem(int start, UINT flags) const;
  // The identifier a row holds, or null.
  LPCITEMIDLIST ItemIdentifier(int index) const;
  UINT ItemState(int index, UINT mask) const;
  // Selects and focuses one row and scrolls it into view.
  void SelectOnly(int index);
  // The row whose identifier names the same item, or -1.
  int FindItem(LPCITEMIDLIST item) const;
  int ColumnWidth(int column) const;
  void SetImageList(int which, HIMAGELIST list);
  DWORD ExtendedStyle() const;
  void SetExtendedStyle(DWORD mask, DWORD style);
  void RedrawItems(int first, int last);
  void SetRedraw(bool redraw);
  void Repaint();
  void Focus();
  void Move(int x, int y, int width, int height, bool repaint);

  // Row shading: the answer to NM_CUSTOMDRAW in the given mode.
  static LRESULT CustomDraw(NMLVCUSTOMDRAW* draw, int mode);
  // The order of two rows for a column: search folders before results whatever
  // the direction, then names (column 0) or detail texts, case-sensitively in
  // the user's collation.
  static int CompareItems(LPCITEMIDLIST first, LPCITEMIDLIST second, int column);
  // The process-wide direction of a column: true sorts ascending.
  static bool SortsAscending(int column);
  static void ReverseSortDirection(int column);
  // The detail text of an item (UTF-8): a folder's query string or a result's
  // exact path (empty when the item does not name its file exactly).
  static std::string DetailText(LPCITEMIDLIST item);

 private:
  LRESULT Send(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const {
    return control_ ? SendMessageW(control_, message, wParam, lParam) : 0;
  }

  int columnCount_ = 0;
  int mode_ = kModeReport;
  HWND control_ = nullptr;
};

}  // namespace qv
