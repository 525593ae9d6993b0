#include <windows.h>

#include "support/FolderStoreFixture.h"

namespace qv::test {
namespace {

std::vector<std::string> FilesIn(const std::string& directory) {
  std::vector<std::string> names;
  WIN32_FIND_DATAA data;
  HANDLE find = FindFirstFileA((directory + "*").c_str(), &data);
  if (find == INVALID_HANDLE_VALUE) return names;
  do {
    if (!(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) names.push_back(data.cFileName);
  } while (FindNextFileA(find, &data));
  FindClose(find);
  return names;
}

TEST_F(FolderStoreTest, FirstStartShowsAnEmptyRootAndWritesNothingUntilAChange) {
  ComPtr<IXMLDOMNode> root = RootNode();
  ASSERT_TRUE(root);
  char tag[32];
  CFolderStore::GetNodeName(root.Get(), tag, sizeof tag);
  EXPECT_STREQ("root", tag);
  EXPECT_EQ("root", NameOf(root.Get()));
  EXPECT_FALSE(FileExists(DocumentPath()));
  EXPECT_FALSE(Store().HasSubfolders(PathList({}).Get()));

  ASSERT_TRUE(Store().AddFolder(root.Get(), "Mail"));
  std::string text = FileText();
  EXPECT_NE(std::string::npos, text.find("<root name=\"root\">")) << text;
  EXPECT_NE(std::string::npos, text.find("<folder name=\"Mail\" category=\"file\"/>")) << text;
  EXPECT_TRUE(Store().HasSubfolders(PathList({}).Get()));
}

TEST_F(FolderStoreTest, DamagedFileIsSetAsideBeforeTheFirstSave) {
  const std::string damaged = "<root name='root'><folder name='Keep me'";
  WriteDocument(damaged);
  ASSERT_FALSE(Store().HasSubfolders(PathList({}).Get())) << "a damaged file starts an empty tree";
  EXPECT_EQ(damaged, FileText()) << "loading alone never writes";

  Store().AddFolder(RootNode().Get(), "New");
  std::vector<std::string> files = FilesIn(dir_.Path());
  ASSERT_EQ(2u, files.size());
  std::string aside = files[0] == kDocumentFileName ? files[1] : files[0];
  EXPECT_EQ(0u, aside.rfind("quorvane.xml.damaged-", 0)) << aside;
  EXPECT_EQ(damaged, ReadFileText(dir_.File(aside)));
  EXPECT_NE(std::string::npos, FileText().find("New"));

  // A second damaged file in the same second never replaces the first copy.
  store_.reset();
  WriteDocument("not xml at all");
  Store().AddFolder(RootNode().Get(), "Again");
  EXPECT_EQ(3u, FilesIn(dir_.Path()).size());
  EXPECT_EQ(damaged, ReadFileText(dir_.File(aside)));
}

TEST_F(FolderStoreTest, SavesReplaceTheFileWholeAndLeaveNoTemporaryFiles) {
  ComPtr<IXMLDOMNode> root = RootNode();
  for (int i = 0; i < 5; ++i) Store().AddFolder(root.Get(), ("F" + std::to_string(i)).c_str());
  EXPECT_EQ(std::vector<std::string>{kDocumentFileName}, FilesIn(dir_.Path()));
  auto again = Reopen();
  TestItemList f4 = PathList({"F4"});
  EXPECT_TRUE(again->FindFolderNode(f4.Get()));
}

TEST_F(FolderStoreTest, FailedSaveKeepsThePreviousFileAndReportsTheFailure) {
  ComPtr<IXMLDOMNode> root = RootNode();
  Store().AddFolder(root.Get(), "Before");
  std::string before = FileText();
  // Another program holds the file open without sharing: it cannot be replaced.
  HANDLE held = CreateFileA(DocumentPath().c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(INVALID_HANDLE_VALUE, held);
  EXPECT_THROW(Store().AddFolder(root.Get(), "After"), ComError);
  CloseHandle(held);
  EXPECT_EQ(before, FileText());
  EXPECT_EQ(std::vector<std::string>{kDocumentFileName}, FilesIn(dir_.Path()));
}

TEST_F(FolderStoreTest, StoreWithoutAPathKeepsWorkingInMemoryButCannotSave) {
  CFolderStore store{std::wstring()};
  TestItemList root;
  root.Root();
  ComPtr<IXMLDOMNode> node = store.FindFolderNode(root.Get());
  ASSERT_TRUE(node);
  EXPECT_THROW(store.AddFolder(node.Get(), "x"), ComError);
}

}  // namespace
}  // namespace qv::test
