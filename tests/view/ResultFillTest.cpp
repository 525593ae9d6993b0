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

}  // namespace
}  // namespace qv::test
