#pragma once
// A namespace root folder over a document in a temporary directory, reachable
// from the desktop folder the way Explorer reaches it: the class is registered
// in the test prefix and its class object is the one of this process, so the shell's
// binding and the test share one folder store.

#include <windows.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "folders/CFolderStore.h"
#include "common/ComBase.h"
#include "runtime/ModuleObjects.h"
#include "shellfolder/CShellFolder.h"
#include "support/TempDirectory.h"
#include "support/TestItemList.h"

namespace qv::test {

class DragDropTest : public testing::Test {
 public:
  // The desktop's item for the component's class, then search folders by name.
  static TestItemList RootList();
  static TestItemList FolderItem(const std::string& name);
  static TestItemList ResultItem(const std::string& name, const std::string& path);

 protected:
  void SetUp() override;
  void TearDown() override;

  // Writes the document and opens the module objects over it.
  void UseDocument(const std::string& xml);
  std::string DocumentText() const { return ReadFileText(dir_.File(kDocumentFileName)); }

  // The namespace root, placed at RootList().
  ComPtr<CShellFolder> Root();
  // A data object for items of a folder, and a drop target for its child folder
  // or for the folder itself, as the folder hands them out.
  ComPtr<IDataObject> DataObjectFor(IShellFolder* folder, const std::vector<const TestItemList*>& items);
  ComPtr<IDropTarget> DropTargetOnChild(IShellFolder* folder, const TestItemList& child);
  ComPtr<IDropTarget> DropTargetOn(IShellFolder* folder);

  // The block of one format, copied out of the data object.
  std::vector<BYTE> BlockOf(IDataObject* data, CLIPFORMAT format);

  TempDirectory dir_;
  std::unique_ptr<ScopedModuleObjects> module_;

 private:
  DWORD classRegistration_ = 0;
  bool classKeyMade_ = false;
};

// The names of the folder's child folders in the document, in order.
std::vector<std::string> ChildFolderNames(const std::string& documentPath, std::initializer_list<std::string> path);

}  // namespace qv::test
