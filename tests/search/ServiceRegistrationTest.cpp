#include <gtest/gtest.h>

#include <string>

#include "search/RegistrationCookie.h"
#include "search/ServiceRegistration.h"
#include "support/SearchServiceFixture.h"

namespace qv::test {
namespace {

using ServiceRegistration = SearchServiceTest;

TEST_F(ServiceRegistration, StoresTheIssuedCookieInMemoryAndInTheCookieFile) {
  stub_.SetNextCookie(42);
  EXPECT_TRUE(RegisterComponent());
  EXPECT_EQ(42, RegistrationCookie());
  EXPECT_EQ("42", CookieFileText());
  EXPECT_EQ(0, stub_.LiveObjects());
}

TEST_F(ServiceRegistration, DescribesTheComponentToTheRegistrar) {
  ASSERT_TRUE(RegisterComponent());
  StubRegistrarLog log = stub_.RegistrarLog();
  EXPECT_STREQ(kComponentGuid, log.registeredGuid);
  EXPECT_EQ(38u, std::wstring(log.registeredGuid).size());
  EXPECT_EQ(VT_ARRAY | VT_VARIANT, log.descriptionType);
  EXPECT_EQ(0, log.descriptionLowerBound);
  ASSERT_EQ(6, log.descriptionCount);
  const wchar_t* expected[] = {L"Title", L"quorvane", L"Description", L"Your files. When and where you need them.",
                               L"Icon", L",1"};
  for (int i = 0; i < 6; ++i) {
    EXPECT_EQ(VT_BSTR, log.descriptionElementTypes[i]) << i;
    EXPECT_STREQ(expected[i], log.description[i]) << i;
  }
  EXPECT_STREQ(L"GoogleDesktop.QueryRegistration", log.registrationType);
  EXPECT_STREQ(kComponentGuid, log.clientGuid);
  EXPECT_EQ(1, log.clientReadAllowed);
  EXPECT_EQ(1, stub_.CallCount(kStubFinishRegistration));
}

TEST_F(ServiceRegistration, FailureAtTheFinishingStepKeepsTheNewCookie) {
  stub_.SetNextCookie(42);
  stub_.ScriptCall(kStubFinishRegistration, E_FAIL);
  EXPECT_FALSE(RegisterComponent());
  EXPECT_EQ(42, RegistrationCookie());
  EXPECT_EQ("42", CookieFileText());
  EXPECT_EQ(0, stub_.LiveObjects());
}

TEST_F(ServiceRegistration, FailureBeforeACookieIsIssuedChangesNothing) {
  for (StubCall step : {kStubCreateRegistrar, kStubStartRegistration, kStubGetRegistrationInterface,
                        kStubRegisterQueryClient}) {
    stub_.Reset();
    stub_.ScriptCall(step, E_FAIL);
    SetRegistrationCookie(5);
    EXPECT_FALSE(RegisterComponent()) << step;
    EXPECT_EQ(5, RegistrationCookie()) << step;
    EXPECT_FALSE(FileExists(CookieFilePath())) << step;
    EXPECT_EQ(0, stub_.LiveObjects()) << step;
  }
}

TEST_F(ServiceRegistration, RegistrationObjectMissingDespiteSuccessIsAFailure) {
  stub_.ScriptCall(kStubGetRegistrationInterface, S_OK);
  EXPECT_FALSE(RegisterComponent());
  EXPECT_EQ(0, stub_.CallCount(kStubRegisterQueryClient));
}

TEST_F(ServiceRegistration, UnregistrationForgetsTheCookieButNotTheFile) {
  stub_.SetNextCookie(42);
  ASSERT_TRUE(RegisterComponent());
  EXPECT_TRUE(UnregisterComponent());
  EXPECT_EQ(0, RegistrationCookie());
  EXPECT_EQ("42", CookieFileText());
  EXPECT_STREQ(kComponentGuid, stub_.RegistrarLog().unregisteredGuid);
}

TEST_F(ServiceRegistration, RefusedUnregistrationKeepsTheCookie) {
  SetRegistrationCookie(9);
  stub_.ScriptCall(kStubUnregister, E_ACCESSDENIED);
  EXPECT_FALSE(UnregisterComponent());
  EXPECT_EQ(9, RegistrationCookie());
}

TEST_F(ServiceRegistration, MissingServiceRefusesEverythingQuietly) {
  stub_.Uninstall();
  SetRegistrationCookie(9);
  EXPECT_FALSE(IsSearchServiceAvailable());
  EXPECT_FALSE(RegisterComponent());
  EXPECT_FALSE(UnregisterComponent());
  EXPECT_EQ(9, RegistrationCookie());
  EXPECT_EQ(0, stub_.CallCount(kStubCreateRegistrar));
  stub_.Install();
  EXPECT_TRUE(IsSearchServiceAvailable());
}

TEST_F(ServiceRegistration, AvailabilityTestRegistersNothing) {
  EXPECT_TRUE(IsSearchServiceAvailable());
  EXPECT_EQ(1, stub_.CallCount(kStubCreateRegistrar));
  EXPECT_EQ(0, stub_.CallCount(kStubStartRegistration));
  EXPECT_EQ(0, stub_.LiveObjects());
  stub_.ScriptCall(kStubCreateRegistrar, CO_E_SERVER_EXEC_FAILURE);
  EXPECT_FALSE(IsSearchServiceAvailable());
}

TEST_F(ServiceRegistration, UnwritableCookieFileKeepsTheCookieInMemory) {
  // A directory where the file should be: the file cannot be created.
  ASSERT_TRUE(CreateDirectoryA(CookieFilePath().c_str(), nullptr));
  stub_.SetNextCookie(77);
  EXPECT_TRUE(RegisterComponent());
  EXPECT_EQ(77, RegistrationCookie());
  EXPECT_EQ(0, ReadCookieFile());
}

TEST_F(ServiceRegistration, CookieFileReadsOneDecimalNumberOrZero) {
  EXPECT_EQ(0, ReadCookieFile());  // no file
  const std::pair<const char*, LONG> cases[] = {
      {"42", 42},   {"-7", -7}, {"  15\r\n", 15}, {"+8", 8},         {"12abc", 12},
      {"abc", 0},   {"", 0},    {"99999999999", 0}, {"2147483647", 2147483647}};
  for (const auto& [text, cookie] : cases) {
    WriteFileText(CookieFilePath(), text);
    EXPECT_EQ(cookie, ReadCookieFile()) << text;
  }
}

TEST_F(ServiceRegistration, CookieFileHoldsTheDecimalNumberWithoutLineEnd) {
  WriteFileText(CookieFilePath(), "123456789");
  WriteCookieFile(-15);
  EXPECT_EQ("-15", CookieFileText());
  WriteCookieFile(0);
  EXPECT_EQ("0", CookieFileText());
}

}  // namespace
}  // namespace qv::test
