#include "ServiceTestSupport.h"

#include <cstdlib>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "common/Holders.h"
#include "common/RegistryWriter.h"
#include "common/Text.h"
#include "filters/TestFilters.h"
#include "service/Indexer.h"
#include "service/filters/FilterHostProcess.h"
#include "service/filters/FilterProtocol.h"
#include "service/filters/FilterRegistry.h"
#include "service/filters/RegisteredFilters.h"

namespace qv::service::test {
namespace {

constexpr wchar_t kFilterEntry[] = L"\\PersistentAddinsRegistered\\{89BCB740-6119-101A-BCB7-00DD010655AF}";
// The persistent handlers of the test extensions, and the document class of .qvf3.
constexpr wchar_t kWordsHandler[] = L"{6A3C1E20-5B7D-4F2A-9C11-0E4D2B7A8F11}";
constexpr wchar_t kCrashHandler[] = L"{6A3C1E20-5B7D-4F2A-9C11-0E4D2B7A8F12}";
constexpr wchar_t kHangHandler[] = L"{6A3C1E20-5B7D-4F2A-9C11-0E4D2B7A8F13}";
constexpr wchar_t kStreamHandler[] = L"{6A3C1E20-5B7D-4F2A-9C11-0E4D2B7A8F14}";
constexpr wchar_t kHangDocument[] = L"{6A3C1E20-5B7D-4F2A-9C11-0E4D2B7A8F23}";

// The classes of all users: Wine 8 does not merge the user's classes into the
// classes root (Windows does), so filters registered per user are not found there.
const RegistryWriter& Classes() {
  static const RegistryWriter writer(RegistrationScope::AllUsers);
  return writer;
}

void SetClass(const std::wstring& path, const std::wstring& value, const wchar_t* name = nullptr) {
  ASSERT_EQ(ERROR_SUCCESS, Classes().SetString(RegistryWriter::ClassesPath(path), name, value)) << ToUtf8(path);
}

void RegisterServer(const CLSID& filter, const char* dll) {
  std::wstring key = L"CLSID\\" + GuidString(filter) + L"\\InprocServer32";
  SetClass(key, Wide(qv::test::HostPathToWindows(dll)));
  SetClass(key, L"Both", L"ThreadingModel");
}

void RegisterHandler(const wchar_t* handler, const CLSID& filter) {
  SetClass(std::wstring(L"CLSID\\") + handler + kFilterEntry, GuidString(filter));
}

// Every route of the lookup: the extension's own handler (.qvf1, .qvf2), its
// ProgID's (.qvf4) and that of its ProgID's class (.qvf3). A filter that
// crashes is also registered for .txt, which our own reader reads.
class RegisteredFilter : public ServiceTest {
 protected:
  static void SetUpTestSuite() {
    ServiceTest::SetUpTestSuite();
    hadTextKey_ = RegistryKeyExists(HKEY_LOCAL_MACHINE, RegistryWriter::ClassesPath(L".txt"));
    RegisterServer(kWordsFileFilter, QUORVANE_TEST_FILTER_WORDS);
    RegisterServer(kWordsStreamFilter, QUORVANE_TEST_FILTER_WORDS);
    RegisterServer(kCrashingFilter, QUORVANE_TEST_FILTER_CRASH);
    RegisterServer(kHangingFilter, QUORVANE_TEST_FILTER_HANG);
    RegisterHandler(kWordsHandler, kWordsFileFilter);
    RegisterHandler(kCrashHandler, kCrashingFilter);
    RegisterHandler(kHangHandler, kHangingFilter);
    RegisterHandler(kStreamHandler, kWordsStreamFilter);
    SetClass(L".qvf1\\PersistentHandler", kWordsHandler);
    SetClass(L".qvf2\\PersistentHandler", kCrashHandler);
    SetClass(L".qvf3", L"quorvane.TestHangDocument");
    SetClass(L"quorvane.TestHangDocument\\CLSID", kHangDocument);
    SetClass(std::wstring(L"CLSID\\") + kHangDocument + L"\\PersistentHandler", kHangHandler);
    SetClass(L".qvf4", L"quorvane.TestStreamDocument");
    SetClass(L"quorvane.TestStreamDocument\\PersistentHandler", kStreamHandler);
    SetClass(L".txt\\PersistentHandler", kCrashHandler);
  }
  static void TearDownTestSuite() {
    for (const std::wstring& key : std::vector<std::wstring>{
             L".qvf1", L".qvf2", L".qvf3", L".qvf4", L"quorvane.TestHangDocument", L"quorvane.TestStreamDocument",
          L"CLSID\\" + GuidString(kWordsFileFilter), L"CLSID\\" + GuidString(kWordsStreamFilter),
          L"CLSID\\" + GuidString(kCrashingFilter), L"CLSID\\" + GuidString(kHangingFilter),
          std::wstring(L"CLSID\\") + kWordsHandler, std::wstring(L"CLSID\\") + kCrashHandler,
          std::wstring(L"CLSID\\") + kHangHandler, std::wstring(L"CLSID\\") + kStreamHandler,
          std::wstring(L"CLSID\\") + kHangDocument}) {
      Classes().DeleteTree(RegistryWriter::ClassesPath(key));
    }
    Classes().DeleteTree(RegistryWriter::ClassesPath(hadTextKey_ ? L".txt\\PersistentHandler" : L".txt"));
    ServiceTest::TearDownTestSuite();
  }
  void SetUp() override {
    ServiceTest::SetUp();
    log_ = Wide(data_.Path()) + L"filters.log";
    SetEnvironmentVariableW(kFilterLogVariable, log_.c_str());
    const char* tool = std::getenv("QUORVANE_INDEX_TOOL");
    ASSERT_NE(nullptr, tool);
    FilterHostLimits limits;
    limits.fileMs = 3000;  // the hanging filter costs this much of each pass
    SetFilterHostOptions(Wide(qv::test::HostPathToWindows(tool)), limits);
  }
  void TearDown() override {
    SetFilterHostOptions({}, {});
    SetEnvironmentVariableW(kFilterLogVariable, nullptr);
    ServiceTest::TearDown();
  }

  // The files the filters loaded since the last look, and the log emptied.
  std::wstring TakeLoads() {
    std::string bytes = qv::test::ReadFileText(ToUtf8(log_));
    DeleteFileW(log_.c_str());
    return std::wstring(reinterpret_cast<const wchar_t*>(bytes.data()), bytes.size() / sizeof(wchar_t));
  }

  static bool hadTextKey_;
  std::wstring log_;
};
bool RegisteredFilter::hadTextKey_ = false;

TEST_F(RegisteredFilter, FindsTheFilterByTheDocumentedLookupButNeverForOurFormats) {
  struct Case {
    const wchar_t* extension;
    std::optional<CLSID> filter;
    bool used;
  };
  for (const Case& c : {Case{L"qvf1", kWordsFileFilter, true}, Case{L"qvf2", kCrashingFilter, true},
                        Case{L"qvf3", kHangingFilter, true}, Case{L"qvf4", kWordsStreamFilter, true},
                        Case{L"txt", kCrashingFilter, false}, Case{L"qvf9", std::nullopt, false},
                        Case{L"", std::nullopt, false}}) {
    std::optional<CLSID> found = RegisteredFilterClass(c.extension);
    EXPECT_EQ(c.filter.has_value(), found.has_value()) << ToUtf8(c.extension);
    if (c.filter && found) {
      EXPECT_TRUE(IsEqualCLSID(*c.filter, *found)) << ToUtf8(c.extension);
    }
    EXPECT_EQ(c.used, HasRegisteredFilter(c.extension)) << ToUtf8(c.extension);
  }
}

TEST_F(RegisteredFilter, ProtocolRefusesWhatDoesNotFitOnEitherSide) {
  std::string request = EncodeFilterRequest({kWordsFileFilter, 1000, L"C:\\a.qvf1"});
  std::uint32_t pathChars = 0;
  ASSERT_TRUE(DecodeFilterRequestHeader(request.data(), &pathChars));
  EXPECT_EQ(9u, pathChars);
  EXPECT_FALSE(DecodeFilterRequestHeader(EncodeFilterRequest({kWordsFileFilter, 1000, L""}).data(), &pathChars));
  EXPECT_FALSE(DecodeFilterRequestHeader(
      EncodeFilterRequest({kWordsFileFilter, kMaxFilterTextBytes + 1, L"C:\\a"}).data(), &pathChars));
  std::string tooLong = EncodeFilterRequest({kWordsFileFilter, 1000, L"C:\\a"});
  std::uint32_t huge = kMaxFilterPathChars + 1;
  tooLong.replace(8, 4, reinterpret_cast<const char*>(&huge), 4);
  EXPECT_FALSE(DecodeFilterRequestHeader(tooLong.data(), &pathChars));

  EXPECT_TRUE(DecodeFilterReplyHeader(EncodeFilterReplyHeader(FilterStatus::Read, 1000).data(), 1000));
  EXPECT_FALSE(DecodeFilterReplyHeader(EncodeFilterReplyHeader(FilterStatus::Read, 1001).data(), 1000));
  std::string badStatus = EncodeFilterReplyHeader(FilterStatus::Read, 0);
  badStatus[4] = 9;
  EXPECT_FALSE(DecodeFilterReplyHeader(badStatus.data(), 1000));
  std::string badMagic = EncodeFilterReplyHeader(FilterStatus::Read, 0);
  badMagic[0] = 'X';
  EXPECT_FALSE(DecodeFilterReplyHeader(badMagic.data(), 1000));
}

TEST_F(RegisteredFilter, ReadsChunksAndAFilterThatCrashesOrHangsCostsOnlyItsFileUntilItChanges) {
  AddFile("docs\\atlas.qvf1", "sapphire meadow");
  AddFile("docs\\boom.qvf2", "crashword");
  std::wstring boom = TreePath("docs\\boom.qvf2");
  AddFile("docs\\stuck.qvf3", "hangword");
  AddFile("docs\\zeta.qvf4", "quartz lantern");
  AddFile("docs\\after.qvf1", "juniper");
  AddFile("docs\\refused.qvf1", "refuse this");
  AddFile("docs\\long.qvf1", "many tangerines");
  AddFile("docs\\note.txt", "plainword");
  AddFile("docs\\unknown.qvf9", "nothing");
  IndexTree();
  LONG cookie = RegisterClient();
  // The file's own words, through IPersistFile and IPersistStream, joined
  // across GetText calls; the known chunks; never a value chunk's text.
  EXPECT_EQ(Names({L"atlas.qvf1"}), Titles(RunQuery(cookie, L"sapphire meadow").results));
  EXPECT_EQ(Names({L"zeta.qvf4"}), Titles(RunQuery(cookie, L"quartz lantern").results));
  EXPECT_EQ(Names({L"after.qvf1", L"atlas.qvf1", L"zeta.qvf4"}), Sorted(Titles(RunQuery(cookie, L"vermilion cerulean").results)));
  EXPECT_TRUE(RunQuery(cookie, L"forbiddenvalue").results.empty());
  EXPECT_TRUE(RunQuery(cookie, L"crashword").results.empty());
  EXPECT_TRUE(RunQuery(cookie, L"hangword").results.empty());
  // Our own reader reads .txt, whatever filter is registered for it.
  EXPECT_EQ(Names({L"note.txt"}), Titles(RunQuery(cookie, L"plainword").results));
  EXPECT_EQ(Names({L"unknown.qvf9"}), Titles(RunQuery(cookie, L"unknown").results));
  // A filter's text is cut off at the document's budget.
  EXPECT_EQ(Names({L"long.qvf1"}), Titles(RunQuery(cookie, L"tangerines").results));
  // No filter ever ran in this process.
  for (const wchar_t* dll : {L"quorvane_test_filter_words.dll", L"quorvane_test_filter_crash.dll",
                             L"quorvane_test_filter_hang.dll"}) {
    EXPECT_EQ(nullptr, GetModuleHandleW(dll)) << ToUtf8(dll);
  }

  auto counts = [] {
    std::map<std::wstring, std::vector<std::uint64_t>> byFormat;
    for (const FormatCounts& f : DocumentCountsByFormat()) {
      if (f.filtered) byFormat[f.extension] = {f.read, f.cutOff, f.encrypted, f.damaged, f.filterFailed};
    }
    return byFormat;
  };
  std::map<std::wstring, std::vector<std::uint64_t>> expected = {
      {L"qvf1", {2, 1, 0, 1, 0}}, {L"qvf2", {0, 0, 0, 0, 1}}, {L"qvf3", {0, 0, 0, 0, 1}}, {L"qvf4", {1, 0, 0, 0, 0}}};
  EXPECT_EQ(expected, counts());
  std::wstring loads = TakeLoads();
  EXPECT_NE(std::wstring::npos, loads.find(boom)) << ToUtf8(loads);
  EXPECT_NE(std::wstring::npos, loads.find(TreePath("docs\\stuck.qvf3"))) << ToUtf8(loads);

  // Not tried again while unchanged...
  IndexAgain();
  EXPECT_EQ(L"", TakeLoads());
  EXPECT_EQ(expected, counts());
  // ...and again once it changed (and failed again).
  {
    UniqueHandle file = FileHandle(CreateFileW(boom.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ, nullptr,
                                               OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(file);
    FILETIME written;
    GetSystemTimeAsFileTime(&written);
    ASSERT_TRUE(SetFileTime(file.Get(), nullptr, nullptr, &written));
  }
  IndexAgain();
  EXPECT_EQ(boom + L"\n", TakeLoads());
  EXPECT_EQ(expected, counts());

  ToolRun status = RunTool("status");
  EXPECT_NE(std::string::npos, status.output.find("qvf2: 0 read, 0 cut off, 0 encrypted, 0 damaged, 1 filter failed"))
      << status.output;
  EXPECT_NE(std::string::npos, status.output.find("qvf1: 2 read, 1 cut off, 0 encrypted, 1 damaged, 0 filter failed"))
      << status.output;
}

TEST_F(RegisteredFilter, FilesOfAFormatWhoseFilterCameLaterAreReadOnce) {
  AddFile("docs\\late.qvf5", "tamarind");
  IndexTree();
  LONG cookie = RegisterClient();
  EXPECT_TRUE(RunQuery(cookie, L"tamarind").results.empty());
  struct Registration {
    Registration() { SetClass(L".qvf5\\PersistentHandler", kWordsHandler); }
    ~Registration() { Classes().DeleteTree(RegistryWriter::ClassesPath(L".qvf5")); }
  } installed;
  IndexAgain();
  EXPECT_EQ(Names({L"late.qvf5"}), Titles(RunQuery(cookie, L"tamarind").results));
  TakeLoads();
  IndexAgain();
  EXPECT_EQ(L"", TakeLoads());
}

}  // namespace
}  // namespace qv::service::test
