#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "runtime/LiveObjects.h"
#include "common/Text.h"
#include "pidl/CPidlManager.h"
#include "shellfolder/CEnumIDList.h"
#include "support/SearchServiceFixture.h"
#include "support/TestItemList.h"

namespace qv::test {
namespace {

constexpr SHCONTF kBoth = SHCONTF_FOLDERS | SHCONTF_NONFOLDERS;

class EnumIDList : public SearchServiceTest {
 protected:
  EnumIDList() {
    UseDocument(
        "<root name='root'>"
        "<folder name='Work' query='' category='file'>"
        "<folder name='Invoices' query='invoice'/><!-- notes --><folder name='Letters' query='letter'/>"
        "</folder>"
        "<folder name='Everything' query='budget' category='' maxResults='0'/>"
        "<folder name='Files' query='budget' category='file' maxResults='2'/>"
        "<folder name='Mail' query='budget' category='email' maxResults='-1'/>"
        "<folder name='Three' query='budget' maxResults='3'/>"
        "</root>");
  }

  static TestItemList Folder(std::initializer_list<std::string> names) {
    TestItemList list;
    list.Root();
    for (const std::string& name : names) list.Folder(name);
    return list;
  }
  ComPtr<CEnumIDList> Enumerate(const TestItemList& list, SHCONTF flags = kBoth) {
    ComPtr<CEnumIDList> enumerator;
    EXPECT_EQ(S_OK, CEnumIDList::Create(list.Get(), flags, enumerator));
    return enumerator;
  }
  // The names of every item the enumerator still hands out, one at a time.
  static std::vector<std::string> NamesOf(CEnumIDList* enumerator) {
    std::vector<std::string> names;
    PITEMID_CHILD item = nullptr;
    while (enumerator->Next(1, &item, nullptr) == S_OK) {
      char name[kNameSize] = {};
      CPidlManager::GetName(item, name, sizeof name);
      names.push_back(name);
      ThePidlManager()->Free(item);
    }
    return names;
  }
  std::wstring ExistingFile(const std::string& name) {
    WriteFileText(dir_.File(name), "x");
    return ToWide(dir_.File(name).c_str());
  }
  // Results 1 to count, each an existing file named r<n>.txt titled "R<n>".
  void AddFileResults(int count) {
    for (int n = 1; n <= count; ++n) {
      stub_.AddResult(ExistingFile("r" + std::to_string(n) + ".txt"), L"R" + std::to_wstring(n));
    }
  }
};

using NameList = std::vector<std::string>;

TEST_F(EnumIDList, RootListsItsTopLevelFoldersAndNeverSearches) {
  auto enumerator = Enumerate(Folder({}));
  ASSERT_TRUE(enumerator);
  EXPECT_EQ((NameList{"Work", "Everything", "Files", "Mail", "Three"}), NamesOf(enumerator.Get()));
  EXPECT_EQ(5u, enumerator->FolderCount());
  EXPECT_EQ(0u, enumerator->ResultCount());
  EXPECT_EQ(0, stub_.CallCount(kStubCreateQueryApi));
}

TEST_F(EnumIDList, SubfoldersComeFirstThenResultsInTheServicesOrder) {
  UseDocument("<root name='root'><folder name='A' query='x'><folder name='S2'/><folder name='S1'/></folder></root>");
  stub_.AddResult(ExistingFile("b.txt"), L"Second");
  stub_.AddResult(L"mailbox:17", L"First");
  auto enumerator = Enumerate(Folder({"A"}));
  ASSERT_TRUE(enumerator);
  EXPECT_EQ((NameList{"S2", "S1", "Second", "First"}), NamesOf(enumerator.Get()));
  EXPECT_EQ(2u, enumerator->FolderCount());
  EXPECT_EQ(2u, enumerator->ResultCount());
  EXPECT_STREQ(L"x", stub_.Queries().at(0).searchString);
}

TEST_F(EnumIDList, CommentsInTheDocumentAreNotFolders) {
  auto enumerator = Enumerate(Folder({"Work"}), SHCONTF_FOLDERS);
  EXPECT_EQ((NameList{"Invoices", "Letters"}), NamesOf(enumerator.Get()));
  EXPECT_EQ(2u, enumerator->FolderCount());
}

TEST_F(EnumIDList, EmptyQueryWithSubfoldersListsOnlyTheSubfolders) {
  AddFileResults(2);
  auto enumerator = Enumerate(Folder({"Work"}));
  EXPECT_EQ((NameList{"Invoices", "Letters"}), NamesOf(enumerator.Get()));
  EXPECT_EQ(0u, stub_.Queries().size());
}

TEST_F(EnumIDList, EmptyQueryAskedForResultsAloneSearchesForTheFoldersName) {
  AddFileResults(2);
  auto enumerator = Enumerate(Folder({"Work"}), SHCONTF_NONFOLDERS);
  EXPECT_EQ((NameList{"R1", "R2"}), NamesOf(enumerator.Get()));
  EXPECT_EQ(0u, enumerator->FolderCount());
  ASSERT_EQ(1u, stub_.Queries().size());
  EXPECT_STREQ(L"Work", stub_.Queries()[0].searchString);
}

TEST_F(EnumIDList, MaximumLimitsTheResultsAndZeroOrNegativeSetsNoLimit) {
  AddFileResults(5);
  EXPECT_EQ(3u, Enumerate(Folder({"Three"}))->ResultCount());
  EXPECT_EQ(5u, Enumerate(Folder({"Everything"}))->ResultCount());
  EXPECT_EQ(5u, Enumerate(Folder({"Mail"}))->ResultCount());
}

TEST_F(EnumIDList, FileFoldersLeaveOutWhatIsNoExistingFileWithoutCountingIt) {
  stub_.AddResult(L"mailbox:1", L"Mail one");
  stub_.AddResult(ExistingFile("a.txt"), L"A");
  stub_.AddResult(L"http://example.invalid/x", L"Page");
  stub_.AddResult(ExistingFile("b.txt"), L"B");
  stub_.AddResult(ExistingFile("c.txt"), L"C");
  auto files = Enumerate(Folder({"Files"}));  // category "file", at most 2
  EXPECT_EQ((NameList{"A", "B"}), NamesOf(files.Get()));
  EXPECT_EQ(2u, files->ResultCount());

  auto mail = Enumerate(Folder({"Mail"}));
  EXPECT_EQ((NameList{"Mail one", "A", "Page", "B", "C"}), NamesOf(mail.Get()));
  auto everything = Enumerate(Folder({"Everything"}));  // "all": searched as "file", listed whole
  EXPECT_EQ(5u, everything->ResultCount());
  EXPECT_STREQ(L"file", stub_.Queries().back().category);
}

TEST_F(EnumIDList, FileFolderOfManyFilesInOneDirectoryKeepsTheServicesOrderLessTheMissing) {
  UseDocument(
      "<root name='root'><folder name='Many' query='x' category='file' maxResults='0'/>"
      "<folder name='Five' query='x' category='file' maxResults='5'/></root>");
  // Newest first: r40 ... r1, with two of them gone and one that is a directory.
  AddFileResults(40);
  std::vector<std::wstring> paths;
  for (int n = 40; n >= 1; --n) paths.push_back(ToWide(dir_.File("r" + std::to_string(n) + ".txt")));
  stub_.Reset();
  for (const std::wstring& path : paths) stub_.AddResult(path, L"");
  DeleteFileW(paths[1].c_str());
  DeleteFileW(paths[2].c_str());
  DeleteFileW(paths[5].c_str());
  CreateDirectoryW(paths[5].c_str(), nullptr);
  NameList expected;
  for (int n = 40; n >= 1; --n) {
    if (n != 39 && n != 38 && n != 35) expected.push_back("r" + std::to_string(n) + ".txt");
  }
  auto many = Enumerate(Folder({"Many"}));
  EXPECT_EQ(expected, NamesOf(many.Get()));
  EXPECT_EQ(expected.size(), many->ResultCount());
  auto five = Enumerate(Folder({"Five"}));
  EXPECT_EQ(NameList(expected.begin(), expected.begin() + 5), NamesOf(five.Get()));
}

TEST_F(EnumIDList, ResultItemsReachTheirFiles) {
  AddFileResults(1);
  auto enumerator = Enumerate(Folder({"Everything"}));
  PITEMID_CHILD item = nullptr;
  ASSERT_EQ(S_OK, enumerator->Next(1, &item, nullptr));
  ASSERT_TRUE(CPidlManager::GetResultRecord(item));
  EXPECT_EQ(dir_.File("r1.txt"), CPidlManager::ResultPath(item));
  EXPECT_TRUE(ThePidlManager()->GetFileIdList(item));
  ThePidlManager()->Free(item);
}

TEST_F(EnumIDList, NextHandsOutWhatRemainsAndSaysWhenItRanShort) {
  AddFileResults(2);
  auto enumerator = Enumerate(Folder({"Everything"}));
  PITEMID_CHILD items[5] = {};
  ULONG fetched = 99;
  EXPECT_EQ(E_INVALIDARG, enumerator->Next(2, items, nullptr));
  EXPECT_EQ(S_OK, enumerator->Next(0, items, &fetched));
  EXPECT_EQ(0u, fetched);
  EXPECT_EQ(S_FALSE, enumerator->Next(5, items, &fetched));
  ASSERT_EQ(2u, fetched);
  for (ULONG i = 0; i < fetched; ++i) {
    // One item each, whole: the item's own size plus the list's terminator.
    EXPECT_EQ(items[i]->mkid.cb + kListOverhead, CPidlManager::GetSize(items[i]));
    EXPECT_EQ(ItemKind::Result, CPidlManager::KindOf(items[i]));
    ThePidlManager()->Free(items[i]);
  }
  EXPECT_EQ(S_FALSE, enumerator->Next(5, items, &fetched));
  EXPECT_EQ(0u, fetched);
}

TEST_F(EnumIDList, SkipStopsAtTheEndAndResetStartsAgain) {
  auto enumerator = Enumerate(Folder({"Work"}));
  EXPECT_EQ(S_OK, enumerator->Skip(2));  // exactly what remains
  EXPECT_EQ(S_FALSE, enumerator->Skip(1));
  EXPECT_TRUE(NamesOf(enumerator.Get()).empty());
  EXPECT_EQ(S_OK, enumerator->Reset());
  EXPECT_EQ(S_OK, enumerator->Skip(1));
  EXPECT_EQ(NameList{"Letters"}, NamesOf(enumerator.Get()));
  enumerator->Reset();
  EXPECT_EQ(S_FALSE, enumerator->Skip(7));
  EXPECT_TRUE(NamesOf(enumerator.Get()).empty());
}

TEST_F(EnumIDList, CloneIsNotSupported) {
  auto enumerator = Enumerate(Folder({"Work"}));
  IEnumIDList* copy = reinterpret_cast<IEnumIDList*>(1);
  EXPECT_EQ(E_NOTIMPL, enumerator->Clone(&copy));
  EXPECT_EQ(nullptr, copy);
}

TEST_F(EnumIDList, AnswersOnlyItsOwnInterfaces) {
  auto enumerator = Enumerate(Folder({"Work"}));
  auto unknown = enumerator.As<IUnknown>();
  auto asEnum = enumerator.As<IEnumIDList>();
  ASSERT_TRUE(unknown && asEnum);
  EXPECT_EQ(static_cast<void*>(unknown.Get()), static_cast<void*>(asEnum.Get()));
  EXPECT_FALSE(enumerator.As<IShellFolder>());
}

TEST_F(EnumIDList, FolderMissingFromTheDocumentIsEmpty) {
  auto enumerator = Enumerate(Folder({"Work", "Nowhere"}));
  ASSERT_TRUE(enumerator);
  EXPECT_TRUE(NamesOf(enumerator.Get()).empty());
  EXPECT_EQ(0u, stub_.Queries().size());
}

TEST_F(EnumIDList, ServiceFailingWhileResultsAreReadKeepsWhatCameSoFar) {
  const std::pair<StubCall, NameList> cases[] = {
      {kStubNext, {"R1", "R2"}},  // the third "next" fails
      {kStubUri, {"R1", "R2"}},   // the third result's path cannot be read
      {kStubReadyState, {}},      // the result set fails while it is awaited
  };
  for (const auto& [call, expected] : cases) {
    stub_.Reset();
    AddFileResults(4);
    stub_.SetReadyStates({3, 3, 2});
    stub_.ScriptCall(call, E_UNEXPECTED, 2, 1);
    ComPtr<CEnumIDList> enumerator = Enumerate(Folder({"Everything"}));
    ASSERT_TRUE(enumerator) << call;
    EXPECT_EQ(expected, NamesOf(enumerator.Get())) << call;
    EXPECT_EQ(expected.size(), enumerator->ResultCount()) << call;
    EXPECT_EQ(0, stub_.LiveObjects()) << call;
  }
}

TEST_F(EnumIDList, MissingServiceLeavesTheSubfolders) {
  UseDocument("<root name='root'><folder name='A' query='x'><folder name='S'/></folder></root>");
  stub_.Uninstall();
  EXPECT_EQ(NameList{"S"}, NamesOf(Enumerate(Folder({"A"})).Get()));
}

TEST_F(EnumIDList, LiveEnumeratorKeepsTheModuleLoaded) {
  AddFileResults(3);
  LONG before = LiveObjectTotal();
  {
    auto enumerator = Enumerate(Folder({"Everything"}));
    EXPECT_EQ(before + 1, LiveObjectTotal());
    EXPECT_EQ(1, LiveObjectCount(LiveClass::EnumIDList));
    EXPECT_EQ(S_FALSE, CanUnloadNow());
    EXPECT_EQ(0, stub_.LiveObjects());  // the result set and its results are released
  }
  EXPECT_EQ(before, LiveObjectTotal());
  EXPECT_EQ(S_OK, CanUnloadNow());
}

TEST(EnumIDListWithoutModule, RefusesWithoutTheModuleObjects) {
  LONG before = LiveObjectTotal();
  TestItemList root;
  root.Root();
  ComPtr<CEnumIDList> enumerator;
  EXPECT_EQ(E_OUTOFMEMORY, CEnumIDList::Create(root.Get(), kBoth, enumerator));
  EXPECT_FALSE(enumerator);
  EXPECT_EQ(before, LiveObjectTotal());
}

}  // namespace
}  // namespace qv::test
