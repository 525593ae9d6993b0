#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/Text.h"
#include "search/RegistrationCookie.h"
#include "search/ResultFeed.h"
#include "search/SearchQuery.h"
#include "support/SearchServiceFixture.h"
#include "support/TestItemList.h"

namespace qv::test {
namespace {

class SearchQuery : public SearchServiceTest {
 protected:
  static FolderSettings Folder(const std::string& name, const std::string& query, const std::string& category = {},
                               int rankByRecency = 0, int maxResults = kDefaultMaxResults) {
    FolderSettings record = MakeFolderRecord(name, query, category, maxResults);
    record.rankByRecency = rankByRecency;
    return record;
  }
  StubQuery OnlyQuery() const {
    auto queries = stub_.Queries();
    EXPECT_EQ(1u, queries.size());
    return queries.empty() ? StubQuery{} : queries.front();
  }
  // Runs ExecuteQuery with "report" in the category "file".
  ComPtr<IDesktopSearchResultSet> Execute(LONG maxResults, HRESULT& status) {
    Bstr search(L"report"), category(L"file");
    return ExecuteQuery(search.Get(), category.Get(), 0, maxResults, status);
  }
  ComPtr<IDesktopSearchResultSet> Execute(LONG maxResults) {
    HRESULT status = S_OK;
    return Execute(maxResults, status);
  }
};

TEST_F(SearchQuery, SendsTheStoredSearchStringCategoryAndRanking) {
  SetRegistrationCookie(31);
  auto results = RunSearchQuery(Folder("Reports", "quarterly filetype:pdf", "email", 1), false);
  EXPECT_TRUE(results);
  StubQuery sent = OnlyQuery();
  EXPECT_EQ(31, sent.cookie);
  EXPECT_STREQ(L"quarterly filetype:pdf", sent.searchString);
  EXPECT_EQ(VT_BSTR, sent.categoryType);
  EXPECT_STREQ(L"email", sent.category);
  EXPECT_EQ(VT_UI1, sent.rankingType);
  EXPECT_EQ(1, sent.ranking);
}

TEST_F(SearchQuery, RelevanceIsSentAsTheByteZero) {
  RunSearchQuery(Folder("Reports", "x", "web", 0), false);
  StubQuery sent = OnlyQuery();
  EXPECT_EQ(VT_UI1, sent.rankingType);
  EXPECT_EQ(0, sent.ranking);
}

TEST_F(SearchQuery, CategoryAllStoredEmptyIsSentAsFile) {
  RunSearchQuery(Folder("Everything", "budget", ""), false);
  StubQuery sent = OnlyQuery();
  EXPECT_EQ(VT_BSTR, sent.categoryType);
  EXPECT_STREQ(L"file", sent.category);
}

TEST_F(SearchQuery, EmptySearchStringInAFolderWithSubfoldersSendsNothing) {
  EXPECT_FALSE(RunSearchQuery(Folder("Projects", ""), true));
  EXPECT_EQ(0u, stub_.Queries().size());
  EXPECT_EQ(0, stub_.CallCount(kStubCreateQueryApi));
}

TEST_F(SearchQuery, EmptySearchStringInAFolderWithoutSubfoldersSearchesForItsName) {
  EXPECT_TRUE(RunSearchQuery(Folder("Invoices", ""), false));
  EXPECT_STREQ(L"Invoices", OnlyQuery().searchString);
}

// Every character goes to the service: no code page, no field size between.
TEST_F(SearchQuery, SearchStringsInEveryScriptAreSentWhole) {
  std::string query = std::string(230, 'q') + " \xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E \xD0\x9E\xD1\x82 \xF0\x9F\x98\x80";
  RunSearchQuery(Folder("x", query, std::string(30, 'c')), false);
  StubQuery sent = OnlyQuery();
  EXPECT_EQ(ToWide(query), sent.searchString);
  EXPECT_EQ(std::wstring(30, L'c'), sent.category);
}

TEST_F(SearchQuery, MissingCategoryIsSentAsAMissingOptionalArgument) {
  Bstr search(L"notes");
  HRESULT status = E_FAIL;
  EXPECT_TRUE(ExecuteQuery(search.Get(), nullptr, 1, 0, status));
  EXPECT_EQ(S_OK, status);
  StubQuery sent = OnlyQuery();
  EXPECT_EQ(VT_ERROR, sent.categoryType);
  EXPECT_EQ(DISP_E_PARAMNOTFOUND, sent.categoryError);
}

TEST_F(SearchQuery, EveryQueryReadsTheCookieAfresh) {
  SetRegistrationCookie(7);
  Execute(0);
  SetRegistrationCookie(8);
  Execute(0);
  auto queries = stub_.Queries();
  ASSERT_EQ(2u, queries.size());
  EXPECT_EQ(7, queries[0].cookie);
  EXPECT_EQ(8, queries[1].cookie);
}

TEST_F(SearchQuery, LostRegistrationIsRenewedAndTheQueryRepeatedWithTheNewCookie) {
  SetRegistrationCookie(3);
  stub_.SetNextCookie(50);
  stub_.ScriptCall(kStubQuery, kRegistrationLost, 0, 1);
  EXPECT_TRUE(RunSearchQuery(Folder("Reports", "budget"), false));
  auto queries = stub_.Queries();
  ASSERT_EQ(2u, queries.size());
  EXPECT_EQ(3, queries[0].cookie);
  EXPECT_EQ(50, queries[1].cookie);
  EXPECT_STREQ(L"budget", queries[1].searchString);
  EXPECT_EQ(1, stub_.CallCount(kStubUnregister));
  EXPECT_EQ(50, RegistrationCookie());
  EXPECT_EQ("50", CookieFileText());
}

TEST_F(SearchQuery, LostRegistrationIsRenewedOnlyOncePerQuery) {
  stub_.ScriptCall(kStubQuery, kRegistrationLost);
  EXPECT_FALSE(RunSearchQuery(Folder("Reports", "budget"), false));
  EXPECT_EQ(2u, stub_.Queries().size());
  EXPECT_EQ(1, stub_.IssuedCookieCount());
}

TEST_F(SearchQuery, LostRegistrationThatCannotBeRenewedGivesNoResults) {
  stub_.ScriptCall(kStubQuery, kRegistrationLost);
  stub_.ScriptCall(kStubStartRegistration, E_FAIL);
  EXPECT_FALSE(RunSearchQuery(Folder("Reports", "budget"), false));
  EXPECT_EQ(1u, stub_.Queries().size());
}

TEST_F(SearchQuery, OtherRefusalsAreNotRetried) {
  stub_.ScriptCall(kStubQuery, E_FAIL);
  EXPECT_FALSE(RunSearchQuery(Folder("Reports", "budget"), false));
  stub_.ScriptCall(kStubQuery, S_OK);  // success without a result set
  EXPECT_FALSE(RunSearchQuery(Folder("Reports", "budget"), false));
  EXPECT_EQ(2u, stub_.Queries().size());
  EXPECT_EQ(0, stub_.CallCount(kStubCreateRegistrar));
  EXPECT_EQ(0, stub_.LiveObjects());
}

TEST_F(SearchQuery, MissingServiceGivesNoResultSetAndNoRegistration) {
  stub_.Uninstall();
  HRESULT status = S_OK;
  EXPECT_FALSE(Execute(0, status));
  EXPECT_TRUE(FAILED(status));
  EXPECT_FALSE(RunSearchQuery(Folder("Reports", "budget"), false));
  EXPECT_EQ(0, stub_.CallCount(kStubCreateRegistrar));
}

TEST_F(SearchQuery, StatusCarriesTheQueryCallsResult) {
  stub_.ScriptCall(kStubQuery, E_ACCESSDENIED);
  HRESULT status = S_OK;
  EXPECT_FALSE(Execute(0, status));
  EXPECT_EQ(E_ACCESSDENIED, status);
}

TEST_F(SearchQuery, OnlyTheResultSetOutlivesTheQuery) {
  {
    auto results = Execute(0);
    ASSERT_TRUE(results);
    EXPECT_EQ(1, stub_.LiveObjects());
  }
  EXPECT_EQ(0, stub_.LiveObjects());
}

TEST_F(SearchQuery, CompleteStateEndsTheWaitAtOnce) {
  stub_.SetReadyStates({2});
  Execute(10);
  EXPECT_EQ(1, stub_.CallCount(kStubReadyState));
  EXPECT_EQ(0, stub_.CallCount(kStubAvailableCount));
}

TEST_F(SearchQuery, AnyStateButSearchingOnTheSecondLookEndsTheWait) {
  stub_.SetReadyStates({3, 1});
  Execute(10);
  EXPECT_EQ(2, stub_.CallCount(kStubReadyState));
  EXPECT_EQ(0, stub_.CallCount(kStubAvailableCount));
}

TEST_F(SearchQuery, EnoughAvailableResultsEndTheWait) {
  stub_.SetReadyStates({3});
  stub_.SetAvailableCounts({0, 2, 3, 9});
  Execute(3);
  EXPECT_EQ(3, stub_.CallCount(kStubAvailableCount));
  EXPECT_EQ(6, stub_.CallCount(kStubReadyState));
}

TEST_F(SearchQuery, WithoutAMaximumOnlyTheStateEndsTheWait) {
  for (LONG maxResults : {0, -4}) {
    stub_.Reset();
    stub_.SetReadyStates({3, 3, 3, 3, 3, 2});
    stub_.SetAvailableCounts({1000});
    Execute(maxResults);
    EXPECT_EQ(0, stub_.CallCount(kStubAvailableCount)) << maxResults;
    EXPECT_EQ(6, stub_.CallCount(kStubReadyState)) << maxResults;
  }
}

TEST_F(SearchQuery, SearchThatNeverEndsIsAbandonedAfterTheWaitLimit) {
  stub_.SetReadyStates({3});
  stub_.SetAvailableCounts({0});
  ULONGLONG started = GetTickCount64();
  EXPECT_TRUE(Execute(0));
  ULONGLONG waited = GetTickCount64() - started;
  EXPECT_GE(waited, kResultWaitLimitMs - 50);
  // The looks are paced: two state reads per pause at most.
  EXPECT_LE(stub_.CallCount(kStubReadyState), static_cast<int>(2 * (kResultWaitLimitMs / kResultPollIntervalMs) + 2));
}

TEST_F(SearchQuery, FailingResultSetIsRaisedWithItsInterface) {
  for (StubCall call : {kStubReadyState, kStubAvailableCount}) {
    stub_.Reset();
    stub_.SetReadyStates({3});
    stub_.ScriptCall(call, E_UNEXPECTED);
    try {
      Execute(5);
      ADD_FAILURE() << "no error for " << call;
    } catch (const ComError& error) {
      EXPECT_EQ(E_UNEXPECTED, error.Result());
      EXPECT_TRUE(IsEqualIID(__uuidof(IDesktopSearchResultSet), error.Interface()));
    }
    EXPECT_EQ(0, stub_.LiveObjects());
  }
}


// A "file" folder's feed hands its results over in batches no larger than
// asked, the first as small as the caller wants, in exactly the service's
// order, the files gone left out, until the answer is complete.
TEST_F(SearchQuery, FeedTakesBatchesAsSmallAsAskedInTheServicesOrder) {
  std::string directory = dir_.File("many");
  MakeDirectory(directory);
  std::vector<std::string> expected;
  for (int i = 0; i < 300; ++i) {
    std::string path = directory + "\\r" + std::to_string(i) + ".txt";
    // Every seventh result names no file.
    if (i % 7 != 3) {
      WriteFileText(path, "x");
      expected.push_back(path);
    }
    stub_.AddResult(ToWide(path), L"");
  }
  SearchRequest request{L"report", L"file", 0, 0};
  ResultFeed feed(request);
  std::vector<SearchResultText> taken;
  std::size_t most = 16;
  std::size_t batches = 0;
  for (ResultFeed::Progress progress = ResultFeed::Progress::More; progress != ResultFeed::Progress::Complete;) {
    std::vector<SearchResultText> batch;
    progress = feed.Take(batch, 1000, most);
    EXPECT_LE(batch.size(), most);
    taken.insert(taken.end(), batch.begin(), batch.end());
    most = 50;
    ASSERT_LT(++batches, 100u);
  }
  EXPECT_GE(batches, 6u);
  EXPECT_FALSE(feed.Failed());
  ASSERT_EQ(expected.size(), taken.size());
  for (std::size_t i = 0; i < expected.size(); ++i) EXPECT_EQ(expected[i], taken[i].path) << i;
}

}  // namespace
}  // namespace qv::test
