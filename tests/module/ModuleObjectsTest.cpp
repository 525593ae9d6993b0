#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "common/Text.h"
#include "folders/CFolderStore.h"
#include "runtime/ModuleObjects.h"
#include "common/ModulePaths.h"
#include "common/Text.h"
#include "pidl/CPidlManager.h"
#include "support/TempDirectory.h"

namespace qv {
namespace {

TEST(ModuleObjects, LiveForTheirHolderInTheGivenDirectory) {
  test::TempDirectory dir;
  {
    ScopedModuleObjects objects(dir.Path());
    ASSERT_NE(nullptr, TheFolderStore());
    ASSERT_NE(nullptr, ThePidlManager());
    EXPECT_EQ(ToWide(dir.Path().c_str()), DataDirectory());
    EXPECT_EQ(ToWide(dir.File("quorvane.xml").c_str()), TheFolderStore()->DocumentPath());
  }
  EXPECT_EQ(nullptr, TheFolderStore());
  EXPECT_EQ(nullptr, ThePidlManager());
}

TEST(ModulePaths, ModuleDirectoryEndsWithABackslash) {
  char directory[MAX_PATH];
  ASSERT_TRUE(GetModuleDirectory(directory, sizeof directory));
  std::string text = directory;
  EXPECT_EQ('\\', text.back());
  EXPECT_EQ(ToWide(text), ModuleDirectory());
  EXPECT_FALSE(GetModuleDirectory(directory, 3)) << "a buffer too small is refused, not overrun";
  char name[16];
  EXPECT_EQ(8u, GetProductName(name, sizeof name));
  EXPECT_STREQ("quorvane", name);
}

TEST(VersionResource, DllCarriesItsProductVersion) {
  const char* host = std::getenv("QUORVANE_DLL");
  ASSERT_NE(nullptr, host);
  std::string dll = test::HostPathToWindows(host);
  DWORD ignored = 0;
  DWORD size = GetFileVersionInfoSizeA(dll.c_str(), &ignored);
  ASSERT_GT(size, 0u);
  std::string data(size, '\0');
  ASSERT_TRUE(GetFileVersionInfoA(dll.c_str(), 0, size, data.data()));
  char* version = nullptr;
  UINT length = 0;
  ASSERT_TRUE(VerQueryValueA(data.data(), "\\StringFileInfo\\040904b0\\ProductVersion",
                             reinterpret_cast<void**>(&version), &length));
  EXPECT_STREQ("1.0.0.0", version);
}

}  // namespace
}  // namespace qv
