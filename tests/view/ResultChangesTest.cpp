// A search folder's rows follow what the user does to its files and what the
// search service's index learns: a renamed result keeps its row under the new
// name and a deleted one leaves, at once, although the service still answers
// the old paths; a change of the index refills the view within about a second.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/SearchDataFolder.h"
#include "operations/FolderOperations.h"
#include "pidl/CPidlManager.h"
#include "runtime/ModuleUse.h"
#include "view/StoredFolderViewFixture.h"

namespace qv::test {
namespace {

using Names = std::vector<std::string>;

class ResultChangesTest : public StoredFolderViewTest {
 protected:
  void SetUp() override {
    LoadDocument("<root name='root'><folder name='Files' query='notes' category='file' maxResults='0'/></root>");
    for (const char* name : {"alpha.txt", "beta.txt", "gamma.txt"}) AddFile(name);
  }
  void TearDown() override { SetEnvironmentVariableW(kSearchDataVariable, nullptr); }

  // A file in the test's directory that the service answers.
  void AddFile(const std::string& name) {
    WriteFileText(dir_.File(name), "notes");
    stub_.AddResult(ToWide(dir_.File(name)), ToWide(name));
  }
  CItemIdList Result(const std::string& name) {
    CItemIdList item(RequirePidlManager());
    item.Adopt(RequirePidlManager().CreateResultItem(name, dir_.File(name), 0));
    return item;
  }
  // The index file's header with the given change counter (the rest of a real
  // database does not matter to the view).
  void WriteIndexStamp(const std::string& folder, unsigned char counter) {
    std::string header(100, '\0');
    header[27] = static_cast<char>(counter);
    WriteFileText(folder + "index.db", header);
  }
  // The folder's view, filled with the three files.
  ComPtr<IShellView> ShowFiles(CShellFolder* files) {
    ComPtr<IShellView> view = Show(files);
    if (!view) return view;
    WaitForFill(view.Get());
    EXPECT_EQ((Names{"alpha.txt", "beta.txt", "gamma.txt"}), Column(ListOf(view.Get()), 0));
    return view;
  }
};

TEST_F(ResultChangesTest, RenamedAndDeletedResultsChangeTheirRowsAtOnceWithoutAskingTheService) {
  ComPtr<CShellFolder> files = TopFolder("Files");
  ComPtr<IShellView> view = ShowFiles(files.Get());
  ASSERT_TRUE(view);
  HWND list = ListOf(view.Get());
  int queries = stub_.CallCount(kStubQuery);

  // The service goes on answering "beta.txt": the row takes the new name all
  // the same, in its sorted place, with its new path.
  ASSERT_TRUE(files->Operations().RenameResultFile(Result("beta.txt").Get(), "zeta.txt"));
  PumpMessages();
  EXPECT_EQ((Names{"alpha.txt", "gamma.txt", "zeta.txt"}), Column(list, 0));
  EXPECT_EQ(dir_.File("zeta.txt"), Column(list, 1)[2]);

  ASSERT_TRUE(files->Operations().DeleteResultFile(nullptr, Result("gamma.txt").Get(), false));
  PumpMessages();
  EXPECT_EQ((Names{"alpha.txt", "zeta.txt"}), Column(list, 0));
  EXPECT_EQ("2 file(s)", browser_->statusTexts[1]);
  EXPECT_EQ(queries, stub_.CallCount(kStubQuery)) << "a rename or delete asked the service again";

  // Opened again before the service knows: the kept answer follows the files.
  stub_.SetReadyStates({3});
  stub_.SetAvailableCounts({0});
  view = Show(files.Get());
  ASSERT_TRUE(view);
  EXPECT_EQ((Names{"alpha.txt", "zeta.txt"}), Column(ListOf(view.Get()), 0));
}

TEST_F(ResultChangesTest, ViewRefillsWhenTheIndexChangesAndKeepsItsSelection) {
  TempDirectory data;
  SetEnvironmentVariableW(kSearchDataVariable, ToWide(data.Path()).c_str());
  WriteIndexStamp(data.Path(), 1);
  ComPtr<CShellFolder> files = TopFolder("Files");
  ComPtr<IShellView> view = ShowFiles(files.Get());
  ASSERT_TRUE(view);
  HWND list = ListOf(view.Get());
  ListView_SetItemState(list, 2, LVIS_SELECTED, LVIS_SELECTED);

  // Nothing changed: the view does not ask again.
  int queries = stub_.CallCount(kStubQuery);
  WaitAndPump(1500);
  EXPECT_EQ(queries, stub_.CallCount(kStubQuery));

  // A pass found a new file: the view shows it within about a second, the
  // selected row stays selected and the status bar never says "searching".
  AddFile("delta.txt");
  WriteIndexStamp(data.Path(), 2);
  DWORD start = GetTickCount();
  while (Column(list, 0).size() < 4 && GetTickCount() - start < 5000) WaitAndPump(50);
  EXPECT_LT(GetTickCount() - start, 2000u);
  EXPECT_EQ((Names{"alpha.txt", "beta.txt", "delta.txt", "gamma.txt"}), Column(list, 0));
  EXPECT_EQ(static_cast<UINT>(LVIS_SELECTED), ListView_GetItemState(list, 3, LVIS_SELECTED));
  EXPECT_EQ("4 file(s)", browser_->statusTexts[1]);
  EXPECT_EQ(queries + 1, stub_.CallCount(kStubQuery));
}

}  // namespace
}  // namespace qv::test
