#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "runtime/LiveObjects.h"
#include "pidl/CPidlManager.h"

namespace qv {
namespace {

TEST(LiveObjects, UnloadIsAllowedExactlyWhileNothingLives) {
  ASSERT_EQ(0, LiveObjectTotal());
  EXPECT_EQ(S_OK, CanUnloadNow());
  CountObject(LiveClass::ClassFactory);
  EXPECT_EQ(S_FALSE, CanUnloadNow());
  CountObject(LiveClass::ShellView);
  UncountObject(LiveClass::ClassFactory);
  EXPECT_EQ(S_FALSE, CanUnloadNow());
  UncountObject(LiveClass::ShellView);
  EXPECT_EQ(S_OK, CanUnloadNow());
}

TEST(LiveObjects, PidlManagerLeavesEveryCountUnchanged) {
  LONG before = LiveObjectTotal();
  {
    CPidlManager manager;
    EXPECT_EQ(before, LiveObjectTotal());
    EXPECT_EQ(0, LiveObjectCount(LiveClass::PidlManager));
  }
  EXPECT_EQ(before, LiveObjectTotal());
}

TEST(LiveObjects, CountsStayExactWhenHostThreadsCreateAndReleaseAtOnce) {
  constexpr int kThreads = 4;
  constexpr int kObjectsPerThread = 50000;
  LONG before = LiveObjectTotal();
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([t] {
      auto cls = t % 2 ? LiveClass::EnumIDList : LiveClass::DataObject;
      for (int i = 0; i < kObjectsPerThread; ++i) CountObject(cls);
      for (int i = 0; i < kObjectsPerThread; ++i) UncountObject(cls);
      for (int i = 0; i < kObjectsPerThread; ++i) CountObject(LiveClass::QueryInfo);
    });
  }
  for (std::thread& thread : threads) thread.join();
  EXPECT_EQ(before + kThreads * kObjectsPerThread, LiveObjectTotal());
  EXPECT_EQ(kThreads * kObjectsPerThread, LiveObjectCount(LiveClass::QueryInfo));
  EXPECT_EQ(0, LiveObjectCount(LiveClass::EnumIDList));
  for (int i = 0; i < kThreads * kObjectsPerThread; ++i) UncountObject(LiveClass::QueryInfo);
  EXPECT_EQ(before, LiveObjectTotal());
}

TEST(LiveObjects, EveryClassHasItsName) {
  const char* expected[] = {"CDropSource", "CShellFolder", "CShellView",  "CEnumFormatEtc",
                            "CClassFactory", "CContextMenu", "CDataObject", "CDropTarget",
                            "CEnumIDList", "CExtractIcon", "CQueryInfo", "CPidlManager"};
  for (int i = 0; i < static_cast<int>(LiveClass::Count); ++i) {
    EXPECT_STREQ(expected[i], ClassName(static_cast<LiveClass>(i))) << i;
  }
}

}  // namespace
}  // namespace qv
