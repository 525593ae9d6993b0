#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <vector>

#include "common/Holders.h"
#include "runtime/ModuleObjects.h"
#include "runtime/Settings.h"
#include "search/RegistrationCookie.h"
#include "support/TempDirectory.h"

namespace qv::test {
namespace {

// Runs against the real per-user value, which it puts back afterwards, with the
// cookie file in a fresh data directory.
class Settings : public testing::Test {
 protected:
  Settings() : objects_(dir_.Path()) {
    saved_.resize(64);
    DWORD size = static_cast<DWORD>(saved_.size());
    RegKey key;
    hadValue_ = RegOpenKeyExW(HKEY_CURRENT_USER, kSettingsKey, 0, KEY_QUERY_VALUE, key.Put()) == ERROR_SUCCESS &&
                RegQueryValueExW(key.Get(), kDisplaySettingsValue, nullptr, &savedType_, saved_.data(), &size) ==
                    ERROR_SUCCESS;
    saved_.resize(hadValue_ ? size : 0);
    DeleteValue();
    SetRegistrationCookie(0);
  }
  ~Settings() override {
    DeleteValue();
    if (hadValue_) WriteRegistryValue(kSettingsKey, kDisplaySettingsValue, saved_.data(),
                                      static_cast<DWORD>(saved_.size()), savedType_);
    SetColumnWidth(kNameColumn, kDefaultColumnWidth);
    SetColumnWidth(kDetailsColumn, kDefaultColumnWidth);
    SetRegistrationCookie(0);
  }
  static void DeleteValue() { RegDeleteKeyValueW(HKEY_CURRENT_USER, kSettingsKey, kDisplaySettingsValue); }
  static void StoreValue(const std::vector<std::int32_t>& values) {
    ASSERT_TRUE(WriteRegistryValue(kSettingsKey, kDisplaySettingsValue, values.data(),
                                   static_cast<DWORD>(values.size() * sizeof(std::int32_t)), REG_BINARY));
  }
  void WriteCookie(const char* text) { WriteFileText(dir_.File(kCookieFileName), text); }

  TempDirectory dir_;
  ScopedModuleObjects objects_;
  std::vector<BYTE> saved_;
  DWORD savedType_ = REG_BINARY;
  bool hadValue_ = false;
};

TEST_F(Settings, StoredWidthsLoadWithNegativeOnesReplacedAndTheCookieFromItsFile) {
  StoreValue({150, -5});
  WriteCookie("42");
  EXPECT_TRUE(LoadSettings());
  EXPECT_EQ(150, GetColumnWidth(kNameColumn));
  EXPECT_EQ(100, GetColumnWidth(kDetailsColumn));
  EXPECT_EQ(42, RegistrationCookie());
}

TEST_F(Settings, ZeroWidthIsKept) {
  StoreValue({0, 300});
  EXPECT_TRUE(LoadSettings());
  EXPECT_EQ(0, GetColumnWidth(kNameColumn));
  EXPECT_EQ(300, GetColumnWidth(kDetailsColumn));
}

TEST_F(Settings, ValueOfAnotherSizeIsNotReadAndTheCookieIsNotLoaded) {
  WriteCookie("42");
  for (const std::vector<std::int32_t>& values : {std::vector<std::int32_t>{150, 160, 170},
                                                  std::vector<std::int32_t>{150}}) {
    SetColumnWidth(kNameColumn, 5);
    StoreValue(values);
    EXPECT_FALSE(LoadSettings()) << values.size();
    EXPECT_EQ(100, GetColumnWidth(kNameColumn));
    EXPECT_EQ(100, GetColumnWidth(kDetailsColumn));
    EXPECT_EQ(0, RegistrationCookie());
  }
}

TEST_F(Settings, NoStoredValueGivesTheDefaults) {
  SetColumnWidth(kDetailsColumn, 5);
  EXPECT_FALSE(LoadSettings());
  EXPECT_EQ(100, GetColumnWidth(kNameColumn));
  EXPECT_EQ(100, GetColumnWidth(kDetailsColumn));
}

TEST_F(Settings, StoredValueWithoutCookieFileLeavesTheCookieAtZero) {
  StoreValue({120, 130});
  SetRegistrationCookie(9);
  EXPECT_TRUE(LoadSettings());
  EXPECT_EQ(0, RegistrationCookie());
}

TEST_F(Settings, SaveStoresBothWidthsAsEightBinaryBytesInColumnOrder) {
  SetColumnWidth(kNameColumn, 240);
  SetColumnWidth(kDetailsColumn, 0x01020304);
  ASSERT_TRUE(SaveSettings());
  BYTE stored[16] = {};
  DWORD size = sizeof stored, type = 0;
  RegKey key;
  ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExW(HKEY_CURRENT_USER, kSettingsKey, 0, KEY_QUERY_VALUE, key.Put()));
  ASSERT_EQ(ERROR_SUCCESS, RegQueryValueExW(key.Get(), kDisplaySettingsValue, nullptr, &type, stored, &size));
  EXPECT_EQ(static_cast<DWORD>(REG_BINARY), type);
  ASSERT_EQ(8u, size);
  const BYTE expected[8] = {240, 0, 0, 0, 0x04, 0x03, 0x02, 0x01};
  EXPECT_EQ(0, std::memcmp(expected, stored, 8));

  SetColumnWidth(kNameColumn, 1);
  EXPECT_TRUE(LoadSettings());
  EXPECT_EQ(240, GetColumnWidth(kNameColumn));
}

TEST_F(Settings, ColumnsOutsideTheTwoReadAsDefaultAndAreNotStored) {
  SetColumnWidth(2, 999);
  SetColumnWidth(-1, 999);
  EXPECT_EQ(kDefaultColumnWidth, GetColumnWidth(2));
  EXPECT_EQ(kDefaultColumnWidth, GetColumnWidth(-1));
}

TEST_F(Settings, RegistryReadWantsTheExactSize) {
  StoreValue({1, 2});
  std::int32_t four[4] = {};
  EXPECT_FALSE(ReadRegistryValue(HKEY_CURRENT_USER, kSettingsKey, kDisplaySettingsValue, four, sizeof four));
  EXPECT_FALSE(ReadRegistryValue(HKEY_CURRENT_USER, kSettingsKey, kDisplaySettingsValue, four, 4));
  EXPECT_TRUE(ReadRegistryValue(HKEY_CURRENT_USER, kSettingsKey, kDisplaySettingsValue, four, 8));
  EXPECT_FALSE(ReadRegistryValue(HKEY_CURRENT_USER, L"Software\\quorvane\\missing", L"x", four, 8));
}

}  // namespace
}  // namespace qv::test
