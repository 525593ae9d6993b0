// The folder object over a folder definition document: what it keeps per
// folder and the objects it makes for its view.

#include <gtest/gtest.h>

#include "support/OperationsFixture.h"

namespace qv::test {
namespace {

class FolderObjectTest : public OperationsTest {};

TEST_F(FolderObjectTest, ViewModeIsStoredForSearchFoldersOnly) {
  ComPtr<CShellFolder> work = Work();
  EXPECT_EQ(kDefaultStyle, root_->GetViewStyle());
  work->SetViewStyle(3);
  EXPECT_EQ(3, SavedRecord({"Work"}).style);
  EXPECT_EQ(3, Open(root_.Get(), "Work")->GetViewStyle());
  std::string before = DocumentText();
  root_->SetViewStyle(2);
  EXPECT_EQ(before, DocumentText());
}

TEST_F(FolderObjectTest, BoundFolderMakesItsView) {
  ComPtr<IShellView> view;
  EXPECT_EQ(S_OK, Work()->CreateViewObject(nullptr, IID_IShellView, view.PutVoid()));
  EXPECT_TRUE(view);
  ComPtr<IDropTarget> target;
  EXPECT_EQ(S_OK, Work()->CreateViewObject(nullptr, IID_IDropTarget, target.PutVoid()));
  EXPECT_TRUE(target) << "the folder takes drops on its own background";
  ComPtr<IUnknown> other;
  EXPECT_EQ(E_NOINTERFACE, Work()->CreateViewObject(nullptr, IID_IPersistFolder, other.PutVoid()));
  ComPtr<IContextMenu> background;
  EXPECT_EQ(S_OK, Work()->CreateViewObject(nullptr, IID_IContextMenu, background.PutVoid()));
}

}  // namespace
}  // namespace qv::test
