// What the list shows of results beyond name and path, how it sorts by it, and
// the order a folder keeps; a folder of 100,000 results from the service.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "folders/CFolderStore.h"
#include "runtime/ModuleUse.h"
#include "common/Text.h"
#include "pidl/CPidlManager.h"
#include "shellfolder/CShellFolder.h"
#include "support/TestItemList.h"
#include "view/FileFacts.h"
#include "view/ItemColumns.h"
#include "view/ListColumns.h"
#include "view/ListRows.h"
#include "view/StoredFolderViewFixture.h"

namespace qv::test {
namespace {

using Names = std::vector<std::string>;

void ResetSortDirections() {
  for (int column = 0; column < kListColumnCount; ++column)
    if (!CListWindow::SortsAscending(column)) CListWindow::ReverseSortDirection(column);
}

void SetModified(const std::string& path, WORD year, WORD month, WORD day) {
  SYSTEMTIME time = {year, month, 0, day, 12, 0, 0, 0};
  FILETIME stamp = {};
  SystemTimeToFileTime(&time, &stamp);
  HANDLE file = CreateFileW(ToWide(path).c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(INVALID_HANDLE_VALUE, file);
  SetFileTime(file, nullptr, nullptr, &stamp);
  CloseHandle(file);
}

class FileColumnsTest : public ViewTest {
 protected:
  FileColumnsTest() { ResetSortDirections(); }
  ~FileColumnsTest() override { ResetSortDirections(); }

  // Three real files, ranked by the service in the order added: the newest,
  // largest file is the service's last.
  ComPtr<TestFolder> MakeRankedFolder() {
    ComPtr<TestFolder> folder = MakeFolder();
    struct File {
      const char* name;
      std::size_t size;
      WORD year;
    };
    for (const File& file : {File{"b-notes.txt", 2000, 2021}, File{"c-sheet.csv", 10, 2023},
                             File{"a-memo.log", 5000, 2025}}) {
      std::string path = dir_.File(file.name);
      WriteFileText(path, std::string(file.size, 'x'));
      SetModified(path, file.year, 6, 1);
      folder->AddResult(file.name, path);
    }
    folder->AddFolder("Sub", "q");
    return folder;
  }
};

TEST_F(FileColumnsTest, ResultsShowDateTypeSizeAndRankAndFoldersLeaveThemEmpty) {
  ComPtr<TestFolder> folder = MakeRankedFolder();
  ComPtr<IShellView> view = Open(folder.Get());
  HWND list = ListOf(view.Get());
  ASSERT_NE(nullptr, list);
  EXPECT_EQ(Names({"Sub", "a-memo.log", "b-notes.txt", "c-sheet.csv"}), Column(list, 0));
  EXPECT_EQ(Names({"", "3", "1", "2"}), Column(list, static_cast<int>(ListColumn::Rank)));
  Names sizes = Column(list, static_cast<int>(ListColumn::Size));
  EXPECT_EQ(Names({"", ToUtf8(FormatSize(5000)), ToUtf8(FormatSize(2000)), ToUtf8(FormatSize(10))}), sizes);
  FileFacts memo = ReadFileFacts(dir_.File("a-memo.log"));
  ASSERT_TRUE(memo.found);
  EXPECT_EQ(ToUtf8(FormatModified(memo.modified)), Column(list, static_cast<int>(ListColumn::Modified))[1]);
  EXPECT_EQ("", Column(list, static_cast<int>(ListColumn::Modified))[0]);
  Names types = Column(list, static_cast<int>(ListColumn::Type));
  EXPECT_EQ("", types[0]);
  for (std::size_t row = 1; row < types.size(); ++row) EXPECT_FALSE(types[row].empty()) << row;
  EXPECT_NE(types[1], types[2]) << "a .log and a .txt file have types of their own";
}

TEST_F(FileColumnsTest, EveryColumnSortsBothWaysWithFoldersFirst) {
  struct Case {
    ListColumn column;
    Names ascending;  // result names; the folder comes first both ways
  };
  const Case cases[] = {
      {ListColumn::Modified, {"b-notes.txt", "c-sheet.csv", "a-memo.log"}},
      {ListColumn::Size, {"c-sheet.csv", "b-notes.txt", "a-memo.log"}},
      {ListColumn::Rank, {"b-notes.txt", "c-sheet.csv", "a-memo.log"}},
      {ListColumn::Name, {"a-memo.log", "b-notes.txt", "c-sheet.csv"}},
  };
  ComPtr<TestFolder> folder = MakeRankedFolder();
  ComPtr<IShellView> view = Open(folder.Get());
  HWND list = ListOf(view.Get());
  for (const Case& c : cases) {
    Names ascending = {"Sub"};
    ascending.insert(ascending.end(), c.ascending.begin(), c.ascending.end());
    Names descending = {"Sub"};
    descending.insert(descending.end(), c.ascending.rbegin(), c.ascending.rend());
    ClickColumn(view.Get(), static_cast<int>(c.column));
    EXPECT_EQ(ascending, Column(list, 0)) << SortOrderText({c.column, true});
    ClickColumn(view.Get(), static_cast<int>(c.column));
    EXPECT_EQ(descending, Column(list, 0)) << SortOrderText({c.column, false});
  }
  // Type: the same type sorts together, whichever way.
  ClickColumn(view.Get(), static_cast<int>(ListColumn::Type));
  Names byType = Column(list, static_cast<int>(ListColumn::Type));
  EXPECT_TRUE(std::is_sorted(byType.begin() + 1, byType.end(), [](const std::string& a, const std::string& b) {
    return lstrcmpW(ToWide(a).c_str(), ToWide(b).c_str()) < 0;
  }));
}

TEST_F(FileColumnsTest, FolderKeepsItsSortAcrossRefreshAndReopenAndUnsortedFoldersFillByName) {
  ComPtr<TestFolder> folder = MakeRankedFolder();
  ComPtr<IShellView> view = Open(folder.Get());
  ClickColumn(view.Get(), static_cast<int>(ListColumn::Rank));
  ClickColumn(view.Get(), static_cast<int>(ListColumn::Rank));
  Names byRankDown = {"Sub", "a-memo.log", "c-sheet.csv", "b-notes.txt"};
  EXPECT_EQ(byRankDown, Column(ListOf(view.Get()), 0));
  EXPECT_EQ("rank descending", styles_.sorts["Work"]);
  view->Refresh();
  EXPECT_EQ(byRankDown, Column(ListOf(view.Get()), 0));
  ResetSortDirections();
  view = Open(folder.Get());
  EXPECT_EQ(byRankDown, Column(ListOf(view.Get()), 0));

  // Another folder, never sorted, fills by name.
  ComPtr<TestFolder> unsorted = MakeFolder("Plain");
  unsorted->AddResult("zeta.txt", "C:\\z\\zeta.txt");
  unsorted->AddResult("alpha.txt", "C:\\a\\alpha.txt");
  view = Open(unsorted.Get());
  EXPECT_EQ(Names({"alpha.txt", "zeta.txt"}), Column(ListOf(view.Get()), 0));
}

// The list sorts as the folder's CompareIDs orders (CompareByColumn): for every
// column and direction, ties of the column included (two files of one size,
// one date and one type; two results of one title).
TEST(ListOrder, IsTheOrderTheFolderGivesTheShell) {
  TempDirectory dir;
  ScopedModuleObjects objects(dir.Path());
  CPidlManager& manager = RequirePidlManager();
  struct File {
    const char* title;
    const char* name;
    std::size_t size;
  };
  const File files[] = {{"same", "x.txt", 10}, {"Same", "y.txt", 10}, {"other", "z.log", 300},
                        {"same", "w.txt", 10}, {"\xC3\xA9t\xC3\xA9", "e.txt", 20}};
  ListRows rows;
  for (const File& file : files) {
    std::string path = dir.File(file.name);
    WriteFileText(path, std::string(file.size, 'x'));
    SetModified(path, 2024, 1, 1);
    rows.Append(manager.CreateResultItem(file.title, path, 0));
  }
  FolderSettings folder;
  folder.name = "Sub";
  rows.Append(manager.CreateFolderItem(folder));
  folder.name = "Alpha";
  rows.Append(manager.CreateFolderItem(folder));
  for (int column = 0; column < kListColumnCount; ++column) {
    for (bool ascending : {true, false}) {
      rows.Sort(static_cast<ListColumn>(column), ascending);
      for (int row = 0; row + 1 < rows.Count(); ++row) {
        int order = CompareByColumn(rows.Item(row), rows.Item(row + 1), static_cast<ListColumn>(column));
        bool foldersFirst = CPidlManager::KindOf(rows.Item(row)) != CPidlManager::KindOf(rows.Item(row + 1));
        EXPECT_EQ(foldersFirst || ascending ? -1 : 1, order)
            << SortOrderText({static_cast<ListColumn>(column), ascending}) << " row " << row;
      }
    }
  }
}

// A row of a result's texts is that result's item to every reader: its
// columns, its identifier (made when asked, with its rank), finding it by an
// item; and rows arriving while a list fills are merged into the order a sort
// of all of them gives.
TEST(ListOrder, RowsOfTextsAreTheirItemsAndArrivingRowsSortAsAWholeSortWould) {
  TempDirectory dir;
  ScopedModuleObjects objects(dir.Path());
  CPidlManager& manager = RequirePidlManager();
  ListRows texts;
  ListRows items;
  auto add = [&](const std::string& name, const std::string& path) {
    ASSERT_TRUE(texts.AppendResult(name, path));
    items.Append(manager.CreateResultItem(name, path, 0));
  };
  const char* names[] = {"b", "a", "Zo\xC3\xAB", "a", "c", "B", "a"};
  for (int i = 0; i < 7; ++i) add(names[i], dir.File("f" + std::to_string(7 - i) + ".txt"));
  for (int row = 0; row < texts.Count(); ++row) {
    for (int column = 0; column < kListColumnCount; ++column)
      EXPECT_EQ(items.Text(row, static_cast<ListColumn>(column)), texts.Text(row, static_cast<ListColumn>(column)));
    EXPECT_EQ(texts.Rank(row), CPidlManager::ResultRank(texts.Item(row)));
    ASSERT_EQ(ILGetSize(items.Item(row)), ILGetSize(texts.Item(row)));
    EXPECT_EQ(0, std::memcmp(items.Item(row), texts.Item(row), ILGetSize(texts.Item(row)))) << row;
    EXPECT_EQ(row, texts.Find(items.Item(row)));
  }
  // Sorted while rows arrive, by one column and the other way round.
  for (bool ascending : {true, false}) {
    ListRows arriving;
    ListRows whole;
    for (int i = 0; i < 40; ++i) {
      std::string name = names[(i * 5) % 7];
      std::string path = dir.File("g" + std::to_string((i * 13) % 17) + ".txt");
      arriving.AppendResult(name, path);
      whole.AppendResult(name, path);
      if (i % 6 == 5) arriving.Sort(ListColumn::Name, ascending);
    }
    arriving.Sort(ListColumn::Name, ascending);
    whole.Sort(ListColumn::Name, ascending);
    for (int row = 0; row < whole.Count(); ++row) {
      EXPECT_EQ(whole.Rank(row), arriving.Rank(row)) << row;
      EXPECT_EQ(whole.ResultPath(row), arriving.ResultPath(row)) << row;
    }
  }
}

TEST(SortOrderText, ReadsWhatItWritesAndRefusesTheRest) {
  for (int column = 0; column < kListColumnCount; ++column) {
    for (bool ascending : {true, false}) {
      SortOrder written{static_cast<ListColumn>(column), ascending}, read{};
      ASSERT_TRUE(ParseSortOrder(SortOrderText(written), read));
      EXPECT_EQ(written.column, read.column);
      EXPECT_EQ(written.ascending, read.ascending);
    }
  }
  SortOrder order;
  EXPECT_TRUE(ParseSortOrder("Size", order));
  EXPECT_EQ(ListColumn::Size, order.column);
  EXPECT_TRUE(order.ascending);
  for (const char* bad : {"", "colour", "size upward", "size descending extra", "  ", "s\xC3\xADze", "\xEF\xBC\xB3ize",
                          "size\xC2\xA0" "descending"})
    EXPECT_FALSE(ParseSortOrder(bad, order)) << bad;
}

// The real folder object over the stand-in service: 100,000 results open in a
// view with every row there, and the order the user picks is written into the
// folder's element, where a fresh start finds it.
class LargeFolderTest : public StoredFolderViewTest {
 protected:
  void SetUp() override {
    LoadDocument("<root name='root'><folder name='Many' query='many' category='web' maxResults='0'/></root>");
  }
};

TEST_F(LargeFolderTest, HundredThousandResultsOpenWithEveryRowAndKeepTheirSort) {
  constexpr int kCount = 100000;
  for (int i = 0; i < kCount; ++i) {
    std::wstring name = L"result-" + std::to_wstring(kCount + i) + L".txt";
    stub_.AddResult(L"C:\\many\\" + name, name);
  }
  ComPtr<CShellFolder> folder = TopFolder("Many");
  ComPtr<IShellView> view = Show(folder.Get());
  ASSERT_TRUE(view);
  WaitForFill(view.Get());
  HWND list = ListOf(view.Get());
  ASSERT_EQ(kCount, ListView_GetItemCount(list));
  // The last page scrolls into view and paints.
  ListView_EnsureVisible(list, kCount - 1, FALSE);
  UpdateWindow(list);

  ClickColumn(view.Get(), static_cast<int>(ListColumn::Rank));
  ClickColumn(view.Get(), static_cast<int>(ListColumn::Rank));
  TestItemList many;
  many.Root().Folder("Many");
  EXPECT_EQ("rank descending",
            CFolderStore::NodeAttributeText(TheFolderStore()->FindFolderNode(many.Get()).Get(), "sort"));

  // A fresh start: the document read again, the direction flags as at load.
  ResetSortDirections();
  TheFolderStore()->Load();
  view = Show(TopFolder("Many").Get());
  WaitForFill(view.Get());
  list = ListOf(view.Get());
  ASSERT_EQ(kCount, ListView_GetItemCount(list));
  wchar_t first[64] = {};
  LVITEMW row = {};
  row.iSubItem = static_cast<int>(ListColumn::Rank);
  row.pszText = first;
  row.cchTextMax = ARRAYSIZE(first);
  SendMessageW(list, LVM_GETITEMTEXTW, 0, reinterpret_cast<LPARAM>(&row));
  EXPECT_STREQ(std::to_wstring(kCount).c_str(), first);
  ResetSortDirections();
}

}  // namespace
}  // namespace qv::test
