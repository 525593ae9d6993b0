// The list presentation of CShellView: filling the list from the folder, row
// texts, sorting by column, renaming in place, the status bar texts.

#include <windows.h>
#include <shlwapi.h>

#include <algorithm>
#include <cstdint>
#include <iterator>
#include <unordered_set>
#include <string>
#include <vector>

#include "common/Holders.h"
#include "folders/CFolderStore.h"
#include "operations/FolderOperations.h"
#include "search/IndexChanges.h"
#include "search/ResultCache.h"
#include "runtime/ModuleObjects.h"
#include "common/ModulePaths.h"
#include "runtime/Settings.h"
#include "common/Text.h"
#include "pidl/CPidlManager.h"
#include "resources/resource.h"
#include "view/CShellView.h"
#include "view/FileFacts.h"
#include "view/ListColumns.h"
#include "view/IViewFolder.h"

namespace qv {
namespace {

constexpr int kStatusFolderName = 0;
constexpr int kStatusCounts = 1;
constexpr int kStatusQuery = 2;

std::string CountText(int results, int folders) {
  if (results <= 0 && folders <= 0) return "Empty";
  if (results <= 0) return std::to_string(folders) + " folder(s)";
  if (folders <= 0) return std::to_string(results) + " file(s)";
  return std::to_string(results) + " file(s) " + std::to_string(folders) + " folder(s)";
}

// Rows taken from the enumerator per call.
constexpr ULONG kFillBatch = 512;
// While a search folder's results arrive, the view looks for more this often
// and takes them for at most this long per look, so the host's window keeps
// answering the user. The first look, before the window first paints, is
// shorter: the first rows paint soon whatever the folder holds, and a folder of
// a thousand files or two is whole in it.
constexpr UINT kResultTimerInterval = USER_TIMER_MINIMUM;
constexpr DWORD kFirstResultBudgetMs = 30;
// A look reads the service's results ahead for at most a share of its time,
// then checks and shows them in batches, the first small and each next sized
// to the time left at the pace of the look so far, so the look ends near its
// budget whatever the folder holds. The first look reads a quarter of its time
// ahead, so its rows paint soon; later looks, below rows already painted, read
// half, so a directory is listed once for more of its results.
constexpr DWORD kFirstReadShare = 4;
constexpr DWORD kReadShare = 2;
constexpr std::size_t kFirstResultBatch = 512;
constexpr std::size_t kLargestResultBatch = 1u << 16;

// Milliseconds since `start` (a performance counter reading), finer than the tick count.
double MsSince(const LARGE_INTEGER& start) {
  LARGE_INTEGER now = {};
  LARGE_INTEGER frequency = {};
  QueryPerformanceCounter(&now);
  QueryPerformanceFrequency(&frequency);
  return static_cast<double>(now.QuadPart - start.QuadPart) * 1000.0 / static_cast<double>(frequency.QuadPart);
}
// Rows whose type names the Type column is first made wide enough for.
constexpr int kRowsFitted = 200;

using KeptResults = std::shared_ptr<const std::vector<SearchResultText>>;

// Kept results less the files gone since they were kept, in a folder of files.
KeptResults StillThere(KeptResults kept, const std::wstring& category) {
  if (!kept || !ShowsOnlyExistingFiles(category)) return kept;
  auto present = std::make_shared<std::vector<SearchResultText>>(*kept);
  ExistingFiles().KeepExisting(*present);
  return present;
}

// The columns after "Name" and "Details": their headers, alignment, and widths
// shared by the views of the process (0 until first fitted to their contents).
struct FileColumn {
  ListColumn column;
  UINT header;
  int format;
};
constexpr int kFirstFileColumn = static_cast<int>(ListColumn::Modified);
constexpr FileColumn kFileColumns[] = {
    {ListColumn::Modified, IDS_MODIFIED_COLUMN, LVCFMT_LEFT},
    {ListColumn::Type, IDS_TYPE_COLUMN, LVCFMT_LEFT},
    {ListColumn::Size, IDS_SIZE_COLUMN, LVCFMT_RIGHT},
    {ListColumn::Rank, IDS_RANK_COLUMN, LVCFMT_RIGHT},
};
int g_fileColumnWidths[kListColumnCount - kFirstFileColumn] = {};
bool g_typeWidthChosen = false;

// A text as wide as the column's widest usual value.
std::wstring SampleText(ListColumn column) {
  switch (column) {
    case ListColumn::Modified: {
      // A two-digit day, month and hour in the afternoon.
      SYSTEMTIME sample = {2026, 12, 3, 28, 22, 58, 0, 0};
      FILETIME time = {};
      SystemTimeToFileTime(&sample, &time);
      return FormatModified((static_cast<std::uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime);
    }
    case ListColumn::Type:
      return L"Text Document";
    case ListColumn::Size:
      return FormatSize(999999999);
    case ListColumn::Rank:
      return L"100000";
    default:
      return {};
  }
}

// Places wide text into a buffer the list gave, cut at its size.
void PlaceText(const std::wstring& text, LPWSTR buffer, int capacity) {
  if (!buffer || capacity <= 0) return;
  lstrcpynW(buffer, text.c_str(), capacity);
}

}  // namespace

bool CShellView::SetUpList() {
  if (!list_) return false;
  list_->DeleteAllItems();
  list_->InsertColumn(LoadResourceText(IDS_NAME_COLUMN).c_str(), GetColumnWidth(kNameColumn));
  list_->InsertColumn(LoadResourceText(IDS_DETAILS_COLUMN).c_str(), GetColumnWidth(kDetailsColumn));
  for (const FileColumn& column : kFileColumns) {
    std::string header = LoadResourceText(column.header);
    int& width = g_fileColumnWidths[static_cast<int>(column.column) - kFirstFileColumn];
    if (width <= 0) width = list_->FittingWidth(ToWide(header), {SampleText(column.column)});
    list_->InsertColumn(header.c_str(), width, column.format);
  }
  // The list shares the folder's image lists (LVS_SHAREIMAGELISTS): they stay the folder's.
  list_->SetImageList(LVSIL_SMALL, viewFolder_->SmallImageList());
  list_->SetImageList(LVSIL_NORMAL, viewFolder_->LargeImageList());
  return true;
}

void CShellView::FillList() {
  if (!list_) return;
  // Whatever an earlier fill still awaited is dropped: no row of its query
  // lands in this one.
  StopResultFill();
  // Taken first: a change made while the list fills is seen by the next look.
  RememberShownDocument();
  shownIndexStamp_ = SearchIndexStamp();
  quietFill_ = false;
  // A file dialog fills from the enumerator, whole: under Wine its list showed
  // and hit-tested only the rows there at the first paint when results were
  // appended later (not understood yet).
  if (!dialogBrowser_ && StartResultFill()) return;
  shownResults_ = -1;
  ComPtr<IEnumIDList> items;
  HRESULT hr = folder_->EnumObjects(window_, SHCONTF_FOLDERS | SHCONTF_NONFOLDERS, items.Put());
  if (SUCCEEDED(hr) && items) {
    list_->SetRedraw(false);
    // The host may have browsed away while this view asked it about an item.
    if (AppendEnumerated(items.Get()) < 0) return;
    list_->ShowRows();
    SortAsKept();
    SelectPendingNewItem();
    FitTypeColumn();
    list_->SetRedraw(true);
    list_->Repaint();
  }
  items.Reset();
  list_->SetMode(viewFolder_->GetViewStyle());
  WriteStatusText();
}

int CShellView::AppendEnumerated(IEnumIDList* items) {
  // Taken in batches: one call hands over many rows, and the rows go into the
  // list's own store without a message each.
  LPITEMIDLIST batch[kFillBatch] = {};
  int appended = 0;
  for (;;) {
    ULONG fetched = 0;
    HRESULT next = items->Next(kFillBatch, reinterpret_cast<PITEMID_CHILD*>(batch), &fetched);
    if (FAILED(next)) break;
    for (ULONG i = 0; i < fetched; ++i) {
      if (list_->Control() && Included(batch[i])) {
        if (list_->AppendRow(batch[i])) ++appended;
      } else {
        ThePidlManager()->Free(batch[i]);
      }
      batch[i] = nullptr;
    }
    if (!list_->Control()) return -1;
    if (next != S_OK || fetched == 0) break;
  }
  return appended;
}

bool CShellView::StartResultFill() {
  CFolderStore* store = TheFolderStore();
  CPidlManager* manager = ThePidlManager();
  ComPtr<IPersistFolder2> persist = folder_.As<IPersistFolder2>();
  if (!store || !manager || !persist) return false;
  CItemIdList absolute(*manager);
  LPITEMIDLIST current = nullptr;
  if (persist->GetCurFolder(&current) != S_OK || !current) return false;
  absolute.Adopt(current);
  // The namespace root lists its folders only; it fills from its enumerator.
  if (CPidlManager::KindOf(CPidlManager::GetLastItem(absolute.Get())) != ItemKind::Folder) return false;
  ComPtr<IXMLDOMNode> element = store->FindFolderNode(absolute.Get());
  if (!element) return false;
  FolderSettings record = CFolderStore::ReadFolderSettings(element.Get());

  // The sub-folders, at once.
  shownFolders_ = 0;
  shownResults_ = 0;
  ComPtr<IEnumIDList> folders;
  if (SUCCEEDED(folder_->EnumObjects(window_, SHCONTF_FOLDERS, folders.Put())) && folders) {
    int appended = AppendEnumerated(folders.Get());
    if (appended < 0) return true;
    shownFolders_ = appended;
  }
  // The query asked with the folder's own settings, as its enumerator asks it.
  keptResults_.reset();
  fedResults_.clear();
  if (MakeSearchRequest(record, shownFolders_ != 0, feedRequest_)) {
    // Opened again or refreshed with the query unchanged: what it answered a
    // moment ago shows now, until the service's fresh answer is complete, so
    // a refresh never empties the list while the service searches.
    keptResults_ = StillThere(resultcache::Find(feedRequest_), feedRequest_.category);
    if (keptResults_) AppendResults(*keptResults_, 0);
    feed_ = std::make_shared<ResultFeed>(feedRequest_);
  }
  list_->ShowRows();
  SortAsKept();
  SelectPendingNewItem();
  list_->SetMode(viewFolder_->GetViewStyle());
  // The first results the service has are there before the window first paints.
  FeedResults(kFirstResultBudgetMs);
  if (feed_ && window_) SetTimer(window_, kResultTimer, kResultTimerInterval, nullptr);
  if (list_->Control()) {
    FitTypeColumn();
    WriteStatusText();
  }
  return true;
}

void CShellView::RefillResultsQuietly() {
  // The rows shown now, in the order the service gave them, stand for the
  // answer being replaced: the fresh answer changes the rows only where it
  // differs, and selection and scroll position stay.
  keptResults_ = std::make_shared<const std::vector<SearchResultText>>(ShownResults().Unpack());
  fedResults_.clear();
  quietFill_ = true;
  feed_ = std::make_shared<ResultFeed>(feedRequest_);
  FeedResults(kResultBudgetMs);
  if (feed_ && window_) SetTimer(window_, kResultTimer, kResultTimerInterval, nullptr);
}

void CShellView::FeedResults(DWORD budgetMs) {
  if (!feed_ || !list_ || !list_->Control()) return;
  // Not while the user renames a row or a menu is open: the rows they work on
  // keep their places (and their identifiers) until the next look.
  if (editingLabel_ || trackedMenu_) return;
  // The service is asked across processes: a host that handles messages meanwhile
  // may refresh or close the view. Only the fill that asked takes the answer.
  std::shared_ptr<ResultFeed> feed = feed_;
  LARGE_INTEGER start = {};
  QueryPerformanceCounter(&start);
  std::size_t most = kFirstResultBatch;
  ResultFeed::Progress progress = ResultFeed::Progress::More;
  std::size_t taken = 0;
  const ListColumn sortColumn = KeptSortOrder().column;
  // Before the window first paints, no row waits for a directory's listing:
  // the first rows are checked one by one, and the listings of what the look
  // read ahead are made from the next look on, not while the window paints.
  const bool firstLook = budgetMs <= kFirstResultBudgetMs;
  const DWORD readShare = firstLook ? kFirstReadShare : kReadShare;
  std::vector<SearchResultText> batch;
  for (;;) {
    batch.clear();
    progress = feed->Take(batch, budgetMs / readShare, most, !firstLook);
    if (feed != feed_ || !list_ || !list_->Control()) return;
    taken += batch.size();
    // While kept results show, the fresh ones wait to replace them whole;
    // otherwise the rows are the answer so far.
    if (keptResults_) {
      fedResults_.insert(fedResults_.end(), std::make_move_iterator(batch.begin()),
                         std::make_move_iterator(batch.end()));
    } else {
      AppendResults(batch, 0);
      // Their keys are made now, so the look's pace counts them.
      list_->Rows().MakeKeys(sortColumn);
    }
    if (progress != ResultFeed::Progress::More || !list_->Control()) break;
    double elapsed = MsSince(start);
    if (elapsed >= budgetMs) break;
    // The next batch takes what the time left allows at the pace so far.
    double fits = static_cast<double>(taken) * (budgetMs - elapsed) / std::max(elapsed, 1.0);
    most = static_cast<std::size_t>(std::clamp(fits, static_cast<double>(kFirstResultBatch),
                                               static_cast<double>(kLargestResultBatch)));
  }
  // Sorted in once a look: the rows arrived are merged into the list's order.
  if (!keptResults_ && taken > 0) ShowAddedRows();
  if (progress == ResultFeed::Progress::Complete) FinishResultFill();
}

void CShellView::AppendResults(const std::vector<SearchResultText>& results, std::size_t from) {
  CPidlManager* manager = ThePidlManager();
  if (!manager) return;
  for (std::size_t i = from; i < results.size() && list_->Control(); ++i) {
    // A row holds a result's texts; its identifier, and its own shell item, are
    // made when something needs them. Only a file dialog chooses by item.
    if (!dialogBrowser_) {
      if (list_->AppendResultRow(results[i].name, results[i].path)) ++shownResults_;
      continue;
    }
    LPITEMIDLIST item = manager->CreateResultItem(results[i].name, results[i].path, 0);
    if (!item) continue;
    if (!Included(item)) {
      manager->Free(item);
      continue;
    }
    if (list_->AppendRow(item)) ++shownResults_;
  }
}

void CShellView::ShowAddedRows() {
  // New rows go to their place in the order the list shows; the selected rows
  // stay selected and the list keeps its scroll position.
  list_->ShowRows();
  SortAsKept();
  if (list_->Rows().Count() <= kRowsFitted) FitTypeColumn();
  WriteStatusText();
}

resultcache::PackedResults CShellView::ShownResults() const {
  // In the order the service gave them: by rank.
  const ListRows& rows = list_->Rows();
  std::vector<std::pair<std::uint32_t, int>> ranked;
  for (int row = 0; row < rows.Count(); ++row) {
    if (rows.Rank(row) != 0) ranked.push_back({rows.Rank(row), row});
  }
  std::sort(ranked.begin(), ranked.end());
  resultcache::PackedResults shown;
  for (const auto& [rank, row] : ranked) {
    if (!rows.ResultPath(row).empty()) {
      shown.Add(rows.ResultName(row), rows.ResultPath(row));
      continue;
    }
    LPCITEMIDLIST item = rows.Item(row);
    if (item) shown.Add(CPidlManager::ItemName(item), CPidlManager::ResultPath(item));
  }
  return shown;
}

void CShellView::FinishResultFill() {
  if (window_) KillTimer(window_, kResultTimer);
  const bool whole = !feed_->Failed();
  feed_.reset();
  quietFill_ = false;
  const bool replaced = keptResults_ != nullptr;
  if (replaced) ReplaceShownResults();
  keptResults_.reset();
  FitTypeColumn();
  AskIndexStatus();
  WriteStatusText();
  // Only a whole answer is kept for the next open: the fresh one, or the rows
  // that are the answer.
  if (whole && replaced) resultcache::Store(feedRequest_, fedResults_);
  if (whole && !replaced) resultcache::Store(feedRequest_, ShownResults());
  fedResults_ = {};
}

void CShellView::ReplaceShownResults() {
  // The same answer again changes nothing the user sees.
  if (keptResults_->size() == fedResults_.size() &&
      std::equal(fedResults_.begin(), fedResults_.end(), keptResults_->begin(),
                 [](const SearchResultText& a, const SearchResultText& b) {
                   return a.path == b.path && a.name == b.name;
                 })) {
    return;
  }
  CPidlManager* manager = ThePidlManager();
  if (!manager) return;
  // The sub-folders stay; the results are the fresh ones. Selection and focus
  // follow the items, not the row numbers.
  ListRows& rows = list_->Rows();
  std::vector<CItemIdList> folders;
  // A result is known again by its name and path, a folder by its item's bytes.
  auto keyOf = [&rows](int row) {
    if (!rows.ResultPath(row).empty()) {
      std::string key = "\1";
      key.append(rows.ResultName(row)).append(1, '\0').append(rows.ResultPath(row));
      return key;
    }
    LPCITEMIDLIST item = rows.Item(row);
    return item ? std::string(reinterpret_cast<const char*>(item), ILGetSize(item)) : std::string();
  };
  std::unordered_set<std::string> selected;
  std::string focused;
  for (int row = 0; row < rows.Count(); ++row) {
    if (rows.ResultPath(row).empty()) {
      LPCITEMIDLIST item = rows.Item(row);
      if (item && !CPidlManager::IsResultItem(item)) folders.emplace_back(*manager, item);
    }
    UINT state = list_->ItemState(row, LVIS_SELECTED | LVIS_FOCUSED);
    if (state & LVIS_SELECTED) selected.insert(keyOf(row));
    if (state & LVIS_FOCUSED) focused = keyOf(row);
  }
  int top = ListView_GetTopIndex(list_->Control());
  list_->SetRedraw(false);
  list_->DeleteAllItems();
  shownResults_ = 0;
  for (CItemIdList& folder : folders) {
    LPITEMIDLIST copy = manager->Copy(folder.Get());
    if (copy) list_->AppendRow(copy);
  }
  AppendResults(fedResults_, 0);
  list_->ShowRows();
  SortAsKept();
  if (!selected.empty() || !focused.empty()) {
    for (int row = 0; row < rows.Count(); ++row) {
      std::string key = keyOf(row);
      UINT state = (selected.count(key) ? LVIS_SELECTED : 0) | (key == focused ? LVIS_FOCUSED : 0);
      if (state) ListView_SetItemState(list_->Control(), row, state, state);
    }
  }
  if (top > 0 && rows.Count() > 0) {
    // The row that was at the top comes back into view.
    ListView_EnsureVisible(list_->Control(), rows.Count() - 1, FALSE);
    ListView_EnsureVisible(list_->Control(), std::min(top, rows.Count() - 1), FALSE);
  }
  list_->SetRedraw(true);
  list_->Repaint();
}

void CShellView::StopResultFill() {
  if (window_) KillTimer(window_, kResultTimer);
  feed_.reset();
  keptResults_.reset();
  fedResults_.clear();
}

bool CShellView::Included(LPCITEMIDLIST item) {
  return !dialogBrowser_ || dialogBrowser_->IncludeObject(this, item) != S_FALSE;
}

int CShellView::AddItem(LPCITEMIDLIST item) {
  if (!Included(item)) return -1;
  if (!list_ || !list_->Control()) return -1;
  LPITEMIDLIST copy = ThePidlManager()->Copy(item);
  if (!copy) return -1;
  return list_->InsertItem(copy);
}

SortOrder CShellView::KeptSortOrder() const {
  SortOrder order;
  if (!ParseSortOrder(viewFolder_->GetSortOrder(), order)) order = {ListColumn::Name, CListWindow::SortsAscending(0)};
  return order;
}

void CShellView::SortAsKept() {
  SortOrder order = KeptSortOrder();
  list_->SortBy(order.column, order.ascending);
}

void CShellView::FitTypeColumn() {
  // Type names vary by machine: the column grows to the names of the first
  // rows, until the user sets its width.
  int& width = g_fileColumnWidths[static_cast<int>(ListColumn::Type) - kFirstFileColumn];
  if (g_typeWidthChosen) return;
  // Each name is measured once: the rows of a folder share a few types.
  std::vector<std::wstring> names;
  ListRows& rows = list_->Rows();
  for (int row = 0; row < rows.Count() && row < kRowsFitted; ++row) {
    std::wstring name = rows.Text(row, ListColumn::Type);
    if (std::find(names.begin(), names.end(), name) == names.end()) names.push_back(std::move(name));
  }
  int fitting = list_->FittingWidth(ToWide(LoadResourceText(IDS_TYPE_COLUMN)), names);
  if (fitting <= width) return;
  width = fitting;
  SendMessageW(list_->Control(), LVM_SETCOLUMNWIDTH, static_cast<int>(ListColumn::Type), width);
}

void CShellView::OnGetDisplayInfo(NMLVDISPINFOW* info) {
  LVITEMW& row = info->item;
  LPCITEMIDLIST item = list_ ? list_->ItemIdentifier(row.iItem) : nullptr;
  if (!item) return;
  // Whoever asks the control for a row's lParam gets the row's identifier, as
  // from a list that stores its rows itself (it stays the list's).
  if (row.mask & LVIF_PARAM) row.lParam = reinterpret_cast<LPARAM>(item);
  if ((row.mask & LVIF_STATE) && (row.stateMask & LVIS_DROPHILITED)) {
    row.state = (row.state & ~LVIS_DROPHILITED) | (list_->IsDropHighlighted(row.iItem) ? LVIS_DROPHILITED : 0);
  }
  if (row.iSubItem == 0) {
    if ((row.mask & LVIF_TEXT) && row.pszText && row.cchTextMax > 0) {
      row.pszText[0] = L'\0';
      STRRET name = {};
      if (SUCCEEDED(folder_->GetDisplayNameOf(item, SHGDN_INFOLDER, &name))) {
        // StrRetToStrW takes every STRRET form and frees the shell's string.
        TaskMemory<wchar_t> text;
        if (SUCCEEDED(StrRetToStrW(&name, item, text.Put()))) lstrcpynW(row.pszText, text.Get(), row.cchTextMax);
      }
    }
    if (row.mask & LVIF_IMAGE) {
      // The folder's answer for a row does not change: it is asked once.
      int image = list_->Rows().Image(row.iItem);
      if (image < 0) {
        ComPtr<IExtractIconW> icon;
        UINT flags = 0;
        if (SUCCEEDED(folder_->GetUIObjectOf(window_, 1, &item, IID_IExtractIconW, nullptr, icon.PutVoid())) && icon &&
            SUCCEEDED(icon->GetIconLocation(GIL_FORSHELL, nullptr, 0, &image, &flags)) && image >= 0) {
          list_->Rows().SetImage(row.iItem, image);
        }
      }
      if (image >= 0) row.iImage = image;
    }
    return;
  }
  if (!(row.mask & LVIF_TEXT) || !row.pszText || row.cchTextMax <= 0) return;
  ListColumn column;
  if (!ToListColumn(row.iSubItem, column)) return;
  if (column != ListColumn::Details) {
    PlaceText(list_->Rows().Text(row.iItem, column), row.pszText, row.cchTextMax);
    return;
  }
  std::string text = CListWindow::DetailText(item);
  if (text.empty()) {
    text = LoadResourceText(CPidlManager::IsResultItem(item) ? IDS_VALUE_NOT_SET : IDS_FOLDER_DETAILS);
  }
  PlaceText(ToWide(text), row.pszText, row.cchTextMax);
}

LRESULT CShellView::OnFindItem(NMLVFINDITEMW* find) {
  if (!list_ || !(find->lvfi.flags & (LVFI_STRING | LVFI_PARTIAL)) || !find->lvfi.psz) return -1;
  return list_->Rows().FindByPrefix(find->lvfi.psz, find->iStart);
}

void CShellView::OnColumnClick(int column) {
  ListColumn which;
  if (!list_ || !ToListColumn(column, which)) return;
  SortOrder order{which, CListWindow::SortsAscending(column)};
  list_->SortBy(order.column, order.ascending);
  CListWindow::ReverseSortDirection(column);
  // Kept with the folder, so it fills in this order next time.
  viewFolder_->SetSortOrder(SortOrderText(order));
}

void CShellView::RememberColumnWidths() {
  if (!list_ || !list_->Control()) return;
  SetColumnWidth(kNameColumn, list_->ColumnWidth(kNameColumn));
  SetColumnWidth(kDetailsColumn, list_->ColumnWidth(kDetailsColumn));
  for (int column = kFirstFileColumn; column < list_->ColumnCount() && column < kListColumnCount; ++column) {
    int width = list_->ColumnWidth(column);
    if (width <= 0) continue;
    if (column == static_cast<int>(ListColumn::Type) && width != g_fileColumnWidths[column - kFirstFileColumn])
      g_typeWidthChosen = true;
    g_fileColumnWidths[column - kFirstFileColumn] = width;
  }
}

void CShellView::OnBeginLabelEdit() {
  editingLabel_ = true;
  // An item's name holds 49 characters: the edit box (a Unicode one, so it
  // counts characters) takes no more, so what the user typed is what the
  // rename gets.
  if (list_ && list_->Control()) {
    if (HWND edit = reinterpret_cast<HWND>(SendMessageW(list_->Control(), LVM_GETEDITCONTROL, 0, 0)))
      SendMessageW(edit, EM_LIMITTEXT, kMaxFolderNameCharacters, 0);
  }
}

void CShellView::OnEndLabelEdit(NMLVDISPINFOW* info) {
  if (!info->item.pszText || !info->item.pszText[0] || !list_) return;
  std::string name = ToUtf8(info->item.pszText);
  if (name.empty()) return;
  LPCITEMIDLIST row = list_->ItemIdentifier(info->item.iItem);
  if (!row) return;
  // The row's own identifier may go while the rename runs (its notice arrives).
  CItemIdList copy(*ThePidlManager(), row);
  LPCITEMIDLIST item = copy.Get();
  bool renamingNewItem = pendingNewItem_.Get() && CPidlManager::IsSameItem(item, pendingNewItem_.Get());
  if (!viewFolder_->RenameItem(item, name.c_str())) return;
  if (CPidlManager::IsResultItem(item)) {
    // The file's row takes the new name now (its notice finds it done); the
    // search service may still answer the old path for a moment.
    CItemIdList renamed = RenamedResultItem(item, name);
    if (renamed.Get()) RenameResultRow(item, renamed.Get());
    return;
  }
  if (renamingNewItem) {
    // Follow the new folder under its new name, so the refresh selects it.
    FolderSettings settings;
    if (CPidlManager::ReadFolderSettings(pendingNewItem_.GetLastItem(), settings)) {
      settings.name = name;
      pendingNewItem_.Adopt(ThePidlManager()->CreateFolderItem(settings));
    }
  }
  Refresh();
}

void CShellView::WriteStatusText() {
  FolderSettings folder;
  if (!CPidlManager::ReadFolderSettings(folderItem_.GetLastItem(), folder) || !browser_) return;
  ComPtr<IShellBrowser> browser = browser_;
  LRESULT ignored = 0;
  std::wstring name = ToWide(folder.name);
  browser->SendControlMsg(FCW_STATUS, SB_SETTEXTW, kStatusFolderName, reinterpret_cast<LPARAM>(name.c_str()),
                          &ignored);
  std::string countText = shownResults_ >= 0 ? CountText(shownResults_, shownFolders_)
                                            : CountText(viewFolder_->ResultCount(), viewFolder_->FolderCount());
  // Until the service's set is complete the count says so.
  if (feed_ && !quietFill_) countText += ", searching...";
  std::wstring counts = ToWide(countText);
  browser->SendControlMsg(FCW_STATUS, SB_SETTEXTW, kStatusCounts, reinterpret_cast<LPARAM>(counts.c_str()), &ignored);
  // A notice of the index goes before the query, in the widest part.
  std::string notice = IndexNotice();
  std::wstring query = ToWide(notice.empty() ? folder.query
                                             : folder.query.empty() ? notice : notice + "  \xE2\x80\x94  " + folder.query);
  browser->SendControlMsg(FCW_STATUS, SB_SETTEXTW, kStatusQuery, reinterpret_cast<LPARAM>(query.c_str()), &ignored);
}

void CShellView::AskIndexStatus() {
  // Once a fill: the service counts the files of its databases to answer.
  indexStatusKnown_ = qv::AskIndexStatus(indexStatus_);
}

std::string CShellView::IndexNotice() const {
  // Only a search folder's own fill asks; other services tell nothing.
  if (!indexStatusKnown_ || shownResults_ < 0) return {};
  if (indexStatus_.state == kIndexBuilding)
    return FormatText(LoadResourceText(IDS_INDEX_BUILDING).c_str(), ToUtf8(GroupedNumber(indexStatus_.files)).c_str());
  if (indexStatus_.folders == 0 && shownResults_ == 0) return LoadResourceText(IDS_NO_FOLDERS_INDEXED);
  return {};
}

void CShellView::EditNewItemLabel(LPCITEMIDLIST list) {
  LPCITEMIDLIST item = CPidlManager::GetLastItem(list);
  if (!item || !list_) return;
  int index = AddItem(item);
  if (index < 0) return;
  pendingNewItem_.Set(item);
  list_->Focus();
  list_->EditLabel(index);
}

void CShellView::SelectPendingNewItem() {
  if (!pendingNewItem_.Get()) return;
  int index = list_->FindItem(pendingNewItem_.Get());
  if (index >= 0) list_->SelectOnly(index);
  pendingNewItem_.Set(nullptr);
}

void CShellView::ApplyViewMode(int mode) {
  if (!list_ || !list_->Control()) return;
  list_->SetMode(mode);
  viewFolder_->SetViewStyle(mode);
}

void CShellView::StartRenameOfSelection() {
  if (!list_ || !list_->Control() || list_->SelectedCount() != 1) return;
  int row = list_->NextItem(-1, LVNI_SELECTED);
  if (row < 0) return;
  list_->Focus();
  list_->EditLabel(row);
}

}  // namespace qv
