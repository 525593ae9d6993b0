#pragma once
// View tests on the real folder objects: a folder definition document in the
// test's data directory, the namespace root over it, and its folders' views in
// the test browser.

#include <string>

#include "folders/CFolderStore.h"
#include "pidl/CPidlManager.h"
#include "runtime/ModuleUse.h"
#include "shellfolder/CShellFolder.h"
#include "support/TestItemList.h"
#include "view/ViewFixture.h"

namespace qv::test {

class StoredFolderViewTest : public ViewTest {
 protected:
  // Writes and loads the document and makes the root folder object over it.
  void LoadDocument(const std::string& document) {
    WriteFileText(dir_.File(kDocumentFileName), document);
    TheFolderStore()->Load();
    root_ = MakeComObject<CShellFolder>();
    TestItemList rootList;
    rootList.Root();
    root_->Initialize(rootList.Get());
  }
  // The folder object of a top-level search folder, as the root binds it.
  ComPtr<CShellFolder> TopFolder(const std::string& name) {
    TestItemList list;
    list.Root().Folder(name);
    CItemIdList item(RequirePidlManager());
    item.Adopt(RequirePidlManager().CreateFolderItem(
        CFolderStore::ReadFolderSettings(TheFolderStore()->FindFolderNode(list.Get()).Get())));
    ComPtr<CShellFolder> folder = MakeComObject<CShellFolder>(root_.Get(), item.Get());
    folder->Initialize(root_->AbsoluteListOf(item.Get()).Get());
    return folder;
  }
  // Opens the folder's view in a new test browser.
  ComPtr<IShellView> Show(IShellFolder* folder) {
    if (browser_) browser_->BrowseAway();
    browser_ = MakeComObject<TestBrowser>();
    ComPtr<IShellView> view;
    EXPECT_EQ(S_OK, folder->CreateViewObject(nullptr, IID_IShellView, view.PutVoid()));
    if (view) {
      EXPECT_EQ(S_OK, browser_->Show(view.Get()));
    }
    return view;
  }

  ComPtr<CShellFolder> root_;
};

}  // namespace qv::test
