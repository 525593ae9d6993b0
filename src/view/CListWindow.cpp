#include "view/CListWindow.h"

#include <algorithm>
#include <new>
#include <string>

#include "common/Text.h"
#include "pidl/CPidlManager.h"

namespace qv {
namespace {

// The control's fixed style; the view mode supplies the type bits. The rows are
// the list's own (LVS_OWNERDATA), which the control cannot take afterwards.
constexpr DWORD kBaseStyle = WS_CHILD | WS_VISIBLE | WS_BORDER | WS_TABSTOP | LVS_EDITLABELS | LVS_AUTOARRANGE |
                             LVS_SHAREIMAGELISTS | LVS_OWNERDATA;
constexpr COLORREF kShadedRow = RGB(240, 240, 240);
// Room a column leaves around its widest text (the header's sort arrow included).
constexpr int kColumnPadding = 24;

// 1 sorts ascending, 0 descending; shared by every list of the process.
int g_sortAscending[kListColumnCount] = {1, 1, 1, 1, 1, 1};

}  // namespace

bool CListWindow::CreateControl(HINSTANCE instance, HWND parent) {
  // Made through the wide entry point, the control keeps its texts as UTF-16
  // and sends its parent the W notifications.
  control_ = CreateWindowExW(WS_EX_CLIENTEDGE, WC_LISTVIEWW, L"", kBaseStyle | LVS_REPORT, 0, 0, 0, 0, parent,
                             nullptr, instance, nullptr);
  if (!control_) return false;
  Send(CCM_SETUNICODEFORMAT, TRUE);
  Send(LVM_SETCALLBACKMASK, LVIS_DROPHILITED);
  if (HWND header = reinterpret_cast<HWND>(Send(LVM_GETHEADER))) {
    SetWindowLongPtrW(header, GWL_STYLE, GetWindowLongPtrW(header, GWL_STYLE) | HDS_BUTTONS);
  }
  mode_ = kModeReport;
  columnCount_ = 0;
  return true;
}

void CListWindow::InsertColumn(const char* text, int width, int format) {
  std::wstring wide = ToWide(text);
  LVCOLUMNW column = {};
  column.mask = LVCF_FMT | LVCF_WIDTH | LVCF_TEXT | LVCF_SUBITEM;
  column.fmt = format;
  column.cx = width;
  column.pszText = wide.data();
  column.iSubItem = columnCount_;
  Send(LVM_INSERTCOLUMNW, columnCount_, reinterpret_cast<LPARAM>(&column));
  ++columnCount_;
}

int CListWindow::InsertItem(LPITEMIDLIST item) {
  if (!control_) {
    ListRows::FreeItemNow(item);
    return -1;
  }
  if (!AppendRow(item)) return -1;
  ShowRows();
  return rows_.Count() - 1;
}

bool CListWindow::AppendRow(LPITEMIDLIST item) {
  try {
    rows_.Append(item);
    return true;
  } catch (const std::bad_alloc&) {
    return false;
  }
}

bool CListWindow::AppendResultRow(const std::string& name, const std::string& path) {
  try {
    return rows_.AppendResult(name, path);
  } catch (const std::bad_alloc&) {
    return false;
  }
}

void CListWindow::ShowRows() { Send(LVM_SETITEMCOUNT, rows_.Count(), LVSICF_NOSCROLL); }

void CListWindow::RemoveRow(int index) {
  if (index < 0 || index >= rows_.Count()) return;
  if (dropRow_ == index) dropRow_ = -1;
  if (dropRow_ > index) --dropRow_;
  rows_.Remove(index);
  // The control moves the selection and focus of the later rows up by one.
  Send(LVM_DELETEITEM, static_cast<WPARAM>(index));
  if (ItemCount() != rows_.Count()) ShowRows();
}

bool CListWindow::ReplaceRow(int index, LPITEMIDLIST item) {
  try {
    rows_.Replace(index, item);
  } catch (const std::bad_alloc&) {
    return false;
  }
  RedrawItems(index, index);
  return true;
}

void CListWindow::SetMode(int mode) {
  mode_ = mode;
  if (!control_) return;
  DWORD style;
  if (mode == kModeReport) {
    if (!(ExtendedStyle() & LVS_EX_FULLROWSELECT)) SetExtendedStyle(LVS_EX_FULLROWSELECT, LVS_EX_FULLROWSELECT);
    style = kBaseStyle | LVS_REPORT;
  } else {
    style = kBaseStyle | (static_cast<DWORD>(mode) & LVS_TYPEMASK);
    if (mode == kModeDetails && (ExtendedStyle() & LVS_EX_FULLROWSELECT))
      SetExtendedStyle(LVS_EX_FULLROWSELECT, 0);
  }
  SetWindowLongPtrW(control_, GWL_STYLE, static_cast<LONG_PTR>(style));
  // Shading changes with the mode: the rows on screen are painted again (only
  // they are: the control paints nothing else).
  InvalidateRect(control_, nullptr, TRUE);
}

HWND CListWindow::EditLabel(int index) { return reinterpret_cast<HWND>(Send(LVM_EDITLABELW, index)); }

void CListWindow::SortByColumn(int column) {
  ListColumn which;
  if (ToListColumn(column, which)) SortBy(which, SortsAscending(column));
}

void CListWindow::SortBy(ListColumn column, bool ascending) {
  // The control keeps selection by row number: the selected rows are found
  // again at the places the sort moved them to.
  std::vector<int> selected;
  for (int row = NextItem(-1, LVNI_SELECTED); row != -1; row = NextItem(row, LVNI_SELECTED)) selected.push_back(row);
  int focused = NextItem(-1, LVNI_FOCUSED);
  if (focused >= rows_.Count()) focused = -1;
  std::vector<int> placeOf;
  rows_.Sort(column, ascending, &placeOf);
  if (!selected.empty() || focused >= 0) {
    LVITEMW clear = {};
    clear.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    Send(LVM_SETITEMSTATE, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&clear));
    auto mark = [&](int old, UINT flags) {
      if (old < 0 || old >= static_cast<int>(placeOf.size())) return;
      LVITEMW state = {};
      state.state = flags;
      state.stateMask = flags;
      Send(LVM_SETITEMSTATE, placeOf[static_cast<std::size_t>(old)], reinterpret_cast<LPARAM>(&state));
    };
    for (int row : selected) mark(row, LVIS_SELECTED);
    mark(focused, LVIS_FOCUSED);
  }
  ShowSortArrow(static_cast<int>(column), ascending);
  if (control_) InvalidateRect(control_, nullptr, TRUE);
}

void CListWindow::ShowSortArrow(int column, bool ascending) {
  HWND header = reinterpret_cast<HWND>(Send(LVM_GETHEADER));
  if (!header) return;
  for (int index = 0; index < columnCount_; ++index) {
    HDITEMW item = {};
    item.mask = HDI_FORMAT;
    if (!SendMessageW(header, HDM_GETITEMW, index, reinterpret_cast<LPARAM>(&item))) continue;
    int format = item.fmt & ~(HDF_SORTUP | HDF_SORTDOWN);
    if (index == column) format |= ascending ? HDF_SORTUP : HDF_SORTDOWN;
    if (format == item.fmt) continue;
    item.fmt = format;
    SendMessageW(header, HDM_SETITEMW, index, reinterpret_cast<LPARAM>(&item));
  }
}

void CListWindow::DeleteAllItems() {
  Send(LVM_DELETEALLITEMS);
  rows_.Clear();
  dropRow_ = -1;
}

void CListWindow::SetDropHighlight(int row) {
  if (row == dropRow_) return;
  int previous = dropRow_;
  dropRow_ = row;
  if (previous >= 0) RedrawItems(previous, previous);
  if (row >= 0) RedrawItems(row, row);
}
int CListWindow::ItemCount() const { return static_cast<int>(Send(LVM_GETITEMCOUNT)); }
int CListWindow::SelectedCount() const { return static_cast<int>(Send(LVM_GETSELECTEDCOUNT)); }
int CListWindow::NextItem(int start, UINT flags) const {
  return static_cast<int>(Send(LVM_GETNEXTITEM, start, MAKELPARAM(flags & 0xFFFF, 0)));
}

LPCITEMIDLIST CListWindow::ItemIdentifier(int index) const { return rows_.Item(index); }

UINT CListWindow::ItemState(int index, UINT mask) const {
  return static_cast<UINT>(Send(LVM_GETITEMSTATE, index, mask));
}

void CListWindow::SelectOnly(int index) {
  LVITEMW clear = {};
  clear.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
  Send(LVM_SETITEMSTATE, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&clear));
  LVITEMW select = {};
  select.state = LVIS_SELECTED | LVIS_FOCUSED;
  select.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
  Send(LVM_SETITEMSTATE, index, reinterpret_cast<LPARAM>(&select));
  Send(LVM_ENSUREVISIBLE, index, FALSE);
}

int CListWindow::FindItem(LPCITEMIDLIST item) const { return rows_.Find(item); }

int CListWindow::ColumnWidth(int column) const { return static_cast<int>(Send(LVM_GETCOLUMNWIDTH, column)); }
void CListWindow::SetImageList(int which, HIMAGELIST list) {
  Send(LVM_SETIMAGELIST, which, reinterpret_cast<LPARAM>(list));
}
DWORD CListWindow::ExtendedStyle() const { return static_cast<DWORD>(Send(LVM_GETEXTENDEDLISTVIEWSTYLE)); }
void CListWindow::SetExtendedStyle(DWORD mask, DWORD style) { Send(LVM_SETEXTENDEDLISTVIEWSTYLE, mask, style); }
void CListWindow::RedrawItems(int first, int last) {
  if (last >= first) Send(LVM_REDRAWITEMS, first, last);
}
int CListWindow::FittingWidth(const std::wstring& header, const std::vector<std::wstring>& texts) const {
  int width = static_cast<int>(Send(LVM_GETSTRINGWIDTHW, 0, reinterpret_cast<LPARAM>(header.c_str())));
  for (const std::wstring& text : texts)
    width = std::max(width, static_cast<int>(Send(LVM_GETSTRINGWIDTHW, 0, reinterpret_cast<LPARAM>(text.c_str()))));
  return width + kColumnPadding;
}

void CListWindow::SetRedraw(bool redraw) { Send(WM_SETREDRAW, redraw ? TRUE : FALSE); }

void CListWindow::Repaint() {
  if (!control_) return;
  InvalidateRect(control_, nullptr, TRUE);
  UpdateWindow(control_);
}

void CListWindow::Focus() {
  if (control_) SetFocus(control_);
}

void CListWindow::Move(int x, int y, int width, int height, bool repaint) {
  if (control_) MoveWindow(control_, x, y, width, height, repaint ? TRUE : FALSE);
}

LRESULT CListWindow::CustomDraw(NMLVCUSTOMDRAW* draw, int mode) {
  switch (draw->nmcd.dwDrawStage) {
    case CDDS_PREPAINT:
      return mode == kModeReport ? CDRF_NOTIFYITEMDRAW : CDRF_DODEFAULT;
    case CDDS_ITEMPREPAINT:
      if (draw->nmcd.dwItemSpec % 2 != 0) return CDRF_DODEFAULT;
      draw->clrTextBk = kShadedRow;
      return CDRF_NEWFONT;
    default:
      return CDRF_DODEFAULT;
  }
}

bool CListWindow::SortsAscending(int column) {
  return column < 0 || column >= kListColumnCount || g_sortAscending[column] != 0;
}

void CListWindow::ReverseSortDirection(int column) {
  if (column >= 0 && column < kListColumnCount) g_sortAscending[column] = !g_sortAscending[column];
}

}  // namespace qv
