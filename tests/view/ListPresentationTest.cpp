#include <vector>

#include "runtime/Settings.h"
#include "common/Text.h"
#include "pidl/CPidlManager.h"
#include "resources/resource.h"
#include "view/ViewFixture.h"

namespace qv::test {
namespace {

using Names = std::vector<std::string>;

DWORD StyleOf(HWND window) { return static_cast<DWORD>(GetWindowLongPtrA(window, GWL_STYLE)); }
DWORD ExtendedListStyle(HWND list) {
  return static_cast<DWORD>(SendMessageA(list, LVM_GETEXTENDEDLISTVIEWSTYLE, 0, 0));
}

// The sort direction flags belong to the process; every test starts ascending.
void ResetSortDirections() {
  for (int column = 0; column < kListColumnCount; ++column)
    if (!CListWindow::SortsAscending(column)) CListWindow::ReverseSortDirection(column);
}

class ListTest : public ViewTest {
 protected:
  ListTest() { ResetSortDirections(); }
  ~ListTest() override {
    ResetSortDirections();
    SetColumnWidth(kNameColumn, kDefaultColumnWidth);
    SetColumnWidth(kDetailsColumn, kDefaultColumnWidth);
  }
  LRESULT CustomDraw(IShellView* view, DWORD stage, DWORD_PTR row, COLORREF* background = nullptr) {
    NMLVCUSTOMDRAW draw = {};
    draw.nmcd.hdr.hwndFrom = ListOf(view);
    draw.nmcd.hdr.code = NM_CUSTOMDRAW;
    draw.nmcd.dwDrawStage = stage;
    draw.nmcd.dwItemSpec = row;
    draw.clrTextBk = CLR_DEFAULT;
    LRESULT answer = Notify(view, draw.nmcd.hdr);
    if (background) *background = draw.clrTextBk;
    return answer;
  }
  // Starts editing a row's label as the view does, through the wide message.
  static void EditLabel(HWND list, int row) { SendMessageW(list, LVM_EDITLABELW, row, 0); }
  // Types a new name into the running label edit and presses a key.
  static void FinishLabelEdit(HWND list, const char* text, WPARAM key) {
    HWND edit = reinterpret_cast<HWND>(SendMessageW(list, LVM_GETEDITCONTROL, 0, 0));
    ASSERT_NE(nullptr, edit);
    if (text) SetWindowTextW(edit, ToWide(text).c_str());
    SendMessageW(edit, WM_KEYDOWN, key, 0);
    PumpMessages();
  }
};

TEST_F(ListTest, FillsSubFoldersBeforeResultsWithTheirDetails) {
  ComPtr<TestFolder> folder = MakeFilledFolder();
  ComPtr<IShellView> view = Open(folder.Get());
  HWND list = ListOf(view.Get());
  ASSERT_NE(nullptr, list);
  EXPECT_EQ(Names({"Archive", "Drafts", "agenda.doc", "budget.xls", "minutes.txt"}), Column(list, 0));
  EXPECT_EQ(Names({"(folder)", "draft", "C:\\work\\agenda.doc", "(value not set)", "C:\\work\\minutes.txt"}),
            Column(list, 1));
  EXPECT_EQ(kListColumnCount, Header_GetItemCount(ListView_GetHeader(list)));
}

TEST_F(ListTest, ColumnSortsKeepSubFoldersFirstInBothDirections) {
  ComPtr<TestFolder> folder = MakeFilledFolder();
  ComPtr<IShellView> view = Open(folder.Get());
  HWND list = ListOf(view.Get());
  Names ascending = {"Archive", "Drafts", "agenda.doc", "budget.xls", "minutes.txt"};
  Names descending = {"Drafts", "Archive", "minutes.txt", "budget.xls", "agenda.doc"};

  ClickColumn(view.Get(), 0);
  EXPECT_EQ(ascending, Column(list, 0));
  // The folder keeps the order the user chose: the next fill sorts the same way.
  view->Refresh();
  EXPECT_EQ(ascending, Column(list, 0));
  // The column's flag was inverted, so the next click sorts the other way.
  ClickColumn(view.Get(), 0);
  EXPECT_EQ(descending, Column(list, 0));
  view->Refresh();
  EXPECT_EQ(descending, Column(list, 0));
  ClickColumn(view.Get(), 0);
  EXPECT_EQ(ascending, Column(list, 0));

  // Details: "" < "draft" among folders, "" < "C:..." among results.
  ClickColumn(view.Get(), 1);
  EXPECT_EQ(Names({"Archive", "Drafts", "budget.xls", "agenda.doc", "minutes.txt"}), Column(list, 0));
  ClickColumn(view.Get(), 1);
  EXPECT_EQ(Names({"Drafts", "Archive", "minutes.txt", "agenda.doc", "budget.xls"}), Column(list, 0));
}

TEST_F(ListTest, NamesCompareCaseSensitively) {
  ComPtr<TestFolder> folder = MakeFolder();
  folder->AddResult("Notes.txt", "C:\\a\\Notes.txt");
  folder->AddResult("notes.txt", "C:\\b\\notes.txt");
  ComPtr<IShellView> view = Open(folder.Get());
  Names shown = Column(ListOf(view.Get()), 0);
  ClickColumn(view.Get(), 0);
  ClickColumn(view.Get(), 0);
  Names reversed = Column(ListOf(view.Get()), 0);
  ASSERT_EQ(2u, shown.size());
  EXPECT_NE(shown, reversed);
}

TEST_F(ListTest, StatusBarShowsFolderNameCountsAndQuery) {
  ComPtr<TestFolder> filled = MakeFilledFolder();
  ComPtr<IShellView> view = Open(filled.Get());
  EXPECT_EQ("Work", browser_->statusTexts[0]);
  EXPECT_EQ("3 file(s) 2 folder(s)", browser_->statusTexts[1]);
  EXPECT_EQ("report", browser_->statusTexts[2]);

  ComPtr<TestFolder> empty = MakeFolder("Nothing", "");
  view = Open(empty.Get());
  EXPECT_EQ(0, ListView_GetItemCount(ListOf(view.Get())));
  EXPECT_EQ("Empty", browser_->statusTexts[1]);

  ComPtr<TestFolder> folders = MakeFolder();
  folders->AddFolder("A");
  folders->AddFolder("B");
  view = Open(folders.Get());
  EXPECT_EQ("2 folder(s)", browser_->statusTexts[1]);

  ComPtr<TestFolder> results = MakeFolder();
  for (const char* name : {"1", "2", "3", "4", "5"}) results->AddResult(name, "C:\\x");
  view = Open(results.Get());
  EXPECT_EQ("5 file(s)", browser_->statusTexts[1]);

  // The root has no record: the status bar keeps what it showed.
  ComPtr<TestFolder> root = MakeFolder("", "");
  root->AddFolder("Work");
  view = Open(root.Get());
  EXPECT_TRUE(browser_->statusTexts.empty());
}

TEST_F(ListTest, ViewModeIsStoredPerFolderButNotForTheRoot) {
  ComPtr<IShellView> view = Open(MakeFilledFolder().Get());
  Command(view.Get(), IDC_MODE_LIST);
  EXPECT_EQ(static_cast<DWORD>(LVS_LIST), StyleOf(ListOf(view.Get())) & LVS_TYPEMASK);

  view = Open(MakeFilledFolder().Get());
  HWND list = ListOf(view.Get());
  EXPECT_EQ(static_cast<DWORD>(LVS_LIST), StyleOf(list) & LVS_TYPEMASK);
  EXPECT_EQ(kModeList, styles_.modes["Work"]);

  Command(view.Get(), IDC_MODE_DETAILS);
  EXPECT_EQ(static_cast<DWORD>(LVS_REPORT), StyleOf(list) & (LVS_TYPEMASK | LVS_NOSORTHEADER));
  EXPECT_NE(0u, StyleOf(ListView_GetHeader(list)) & HDS_BUTTONS) << "headers sort when clicked";
  EXPECT_EQ(0u, ExtendedListStyle(list) & LVS_EX_FULLROWSELECT);
  Command(view.Get(), IDC_MODE_SMALL_ICONS);
  EXPECT_EQ(static_cast<DWORD>(LVS_SMALLICON), StyleOf(list) & (LVS_TYPEMASK | LVS_NOSORTHEADER));
  Command(view.Get(), IDC_MODE_LARGE_ICONS);
  EXPECT_EQ(static_cast<DWORD>(LVS_ICON), StyleOf(list) & (LVS_TYPEMASK | LVS_NOSORTHEADER));
  Command(view.Get(), IDC_MODE_REPORT);
  EXPECT_EQ(static_cast<DWORD>(LVS_REPORT), StyleOf(list) & (LVS_TYPEMASK | LVS_NOSORTHEADER));
  EXPECT_NE(0u, StyleOf(ListView_GetHeader(list)) & HDS_BUTTONS) << "headers sort when clicked";
  EXPECT_NE(0u, ExtendedListStyle(list) & LVS_EX_FULLROWSELECT);
  // Thumbnails is no mode: the list keeps its own.
  Command(view.Get(), IDC_MODE_THUMBNAILS);
  EXPECT_EQ(kModeReport, styles_.modes["Work"]);

  ComPtr<TestFolder> root = MakeFolder("", "");
  root->AddFolder("Work");
  view = Open(root.Get());
  Command(view.Get(), IDC_MODE_LIST);
  EXPECT_EQ(static_cast<DWORD>(LVS_LIST), StyleOf(ListOf(view.Get())) & LVS_TYPEMASK);
  view = Open(root.Get());
  EXPECT_EQ(static_cast<DWORD>(LVS_REPORT), StyleOf(ListOf(view.Get())) & LVS_TYPEMASK);
  EXPECT_NE(0u, ExtendedListStyle(ListOf(view.Get())) & LVS_EX_FULLROWSELECT);
}

TEST_F(ListTest, ShadesEvenRowsInReportModeOnly) {
  ComPtr<IShellView> view = Open(MakeFilledFolder().Get());
  EXPECT_EQ(CDRF_NOTIFYITEMDRAW, CustomDraw(view.Get(), CDDS_PREPAINT, 0));
  COLORREF background = 0;
  EXPECT_EQ(CDRF_NEWFONT, CustomDraw(view.Get(), CDDS_ITEMPREPAINT, 0, &background));
  EXPECT_EQ(RGB(240, 240, 240), background);
  EXPECT_EQ(CDRF_NEWFONT, CustomDraw(view.Get(), CDDS_ITEMPREPAINT, 2, &background));
  EXPECT_EQ(CDRF_DODEFAULT, CustomDraw(view.Get(), CDDS_ITEMPREPAINT, 1, &background));
  EXPECT_EQ(static_cast<COLORREF>(CLR_DEFAULT), background);
  EXPECT_EQ(CDRF_DODEFAULT, CustomDraw(view.Get(), CDDS_POSTPAINT, 0));

  Command(view.Get(), IDC_MODE_DETAILS);
  EXPECT_EQ(CDRF_DODEFAULT, CustomDraw(view.Get(), CDDS_PREPAINT, 0));
}

TEST_F(ListTest, ColumnWidthsAreSharedByLaterViews) {
  ComPtr<IShellView> first = Open(MakeFilledFolder().Get());
  HWND list = ListOf(first.Get());
  EXPECT_EQ(kDefaultColumnWidth, ListView_GetColumnWidth(list, 0));
  ListView_SetColumnWidth(list, 0, 180);
  ListView_SetColumnWidth(list, 1, 260);
  NMHEADERA track = {};
  track.hdr.code = HDN_ENDTRACKA;
  Notify(first.Get(), track.hdr);
  EXPECT_EQ(180, GetColumnWidth(kNameColumn));

  ComPtr<IShellView> second = Open(MakeFilledFolder().Get());
  EXPECT_EQ(180, ListView_GetColumnWidth(ListOf(second.Get()), 0));
  EXPECT_EQ(260, ListView_GetColumnWidth(ListOf(second.Get()), 1));
}

TEST_F(ListTest, RenamesThroughLabelEditingAndRefreshes) {
  ComPtr<TestFolder> folder = MakeFilledFolder();
  ComPtr<IShellView> view = Open(folder.Get());
  HWND list = ListOf(view.Get());
  SetFocus(list);
  ListView_EditLabel(list, 1);
  HWND edit = ListView_GetEditControl(list);
  ASSERT_NE(nullptr, edit);
  // The edit box takes no more than an item's name holds.
  EXPECT_EQ(static_cast<LRESULT>(kMaxFolderNameCharacters), SendMessageW(edit, EM_GETLIMITTEXT, 0, 0));
  FinishLabelEdit(list, "Current", VK_RETURN);
  EXPECT_EQ(Names({"Drafts->Current"}), folder->renames);
  EXPECT_EQ(Names({"Archive", "Current", "agenda.doc", "budget.xls", "minutes.txt"}), Column(list, 0));

  // Escape, an empty name and a refused rename change nothing.
  ListView_EditLabel(list, 0);
  FinishLabelEdit(list, "Old", VK_ESCAPE);
  ListView_EditLabel(list, 0);
  FinishLabelEdit(list, "", VK_RETURN);
  EXPECT_EQ(1u, folder->renames.size());
  folder->acceptRenames = false;
  ListView_EditLabel(list, 0);
  FinishLabelEdit(list, "Old", VK_RETURN);
  EXPECT_EQ(2u, folder->renames.size());
  EXPECT_EQ("Archive", Column(list, 0)[0]);
}

TEST_F(ListTest, NewFolderIsEditedThenSelectedInItsSortedPlace) {
  ComPtr<TestFolder> folder = MakeFilledFolder();
  ComPtr<IShellView> view = Open(folder.Get());
  HWND list = ListOf(view.Get());

  // What the view's new-folder command does: the element exists, then the view edits it.
  folder->AddFolder("New Folder");
  FolderSettings settings;
  settings.name = "New Folder";
  CItemIdList item(*ThePidlManager());
  item.Adopt(ThePidlManager()->CreateFolderItem(settings));
  Impl(view.Get())->EditNewItemLabel(item.Get());
  ASSERT_EQ(6, ListView_GetItemCount(list));
  EXPECT_EQ("New Folder", Column(list, 0)[5]);
  ASSERT_NE(nullptr, ListView_GetEditControl(list));

  FinishLabelEdit(list, "Budgets", VK_RETURN);
  EXPECT_EQ(Names({"Archive", "Budgets", "Drafts", "agenda.doc", "budget.xls", "minutes.txt"}), Column(list, 0));
  EXPECT_EQ(1, ListView_GetSelectedCount(list));
  EXPECT_EQ(1, ListView_GetNextItem(list, -1, LVNI_SELECTED | LVNI_FOCUSED));
}

TEST_F(ListTest, FileDialogDeclinesItems) {
  ComPtr<TestFolder> folder = MakeFilledFolder();
  ComPtr<IShellView> view;
  browser_ = MakeComObject<TestBrowser>(true);
  browser_->declined = {"Drafts", "agenda.doc"};
  ASSERT_EQ(S_OK, folder->CreateViewObject(nullptr, IID_IShellView, view.PutVoid()));
  ASSERT_EQ(S_OK, browser_->Show(view.Get()));
  EXPECT_EQ(Names({"Archive", "budget.xls", "minutes.txt"}), Column(ListOf(view.Get()), 0));
}

TEST_F(ListTest, NonAnsiNamesShowExactlyAndRenameThroughLabelEditing) {
  ComPtr<TestFolder> folder = MakeFolder("日本", "日本語");
  folder->AddFolder("Отчёт", "отчёт");
  folder->AddFolder("emoji 😀");
  folder->AddResult("日本語.txt", "C:\\データ\\日本語.txt");
  ComPtr<IShellView> view = Open(folder.Get());
  HWND list = ListOf(view.Get());
  EXPECT_EQ(Names({"emoji 😀", "Отчёт", "日本語.txt"}), Column(list, 0));
  EXPECT_EQ(Names({"(folder)", "отчёт", "C:\\データ\\日本語.txt"}), Column(list, 1));
  EXPECT_EQ("日本", browser_->statusTexts[0]);
  EXPECT_EQ("日本語", browser_->statusTexts[2]);

  SetFocus(list);
  EditLabel(list, 1);
  FinishLabelEdit(list, "Ωmega 報告", VK_RETURN);
  EXPECT_EQ(Names({"Отчёт->Ωmega 報告"}), folder->renames);
  EXPECT_EQ(Names({"emoji 😀", "Ωmega 報告", "日本語.txt"}), Column(list, 0));
}

TEST_F(ListTest, LabelEditTakesFortyNineCharactersNotBytes) {
  ComPtr<TestFolder> folder = MakeFilledFolder();
  ComPtr<IShellView> view = Open(folder.Get());
  HWND list = ListOf(view.Get());
  SetFocus(list);
  EditLabel(list, 0);
  HWND edit = ListView_GetEditControl(list);
  ASSERT_NE(nullptr, edit);
  SendMessageW(edit, EM_SETSEL, 0, -1);
  // Typed one by one: the 50th character is refused.
  for (int i = 0; i < 50; ++i) SendMessageW(edit, WM_CHAR, 0x3042, 0);
  EXPECT_EQ(49, GetWindowTextLengthW(edit));
  FinishLabelEdit(list, nullptr, VK_RETURN);
  std::string expected;
  for (int i = 0; i < 49; ++i) expected += "あ";
  EXPECT_EQ(Names({"Archive->" + expected}), folder->renames);
  EXPECT_EQ(expected, Column(list, 0)[1]) << "sorted after \"Drafts\"";
}

}  // namespace
}  // namespace qv::test
