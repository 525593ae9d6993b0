#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "common/SearchDataFolder.h"

namespace qv::test {
namespace {

// The variable wins whatever its length; without it, the folder is the user's
// own one under local application data.
TEST(SearchDataFolderTest, VariableOfAnyLengthIsUsedAsItStandsAndItsAbsenceGivesTheUsersFolder) {
  for (std::size_t length : {3u, 259u, 260u, 261u, 1000u, 32000u}) {
    std::wstring folder = L"C:\\" + std::wstring(length - 3, L'd');
    ASSERT_TRUE(SetEnvironmentVariableW(kSearchDataVariable, folder.c_str()));
    EXPECT_EQ(SearchDataFolder(), folder) << length;
  }
  SetEnvironmentVariableW(kSearchDataVariable, nullptr);
  std::wstring fallback = SearchDataFolder();
  EXPECT_NE(fallback.find(L"\\quorvane\\Search"), std::wstring::npos);
  EXPECT_GT(fallback.size(), std::wstring(L"\\quorvane\\Search").size());
}

}  // namespace
}  // namespace qv::test
