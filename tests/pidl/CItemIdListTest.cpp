#include <gtest/gtest.h>

#include "pidl/CItemIdList.h"
#include "pidl/CPidlManager.h"
#include "support/TestItemList.h"

namespace qv {
namespace {

using test::TestItemList;

TEST(CItemIdList, TellsRootFolderAndResultApart) {
  CPidlManager manager;
  TestItemList root, folder, result;
  root.Root();
  folder.Root().Folder("A");
  result.Root().Folder("A").Result("x.txt", "C:\\data\\x.txt");

  CItemIdList list(manager);
  EXPECT_FALSE(list.IsRoot() || list.IsFolder() || list.IsResult());
  EXPECT_EQ(nullptr, list.GetLastData());

  list.Set(root.Get());
  EXPECT_TRUE(list.IsRoot());
  list.Set(folder.Get());
  EXPECT_TRUE(list.IsFolder());
  EXPECT_STREQ("A", list.GetLastData()->common.name);
  EXPECT_EQ("", list.ResultPath());

  list.Set(result.Get());
  EXPECT_TRUE(list.IsResult());
  EXPECT_EQ("C:\\data\\x.txt", list.ResultPath());
}

TEST(CItemIdList, HoldsItsOwnCopies) {
  CPidlManager manager;
  TestItemList folder;
  folder.Root().Folder("A");
  CItemIdList first(manager, folder.Get());
  EXPECT_NE(folder.Get(), first.Get());
  CItemIdList second(first);
  EXPECT_NE(first.Get(), second.Get());
  EXPECT_EQ(0, CPidlManager::Compare(first.Get(), second.Get()));

  TestItemList child;
  child.Folder("B");
  LPITEMIDLIST joined = first.ConcatWith(child.Get());
  char path[MAX_PATH];
  CPidlManager::GetPath(joined, path, sizeof path);
  EXPECT_STREQ("quorvane\\A\\B", path);
  manager.Free(joined);
}

}  // namespace
}  // namespace qv
