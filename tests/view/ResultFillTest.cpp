// A search folder's view shows its results as the service makes them: the
// first rows before the set is complete, a refresh that keeps the rows shown
// while the service searches and ends with the new query's rows alone, and a
// folder opened again showing what its query gave a moment ago until the
// service answers anew.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "view/StoredFolderViewFixture.h"

namespace qv::test {
namespace {

using Names = std::vector<std::string>;

class ResultFillTest : public StoredFolderViewTest {
 protected:
  void SetUp() override {
    LoadDocument(
        "<root name='root'><folder name='Live' query='live' category='web' maxResults='0'><folder name='Sub'/></folder>"
        "<folder name='Other' query='other' category='web' maxResults='0'/></root>");
  }
  void AddResults(const std::string& prefix, int count) {
    for (int i = 1; i <= count; ++i) {
      std::wstring name = ToWide(prefix + "-" + std::to_string(i) + ".txt");
      stub_.AddResult(L"C:\\live\\" + name, name);
    }
  }
  // Handles messages until the list holds `rows` rows or the fill has ended.
  static void PumpUntilRows(IShellView* view, int rows) {
    while (Impl(view)->IsFilling() && ListView_GetItemCount(ListOf(view)) < rows) {
      PumpMessages();
      Sleep(5);
    }
  }
  bool StatusSaysSearching() const {
    return browser_->statusTexts[1].find("searching") != std::string::npos;
  }
};

TEST_F(ResultFillTest, RowsArriveWhileTheServiceSearchesAndARefreshShowsOnlyTheNewQuerysRows) {
  AddResults("old", 5);
  stub_.SetReadyStates({3});
  stub_.SetAvailableCounts({2});
  ComPtr<IShellView> view = Show(TopFolder("Live").Get());
  ASSERT_TRUE(view);
  HWND list = ListOf(view.Get());
  // The sub-folder and the results the service has so far, while it searches.
  EXPECT_EQ((Names{"Sub", "old-1.txt", "old-2.txt"}), Column(list, 0));
  EXPECT_TRUE(Impl(view.Get())->IsFilling());
  EXPECT_TRUE(StatusSaysSearching()) << browser_->statusTexts[1];
  stub_.SetAvailableCounts({4});
  PumpUntilRows(view.Get(), 5);
  EXPECT_EQ((Names{"Sub", "old-1.txt", "old-2.txt", "old-3.txt", "old-4.txt"}), Column(list, 0));
  stub_.SetReadyStates({2});
  WaitForFill(view.Get());
  EXPECT_EQ((Names{"Sub", "old-1.txt", "old-2.txt", "old-3.txt", "old-4.txt", "old-5.txt"}), Column(list, 0));
  EXPECT_EQ("5 file(s) 1 folder(s)", browser_->statusTexts[1]);

  // A refresh keeps showing what the query answered while the service searches
  // again; another one whose query answers other results ends with those alone:
  // the old result set, complete by now, adds nothing.
  stub_.SetReadyStates({3});
  stub_.SetAvailableCounts({1});
  ASSERT_EQ(S_OK, view->Refresh());
  EXPECT_EQ((Names{"Sub", "old-1.txt", "old-2.txt", "old-3.txt", "old-4.txt", "old-5.txt"}), Column(list, 0));
  EXPECT_TRUE(Impl(view.Get())->IsFilling());
  stub_.Reset();
  AddResults("new", 2);
  ASSERT_EQ(S_OK, view->Refresh());
  WaitForFill(view.Get());
  PumpMessages();
  EXPECT_EQ((Names{"Sub", "new-1.txt", "new-2.txt"}), Column(list, 0));
  EXPECT_FALSE(StatusSaysSearching()) << browser_->statusTexts[1];
}

TEST_F(ResultFillTest, FolderOpenedAgainShowsItsKeptRowsUntilTheServiceAnswersAnew) {
  AddResults("kept", 2);
  ComPtr<IShellView> view = Show(TopFolder("Live").Get());
  ASSERT_TRUE(view);
  WaitForFill(view.Get());
  EXPECT_EQ((Names{"Sub", "kept-1.txt", "kept-2.txt"}), Column(ListOf(view.Get()), 0));

  // The service has not answered yet: the kept rows show meanwhile, and the
  // service is asked all the same.
  stub_.Reset();
  AddResults("fresh", 1);
  stub_.SetReadyStates({3});
  stub_.SetAvailableCounts({0});
  view = Show(TopFolder("Live").Get());
  ASSERT_TRUE(view);
  EXPECT_EQ((Names{"Sub", "kept-1.txt", "kept-2.txt"}), Column(ListOf(view.Get()), 0));
  EXPECT_EQ(1, stub_.CallCount(kStubQuery));
  // Another folder's query never shows them.
  ComPtr<IShellView> other = Show(TopFolder("Other").Get());
  ASSERT_TRUE(other);
  EXPECT_EQ(0, ListView_GetItemCount(ListOf(other.Get())));

  // Once complete, the service's answer replaces the kept rows.
  view = Show(TopFolder("Live").Get());
  EXPECT_EQ((Names{"Sub", "kept-1.txt", "kept-2.txt"}), Column(ListOf(view.Get()), 0));
  stub_.SetReadyStates({2});
  WaitForFill(view.Get());
  EXPECT_EQ((Names{"Sub", "fresh-1.txt"}), Column(ListOf(view.Get()), 0));
}

// The bundled service tells how far its index is: a search folder's view says
// that the index is still being built, or, with nothing to show and no folder
// indexed, how to add one; asked once a fill, when it ends, not per row. A service without it
// changes nothing.
TEST_F(ResultFillTest, StatusBarTellsOfAnIndexBeingBuiltAndOfNoFolderIndexed) {
  const std::string dash = "  \xE2\x80\x94  ";
  ComPtr<IShellView> view = Show(TopFolder("Other").Get());
  ASSERT_TRUE(view);
  WaitForFill(view.Get());
  EXPECT_EQ("Empty", browser_->statusTexts[1]);
  EXPECT_EQ("other", browser_->statusTexts[2]);

  struct Case {
    LONG state, files, folders;
    int results;
    std::string notice;  // before the query; empty: the query alone
  };
  const Case cases[] = {
      {kIndexBuilding, 1234, 2, 0, "Indexing your documents: 1,234 files so far"},
      {kIndexBuilding, 7, 0, 3, "Indexing your documents: 7 files so far"},
      {kIndexNotBuilt, 0, 0, 0,
       "No folders are indexed yet. Add one in Indexing options (Start menu, or run quorvane-index options)."},
      {kIndexReady, 50, 0, 2, ""},
      {kIndexReady, 50, 1, 0, ""},
  };
  for (const Case& c : cases) {
    stub_.Reset();
    AddResults("r", c.results);
    stub_.SetIndexStatus(c.state, c.files, c.folders);
    stub_.SetReadyStates({3, 3, 3, 3, 2});
    ASSERT_EQ(S_OK, view->Refresh());
    WaitForFill(view.Get());
    PumpMessages();
    SCOPED_TRACE(c.notice);
    EXPECT_EQ(c.notice.empty() ? "other" : c.notice + dash + "other", browser_->statusTexts[2]);
    EXPECT_EQ(1, stub_.IndexStatusCalls());
  }
}

}  // namespace
}  // namespace qv::test
