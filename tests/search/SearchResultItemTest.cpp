#include <gtest/gtest.h>

#include <string>

#include "module/Text.h"
#include "pidl/CPidlManager.h"
#include "pidl/RecordText.h"
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
  ResultRecord RecordOf(const std::wstring& uri, const std::wstring& title) {
    stub_.Reset();
    stub_.AddResult(uri, title);
    return Fill();
  }
  ResultRecord Fill() {
    ResultRecord record;
    std::memset(&record, 0xCC, sizeof record);
    auto result = FirstResult();
    EXPECT_TRUE(result);
    if (result) FillResultRecord(result.Get(), record, ThePidlManager());
    return record;
  }
  std::wstring ExistingFile(const std::string& name) {
    WriteFileText(dir_.File(name), "x");
    return ToWide(dir_.File(name).c_str());
  }
};

TEST_F(SearchResultItem, TitleNamesTheResultAndUriIsItsPath) {
  std::wstring path = ExistingFile("report.txt");
  ResultRecord record = RecordOf(path, L"Quarterly report");
  EXPECT_EQ(kResultKind, record.kind);
  EXPECT_EQ("Quarterly report", FieldText(record.name));
  EXPECT_EQ(ToAnsi(path.c_str()), FieldText(record.filePath));
  EXPECT_NE(0u, record.fileIdList);
  // Every byte no field uses is zero.
  EXPECT_EQ(0, record.reserved);
  EXPECT_EQ(0, record.rest[0]);
  EXPECT_EQ(0, record.name[sizeof record.name - 1]);
  EXPECT_EQ(0, record.filePath[sizeof record.filePath - 1]);
}

TEST_F(SearchResultItem, UnhelpfulTitlesFallBackToTheFileName) {
  std::wstring path = ExistingFile("notes.txt");
  EXPECT_EQ("notes.txt", FieldText(RecordOf(path, path).name)) << "title equal to the path";
  EXPECT_EQ("notes.txt", FieldText(RecordOf(path, L"C:\\elsewhere\\x.txt").name)) << "drive path";
  EXPECT_EQ("notes.txt", FieldText(RecordOf(path, L"").name)) << "empty title";
  stub_.Reset();
  stub_.AddUntitledResult(path);
  EXPECT_EQ("notes.txt", FieldText(Fill().name)) << "missing title";
  stub_.Reset();
  stub_.AddResult(path, L"Fine title");
  stub_.ScriptCall(kStubTitle, E_FAIL);
  EXPECT_EQ("notes.txt", FieldText(Fill().name)) << "failing title";
}

TEST_F(SearchResultItem, TitleThatDiffersFromThePathOnlyInCaseIsKept) {
  ResultRecord record = RecordOf(L"\\\\server\\share\\Case.txt", L"\\\\SERVER\\SHARE\\CASE.TXT");
  EXPECT_EQ("\\\\SERVER\\SHARE\\CASE.TXT", FieldText(record.name));
}

TEST_F(SearchResultItem, PathWithoutBackslashIsShownWhole) {
  ResultRecord record = RecordOf(L"mailbox:message-17", L"mailbox:message-17");
  EXPECT_EQ("mailbox:message-17", FieldText(record.name));
  EXPECT_EQ(0u, record.fileIdList);
}

TEST_F(SearchResultItem, LongNamesAndPathsAreCutToTheirFields) {
  std::string longName(60, 'a');
  std::wstring path = L"C:\\data\\" + ToWide(longName.c_str()) + L".txt";
  ResultRecord record = RecordOf(path, path);
  EXPECT_EQ(longName.substr(0, 49), FieldText(record.name));

  std::wstring longPath = L"C:\\" + std::wstring(300, L'p');
  record = RecordOf(longPath, L"Long");
  EXPECT_EQ(259u, FieldText(record.filePath).size());
  EXPECT_EQ("Long", FieldText(record.name));
}

TEST_F(SearchResultItem, NonFilePathStillBecomesAnItemWithoutShellList) {
  ResultRecord record = RecordOf(L"http://example.invalid/page", L"A web page");
  EXPECT_EQ("A web page", FieldText(record.name));
  EXPECT_EQ(0u, record.fileIdList);
}

TEST_F(SearchResultItem, FailingUriIsRaisedWithTheResultsInterface) {
  stub_.AddResult(L"C:\\a.txt", L"a");
  stub_.ScriptCall(kStubUri, E_ACCESSDENIED);
  auto result = FirstResult();
  ASSERT_TRUE(result);
  ResultRecord record;
  try {
    FillResultRecord(result.Get(), record, ThePidlManager());
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
  EXPECT_EQ(kItemSize + kListOverhead, CPidlManager::GetSize(item));
  const ResultRecord* record = CPidlManager::GetResultRecord(item);
  ASSERT_TRUE(record);
  EXPECT_EQ("Item", FieldText(record->name));
  EXPECT_TRUE(ThePidlManager()->GetFileIdList(item));
  ThePidlManager()->Free(item);
}

}  // namespace
}  // namespace qv::test
