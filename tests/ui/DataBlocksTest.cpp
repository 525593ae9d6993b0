#include <gtest/gtest.h>

#include <shlobj.h>

#include <cstring>
#include <vector>

#include "common/Holders.h"
#include "support/TestItemList.h"
#include "ui/DataBlocks.h"

namespace qv::test {
namespace {

std::vector<BYTE> Bytes(const GlobalMemory& block) {
  GlobalLockGuard lock(block.Get());
  const auto* bytes = static_cast<const BYTE*>(lock.Get());
  return bytes ? std::vector<BYTE>(bytes, bytes + lock.Size()) : std::vector<BYTE>();
}

std::uint32_t Word(const std::vector<BYTE>& block, std::size_t offset) {
  std::uint32_t value = 0;
  std::memcpy(&value, block.data() + offset, sizeof value);
  return value;
}

void SetWord(std::vector<BYTE>& block, std::size_t offset, std::uint32_t value) {
  std::memcpy(block.data() + offset, &value, sizeof value);
}

class DataBlocksTest : public testing::Test {
 protected:
  DataBlocksTest() {
    folder_.Root().Folder("Work");
    first_.Folder("Reports");
    second_.Result("notes", "C:\\notes.txt");
  }
  std::vector<BYTE> FolderDropBlock() const {
    LPCITEMIDLIST items[] = {first_.Get(), second_.Get()};
    return Bytes(BuildFolderDropBlock(folder_.Get(), items, 2));
  }

  TestItemList folder_, first_, second_;
};

TEST_F(DataBlocksTest, FolderDropBlockHoldsHeaderOffsetsAndListsInOrder) {
  std::vector<BYTE> block = FolderDropBlock();
  // Lists are stored with their terminator and one spare byte.
  std::size_t folderSize = folder_.Size() + 1, firstSize = first_.Size() + 1, secondSize = second_.Size() + 1;
  ASSERT_EQ(12 + 4 * 2 + folderSize + firstSize + secondSize + 1, block.size());
  EXPECT_EQ(0u, Word(block, 0));
  EXPECT_EQ(2u, Word(block, 4));
  EXPECT_EQ(20u, Word(block, 8));
  EXPECT_EQ(20 + folderSize, Word(block, 12));
  EXPECT_EQ(20 + folderSize + firstSize, Word(block, 16));
  EXPECT_EQ(0, std::memcmp(block.data() + 20, folder_.Get(), folder_.Size()));
  EXPECT_EQ(0, std::memcmp(block.data() + Word(block, 12), first_.Get(), first_.Size()));
  EXPECT_EQ(0, std::memcmp(block.data() + Word(block, 16), second_.Get(), second_.Size()));
  EXPECT_EQ(0, block.back());
}

TEST_F(DataBlocksTest, IdListArrayBlockFollowsTheShellLayout) {
  LPCITEMIDLIST items[] = {first_.Get(), second_.Get()};
  std::vector<BYTE> block = Bytes(BuildIdListArrayBlock(folder_.Get(), items, 2));
  ASSERT_EQ(8 + 4 * 2 + folder_.Size() + 1 + first_.Size() + 1 + second_.Size() + 1 + 1, block.size());
  const auto* cida = reinterpret_cast<const CIDA*>(block.data());
  EXPECT_EQ(2u, cida->cidl);
  EXPECT_EQ(16u, cida->aoffset[0]);
  EXPECT_EQ(0, std::memcmp(block.data() + cida->aoffset[0], folder_.Get(), folder_.Size()));
  EXPECT_EQ(0, std::memcmp(block.data() + cida->aoffset[1], first_.Get(), first_.Size()));
  EXPECT_EQ(0, std::memcmp(block.data() + cida->aoffset[2], second_.Get(), second_.Size()));

  DroppedLists lists;
  ASSERT_TRUE(ReadIdListArrayBlock(block.data(), block.size(), lists));
  ASSERT_EQ(2u, lists.items.size());
  EXPECT_EQ(reinterpret_cast<const BYTE*>(lists.items[1]), block.data() + cida->aoffset[2]);
}

TEST_F(DataBlocksTest, FolderDropBlockReadsBackItsOwnLists) {
  std::vector<BYTE> block = FolderDropBlock();
  DroppedLists lists;
  ASSERT_TRUE(ReadFolderDropBlock(block.data(), block.size(), lists));
  EXPECT_EQ(0, std::memcmp(lists.folder, folder_.Get(), folder_.Size()));
  ASSERT_EQ(2u, lists.items.size());
  EXPECT_EQ(0, std::memcmp(lists.items[0], first_.Get(), first_.Size()));
  EXPECT_EQ(0, std::memcmp(lists.items[1], second_.Get(), second_.Size()));
}

TEST_F(DataBlocksTest, DamagedFolderDropBlocksAreRefused) {
  const std::vector<BYTE> good = FolderDropBlock();
  auto refused = [](std::vector<BYTE> block, std::size_t size) {
    DroppedLists lists;
    lists.items.push_back(nullptr);
    bool read = ReadFolderDropBlock(block.data(), size, lists);
    // Nothing of a refused block is handed out.
    return !read && !lists.folder && lists.items.empty();
  };
  std::vector<BYTE> block = good;
  SetWord(block, 4, 3);  // one more item than offsets before the lists
  EXPECT_TRUE(refused(block, block.size())) << "count beyond the offsets";
  block = good;
  SetWord(block, 4, 0xFFFFFFFF);
  EXPECT_TRUE(refused(block, block.size())) << "count too large for any block";
  block = good;
  SetWord(block, 4, 0x40000000);  // 4 * count wraps in 32-bit arithmetic
  EXPECT_TRUE(refused(block, block.size())) << "count whose offsets wrap";
  block = good;
  SetWord(block, 16, static_cast<std::uint32_t>(block.size()));
  EXPECT_TRUE(refused(block, block.size())) << "offset at the end";
  block = good;
  SetWord(block, 12, 0xFFFFFFF0);
  EXPECT_TRUE(refused(block, block.size())) << "offset far beyond the end";
  block = good;
  SetWord(block, 8, 4);
  EXPECT_TRUE(refused(block, block.size())) << "offset into the header";
  block = good;
  std::size_t last = Word(block, 16);
  block[last] = 0xFF;
  block[last + 1] = 0xFF;
  EXPECT_TRUE(refused(block, block.size())) << "list whose item runs past the end";
  block = good;
  block[last] = 1;
  block[last + 1] = 0;
  EXPECT_TRUE(refused(block, block.size())) << "item size below its own size field";
  block = good;
  EXPECT_TRUE(refused(block, block.size() - 4)) << "block cut before the last terminator";
  EXPECT_TRUE(refused(block, 11)) << "block shorter than its header";
  EXPECT_TRUE(refused(block, 0)) << "empty block";
}

TEST_F(DataBlocksTest, ListSizeStopsAtTheTerminatorOrRefuses) {
  EXPECT_EQ(folder_.Size(), CheckedListSize(reinterpret_cast<const BYTE*>(folder_.Get()), folder_.Size()));
  EXPECT_EQ(0u, CheckedListSize(reinterpret_cast<const BYTE*>(folder_.Get()), folder_.Size() - 1));
  const BYTE empty[] = {0, 0};
  EXPECT_EQ(2u, CheckedListSize(empty, 2));
  EXPECT_EQ(0u, CheckedListSize(empty, 1));
  EXPECT_EQ(0u, CheckedListSize(nullptr, 100));
}

TEST_F(DataBlocksTest, BlocksWithoutTheirListsAreNotBuilt) {
  LPCITEMIDLIST items[] = {first_.Get(), nullptr};
  EXPECT_FALSE(BuildFolderDropBlock(folder_.Get(), items, 2));
  EXPECT_FALSE(BuildIdListArrayBlock(nullptr, items, 1));
  EXPECT_FALSE(BuildFolderDropBlock(folder_.Get(), nullptr, 1));
}

TEST_F(DataBlocksTest, FileListHoldsWholeWidePathsEachTerminatedThenOneMore) {
  std::wstring longPath = L"C:\\" + std::wstring(300, L'x') + L"\\report.txt";
  std::vector<BYTE> block = Bytes(BuildFileListBlock({L"C:\\a.txt", longPath}));
  const auto* header = reinterpret_cast<const DROPFILES*>(block.data());
  ASSERT_GE(block.size(), sizeof(DROPFILES));
  EXPECT_EQ(20u, header->pFiles);
  EXPECT_EQ(0, header->pt.x);
  EXPECT_EQ(0, header->pt.y);
  EXPECT_FALSE(header->fNC);
  EXPECT_TRUE(header->fWide);
  std::wstring expected = std::wstring(L"C:\\a.txt") + L'\0' + longPath + L'\0' + L'\0';
  ASSERT_EQ(20 + expected.size() * sizeof(wchar_t), block.size());
  EXPECT_EQ(0, std::memcmp(block.data() + 20, expected.data(), expected.size() * sizeof(wchar_t)));

  std::vector<BYTE> empty = Bytes(BuildFileListBlock({}));
  ASSERT_EQ(22u, empty.size());
  EXPECT_EQ(0, empty[20] | empty[21]);
}

TEST_F(DataBlocksTest, DragLoopBlockHoldsOne) {
  std::vector<BYTE> block = Bytes(BuildDragLoopBlock());
  ASSERT_EQ(4u, block.size());
  EXPECT_EQ(1u, Word(block, 0));
}

}  // namespace
}  // namespace qv::test
