#include <windows.h>

#include <cstdint>
#include <functional>

#include "support/FolderStoreFixture.h"
#include "support/SmallDisk.h"

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

// A document of `count` folders F0, F1... with search strings: several
// kilobytes, so that a save needs more than the last block of a disk.
std::string DocumentOf(int count) {
  std::string xml = "<root name='root'>";
  for (int i = 0; i < count; ++i) {
    std::string n = std::to_string(i);
    xml += "<folder name='F" + n + "' query='report " + n + " budget' category='file' maxResults='100'/>";
  }
  return xml + "</root>";
}

// The HRESULT a change throws; S_OK when it throws none.
HRESULT FailureOf(const std::function<void()>& change) {
  try {
    change();
  } catch (const ComError& error) {
    return error.Result();
  }
  return S_OK;
}

TEST_F(FolderStoreTest, ChangeOnAFullDiskFailsWholeKeepsTheFileAndTheNextChangeWorks) {
  SmallDisk disk(64);
  if (!disk.Mounted()) GTEST_SKIP() << disk.Reason();
  std::string data = disk.Path() + "data\\";
  ASSERT_TRUE(CreateDirectoryA(data.c_str(), nullptr));
  std::string path = data + kDocumentFileName;
  const std::string document = DocumentOf(120);
  ASSERT_GT(document.size(), 8192u);
  // No space at all, and less space than the document needs.
  for (std::uint64_t leave : {std::uint64_t{0}, std::uint64_t{4096}}) {
    SCOPED_TRACE("bytes left free: " + std::to_string(leave));
    WriteFileText(path, document);
    CFolderStore store(ToWide(path));
    TestItemList root;
    root.Root();
    disk.Fill(leave);
    ASSERT_LE(disk.FreeBytes(), leave);

    // A new folder, a rename, a move and a delete: each fails, and says so.
    std::vector<HRESULT> failures = {
        FailureOf([&] { store.AddFolder(store.FindFolderNode(root.Get()).Get(), "Added"); }),
        FailureOf([&] {
          store.ChangeFolder(PathList({"F1"}).Get(), [](FolderSettings& settings) {
            settings.name = "Renamed";
            return true;
          });
        }),
        FailureOf([&] { store.MoveFolder(PathList({"F2"}).Get(), PathList({"F3"}).Get()); }),
        FailureOf([&] { store.RemoveFolder(PathList({"F4"}).Get()); }),
    };
    for (HRESULT failure : failures) {
      EXPECT_TRUE(failure == HRESULT_FROM_WIN32(ERROR_DISK_FULL) || failure == HRESULT_FROM_WIN32(ERROR_HANDLE_DISK_FULL))
          << std::hex << failure;
    }
    EXPECT_EQ(document, ReadFileText(path)) << "the file is as it was";
    EXPECT_EQ(std::vector<std::string>{kDocumentFileName}, FilesIn(data)) << "no temporary file is left";
    // The copy in memory is the file's: none of the refused changes shows.
    EXPECT_FALSE(store.FindFolderNode(PathList({"Added"}).Get()));
    EXPECT_FALSE(store.FindFolderNode(PathList({"Renamed"}).Get()));
    EXPECT_TRUE(store.FindFolderNode(PathList({"F1"}).Get()));
    EXPECT_TRUE(store.FindFolderNode(PathList({"F2"}).Get()));
    EXPECT_TRUE(store.FindFolderNode(PathList({"F4"}).Get()));

    // Once there is space again, the next change is saved.
    disk.Free();
    EXPECT_TRUE(store.AddFolder(store.FindFolderNode(root.Get()).Get(), "Added"));
    CFolderStore reread(ToWide(path));
    EXPECT_TRUE(reread.FindFolderNode(PathList({"Added"}).Get()));
    EXPECT_TRUE(reread.FindFolderNode(PathList({"F119"}).Get()));
  }
}

TEST_F(FolderStoreTest, ReadOnlyFileOrADirectoryInItsPlaceIsRefusedAndNeverReplaced) {
  WriteDocument("<root name='root'><folder name='Kept'/></root>");
  std::string before = FileText();
  ASSERT_TRUE(SetFileAttributesW(WideDocumentPath().c_str(), FILE_ATTRIBUTE_READONLY));
  EXPECT_EQ(kDocumentReadOnly, FailureOf([&] { Store().AddFolder(RootNode().Get(), "New"); }));
  EXPECT_EQ(kDocumentReadOnly, FailureOf([&] { Store().RemoveFolder(PathList({"Kept"}).Get()); }));
  EXPECT_EQ(before, FileText());
  EXPECT_NE(0u, GetFileAttributesW(WideDocumentPath().c_str()) & FILE_ATTRIBUTE_READONLY) << "the attribute stays";
  EXPECT_EQ(std::vector<std::string>{kDocumentFileName}, FilesIn(dir_.Path()));
  EXPECT_FALSE(Store().FindFolderNode(PathList({"New"}).Get()));
  EXPECT_TRUE(Store().FindFolderNode(PathList({"Kept"}).Get()));
  ASSERT_TRUE(SetFileAttributesW(WideDocumentPath().c_str(), FILE_ATTRIBUTE_NORMAL));
  EXPECT_TRUE(Store().AddFolder(RootNode().Get(), "New")) << "writable again";

  // A directory where the file belongs is reported, and left where it is.
  store_.reset();
  ASSERT_TRUE(DeleteFileW(WideDocumentPath().c_str()));
  ASSERT_TRUE(CreateDirectoryW(WideDocumentPath().c_str(), nullptr));
  EXPECT_EQ(kDocumentNotAFile, FailureOf([&] { Store().AddFolder(RootNode().Get(), "New"); }));
  EXPECT_NE(0u, GetFileAttributesW(WideDocumentPath().c_str()) & FILE_ATTRIBUTE_DIRECTORY);
  EXPECT_TRUE(FilesIn(dir_.Path()).empty()) << "nothing set aside, no temporary file";
  RemoveDirectoryW(WideDocumentPath().c_str());
}

TEST_F(FolderStoreTest, SavedFileIsUtf8WhateverEncodingItWasReadIn) {
  struct Case {
    const char* declaration;
    std::string name;  // "Caf\xC3\xA9" in the declared encoding
  };
  const Case cases[] = {
      {"<?xml version=\"1.0\" encoding=\"windows-1252\"?>", "Caf\xE9"},
      {"<?xml version='1.0' encoding='UTF-8'?>", "Caf\xC3\xA9"},
      {"", "Caf\xC3\xA9"},
  };
  const std::string added = "Zo\xC3\xAB \xE6\x97\xA5\xE6\x9C\xAC";
  for (const Case& c : cases) {
    SCOPED_TRACE(c.declaration);
    store_.reset();
    WriteDocument(std::string(c.declaration) + "<root name='root'><folder name='" + c.name + "'/></root>");
    ASSERT_TRUE(Store().AddFolder(RootNode().Get(), added.c_str()));
    std::string text = FileText();
    EXPECT_TRUE(IsUtf8(text.data(), text.size())) << text;
    EXPECT_EQ(std::string::npos, text.find("1252")) << text;
    auto reread = Reopen();
    EXPECT_TRUE(reread->FindFolderNode(PathList({"Caf\xC3\xA9"}).Get())) << text;
    EXPECT_TRUE(reread->FindFolderNode(PathList({added}).Get())) << text;
  }
}

}  // namespace
}  // namespace qv::test
