// Saves a picture of a filled view in Report mode, for a person to look at:
// view-report.png in the test's working directory (the build tree's tests folder).

#include <string>

#include "support/WindowPicture.h"
#include "view/ViewFixture.h"

namespace qv::test {
namespace {

TEST_F(ViewTest, SavesScreenshotOfFilledReportView) {
  ComPtr<TestFolder> folder = MakeFilledFolder();
  for (const char* name : {"notes.md", "plan.txt", "slides.ppt"})
    folder->AddResult(name, std::string("C:\\work\\") + name);
  ComPtr<IShellView> view = Open(folder.Get());
  ASSERT_NE(nullptr, ListOf(view.Get()));
  view->UIActivate(SVUIA_ACTIVATE_FOCUS);
  ListView_SetItemState(ListOf(view.Get()), 3, LVIS_SELECTED, LVIS_SELECTED);
  RedrawWindow(browser_->Frame(), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
  PumpMessages();

  std::wstring path = PictureInWorkingDirectory(L"view-report.png");
  EXPECT_TRUE(SaveWindowPicture(browser_->Frame(), path));
}

}  // namespace
}  // namespace qv::test
