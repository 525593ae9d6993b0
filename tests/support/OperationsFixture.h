#pragma once
// A world for the folder operations: quorvane.xml in a temporary directory, the
// module objects on it, and folder objects bound the way the shell binds them.

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "common/Text.h"
#include "folders/CFolderStore.h"
#include "runtime/ModuleObjects.h"
#include "runtime/ModuleUse.h"
#include "pidl/CPidlManager.h"
#include "shellfolder/CShellFolder.h"
#include "operations/ShellRequests.h"
#include "support/FolderStoreFixture.h"
#include "support/TempDirectory.h"
#include "support/TestItemList.h"

namespace qv::test {

constexpr char kOperationsTree[] =
    "<root name='root'>"
    "<folder name='Work' query='report' category='file'>"
    "<folder name='Drafts' query='draft' category='file'/>"
    "<folder name='Archive' query='old' category='email'/>"
    "</folder>"
    "<folder name='Invoices' query='' category=''/>"
    "</root>";

class OperationsTest : public testing::Test {
 protected:
  OperationsTest() {
    WriteFileText(DocumentPath(), kOperationsTree);
    modules_ = std::make_unique<ScopedModuleObjects>(dir_.Path());
    root_ = MakeComObject<CShellFolder>();
    TestItemList rootList;
    rootList.Root();
    root_->Initialize(rootList.Get());
  }

  std::string DocumentPath() const { return dir_.File(kDocumentFileName); }
  std::string DocumentText() const { return ReadFileText(DocumentPath()); }

  // The child search folder's item as the enumerator makes it.
  CItemIdList ItemOf(CShellFolder* folder, const std::string& name) {
    CFolderStore& store = RequireFolderStore();
    CItemIdList item(RequirePidlManager());
    ComPtr<IXMLDOMNode> parent = store.FindFolderNode(folder->AbsoluteList());
    ComPtr<IXMLDOMNode> node = parent ? store.FindChildFolder(parent.Get(), name.c_str()) : nullptr;
    if (node) item.Adopt(RequirePidlManager().CreateFolderItem(CFolderStore::ReadFolderSettings(node.Get())));
    return item;
  }
  // The child folder object, bound as BindToObject binds it.
  ComPtr<CShellFolder> Open(CShellFolder* folder, const std::string& name) {
    CItemIdList item = ItemOf(folder, name);
    EXPECT_NE(nullptr, item.Get()) << name;
    ComPtr<CShellFolder> child = MakeComObject<CShellFolder>(folder, item.Get());
    child->Initialize(folder->AbsoluteListOf(item.Get()).Get());
    return child;
  }
  ComPtr<CShellFolder> Work() { return Open(root_.Get(), "Work"); }
  // A folder's operations as its objects run them: asking with message boxes,
  // which a ScopedConfirmationAnswer answers.
  static FolderOperations Ops(CShellFolder* folder) { return folder->Operations(); }
  static FolderOperations Ops(const ComPtr<CShellFolder>& folder) { return folder->Operations(); }

  // What the saved file holds, read by a fresh store.
  std::vector<std::string> SavedChildren(std::initializer_list<std::string> path) const {
    CFolderStore saved(ToWide(DocumentPath()));
    std::vector<std::string> names;
    ComPtr<IXMLDOMNode> node = saved.FindFolderNode(PathList(path).Get());
    if (!node) return {"(missing)"};
    ComPtr<IXMLDOMNode> child;
    node->get_firstChild(child.Put());
    while (child) {
      std::string name = CFolderStore::NodeAttributeText(child.Get(), "name");
      if (!name.empty()) names.push_back(name);
      ComPtr<IXMLDOMNode> next;
      child->get_nextSibling(next.Put());
      child = next;
    }
    return names;
  }
  FolderSettings SavedRecord(std::initializer_list<std::string> path) const {
    CFolderStore saved(ToWide(DocumentPath()));
    ComPtr<IXMLDOMNode> node = saved.FindFolderNode(PathList(path).Get());
    EXPECT_TRUE(node) << "no saved folder";
    return node ? CFolderStore::ReadFolderSettings(node.Get()) : FolderSettings{};
  }
  static TestItemList PathList(std::initializer_list<std::string> names) { return FolderPathList(names); }
  static std::string PathOf(LPCITEMIDLIST list) { return CPidlManager::DisplayPath(list); }
  // A real file in the temporary directory and its result item.
  TestItemList ResultFile(const std::string& name) {
    WriteFileText(dir_.File(name), "content of " + name);
    TestItemList item;
    item.Result(name, dir_.File(name));
    return item;
  }

  TempDirectory dir_;
  std::unique_ptr<ScopedModuleObjects> modules_;
  ComPtr<CShellFolder> root_;
};

}  // namespace qv::test
