#include "ServiceTestSupport.h"

#include <algorithm>

#include "common/Holders.h"

namespace qv::service::test {
namespace {


class Query : public ServiceTest {
 protected:
  void SetUp() override {
    ServiceTest::SetUp();
    AddFile("Budget 2024.xlsx", "binary\x01\x02");
    AddFile("notes\\meeting notes.txt", "The quarterly budget was approved by the board.");
    AddFile("notes\\holiday plans.md", "Flights to Lisbon; the budget is tight.");
    AddFile("notes\\Report.DOCX", "");
    AddFile("src\\parser.cpp", "int ParseQuarterly() { return 0; }");
    AddFile("src\\budgeting.py", "print('spreadsheet')");
    AddFile("web\\index.html", "<html><body class=\"budget\">Welcome home</body></html>");
    IndexTree();
    cookie_ = RegisterClient();
    ASSERT_GT(cookie_, 0);
  }

  std::vector<std::wstring> Find(const wchar_t* text, BYTE ranking = 0) {
    QueryOutcome outcome = RunQuery(cookie_, text, L"file", ranking);
    EXPECT_EQ(S_OK, outcome.hr) << text;
    return Titles(outcome.results);
  }

  LONG cookie_ = 0;
};

TEST_F(Query, ResultsCarryTheFilePathAsUriAndTheFileNameAsTitle) {
  QueryOutcome outcome = RunQuery(cookie_, L"lisbon");
  ASSERT_EQ(1u, outcome.results.size());
  EXPECT_EQ(TreePath("notes\\holiday plans.md"), outcome.results[0].uri);
  EXPECT_EQ(L"holiday plans.md", outcome.results[0].title);
  EXPECT_EQ(kResultSetComplete, outcome.finalState);
  EXPECT_EQ(1, outcome.finalCount);
}

TEST_F(Query, EveryWordMustMatchInTheNameOrTheText) {
  EXPECT_EQ(Names({L"meeting notes.txt"}), Find(L"quarterly approved"));
  EXPECT_EQ(Names({L"holiday plans.md"}), Find(L"BUDGET tight"));
  EXPECT_EQ(Names({}), Find(L"budget lisbon approved"));
  // Markup is not text: the class attribute does not count, the body does.
  EXPECT_EQ(Names({L"index.html"}), Find(L"welcome"));
  EXPECT_EQ(Names({}), Find(L"class"));
}

TEST_F(Query, TheLastWordAlsoMatchesAsAPrefix) {
  EXPECT_EQ(Sorted({L"Budget 2024.xlsx", L"meeting notes.txt", L"holiday plans.md",
                                                  L"budgeting.py"}), Sorted(Find(L"budg")));
  EXPECT_EQ(Names({L"holiday plans.md"}), Find(L"tight budg"));
}

TEST_F(Query, QuotedPhrasesMatchWordsInOrder) {
  EXPECT_EQ(Names({L"meeting notes.txt"}), Find(L"\"quarterly budget\""));
  EXPECT_EQ(Names({}), Find(L"\"budget quarterly\""));
}

TEST_F(Query, MinusExcludesWordsAndPhrases) {
  EXPECT_EQ(Sorted({L"Budget 2024.xlsx", L"meeting notes.txt", L"budgeting.py"}), Sorted(Find(L"budget -lisbon")));
  EXPECT_EQ(Sorted({L"Budget 2024.xlsx", L"holiday plans.md"}), Sorted(Find(L"budget -\"the board\" -budgeting")));
  // Nothing but exclusions: every other file.
  EXPECT_EQ(Sorted({L"Report.DOCX", L"parser.cpp"}), Sorted(Find(L"-budget -budgeting -welcome -quarterly")));
}

TEST_F(Query, FileTypeOperatorsNarrowAndHideExtensionsInAnyCase) {
  EXPECT_EQ(Names({L"meeting notes.txt"}), Find(L"budget filetype:txt"));
  EXPECT_EQ(Sorted({L"Budget 2024.xlsx", L"meeting notes.txt"}), Sorted(Find(L"budget filetype:TXT filetype:xlsx")));
  EXPECT_EQ(Sorted({L"Budget 2024.xlsx", L"budgeting.py"}), Sorted(Find(L"budget -filetype:txt -FILETYPE:md")));
  EXPECT_EQ(Names({L"Report.DOCX"}), Find(L"filetype:docx"));
  EXPECT_EQ(Names({}), Find(L"budget filetype:pdf"));
}

TEST_F(Query, MalformedQueriesAreReadLiterally) {
  EXPECT_EQ(Names({L"meeting notes.txt"}), Find(L"\"quarterly budget"));
  EXPECT_EQ(Names({L"holiday plans.md"}), Find(L"lisbon -"));
  EXPECT_EQ(Names({}), Find(L"- \" filetype: --- (((  "));
  EXPECT_EQ(Names({}), Find(L"lisbon AND OR NOT NEAR("));
  EXPECT_EQ(Names({L"Report.DOCX"}), Find(L"report*"));
  EXPECT_EQ(Names({}), Find(L""));
}

TEST_F(Query, OnlyTheFileCategoryHasResults) {
  EXPECT_EQ(1u, RunQuery(cookie_, L"lisbon", nullptr).results.size());
  EXPECT_EQ(1u, RunQuery(cookie_, L"lisbon", L"FILE").results.size());
  QueryOutcome email = RunQuery(cookie_, L"lisbon", L"email");
  EXPECT_EQ(S_OK, email.hr);
  EXPECT_TRUE(email.results.empty());
  EXPECT_EQ(kResultSetComplete, email.finalState);
}

TEST_F(Query, RecencyRanksNewestFirstAndRelevancePrefersNames) {
  auto setTime = [&](const std::string& file, WORD year) {
    SYSTEMTIME system = {year, 1, 0, 1, 12, 0, 0, 0};
    FILETIME time;
    SystemTimeToFileTime(&system, &time);
    UniqueHandle handle(CreateFileW(TreePath(file).c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ, nullptr,
                                    OPEN_EXISTING, 0, nullptr));
    SetFileTime(handle.Get(), nullptr, nullptr, &time);
  };
  setTime("Budget 2024.xlsx", 2001);
  setTime("notes\\meeting notes.txt", 2020);
  setTime("notes\\holiday plans.md", 2010);
  IndexAgain();
  // A phrase is never a prefix, so "budgeting.py" stays out.
  EXPECT_EQ(Names({L"meeting notes.txt", L"holiday plans.md", L"Budget 2024.xlsx"}), Find(L"\"budget\"", 1));
  std::vector<std::wstring> relevance = Find(L"\"budget\"", 0);
  ASSERT_EQ(3u, relevance.size());
  EXPECT_EQ(L"Budget 2024.xlsx", relevance[0]);
}

TEST_F(Query, TheWaitForEnoughResultsEndsAndTheRestStillStream) {
  for (int i = 0; i < 300; ++i) AddFile("many\\item " + std::to_string(i) + ".txt", "common word");
  IndexAgain();
  QueryOutcome some = RunQuery(cookie_, L"common", L"file", 0, 10, 10);
  EXPECT_EQ(S_OK, some.hr);
  EXPECT_EQ(10u, some.results.size());
  QueryOutcome all = RunQuery(cookie_, L"common", L"file", 1, 0);
  EXPECT_EQ(300u, all.results.size());
  EXPECT_EQ(300, all.finalCount);
  EXPECT_EQ(kResultSetComplete, all.finalState);
}

TEST_F(Query, ResultsAnswerOnlyTheirOwnProperties) {
  ComPtr<IDesktopSearchQueryApi> api;
  ASSERT_EQ(S_OK, CreateServiceObject(kQueryApiProgId, &api));
  Bstr text(L"lisbon");
  Variant category;
  Variant ranking;
  ComPtr<IDesktopSearchResultSet> results;
  ASSERT_EQ(S_OK, api->Query(cookie_, text.Get(), *category.Get(), *ranking.Get(), results.Put()));
  ComPtr<IDesktopSearchResult> result;
  ASSERT_EQ(S_OK, results->Next(result.Put()));
  ASSERT_TRUE(result);
  Bstr unknown(L"author");
  Variant value;
  EXPECT_EQ(DISP_E_UNKNOWNNAME, result->GetProperty(unknown.Get(), value.Put()));
  EXPECT_EQ(VT_EMPTY, value.Type());
  EXPECT_EQ(E_POINTER, result->GetProperty(unknown.Get(), nullptr));
  ASSERT_EQ(S_OK, results->Next(result.Put()));
  EXPECT_FALSE(result);
  EXPECT_EQ(E_NOTIMPL, results->UnusedSlot9());
}

TEST_F(Query, AWrongKindOfCategoryOrRankingIsRefused) {
  ComPtr<IDesktopSearchQueryApi> api;
  ASSERT_EQ(S_OK, CreateServiceObject(kQueryApiProgId, &api));
  Bstr text(L"lisbon");
  Variant array;
  V_VT(array.Get()) = VT_ARRAY | VT_VARIANT;
  V_ARRAY(array.Get()) = SafeArrayCreateVector(VT_VARIANT, 0, 1);
  Variant missing;
  ComPtr<IDesktopSearchResultSet> results;
  EXPECT_EQ(E_INVALIDARG, api->Query(cookie_, text.Get(), *array.Get(), *missing.Get(), results.Put()));
  EXPECT_EQ(E_INVALIDARG, api->Query(cookie_, text.Get(), *missing.Get(), *array.Get(), results.Put()));
  EXPECT_FALSE(results);
}

}  // namespace
}  // namespace qv::service::test
