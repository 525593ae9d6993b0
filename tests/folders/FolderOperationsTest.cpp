#include "support/FolderStoreFixture.h"

#include <cstring>

#include "folders/CDocumentLock.h"

namespace qv::test {
namespace {

// Builds root > A > (A1, A2), root > B in a saved document.
class FolderTreeTest : public FolderStoreTest {
 protected:
  void SetUp() override {
    WriteDocument(
        "<root name='root'><folder name='A' category='file'><folder name='A1'/><folder name='A2'/></folder>"
        "<folder name='B'/></root>");
  }
  std::string ChildNames(std::initializer_list<std::string> path) {
    TestItemList list = PathList(path);
    ComPtr<IXMLDOMNode> node = Store().FindFolderNode(list.Get());
    std::string names;
    ComPtr<IXMLDOMNode> child;
    if (node) node->get_firstChild(child.Put());
    while (child) {
      names += (names.empty() ? "" : ",") + NameOf(child.Get());
      ComPtr<IXMLDOMNode> next;
      child->get_nextSibling(next.Put());
      child = next;
    }
    return names;
  }
};

TEST_F(FolderTreeTest, ListsResolveToTheirFolders) {
  EXPECT_EQ("A,B", ChildNames({}));
  EXPECT_EQ("A1,A2", ChildNames({"A"}));
  TestItemList result = PathList({"A"});
  result.Result("x.txt", "C:\\x.txt");
  EXPECT_EQ("A", NameOf(Store().FindFolderNode(result.Get()).Get())) << "a result names its folder";
  TestItemList missing = PathList({"A", "nope"});
  EXPECT_FALSE(Store().FindFolderNode(missing.Get()));
  TestItemList startsWithResult;
  startsWithResult.Result("x", "C:\\x");
  EXPECT_FALSE(Store().FindFolderNode(startsWithResult.Get()));
  EXPECT_FALSE(Store().FindFolderNode(nullptr));
}

TEST_F(FolderTreeTest, ChildLookupIsExactAboutLetterCase) {
  ComPtr<IXMLDOMNode> root = RootNode();
  EXPECT_TRUE(Store().FindChildFolder(root.Get(), "A"));
  EXPECT_FALSE(Store().FindChildFolder(root.Get(), "a"));
  EXPECT_FALSE(Store().FindChildFolder(root.Get(), "A1")) << "only direct children";
}

TEST_F(FolderTreeTest, RemoveTakesTheWholeSubtreeInOneSave) {
  TestItemList a = PathList({"A"});
  EXPECT_EQ(1, Store().RemoveFolder(a.Get()));
  EXPECT_EQ("B", ChildNames({}));
  EXPECT_EQ(std::string::npos, FileText().find("A1"));
  EXPECT_EQ(0, Store().RemoveFolder(a.Get())) << "already gone";
}

TEST_F(FolderTreeTest, RemoveRefusesTheRootAndResults) {
  std::string before = FileText();
  TestItemList root = PathList({});
  EXPECT_EQ(0, Store().RemoveFolder(root.Get()));
  TestItemList result = PathList({"A"});
  result.Result("x.txt", "C:\\x.txt");
  EXPECT_EQ(0, Store().RemoveFolder(result.Get()));
  EXPECT_EQ(before, FileText());
  EXPECT_EQ("A1,A2", ChildNames({"A"}));
}

TEST_F(FolderTreeTest, MovePutsTheFolderLastAmongItsNewSiblings) {
  TestItemList b = PathList({"B"});
  TestItemList a = PathList({"A"});
  EXPECT_EQ(1, Store().MoveFolder(b.Get(), a.Get()));
  EXPECT_EQ("A1,A2,B", ChildNames({"A"}));
  EXPECT_EQ("A", ChildNames({}));
  EXPECT_EQ("A1,A2,B", [&] {
    store_ = Reopen();
    return ChildNames({"A"});
  }());
}

TEST_F(FolderTreeTest, MoveIntoItselfOrItsOwnSubfolderIsRefused) {
  std::string before = FileText();
  TestItemList a = PathList({"A"});
  TestItemList a1 = PathList({"A", "A1"});
  EXPECT_EQ(0, Store().MoveFolder(a.Get(), a.Get()));
  EXPECT_EQ(0, Store().MoveFolder(a.Get(), a1.Get()));
  TestItemList root = PathList({});
  EXPECT_EQ(0, Store().MoveFolder(root.Get(), a.Get()));
  EXPECT_EQ(before, FileText());
  EXPECT_EQ("A1,A2", ChildNames({"A"}));
  // A sibling whose name merely starts the same is not inside.
  TestItemList b = PathList({"B"});
  EXPECT_EQ(1, Store().MoveFolder(a1.Get(), b.Get()));
}

TEST_F(FolderTreeTest, MoveWithAMissingEndIsRaised) {
  TestItemList a = PathList({"A"});
  TestItemList missing = PathList({"missing"});
  EXPECT_THROW(Store().MoveFolder(a.Get(), missing.Get()), ComError);
  EXPECT_THROW(Store().MoveFolder(missing.Get(), a.Get()), ComError);
  EXPECT_THROW(Store().AddFolder(nullptr, "x"), ComError);
}

TEST_F(FolderTreeTest, UpdateSavesOnlyRealChanges) {
  TestItemList oldList = PathList({"B"});
  FolderSettings record = CFolderStore::ReadFolderSettings(Store().FindFolderNode(oldList.Get()).Get());
  std::string before = FileText();

  TestItemList same;
  same.Root().Folder(record);
  EXPECT_EQ(0, Store().UpdateFolder(oldList.Get(), same.Get()));
  EXPECT_EQ(before, FileText());

  record.maxResults = 7;
  TestItemList changed;
  changed.Root().Folder(record);
  EXPECT_EQ(1, Store().UpdateFolder(same.Get(), changed.Get()));
  EXPECT_NE(std::string::npos, FileText().find("maxResults=\"7\""));
  EXPECT_EQ(std::string::npos, FileText().find("style=")) << "only what changed is written";

  TestItemList gone = PathList({"gone"});
  EXPECT_EQ(0, Store().UpdateFolder(gone.Get(), changed.Get()));
}

TEST_F(FolderStoreTest, DeepTreesResolveAtEveryLevel) {
  std::vector<std::string> names;
  ComPtr<IXMLDOMNode> parent = RootNode();
  TestItemList list;
  list.Root();
  for (int level = 0; level < 40; ++level) {
    names.push_back(std::string(45, static_cast<char>('a' + level % 26)) + std::to_string(level));
    parent = Store().AddFolder(parent.Get(), names.back().c_str());
    list.Folder(names.back());
  }
  auto reopened = Reopen();
  ComPtr<IXMLDOMNode> deepest = reopened->FindFolderNode(list.Get());
  ASSERT_TRUE(deepest);
  EXPECT_EQ(names.back(), NameOf(deepest.Get()));
  EXPECT_EQ(1, reopened->RemoveFolder(list.Get()));
  TestItemList parentList;
  parentList.Root();
  for (std::size_t i = 0; i + 1 < names.size(); ++i) parentList.Folder(names[i]);
  EXPECT_TRUE(reopened->FindFolderNode(parentList.Get())) << "only the deepest folder went";
  EXPECT_FALSE(reopened->HasSubfolders(parentList.Get()));
}

// Two copies of the document stand for two processes that loaded the component.
TEST_F(FolderTreeTest, ChangesOfAnotherCopyAreBuiltOnNeverUndone) {
  std::unique_ptr<CFolderStore> other = Reopen();
  TestItemList otherRoot = PathList({});
  ComPtr<IXMLDOMNode> staleRoot = other->FindFolderNode(otherRoot.Get());

  ASSERT_TRUE(Store().AddFolder(RootNode().Get(), "C"));
  TestItemList b = PathList({"B"});
  FolderSettings record = MakeFolderRecord("B2");
  TestItemList b2;
  b2.Root().Folder(record);
  EXPECT_EQ(1, other->UpdateFolder(b.Get(), b2.Get())) << "renamed in the current file";
  // A node of the copy as it was before: the folder goes into the current file.
  EXPECT_TRUE(other->AddFolder(staleRoot.Get(), "D"));
  EXPECT_EQ("A,B2,C,D", ChildNames({}));

  // A change to a folder the other copy renamed meanwhile no longer applies.
  std::string before = FileText();
  EXPECT_EQ(0, Store().UpdateFolder(b.Get(), PathList({"Bee"}).Get()));
  EXPECT_EQ(0, Store().ChangeFolder(b.Get(), [](FolderSettings& settings) {
    settings.query = "x";
    return true;
  }));
  EXPECT_EQ(0, Store().RemoveFolder(b.Get()));
  EXPECT_THROW(Store().MoveFolder(b.Get(), PathList({"A"}).Get()), ComError);
  TestItemList a1 = PathList({"A", "A1"});
  EXPECT_EQ(0, Store().UpdateFolder(a1.Get(), PathList({"A", "A2"}).Get())) << "a sibling's name";
  EXPECT_EQ(before, FileText());

  // Writing a copy that is older than the file would undo the other's change.
  ComPtr<IXMLDOMNode> root = RootNode();
  ASSERT_EQ(1, other->RemoveFolder(PathList({"D"}).Get()));
  CFolderStore::SetNodeAttribute(root.Get(), "query", "stale");
  EXPECT_THROW(Store().Save(), ComError);
  EXPECT_EQ("A,B2,C", ChildNames({})) << "the copy took the file's version";
  EXPECT_EQ(std::string::npos, FileText().find("stale"));
}

TEST_F(FolderTreeTest, ChangingSomeSettingsKeepsTheOthersAnotherCopyChanged) {
  TestItemList b = PathList({"B"});
  FolderSettings baseline = CFolderStore::ReadFolderSettings(Store().FindFolderNode(b.Get()).Get());
  TestItemList before;
  before.Root().Folder(baseline);

  // Meanwhile another process gives B a search string.
  std::unique_ptr<CFolderStore> other = Reopen();
  FolderSettings searched = baseline;
  searched.query = "invoice";
  TestItemList withQuery;
  withQuery.Root().Folder(searched);
  ASSERT_EQ(1, other->UpdateFolder(before.Get(), withQuery.Get()));

  // This one, still holding the folder as it was, changes the maximum only (as
  // the properties dialog does), then the view mode.
  FolderSettings fewer = baseline;
  fewer.maxResults = 7;
  TestItemList withFewer;
  withFewer.Root().Folder(fewer);
  EXPECT_EQ(1, Store().UpdateFolder(before.Get(), withFewer.Get()));
  EXPECT_EQ(1, Store().ChangeFolder(withFewer.Get(), [](FolderSettings& settings) {
    settings.style = 3;
    return true;
  }));

  FolderSettings saved = CFolderStore::ReadFolderSettings(Reopen()->FindFolderNode(b.Get()).Get());
  EXPECT_EQ("invoice", saved.query);
  EXPECT_EQ(7, saved.maxResults);
  EXPECT_EQ(3, saved.style);
}

TEST(DocumentLock, OneLockForEverySpellingOfAPath) {
  EXPECT_EQ(CDocumentLock::NameFor(L"C:\\Users\\Ann\\quorvane.xml"),
            CDocumentLock::NameFor(L"c:\\users\\ANN\\Quorvane.XML"));
  EXPECT_NE(CDocumentLock::NameFor(L"C:\\Users\\Ann\\quorvane.xml"),
            CDocumentLock::NameFor(L"C:\\Users\\Bob\\quorvane.xml"));
  EXPECT_EQ(0u, CDocumentLock::NameFor(L"C:\\x").rfind(L"Local\\quorvane-document-", 0));
  // The lock counts for its thread, as a change that saves inside a change needs.
  CDocumentLock lock(L"C:\\x");
  EXPECT_FALSE(lock.Acquire(0));
  EXPECT_FALSE(lock.Acquire(0));
  lock.Release();
  lock.Release();
}

}  // namespace
}  // namespace qv::test
