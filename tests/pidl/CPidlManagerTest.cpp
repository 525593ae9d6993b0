#include <gtest/gtest.h>

#include <shlobj.h>

#include <cstring>

#include "pidl/CPidlManager.h"
#include "support/TempDirectory.h"
#include "support/TestItemList.h"

namespace qv {
namespace {

using test::MakeFolderRecord;
using test::TestItemList;

class PidlManagerTest : public testing::Test {
 protected:
  // Frees a list made by the manager when the test ends.
  LPITEMIDLIST Keep(LPITEMIDLIST list) {
    owned_.push_back(list);
    return list;
  }
  ~PidlManagerTest() override {
    for (LPITEMIDLIST list : owned_) manager_.Free(list);
  }

  CPidlManager manager_;
  std::vector<LPITEMIDLIST> owned_;
};

template <class T>
T At(LPCITEMIDLIST list, std::size_t offset) {
  T value;
  std::memcpy(&value, reinterpret_cast<const BYTE*>(list) + offset, sizeof value);
  return value;
}

TEST_F(PidlManagerTest, FolderItemHasTheFixedLayoutByteByByte) {
  SearchFolderRecord record = MakeFolderRecord("Reports", "budget filetype:xls", "file", 25);
  record.rankByRecency = 1;
  record.style = 3;
  LPITEMIDLIST list = Keep(manager_.CreateFolderItem(record));
  ASSERT_NE(nullptr, list);
  const BYTE* bytes = reinterpret_cast<const BYTE*>(list);

  EXPECT_EQ(326u, CPidlManager::GetSize(list));
  EXPECT_EQ(323, At<USHORT>(list, 0));
  EXPECT_EQ(0, At<std::int32_t>(list, 2));
  EXPECT_STREQ("Reports", reinterpret_cast<const char*>(bytes + 6));
  EXPECT_EQ(0, At<USHORT>(list, 56));
  EXPECT_STREQ("budget filetype:xls", reinterpret_cast<const char*>(bytes + 58));
  EXPECT_STREQ("file", reinterpret_cast<const char*>(bytes + 258));
  EXPECT_EQ(1, At<std::int32_t>(list, 278));
  EXPECT_EQ(25, At<std::int32_t>(list, 282));
  EXPECT_EQ(3, At<std::int32_t>(list, 286));
  // Every byte no field uses is zero: the name's tail, the rest, terminator, spare.
  for (std::size_t i = 6 + 8; i < 56; ++i) EXPECT_EQ(0, bytes[i]) << "offset " << i;
  for (std::size_t i = 290; i < 326; ++i) EXPECT_EQ(0, bytes[i]) << "offset " << i;
}

TEST_F(PidlManagerTest, ResultItemCarriesPathAndHandleAtTheirOffsets) {
  ResultRecord record = {};
  std::strcpy(record.name, "notes.txt");
  std::strcpy(record.filePath, "C:\\docs\\notes.txt");
  record.fileIdList = 0x01020304;
  LPITEMIDLIST list = Keep(manager_.CreateResultItem(record));
  ASSERT_NE(nullptr, list);
  EXPECT_EQ(1, At<std::int32_t>(list, 2));
  EXPECT_STREQ("C:\\docs\\notes.txt", reinterpret_cast<const char*>(list) + 58);
  EXPECT_EQ(0x01020304u, At<std::uint32_t>(list, 318));
  EXPECT_EQ(0, reinterpret_cast<const BYTE*>(list)[322]);
  EXPECT_TRUE(CPidlManager::IsResultItem(list));
}

TEST_F(PidlManagerTest, SizesCopiesAndJoins) {
  EXPECT_EQ(0u, CPidlManager::GetSize(nullptr));
  TestItemList empty;
  EXPECT_EQ(3u, CPidlManager::GetSize(empty.Get()));

  TestItemList a;
  a.Root().Folder("A");
  TestItemList b;
  b.Folder("B");
  EXPECT_EQ(nullptr, manager_.Copy(nullptr));
  EXPECT_EQ(nullptr, manager_.Concat(nullptr, nullptr));
  LPITEMIDLIST onlyB = Keep(manager_.Concat(nullptr, b.Get()));
  EXPECT_EQ(0, std::memcmp(onlyB, b.Get(), b.Size()));

  LPITEMIDLIST joined = Keep(manager_.Concat(a.Get(), b.Get()));
  EXPECT_EQ(20u + 323 + 323 + 3, CPidlManager::GetSize(joined));
  char path[MAX_PATH];
  EXPECT_EQ(std::strlen("quorvane\\A\\B"), CPidlManager::GetPath(joined, path, sizeof path));
  EXPECT_STREQ("quorvane\\A\\B", path);
  EXPECT_EQ(0, reinterpret_cast<BYTE*>(joined)[CPidlManager::GetSize(joined) - 1]);
}

TEST_F(PidlManagerTest, PathNamesFoldersUpToAResult) {
  char path[MAX_PATH];
  TestItemList root;
  root.Root();
  CPidlManager::GetPath(root.Get(), path, sizeof path);
  EXPECT_STREQ("quorvane", path);

  TestItemList result;
  result.Root().Folder("A").Result("x.txt", "C:\\x.txt");
  CPidlManager::GetPath(result.Get(), path, sizeof path);
  EXPECT_STREQ("quorvane\\A", path);

  char small[6];
  EXPECT_EQ(5u, CPidlManager::GetPath(result.Get(), small, sizeof small));
  EXPECT_STREQ("quorv", small);
}

TEST_F(PidlManagerTest, CompareOrdersFoldersBeforeResultsByNameIgnoringCase) {
  TestItemList folderZ, folderA, folderUpperA, resultA, twoItems;
  folderZ.Folder("zeta");
  folderA.Folder("alpha");
  folderUpperA.Folder("ALPHA");
  resultA.Result("aardvark.txt", "C:\\aardvark.txt");
  twoItems.Folder("alpha").Folder("beta");

  EXPECT_LT(CPidlManager::Compare(folderZ.Get(), resultA.Get()), 0);
  EXPECT_GT(CPidlManager::Compare(resultA.Get(), folderA.Get()), 0);
  EXPECT_LT(CPidlManager::Compare(folderA.Get(), folderZ.Get()), 0);
  EXPECT_EQ(0, CPidlManager::Compare(folderA.Get(), folderUpperA.Get()));
  EXPECT_GT(CPidlManager::Compare(twoItems.Get(), folderA.Get()), 0);
  EXPECT_LT(CPidlManager::Compare(folderA.Get(), twoItems.Get()), 0);
}

TEST_F(PidlManagerTest, SameItemIgnoresStyleAndLetterCaseOfPaths) {
  SearchFolderRecord first = MakeFolderRecord("Docs", "report", "file");
  SearchFolderRecord second = first;
  second.style = 1;
  TestItemList a, b;
  a.Folder(first);
  b.Folder(second);
  EXPECT_TRUE(CPidlManager::IsSameItem(a.Get(), b.Get()));

  second.maxResults = 5;
  TestItemList c;
  c.Folder(second);
  EXPECT_FALSE(CPidlManager::IsSameItem(a.Get(), c.Get()));

  TestItemList r1, r2, r3;
  r1.Result("a.txt", "C:\\Docs\\A.TXT");
  r2.Result("A.txt", "c:\\docs\\a.txt");
  r3.Result("a.txt", "c:\\docs\\b.txt");
  EXPECT_TRUE(CPidlManager::IsSameItem(r1.Get(), r2.Get()));
  EXPECT_FALSE(CPidlManager::IsSameItem(r1.Get(), r3.Get()));
  EXPECT_FALSE(CPidlManager::IsSameItem(a.Get(), r1.Get()));
}

TEST_F(PidlManagerTest, ForeignAndMalformedItemsAreNeverReadPastTheirSize) {
  // Kind 0 in the right place, but only 8 bytes long: not ours.
  std::vector<BYTE> shortItem = {8, 0, 0, 0, 0, 0, 'A', 'B'};
  TestItemList list;
  list.Raw(shortItem);
  EXPECT_EQ(ItemKind::Foreign, CPidlManager::KindOf(list.Get()));
  EXPECT_EQ(nullptr, CPidlManager::GetItemRecord(list.Get()));
  EXPECT_FALSE(CPidlManager::IsResultItem(list.Get()));
  char name[50] = "unchanged";
  EXPECT_EQ(0u, CPidlManager::GetName(list.Get(), name, sizeof name));

  // A name with no terminating zero is read up to its field's end only.
  SearchFolderRecord record = MakeFolderRecord("");
  std::memset(record.name, 'n', sizeof record.name);
  std::memset(record.query, 'q', sizeof record.query);
  TestItemList unterminated;
  unterminated.Folder(record);
  EXPECT_EQ(49u, CPidlManager::GetName(unterminated.Get(), name, sizeof name));

  // A size of 1 cannot lead on to another item: the list ends there.
  TestItemList broken;
  broken.Folder("A").Raw({1});
  EXPECT_EQ(323u + 3, CPidlManager::GetSize(broken.Get()));

  EXPECT_EQ(ItemKind::None, CPidlManager::KindOf(nullptr));
  EXPECT_TRUE(CPidlManager::IsResultItem(nullptr));
  EXPECT_EQ(nullptr, CPidlManager::GetLastItem(nullptr));
  EXPECT_EQ(nullptr, CPidlManager::GetNextItem(nullptr));
}

TEST_F(PidlManagerTest, FileIdListHandlesSurviveForeignItems) {
  test::TempDirectory dir;
  std::string file = dir.File("report.txt");
  test::WriteFileText(file, "text");

  std::uint32_t handle = manager_.RegisterFilePath(file.c_str());
  ASSERT_NE(0u, handle);
  EXPECT_EQ(handle, manager_.RegisterFilePath(file.c_str())) << "one entry per path";
  EXPECT_EQ(0u, manager_.RegisterFilePath("Z:\\no\\such\\dir\\missing.txt"));

  auto pathOf = [&](std::uint32_t fileIdList, const std::string& itemPath) {
    TestItemList item;
    item.Result("report.txt", itemPath, fileIdList);
    LPCITEMIDLIST list = manager_.GetFileIdList(item.Get());
    char resolved[MAX_PATH] = {};
    if (list) SHGetPathFromIDListA(list, resolved);
    return std::string(resolved);
  };
  EXPECT_EQ(0, lstrcmpiA(file.c_str(), pathOf(handle, file).c_str()));
  // A handle issued by another process means nothing here: the path decides.
  std::string other = dir.File("other.txt");
  test::WriteFileText(other, "x");
  EXPECT_EQ(0, lstrcmpiA(other.c_str(), pathOf(handle, other).c_str()));
  EXPECT_EQ(0, lstrcmpiA(file.c_str(), pathOf(0xDEADBEEF, file).c_str()));
  EXPECT_EQ("", pathOf(0, file)) << "0 means the path could not be parsed";
}

}  // namespace
}  // namespace qv
