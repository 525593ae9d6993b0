#include <gtest/gtest.h>

#include <shlobj.h>

#include <cstring>

#include "common/Text.h"
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

TEST_F(PidlManagerTest, FolderItemHasTheBaseRecordThenTheExtensionByteByByte) {
  FolderSettings record = MakeFolderRecord("Reports", "budget filetype:xls", "file", 25);
  record.rankByRecency = 1;
  record.style = 3;
  LPITEMIDLIST list = Keep(manager_.CreateFolderItem(record));
  ASSERT_NE(nullptr, list);
  const BYTE* bytes = reinterpret_cast<const BYTE*>(list);

  const std::size_t cb = 323 + 12 + 7 + 19;
  EXPECT_EQ(cb + 3, CPidlManager::GetSize(list));
  EXPECT_EQ(cb, At<USHORT>(list, 0));
  EXPECT_EQ(0, At<std::int32_t>(list, 2));
  EXPECT_STREQ("Reports", reinterpret_cast<const char*>(bytes + 6));
  EXPECT_EQ(0, At<USHORT>(list, 56));
  EXPECT_STREQ("budget filetype:xls", reinterpret_cast<const char*>(bytes + 58));
  EXPECT_STREQ("file", reinterpret_cast<const char*>(bytes + 258));
  EXPECT_EQ(1, At<std::int32_t>(list, 278));
  EXPECT_EQ(25, At<std::int32_t>(list, 282));
  EXPECT_EQ(3, At<std::int32_t>(list, 286));
  // Every byte no field uses is zero: the name's tail, the rest of the base record.
  for (std::size_t i = 6 + 8; i < 56; ++i) EXPECT_EQ(0, bytes[i]) << "offset " << i;
  for (std::size_t i = 290; i < 323; ++i) EXPECT_EQ(0, bytes[i]) << "offset " << i;
  // The extension: "QVX1", its size, version 1, the two lengths, then the texts.
  EXPECT_EQ(0, std::memcmp(bytes + 323, "QVX1", 4));
  EXPECT_EQ(cb - 323, At<USHORT>(list, 327));
  EXPECT_EQ(1, At<USHORT>(list, 329));
  EXPECT_EQ(7, At<USHORT>(list, 331));
  EXPECT_EQ(19, At<USHORT>(list, 333));
  EXPECT_EQ(0, std::memcmp(bytes + 335, "Reportsbudget filetype:xls", 26));
  EXPECT_EQ(0, At<USHORT>(list, cb)) << "terminator";
  EXPECT_EQ(0, bytes[cb + 2]) << "spare byte";
}

TEST_F(PidlManagerTest, ResultItemCarriesPathAndHandleAtTheirOffsets) {
  LPITEMIDLIST list = Keep(manager_.CreateResultItem("notes.txt", "C:\\docs\\notes.txt", 0x01020304));
  ASSERT_NE(nullptr, list);
  EXPECT_EQ(1, At<std::int32_t>(list, 2));
  EXPECT_STREQ("C:\\docs\\notes.txt", reinterpret_cast<const char*>(list) + 58);
  EXPECT_EQ(0x01020304u, At<std::uint32_t>(list, 318));
  EXPECT_EQ(0, reinterpret_cast<const BYTE*>(list)[322]);
  EXPECT_TRUE(CPidlManager::IsResultItem(list));
  EXPECT_EQ("C:\\docs\\notes.txt", CPidlManager::ResultPath(list));

  // The rank: low 16 bits at 56, high 8 bits at 322; the texts stay as they were.
  EXPECT_EQ(0u, CPidlManager::ResultRank(list)) << "not known yet";
  CPidlManager::SetResultRank(list, 0x0A0B0C);
  EXPECT_EQ(0x0B0Cu, At<USHORT>(list, 56));
  EXPECT_EQ(0x0A, reinterpret_cast<const BYTE*>(list)[322]);
  EXPECT_EQ(0x0A0B0Cu, CPidlManager::ResultRank(list));
  CPidlManager::SetResultRank(list, 0x7FFFFFFF);
  EXPECT_EQ(kMaxItemRank, CPidlManager::ResultRank(list)) << "later results share the highest rank";
  EXPECT_EQ("C:\\docs\\notes.txt", CPidlManager::ResultPath(list));
  EXPECT_EQ("notes.txt", CPidlManager::ItemName(list));
}

// Text the code page of the process cannot hold, and paths past MAX_PATH: the
// item keeps every character, and its base record only a best-fit copy.
TEST_F(PidlManagerTest, UnicodeTextAndLongPathsRoundTripWhole) {
  const std::string names[] = {"\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E",            // Japanese
                               "\xD0\x9E\xD1\x82\xD1\x87\xD1\x91\xD1\x82",      // Cyrillic
                               "emoji \xF0\x9F\x98\x80", "caf\xC3\xA9"};
  for (const std::string& name : names) {
    FolderSettings settings = MakeFolderRecord(name, name + " OR x", "file");
    LPITEMIDLIST folder = Keep(manager_.CreateFolderItem(settings));
    FolderSettings read;
    ASSERT_TRUE(CPidlManager::ReadFolderSettings(folder, read));
    EXPECT_EQ(settings, read) << name;
    EXPECT_EQ(name, CPidlManager::ItemName(folder));

    std::string path = "C:\\" + std::string(280, 'd') + "\\" + name + ".txt";
    LPITEMIDLIST result = Keep(manager_.CreateResultItem(name + ".txt", path, 0));
    EXPECT_EQ(path, CPidlManager::ResultPath(result)) << name;
    EXPECT_EQ(name + ".txt", CPidlManager::ItemName(result));
  }
  // A path no 16-bit item size can hold is refused, not cut.
  EXPECT_EQ(nullptr, manager_.CreateResultItem("x", "C:\\" + std::string(70000, 'p'), 0));
}

// Items of the older 323-byte layout, as shortcuts and saved views still hold
// them, read as before; a path that may have lost characters or been cut names
// no file.
TEST_F(PidlManagerTest, OlderItemsReadAsBeforeButNeverByAGuessedPath) {
  TestItemList folder, result, questionMarks, fullField;
  folder.LegacyFolder(MakeFolderRecord("Reports", "budget", "file", 7));
  result.LegacyResult("x.txt", "C:\\data\\x.txt");
  questionMarks.LegacyResult("???.txt", "C:\\data\\???.txt");
  fullField.LegacyResult("x.txtZZZ", "C:\\" + std::string(300, 'Z'));
  FolderSettings read;
  ASSERT_TRUE(CPidlManager::ReadFolderSettings(folder.Get(), read));
  EXPECT_EQ(MakeFolderRecord("Reports", "budget", "file", 7), read);
  EXPECT_EQ(nullptr, CPidlManager::GetExtension(folder.Get()));
  EXPECT_EQ("C:\\data\\x.txt", CPidlManager::ResultPath(result.Get()));
  EXPECT_EQ("", CPidlManager::ResultPath(questionMarks.Get()));
  EXPECT_EQ("", CPidlManager::ResultPath(fullField.Get()));
  EXPECT_EQ(nullptr, manager_.GetFileIdList(questionMarks.Get()));
}

// An extension that does not add up makes the whole item foreign.
TEST_F(PidlManagerTest, DamagedExtensionsMakeTheItemForeign) {
  TestItemList good;
  good.Folder("Alpha");
  std::vector<BYTE> item(reinterpret_cast<const BYTE*>(good.Get()),
                         reinterpret_cast<const BYTE*>(good.Get()) + At<USHORT>(good.Get(), 0));
  struct Damage {
    const char* what;
    std::size_t offset;
    BYTE value;
  } damages[] = {
      {"signature", 323, 'X'},          {"version", 329, 2},  {"extension size", 327, 99},
      {"name length", 331, 9},          {"text length", 333, 1},
      {"name not UTF-8", 335, 0xC3},  // a lead byte with no continuation
  };
  EXPECT_EQ(ItemKind::Folder, CPidlManager::KindOf(good.Get()));
  for (const Damage& damage : damages) {
    std::vector<BYTE> bad = item;
    bad[damage.offset] = damage.value;
    TestItemList list;
    list.Raw(bad);
    EXPECT_EQ(ItemKind::Foreign, CPidlManager::KindOf(list.Get())) << damage.what;
    EXPECT_EQ("", CPidlManager::ItemName(list.Get())) << damage.what;
  }
  // Cut short: cb says less than the header needs.
  std::vector<BYTE> cut(item.begin(), item.begin() + 330);
  cut[0] = 330 & 0xFF;
  cut[1] = 330 >> 8;
  TestItemList list;
  list.Raw(cut);
  EXPECT_EQ(ItemKind::Foreign, CPidlManager::KindOf(list.Get()));
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
  EXPECT_EQ(20u + 2 * (323 + 12 + 1) + 3, CPidlManager::GetSize(joined));
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

TEST_F(PidlManagerTest, CompareOrdersFoldersBeforeResultsByNameThenCase) {
  TestItemList folderZ, folderA, folderUpperA, resultA, twoItems;
  folderZ.Folder("zeta");
  folderA.Folder("alpha");
  folderUpperA.Folder("ALPHA");
  resultA.Result("aardvark.txt", "C:\\aardvark.txt");
  twoItems.Folder("alpha").Folder("beta");

  EXPECT_LT(CPidlManager::Compare(folderZ.Get(), resultA.Get()), 0);
  EXPECT_GT(CPidlManager::Compare(resultA.Get(), folderA.Get()), 0);
  EXPECT_LT(CPidlManager::Compare(folderA.Get(), folderZ.Get()), 0);
  // Names equal but for case are two folders (older documents may hold both).
  EXPECT_NE(0, CPidlManager::Compare(folderA.Get(), folderUpperA.Get()));
  EXPECT_EQ(-CPidlManager::Compare(folderA.Get(), folderUpperA.Get()),
            CPidlManager::Compare(folderUpperA.Get(), folderA.Get()));
  EXPECT_LT(CPidlManager::Compare(folderUpperA.Get(), folderZ.Get()), 0);
  EXPECT_GT(CPidlManager::Compare(twoItems.Get(), folderA.Get()), 0);
  EXPECT_LT(CPidlManager::Compare(folderA.Get(), twoItems.Get()), 0);
}

TEST_F(PidlManagerTest, SameItemIgnoresStyleOnly) {
  FolderSettings first = MakeFolderRecord("Docs", "report", "file");
  FolderSettings second = first;
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
  // In a case-sensitive directory these are two files.
  EXPECT_FALSE(CPidlManager::IsSameItem(r1.Get(), r2.Get()));
  EXPECT_TRUE(CPidlManager::IsSameItem(r1.Get(), r1.Get()));
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

  // An older item's name with no terminating zero is read up to its field's end only.
  ItemIdentifier record = {};
  record.cb = kItemSize;
  std::memset(record.record.folder.name, 'n', sizeof record.record.folder.name);
  std::memset(record.record.folder.query, 'q', sizeof record.record.folder.query);
  TestItemList unterminated;
  unterminated.Raw(std::vector<BYTE>(reinterpret_cast<BYTE*>(&record), reinterpret_cast<BYTE*>(&record) + sizeof record));
  EXPECT_EQ(49u, CPidlManager::GetName(unterminated.Get(), name, sizeof name));

  // A size of 1 cannot lead on to another item: the list ends there.
  TestItemList broken;
  broken.Folder("A").Raw({1});
  EXPECT_EQ(323u + 12 + 1 + 3, CPidlManager::GetSize(broken.Get()));

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
    wchar_t resolved[MAX_PATH] = {};
    if (list) SHGetPathFromIDListW(list, resolved);
    return ToUtf8(resolved);
  };
  EXPECT_EQ(0, lstrcmpiA(file.c_str(), pathOf(handle, file).c_str()));
  // A handle issued by another process means nothing here: the path decides.
  std::string other = dir.File("other.txt");
  test::WriteFileText(other, "x");
  EXPECT_EQ(0, lstrcmpiA(other.c_str(), pathOf(handle, other).c_str()));
  EXPECT_EQ(0, lstrcmpiA(file.c_str(), pathOf(0xDEADBEEF, file).c_str()));
  // 0: the process that made the item could not parse the path then; here it can.
  EXPECT_EQ(0, lstrcmpiA(file.c_str(), pathOf(0, file).c_str()));
  // Never a wildcard or a name the file does not have.
  EXPECT_EQ("", pathOf(handle, dir.File("report.tx?")));
  EXPECT_EQ("", pathOf(handle, dir.File("report.txt.bak")));
}

}  // namespace
}  // namespace qv
