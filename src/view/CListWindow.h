#pragma once
// The list-view control that shows a folder's items, and the presentation rules
// that belong to the control alone: the five view modes, the order of rows, row
// shading. The control is virtual (LVS_OWNERDATA): the rows live here and the
// control asks for what it paints, so filling and sorting cost no message per
// row. The control itself goes with the view window that is its parent.

#include <windows.h>
#include <commctrl.h>
#include <shtypes.h>

#include <string>
#include <vector>

#include "view/ListColumns.h"
#include "view/ListRows.h"

namespace qv {

// Messages the list's parent (the view window) answers for those that hold
// only the control's window: the identifier of a row (wParam; the answer, or 0),
// and which row is lit as a drop target (wParam, -1 for none).
constexpr UINT kRowItemMessage = WM_APP + 1;
constexpr UINT kDropHighlightMessage = WM_APP + 2;

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
  void InsertColumn(const char* text, int width, int format = LVCFMT_LEFT);
  int ColumnCount() const { return columnCount_; }
  // Appends a row that owns `item` and shows it; its index or -1 (the item is
  // freed then).
  int InsertItem(LPITEMIDLIST item);
  // Appends a row that owns `item` without showing it yet (ShowRows does);
  // false when it could not be kept (the item is freed then).
  bool AppendRow(LPITEMIDLIST item);
  // Appends a row of a search result by its name and path, not shown yet;
  // false when it could not be kept.
  bool AppendResultRow(const std::string& name, const std::string& path);
  // Tells the control how many rows there are now, keeping its scroll position.
  void ShowRows();
  // Removes one row; the rows after it keep their selection and focus.
  void RemoveRow(int index);
  // A row's item changes (the row takes over `item`, freed when it cannot):
  // the row keeps its place, selection and rank.
  bool ReplaceRow(int index, LPITEMIDLIST item);
  ListRows& Rows() { return rows_; }
  void SetMode(int mode);
  int GetMode() const { return mode_; }
  HWND EditLabel(int index);
  // Sorts by the column in its current direction.
  void SortByColumn(int column);
  // Sorts by the column in the given direction; the selected rows stay selected
  // and the column's header shows the direction.
  void SortBy(ListColumn column, bool ascending);

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
  // The width a column needs for its header and the texts given.
  int FittingWidth(const std::wstring& header, const std::vector<std::wstring>& texts) const;
  void SetRedraw(bool redraw);
  void Repaint();
  void Focus();
  void Move(int x, int y, int width, int height, bool repaint);

  // The row lit as the target of a drag (-1: none). The control keeps no state
  // but selection and focus of a virtual row; it asks for this one.
  void SetDropHighlight(int row);
  bool IsDropHighlighted(int row) const { return row >= 0 && row == dropRow_; }

  // Row shading: the answer to NM_CUSTOMDRAW in the given mode.
  static LRESULT CustomDraw(NMLVCUSTOMDRAW* draw, int mode);
  // The process-wide direction of a column: true sorts ascending.
  static bool SortsAscending(int column);
  static void ReverseSortDirection(int column);
  // The detail text of an item (UTF-8): a folder's query string or a result's
  // exact path (empty when the item does not name its file exactly).
  static std::string DetailText(LPCITEMIDLIST item) { return ListRows::DetailText(item); }

 private:
  void ShowSortArrow(int column, bool ascending);
  LRESULT Send(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const {
    return control_ ? SendMessageW(control_, message, wParam, lParam) : 0;
  }

  ListRows rows_;
  int dropRow_ = -1;
  int columnCount_ = 0;
  int mode_ = kModeReport;
  HWND control_ = nullptr;
};

}  // namespace qv
