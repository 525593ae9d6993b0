#include "view/CListWindow.h"

#include <string>

#include "common/Text.h"
#include "pidl/CPidlManager.h"

namespace qv {
namespace {

// The control's fixed style; the view mode supplies the type bits.
constexpr DWORD kBaseStyle =
    WS_CHILD | WS_VISIBLE | WS_BORDER | WS_TABSTOP | LVS_EDITLABELS | LVS_AUTOARRANGE | LVS_SHAREIMAGELISTS;
constexpr COLORREF kShadedRow = RGB(240, 240, 240);

// 1 sorts ascending, 0 descending; shared by every list of the process.
int g_sortAscending[2] = {1, 1};

int CALLBACK CompareRows(LPARAM first, LPARAM second, LPARAM column) {
  return CListWindow::CompareItems(reinterpret_cast<LPCITEMIDLIST>(first), reinterpret_cast<LPCITEMIDLIST>(second),
                                   static_cast<int>(column));
}

std::wstring ColumnText(LPCITEMIDLIST item, int column) {
  return ToWide(column == 0 ? CPidlManager::ItemName(item) : CListWindow::DetailText(item));
}

}  // namespace

bool CListWindow::CreateControl(HINSTANCE instance, HWND parent) {
  // Made through the wide entry point, the control keeps its texts as UTF-16
  // and sends its parent the W notifications.
  control_ = CreateWindowExW(WS_EX_CLIENTEDGE, WC_LISTVIEWW, L"", kBaseStyle | LVS_REPORT, 0, 0, 0, 0, parent,
                             nullptr, instance, nullptr);
  if (!control_) return false;
  Send(CCM_SETUNICODEFORMAT, TRUE);
  if (HWND header = reinterpret_cast<HWND>(Send(LVM_GETHEADER))) {
    SetWindowLongPtrW(header, GWL_STYLE, GetWindowLongPtrW(header, GWL_STYLE) | HDS_BUTTONS);
  }
  mode_ = kModeReport;
  columnCount_ = 0;
  return true;
}

void CListWindow::InsertColumn(const char* text, int width) {
  std::wstring wide = ToWide(text);
  LVCOLUMNW column = {};
  column.mask = LVCF_FMT | LVCF_WIDTH | LVCF_TEXT | LVCF_SUBITEM;
  column.fmt = LVCFMT_LEFT;
  column.cx = width;
  column.pszText = wide.data();
  column.iSubItem = columnCount_;
  Send(LVM_INSERTCOLUMNW, columnCount_, reinterpret_cast<LPARAM>(&column));
  ++columnCount_;
}

int CListWindow::InsertItem(LPITEMIDLIST item) {
  LVITEMW row = {};
  row.mask = LVIF_TEXT | LVIF_IMAGE | LVIF_PARAM;
  row.iItem = ItemCount();
  row.pszText = LPSTR_TEXTCALLBACKW;
  row.iImage = I_IMAGECALLBACK;
  row.lParam = reinterpret_cast<LPARAM>(item);
  return control_ ? static_cast<int>(Send(LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&row))) : -1;
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
  bool report = mode == kModeDetails || mode == kModeReport;
  if (report) style |= LVS_NOSORTHEADER;
  SetWindowLongPtrW(control_, GWL_STYLE, static_cast<LONG_PTR>(style));
  if (report) RedrawItems(0, ItemCount() - 1);
}

HWND CListWindow::EditLabel(int index) { return reinterpret_cast<HWND>(Send(LVM_EDITLABELW, index)); }

void CListWindow::SortByColumn(int column) { Send(LVM_SORTITEMS, column, reinterpret_cast<LPARAM>(&CompareRows)); }

void CListWindow::DeleteAllItems() { Send(LVM_DELETEALLITEMS); }
int CListWindow::ItemCount() const { return static_cast<int>(Send(LVM_GETITEMCOUNT)); }
int CListWindow::SelectedCount() const { return static_cast<int>(Send(LVM_GETSELECTEDCOUNT)); }
int CListWindow::NextItem(int start, UINT flags) const {
  return static_cast<int>(Send(LVM_GETNEXTITEM, start, MAKELPARAM(flags & 0xFFFF, 0)));
}

LPCITEMIDLIST CListWindow::ItemIdentifier(int index) const {
  LVITEMW row = {};
  row.mask = LVIF_PARAM;
  row.iItem = index;
  if (!Send(LVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&row))) return nullptr;
  return reinterpret_cast<LPCITEMIDLIST>(row.lParam);
}

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

int CListWindow::FindItem(LPCITEMIDLIST item) const {
  if (!item) return -1;
  int count = ItemCount();
  for (int index = 0; index < count; ++index) {
    LPCITEMIDLIST row = ItemIdentifier(index);
    if (row && CPidlManager::IsSameItem(row, item)) return index;
  }
  return -1;
}

int CListWindow::ColumnWidth(int column) const { return static_cast<int>(Send(LVM_GETCOLUMNWIDTH, column)); }
void CListWindow::SetImageList(int which, HIMAGELIST list) {
  Send(LVM_SETIMAGELIST, which, reinterpret_cast<LPARAM>(list));
}
DWORD CListWindow::ExtendedStyle() const { return static_cast<DWORD>(Send(LVM_GETEXTENDEDLISTVIEWSTYLE)); }
void CListWindow::SetExtendedStyle(DWORD mask, DWORD style) { Send(LVM_SETEXTENDEDLISTVIEWSTYLE, mask, style); }
void CListWindow::RedrawItems(int first, int last) {
  if (last >= first) Send(LVM_REDRAWITEMS, first, last);
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

int CListWindow::CompareItems(LPCITEMIDLIST first, LPCITEMIDLIST second, int column) {
  bool firstIsResult = CPidlManager::IsResultItem(first);
  if (firstIsResult != CPidlManager::IsResultItem(second)) return firstIsResult ? 1 : -1;
  // The user's collation on the whole wide texts, never their bytes.
  std::wstring firstText = ColumnText(first, column);
  std::wstring secondText = ColumnText(second, column);
  return SortsAscending(column) ? lstrcmpW(firstText.c_str(), secondText.c_str())
                                : lstrcmpW(secondText.c_str(), firstText.c_str());
}

bool CListWindow::SortsAscending(int column) {
  return column < 0 || column > 1 || g_sortAscending[column] != 0;
}

void CListWindow::ReverseSortDirection(int column) {
  if (column >= 0 && column <= 1) g_sortAscending[column] = !g_sortAscending[column];
}

std::string CListWindow::DetailText(LPCITEMIDLIST item) {
  FolderSettings settings;
  if (CPidlManager::ReadFolderSettings(item, settings)) return settings.query;
  return CPidlManager::ResultPath(item);
}

}  // namespace qv
