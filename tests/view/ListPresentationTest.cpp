#include <vector>

#include "resources/resource.h"
#include "view/ViewFixture.h"

namespace qv::test {
namespace {

using Names = std::vector<std::string>;

TEST_F(ViewTest, FillsSubFoldersBeforeResults) {
  ComPtr<TestFolder> folder = MakeFilledFolder();
  ComPtr<IShellView> view = Open(folder.Get());
  HWND list = ListOf(view.Get());
  ASSERT_NE(nullptr, list);
  EXPECT_EQ(Names({"Archive", "Drafts", "agenda.doc", "budget.xls", "minutes.txt"}), Column(list, 0));
  EXPECT_EQ(Names({"(folder)", "draft", "C:\\work\\agenda.doc", "(value not set)", "C:\\work\\minutes.txt"}),
            Column(list, 1));
}

}  // namespace
}  // namespace qv::test
