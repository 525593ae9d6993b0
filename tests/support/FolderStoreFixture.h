#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "common/Text.h"
#include "folders/CFolderStore.h"
#include "support/TempDirectory.h"
#include "support/TestItemList.h"

namespace qv::test {

// The list of the search folder at `names` below the namespace root, as the
// tests' own root item starts it.
inline TestItemList FolderPathList(std::initializer_list<std::string> names) {
  TestItemList list;
  list.Root();
  for (const std::string& name : names) list.Folder(name);
  return list;
}

// A folder store on quorvane.xml in a fresh temporary directory.
class FolderStoreTest : public testing::Test {
 protected:
  std::string DocumentPath() const { return dir_.File(kDocumentFileName); }
  std::wstring WideDocumentPath() const { return ToWide(DocumentPath()); }
  std::string FileText() const { return ReadFileText(DocumentPath()); }
  void WriteDocument(const std::string& xml) { WriteFileText(DocumentPath(), xml); }
  CFolderStore& Store() {
    if (!store_) store_ = std::make_unique<CFolderStore>(WideDocumentPath());
    return *store_;
  }
  // A second process's view: a store that reads the file afresh.
  std::unique_ptr<CFolderStore> Reopen() const { return std::make_unique<CFolderStore>(WideDocumentPath()); }

  ComPtr<IXMLDOMNode> RootNode() {
    TestItemList root;
    root.Root();
    return Store().FindFolderNode(root.Get());
  }
  static TestItemList PathList(std::initializer_list<std::string> names) { return FolderPathList(names); }
  static std::string NameOf(IXMLDOMNode* node) {
    char name[kNameSize] = {};
    CFolderStore::GetNodeAttribute(node, "name", name, sizeof name);
    return name;
  }

  TempDirectory dir_;
  std::unique_ptr<CFolderStore> store_;
};

}  // namespace qv::test
