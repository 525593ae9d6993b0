#include <gtest/gtest.h>

#include <string>

#include "common/Text.h"
#include "pidl/CPidlManager.h"
#include "search/SearchQuery.h"
#include "search/SearchResultItem.h"
#include "support/SearchServiceFixture.h"

namespace qv::test {
namespace {

class SearchResultItem : public SearchServiceTest {
 protected:
  // The first result of a query the stand-in answers with its scripted results.
  ComPtr<IDesktopSearchResult> FirstResult() {
    Bstr search(L"anything"), category(L"file");
    HRESULT status = S_OK;
    auto results = ExecuteQuery(search.Get(), category.Get(), 0, 0, status);
    ComPtr<IDesktopSearchResult> result;
    if (results) results->Next(result.Put());
    return result;
  }
  SearchResultText RecordOf(const std::wstring& uri, const std::wstring& title) {
    stub_.Reset();
    stub_.AddResult(uri, title);
    return Fill();
  }
  SearchResultText Fill() {
    auto result = FirstResult();
    EXPECT_TRUE(result);
    return result ? ReadSearchResult(result.Get()) : SearchResultText{};
  }
  std::wstring ExistingFile(const std::string& name) {
    WriteFileText(dir_.File(name), "x");
    return ToWide(dir_.File(name).c_str());
  }
};

TEST_F(SearchResultItem, TitleNamesTheResultAndUriIsItsPath) {
  std::wstring path = ExistingFile("report.txt");
  SearchResultText record = RecordOf(path, L"Quarterly report");
  EXPECT_EQ("Quarterly report", record.name);
  EXPECT_EQ(ToUtf8(path), record.path);
}

TEST_F(SearchResultItem, UnhelpfulTitlesFallBackToTheFileName) {
  std::wstring path = ExistingFile("notes.txt");
  EXPECT_EQ("notes.txt", RecordOf(path, path).name) << "title equal to the path";
  EXPECT_EQ("notes.txt", RecordOf(path, L"C:\\elsewhere\\x.txt").name) << "drive path";
  EXPECT_EQ("notes.txt", RecordOf(path, L"").name) << "empty title";
  stub_.Reset();
  stub_.AddUntitledResult(path);
  EXPECT_EQ("notes.txt", Fill().name) << "missing title";
  stub_.Reset();
  stub_.AddResult(path, L"Fine title");
  stub_.ScriptCall(kStubTitle, E_FAIL);
  EXPECT_EQ("notes.txt", Fill().name) << "failing title";
}

TEST_F(SearchResultItem, TitleThatDiffersFromThePathOnlyInCaseIsKept) {
  SearchResultText record = RecordOf(L"\\\\server\\share\\Case.txt", L"\\\\SERVER\\SHARE\\CASE.TXT");
  EXPECT_EQ("\\\\SERVER\\SHARE\\CASE.TXT", record.name);
}

TEST_F(SearchResultItem, NonFileResultsStillBecomeItemsWithoutShellList) {
  SearchResultText page = RecordOf(L"http://example.invalid/page", L"A web page");
  EXPECT_EQ("A web page", page.name);
  EXPECT_EQ(0u, ThePidlManager()->RegisterFilePath(page.path));
  // Falling back to the file name, a path without any backslash is shown whole.
  SearchResultText mail = RecordOf(L"mailbox:message-17", L"mailbox:message-17");
  EXPECT_EQ("mailbox:message-17", mail.name);
}

// The path is the file's identity: it is kept whole, every character and any
// length; only the title shown is cut to 49 characters (not bytes).
TEST_F(SearchResultItem, PathsAreKeptWholeAndTitlesCutByCharacters) {
  std::wstring japanese = L"\u65e5\u672c\u8a9e";
  std::wstring path = L"C:\\data\\" + std::wstring(60, L'\u65e5') + L".txt";
  SearchResultText record = RecordOf(path, path);
  EXPECT_EQ(ToUtf8(std::wstring(49, L'\u65e5')), record.name);
  EXPECT_EQ(ToUtf8(path), record.path);

  std::wstring longPath = L"C:\\" + std::wstring(300, L'p') + L"\\" + japanese + L" \U0001F600.txt";
  record = RecordOf(longPath, L"Long");
  EXPECT_EQ(ToUtf8(longPath), record.path);
  EXPECT_EQ("Long", record.name);

  // The BSTR's own length counts: text after a NUL is no part of a path.
  std::wstring withNul(L"C:\\a.txt\0C:\\b.txt", 17);
  EXPECT_EQ("C:\\a.txt", RecordOf(withNul, L"t").path);
}

TEST_F(SearchResultItem, FailingUriIsRaisedWithTheResultsInterface) {
  stub_.AddResult(L"C:\\a.txt", L"a");
  stub_.ScriptCall(kStubUri, E_ACCESSDENIED);
  auto result = FirstResult();
  ASSERT_TRUE(result);
  try {
    ReadSearchResult(result.Get());
    ADD_FAILURE() << "no error";
  } catch (const ComError& error) {
    EXPECT_EQ(E_ACCESSDENIED, error.Result());
    EXPECT_TRUE(IsEqualIID(__uuidof(IDesktopSearchResult), error.Interface()));
  }
}

TEST_F(SearchResultItem, CreateResultItemMakesAOneItemListOfKindOne) {
  std::wstring path = ExistingFile("item.txt");
  stub_.AddResult(path, L"Item");
  auto result = FirstResult();
  ASSERT_TRUE(result);
  LPITEMIDLIST item = ThePidlManager()->CreateResultItem(result.Get());
  ASSERT_TRUE(item);
  ASSERT_TRUE(CPidlManager::GetResultRecord(item));
  EXPECT_EQ("Item", CPidlManager::ItemName(item));
  EXPECT_EQ(ToUtf8(path), CPidlManager::ResultPath(item));
  EXPECT_TRUE(ThePidlManager()->GetFileIdList(item));
  ThePidlManager()->Free(item);
}

}  // namespace
}  // namespace qv::test
