#include "ServiceTestSupport.h"

#include <algorithm>

#include "common/Holders.h"
#include "common/Text.h"
#include "service/QueryParser.h"

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
  // The result set names what was read literally, as the index tool does.
  const wchar_t* malformed = L"(zanzibar OR \"pelican size:>>1 kind:gizmo";
  QueryOutcome outcome = RunQuery(cookie_, malformed);
  EXPECT_EQ(ParseQuery(malformed).Warning(), outcome.warning);
  EXPECT_EQ(0u, outcome.warning.find(L"Read literally: ")) << outcome.warning;
  EXPECT_NE(std::wstring::npos, outcome.warning.find(L"kind:gizmo")) << outcome.warning;
  EXPECT_EQ(L"", RunQuery(cookie_, L"lisbon").warning);
  EXPECT_EQ(ParseQuery(L"size:>>1").Warning(), RunQuery(cookie_, L"size:>>1", L"email").warning);
}

// Deep nestings and long chains, each against the index: every one is
// answered in full. Chains of one operator and runs of minus signs keep their
// meaning at any length; groups past the nesting bound are read as words.
TEST_F(Query, EveryShapeOfQueryIsAnswered) {
  auto answer = [&](const std::wstring& text) {
    QueryOutcome outcome = RunQuery(cookie_, text.c_str());
    EXPECT_EQ(S_OK, outcome.hr) << text.size();
    EXPECT_EQ(kResultSetComplete, outcome.finalState) << ToUtf8(text.substr(0, 60)) << " (" << text.size() << ")";
    return Titles(outcome.results);
  };
  // Up to 300 levels the chain stays within the 1,000 terms a query holds.
  for (int depth : {1, 2, 7, 8, 15, 300, 2000}) {
    std::wstring orChain = L"lisbon";
    std::wstring nested = L"lisbon";
    for (int i = 0; i < depth; ++i) {
      orChain = L"zz" + std::to_wstring(i) + L" OR (" + orChain + L")";
      std::wstring number = std::to_wstring(i);
      nested = i % 2 ? L"(zz" + number + L" OR " + nested + L")" : L"(" + nested + L" -yy" + number + L")";
    }
    std::vector<std::wstring> found = answer(orChain);
    if (depth <= 300) {
      EXPECT_EQ(Names({L"holiday plans.md"}), found) << depth;
    }
    found = answer(nested);
    if (depth <= 8) {
      EXPECT_EQ(Names({L"holiday plans.md"}), found) << depth;
    }
    std::wstring parentheses = std::wstring(depth, L'(') + L"lisbon" + std::wstring(depth, L')');
    EXPECT_EQ(Names({L"holiday plans.md"}), answer(parentheses)) << depth;
  }
  for (int minus : {1, 2, 999, 1000, 4000}) {
    std::vector<std::wstring> found = answer(std::wstring(minus, L'-') + L"lisbon tight");
    EXPECT_EQ(minus % 2 ? Names({}) : Names({L"holiday plans.md"}), found) << minus;
  }
  std::wstring terms;
  for (int i = 0; i < 5000; ++i) terms += L"size:<" + std::to_wstring(100000 + i) + L" ";
  // Terms past the 1,000th are left out.
  EXPECT_EQ(Names({L"holiday plans.md"}), answer(L"lisbon " + terms));
  std::wstring exclusions = L"lisbon";
  for (int i = 0; i < 600; ++i) {
    exclusions += L" -(size:>" + std::to_wstring(100000 + i) + L" OR ext:e" + std::to_wstring(i) + L")";
  }
  EXPECT_EQ(Names({L"holiday plans.md"}), answer(exclusions));
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

TEST_F(Query, NewestFirstKeepsTheExactOrderWhetherManyMatchesAreNewOrOld) {
  // Enough files that newest first walks the newest of them, then goes on by
  // walking or by sorting the older candidates.
  auto day = [](int n) {
    SYSTEMTIME system = {2001, 1, 0, 1, 12, 0, 0, 0};
    FILETIME time;
    SystemTimeToFileTime(&system, &time);
    ULARGE_INTEGER value{{time.dwLowDateTime, time.dwHighDateTime}};
    value.QuadPart += static_cast<ULONGLONG>(n) * 864000000000ULL;
    return FILETIME{value.LowPart, value.HighPart};
  };
  Names all, old;
  for (int i = 0; i < 400; ++i) {
    bool isOld = i < 320;
    std::string name = (isOld ? "old " : "new ") + std::to_string(i) + ".txt";
    UniqueHandle file(CreateFileW(AddFile("dated\\" + name, isOld ? "common ancient" : "common").c_str(),
                                  FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    FILETIME time = day(i);
    SetFileTime(file.Get(), nullptr, nullptr, &time);
    all.insert(all.begin(), Wide(name));
    if (isOld) old.insert(old.begin(), Wide(name));
  }
  IndexAgain();
  EXPECT_EQ(all, Find(L"common", 1));
  EXPECT_EQ(old, Find(L"ancient", 1));
  EXPECT_EQ(old, Find(L"ancient modified:<2100-01-01", 1));
  // Words only names may hold are found among the names alone.
  EXPECT_EQ(old, Find(L"name:old", 1));
  EXPECT_EQ(old, Find(L"name:old -name:new -name:notes", 1));
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


void SetFileTimes(const std::wstring& path, const FILETIME& time) {
  UniqueHandle handle(CreateFileW(path.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
  SetFileTime(handle.Get(), &time, nullptr, &time);
}

FILETIME LocalNoon(WORD year, WORD month, WORD day) {
  SYSTEMTIME local = {year, month, 0, day, 12, 0, 0, 0};
  FILETIME localTime, utc;
  SystemTimeToFileTime(&local, &localTime);
  LocalFileTimeToFileTime(&localTime, &utc);
  return utc;
}

// Every operator of the query language over a small tree, with the exact files
// each query finds.
class QueryLanguage : public ServiceTest {
 protected:
  void SetUp() override {
    ServiceTest::SetUp();
    AddFile("Projects\\Alpha\\launch plan.txt", "alpha launch plan");
    AddFile("Projects\\Alpha2\\budget plan.txt", "beta plan");
    AddFile("Invoices 2026\\march invoice.pdf", "%PDF-1.4 binary");
    AddFile("Invoices 2026\\cache.tmp", "");
    AddFile("misc\\report-2024.docx", "binary");
    AddFile("misc\\report-2025 final.docx", "binary");
    AddFile("misc\\Report-1999.txt", "old report");
    AddFile("misc\\r\xC3\xA9sum\xC3\xA9.txt", "Curriculum");
    AddFile("misc\\big.bin", std::string(2048, 'x'));
    AddFile("misc\\photo.JPG", "jpeg");
    AddFile("misc\\song.mp3", "mp3");
    AddFile("misc\\odd.txt", "size 1 kind gizmo modified 2026 13 45");
    // Japanese written without spaces, and a word on its own.
    AddFile("cjk\\\xE6\x97\x85\xE8\xA1\x8C.txt",
            "\xE6\x98\x8E\xE6\x97\xA5\xE3\x81\xAF\xE6\x9D\xB1\xE4\xBA\xAC\xE9\x83\xBD\xE5\xBA\x81\xE3\x81\xAB"
            "\xE8\xA1\x8C\xE3\x81\x8D\xE3\x81\xBE\xE3\x81\x99");
    AddFile("cjk\\city.txt", "\xE6\x9D\xB1\xE4\xBA\xAC is a city");
    SetFileTimes(TreePath("Projects\\Alpha\\launch plan.txt"), LocalNoon(2026, 2, 10));
    SetFileTimes(TreePath("misc\\photo.JPG"), LocalNoon(2025, 6, 1));
    SYSTEMTIME today;
    GetLocalTime(&today);
    FILETIME noon = LocalNoon(today.wYear, today.wMonth, today.wDay);
    ULARGE_INTEGER yesterday{{noon.dwLowDateTime, noon.dwHighDateTime}};
    yesterday.QuadPart -= 864000000000ULL;
    SetFileTimes(TreePath("misc\\song.mp3"), FILETIME{yesterday.LowPart, yesterday.HighPart});
    IndexTree();
    cookie_ = RegisterClient();
    ASSERT_GT(cookie_, 0);
  }

  std::vector<std::wstring> Find(const std::wstring& text, BYTE ranking = 0) {
    QueryOutcome outcome = RunQuery(cookie_, text.c_str(), L"file", ranking);
    EXPECT_EQ(S_OK, outcome.hr) << ToUtf8(text);
    return Titles(outcome.results);
  }

  LONG cookie_ = 0;
};

TEST_F(QueryLanguage, EachOperatorAndTheirCombinationsFindExactlyTheirFiles) {
  const std::wstring resume = L"r\u00e9sum\u00e9.txt";
  const std::wstring travel = L"\u65c5\u884c.txt";
  struct Case {
    std::wstring query;
    Names expected;
  };
  std::vector<Case> cases = {
      {L"plan", {L"budget plan.txt", L"launch plan.txt"}},
      {L"plan OR curriculum", {L"budget plan.txt", L"launch plan.txt", resume}},
      {L"curriculum | gizmo", {L"odd.txt", resume}},
      {L"(alpha OR beta) plan", {L"budget plan.txt", L"launch plan.txt"}},
      {L"plan -(alpha OR launch)", {L"budget plan.txt"}},
      {L"plan -launch -beta", {}},
      {L"name:report*", {L"Report-1999.txt", L"report-2024.docx", L"report-2025 final.docx"}},
      {L"name:report-202?.*", {L"report-2024.docx"}},
      {L"name:*.tmp", {L"cache.tmp"}},
      {L"name:\"report-2025 final\"", {L"report-2025 final.docx"}},
      {L"name:report old", {L"Report-1999.txt"}},
      {L"name:plan -name:budget", {L"launch plan.txt"}},
      {L"path:invoices", {L"cache.tmp", L"march invoice.pdf"}},
      {L"path:alpha", {L"budget plan.txt", L"launch plan.txt"}},
      {L"folder:\"" + TreePath("Projects\\Alpha") + L"\"", {L"launch plan.txt"}},
      {L"folder:" + TreePath("Invoices 2026") + L"\\ -ext:tmp", {}},  // a path with a space must be quoted
      {L"size:empty", {L"cache.tmp"}},
      {L"size:>1kb", {L"big.bin"}},
      {L"size:1kb..3KB", {L"big.bin"}},
      {L"size:<2 -size:empty", {}},
      {L"modified:2026-02-10", {L"launch plan.txt"}},
      {L"modified:2025-06-01..2026-02-10", {L"launch plan.txt", L"photo.JPG"}},
      {L"modified:<2026-01-01", {L"photo.JPG"}},
      {L"modified:yesterday", {L"song.mp3"}},
      {L"created:2025", {L"photo.JPG"}},
      {L"ext:mp3", {L"song.mp3"}},
      {L"kind:picture", {L"photo.JPG"}},
      {L"kind:document", {L"march invoice.pdf", L"report-2024.docx", L"report-2025 final.docx"}},
      {L"kind:music OR kind:picture", {L"photo.JPG", L"song.mp3"}},
      {L"kind:document -name:report", {L"march invoice.pdf"}},
      {L"kind:document -report", {L"march invoice.pdf"}},
      {L"plan (size:>5 OR modified:2026-02-10)", {L"budget plan.txt", L"launch plan.txt"}},
      {L"plan (ext:pdf OR modified:2026-02-10)", {L"launch plan.txt"}},
      {L"resume", {resume}},
      {L"R\u00c9SUM\u00c9", {resume}},
      {L"\u6771\u4eac\u90fd", {travel}},
      {L"\u884c\u304d\u307e\u3059", {travel}},
      {L"\u6771\u4eac", {L"city.txt"}},
      {L"\u65c5\u884c", {travel}},
      // Read literally.
      {L"size:>>1", {L"odd.txt"}},
      {L"kind:gizmo", {L"odd.txt"}},
      {L"modified:2026-13-45", {L"odd.txt"}},
      {L"(gizmo", {L"odd.txt"}},
      {L"gizmo OR", {}},
      // Nothing reaches SQL or full-text syntax.
      {L"\"a\" OR 1=1; --", {L"city.txt"}},
      {L"NEAR(", {}},
      {L"col:x", {}},
      {L"*", {}},
      {L"^", {}},
      {L"ext:') OR 1=1 --", {}},
      {L"name:\"x\") OR (1=1", {}},
  };
  for (const Case& c : cases) EXPECT_EQ(Sorted(c.expected), Sorted(Find(c.query))) << ToUtf8(c.query);
}

TEST_F(QueryLanguage, LettersTypedWithoutTheirStrokeOrLigatureFindNamesAndText) {
  AddFile("folded\\Troms\xc3\xb8.txt", "x");
  AddFile("folded\\Gr\xc3\xbc\xc3\x9f" "e.txt", "x");
  AddFile("folded\\\xc5\x81\xc3\xb3" "d\xc5\xba.txt", "x");
  AddFile("folded\\\xc3\x86" "ble.txt", "x");
  AddFile("folded\\menu.txt", "Sm\xc3\xb8rrebr\xc3\xb8" "d and \xc5\x93uvre, \xc3\x9eing, D\xc3\xb0r, \xc4\x90" "ak, "
          "d\xc4\xb1zzy, STRA\xe1\xba\x9e" "E");
  IndexAgain();
  const std::wstring menu = L"menu.txt";
  struct Case {
    std::wstring query;
    Names expected;
  };
  std::vector<Case> cases = {
      {L"tromso", {L"Troms\u00f8.txt"}},
      {L"TROMSO", {L"Troms\u00f8.txt"}},
      {L"troms\u00d8", {L"Troms\u00f8.txt"}},
      {L"grusse", {L"Gr\u00fc\u00dfe.txt"}},
      {L"lodz", {L"\u0141\u00f3d\u017a.txt"}},
      {L"aeble", {L"\u00c6ble.txt"}},
      {L"name:AEBLE", {L"\u00c6ble.txt"}},
      // Name wildcards fold name and pattern alike.
      {L"name:tromso*", {L"Troms\u00f8.txt"}},
      {L"name:TROMSO*.txt", {L"Troms\u00f8.txt"}},
      {L"name:tr*s\u00d8.txt", {L"Troms\u00f8.txt"}},
      {L"name:troms?.*", {L"Troms\u00f8.txt"}},
      {L"name:grusse*", {L"Gr\u00fc\u00dfe.txt"}},
      {L"name:gr*sse.txt", {L"Gr\u00fc\u00dfe.txt"}},
      {L"name:*odz.txt", {L"\u0141\u00f3d\u017a.txt"}},
      {L"name:aeble.t?t", {L"\u00c6ble.txt"}},
      {L"smorrebrod", {menu}},
      {L"smorre", {menu}},
      {L"sm\u00f8rrebr\u00f8d", {menu}},
      {L"oeuvre", {menu}},
      {L"thing", {menu}},
      {L"ddr", {menu}},
      {L"dak", {menu}},
      {L"dizzy", {menu}},
      {L"strasse", {menu}},
      {L"\"smorrebrod and oeuvre\"", {menu}},
  };
  for (const Case& c : cases) EXPECT_EQ(Sorted(c.expected), Sorted(Find(c.query))) << ToUtf8(c.query);
}

TEST_F(QueryLanguage, RelevanceRanksPhrasesInNamesFirstAndRecencyNewestFirst) {
  AddFile("ranked\\annual report.txt", "x");
  AddFile("ranked\\report for annual.txt", "y");
  AddFile("ranked\\minutes.txt", "the annual report was read");
  AddFile("ranked\\scattered.txt", "annual figures; the report later");
  IndexAgain();
  EXPECT_EQ(Names({L"annual report.txt", L"report for annual.txt", L"minutes.txt", L"scattered.txt"}),
            Find(L"annual report"));
  EXPECT_EQ(Names({L"launch plan.txt", L"photo.JPG"}), Find(L"modified:<2026-03-01", 0));
  EXPECT_EQ(Names({L"launch plan.txt", L"photo.JPG"}), Find(L"modified:<2026-03-01", 1));
}

}  // namespace
}  // namespace qv::service::test
