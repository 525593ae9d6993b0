#include <gtest/gtest.h>

#include <shlobj.h>

#include <cstring>
#include <string>
#include <vector>

#include "common/ClassIds.h"
#include "common/ComBase.h"
#include "common/Text.h"
#include "shellfolder/IQuorvaneShellFolder.h"
#include "support/SearchStub.h"
#include "support/ServerModule.h"
#include "support/ShellFolderCalls.h"
#include "support/TestItemList.h"

namespace qv {
namespace {

using test::DisplayName;
using test::TestItemList;

constexpr char kTree[] =
    "<root name='root'>"
    "<folder name='Work' query='report'>"
    "<folder name='Reports' query='quarterly' maxResults='10'><folder name='Old'/></folder>"
    "<folder name='archive'/>"
    "</folder>"
    "<folder name='Home'/>"
    "</root>";

std::vector<std::string> Names(std::initializer_list<const char*> names) { return {names.begin(), names.end()}; }

class ShellFolderTest : public test::ServerTest {
 protected:
  void SetUp() override { WriteDocument(kTree); }

  IShellFolder* Work() {
    if (!work_) work_ = test::BindToChild(Root(), L"Work");
    return work_.Get();
  }
  void TearDown() override {
    work_.Reset();
    test::ServerTest::TearDown();
  }

  static TestItemList Item(const std::string& folderName) {
    TestItemList list;
    list.Folder(folderName);
    return list;
  }
  static TestItemList ResultItem(const std::string& name, const std::string& path) {
    TestItemList list;
    list.Result(name, path);
    return list;
  }
  SFGAOF AttributesOf(IShellFolder* folder, std::vector<LPCITEMIDLIST> items, SFGAOF asked = ~0u) {
    SFGAOF attributes = asked;
    EXPECT_EQ(S_OK, folder->GetAttributesOf(static_cast<UINT>(items.size()), items.data(), &attributes));
    return attributes;
  }

  ComPtr<IShellFolder> work_;
};

TEST_F(ShellFolderTest, BrowsesTwoLevelsDownWithSearchResults) {
  test::TempDirectory files;
  test::WriteFileText(files.File("b.txt"), "b");
  test::WriteFileText(files.File("a.txt"), "a");
  test::SearchStub stub;
  stub.AddResult(ToWide(files.File("b.txt").c_str()), L"Budget");
  stub.AddResult(ToWide(files.File("a.txt").c_str()), L"agenda");

  EXPECT_EQ(Names({"Home", "Work"}), test::SortedNames(Root(), SHCONTF_FOLDERS | SHCONTF_NONFOLDERS));
  EXPECT_TRUE(stub.Queries().empty()) << "the namespace root never searches";

  ComPtr<IShellFolder> reports = test::BindToChild(Work(), L"Reports");
  EXPECT_EQ(Names({"Old", "agenda", "Budget"}), test::SortedNames(reports.Get(), SHCONTF_FOLDERS | SHCONTF_NONFOLDERS))
      << "search folders first, then results, each in name order";
  ASSERT_EQ(1u, stub.Queries().size());

  std::vector<test::ShellList> items = test::EnumerateItems(reports.Get(), SHCONTF_FOLDERS | SHCONTF_NONFOLDERS);
  ASSERT_EQ(3u, items.size());
  EXPECT_EQ(SFGAOF{0x40400077}, AttributesOf(reports.Get(), {items[1].Get()})) << "a file-system item with a stream";
  EXPECT_EQ(SFGAOF{0x38000077}, AttributesOf(reports.Get(), {items[0].Get()})) << "Old has no sub-folders";
  EXPECT_EQ(files.File("b.txt"), DisplayName(reports.Get(), items[1].Get(), SHGDN_FORPARSING));

  LPITEMIDLIST renamed = nullptr;
  ASSERT_EQ(S_OK, reports->SetNameOf(nullptr, items[0].Get(), L"Older", SHGDN_INFOLDER, &renamed));
  test::ShellList renamedList(renamed);
  EXPECT_EQ("Older", DisplayName(reports.Get(), renamed, SHGDN_INFOLDER));
  EXPECT_EQ(Names({"Older"}), test::SortedNames(reports.Get(), SHCONTF_FOLDERS));
  EXPECT_NE(std::string::npos, DocumentText().find("Older")) << "the rename was saved";
}

// An item the shell kept (a shortcut, saved view state) and hands to a fresh
// module names the same file, with every character of its path.
TEST_F(ShellFolderTest, PersistedResultItemsResolveInAFreshModule) {
  test::TempDirectory files;
  std::string directory = files.File(std::string(200, 'd'));
  ASSERT_TRUE(test::MakeDirectory(directory));
  std::string path = directory + "\\\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E \xF0\x9F\x98\x80.txt";
  test::WriteFileText(path, "x");
  test::SearchStub stub;
  stub.AddResult(ToWide(path), L"");
  ComPtr<IShellFolder> reports = test::BindToChild(Work(), L"Reports");
  std::vector<test::ShellList> items = test::EnumerateItems(reports.Get(), SHCONTF_NONFOLDERS);
  ASSERT_EQ(1u, items.size());
  std::vector<BYTE> kept(reinterpret_cast<const BYTE*>(items[0].Get()),
                         reinterpret_cast<const BYTE*>(items[0].Get()) + ILGetSize(items[0].Get()));

  test::ServerModule fresh;
  test::WriteFileText(fresh.DocumentPath(), DocumentText());
  ComPtr<IShellFolder> root = fresh.CreateRootFolder();
  ComPtr<IShellFolder> freshReports = test::BindToChild(test::BindToChild(root.Get(), L"Work").Get(), L"Reports");
  auto item = reinterpret_cast<LPCITEMIDLIST>(kept.data());
  EXPECT_EQ(path, DisplayName(freshReports.Get(), item, SHGDN_FORPARSING));
  EXPECT_EQ("\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E \xF0\x9F\x98\x80.txt", DisplayName(freshReports.Get(), item, SHGDN_INFOLDER));
  ComPtr<IDataObject> data;
  ASSERT_EQ(S_OK, freshReports->GetUIObjectOf(nullptr, 1, &item, IID_IDataObject, nullptr, data.PutVoid()));
  FORMATETC request = {CF_HDROP, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
  STGMEDIUM medium = {};
  ASSERT_EQ(S_OK, data->GetData(&request, &medium));
  std::wstring dropped(32768, L'\0');
  dropped.resize(DragQueryFileW(static_cast<HDROP>(medium.hGlobal), 0, dropped.data(), 32768));
  ReleaseStgMedium(&medium);
  EXPECT_EQ(ToWide(path), dropped);
  data.Reset();
  freshReports.Reset();
  root.Reset();
  EXPECT_EQ(S_OK, fresh.CanUnloadNow());
}

TEST_F(ShellFolderTest, AnswersItsInterfacesWithOneIdentity) {
  ComPtr<IShellFolder> folder = ComPtr<IShellFolder>::Share(Root());
  ComPtr<IUnknown> identity = folder.As<IUnknown>();
  for (const IID* iid : {&IID_IShellFolder, &IID_IShellFolder2, &IID_IPersistFolder, &IID_IPersistFolder2,
                         &IID_IPersist, &__uuidof(IQuorvaneShellFolder)}) {
    ComPtr<IUnknown> other;
    ASSERT_EQ(S_OK, folder->QueryInterface(*iid, other.PutVoid()));
    EXPECT_EQ(identity.Get(), other.As<IUnknown>().Get());
  }
  void* none = reinterpret_cast<void*>(1);
  EXPECT_EQ(E_NOINTERFACE, folder->QueryInterface(IID_IShellIcon, &none));
  EXPECT_EQ(nullptr, none);
  CLSID classId = {};
  EXPECT_EQ(S_OK, folder.As<IPersistFolder>()->GetClassID(&classId));
  EXPECT_TRUE(IsEqualCLSID(kShellFolderClassId, classId));

  // A child knows its own place: the parent's list and the item.
  ComPtr<IPersistFolder2> work = ComPtr<IShellFolder>::Share(Work()).As<IPersistFolder2>();
  ASSERT_TRUE(work);
  LPITEMIDLIST place = nullptr;
  ASSERT_EQ(S_OK, work->GetCurFolder(&place));
  test::ShellList placeList(place);
  TestItemList root;
  root.Root();
  TestItemList expected;
  expected.Root().Folder(test::MakeFolderRecord("Work", "report"));
  ASSERT_EQ(expected.Size(), ILGetSize(place));
  EXPECT_EQ(0, std::memcmp(root.Get(), place, root.Size() - 2));
  EXPECT_EQ("Work", DisplayName(Root(), ILFindLastID(place), SHGDN_INFOLDER));
}

TEST_F(ShellFolderTest, CompareIdsReportsTheOrderAsASuccessCode) {
  TestItemList folder = Item("zeta");
  TestItemList result = ResultItem("alpha", "C:\\alpha.txt");
  HRESULT hr = Work()->CompareIDs(0, folder.Get(), result.Get());
  EXPECT_TRUE(SUCCEEDED(hr));
  EXPECT_EQ(-1, static_cast<short>(HRESULT_CODE(hr))) << "a search folder sorts before any result";
  EXPECT_EQ(1, test::CompareOrder(Work(), result.Get(), folder.Get()));

  TestItemList upper = ResultItem("Doc", "C:\\one.txt");
  TestItemList lower = ResultItem("doc", "C:\\two.txt");
  // Names equal but for case are still two items: case decides, and only then.
  EXPECT_EQ(-test::CompareOrder(Work(), upper.Get(), lower.Get()), test::CompareOrder(Work(), lower.Get(), upper.Get()));
  EXPECT_NE(0, test::CompareOrder(Work(), upper.Get(), lower.Get()));
  EXPECT_EQ(E_INVALIDARG, Work()->CompareIDs(6, upper.Get(), lower.Get())) << "the view has six columns";
  EXPECT_NE(0, test::CompareOrder(Work(), upper.Get(), lower.Get(), SHCIDS_CANONICALONLY));

  TestItemList shorter = Item("A");
  TestItemList longer;
  longer.Folder("A").Folder("B");
  EXPECT_EQ(-1, test::CompareOrder(Work(), shorter.Get(), longer.Get()));
  EXPECT_EQ(1, test::CompareOrder(Work(), longer.Get(), shorter.Get()));
}

TEST_F(ShellFolderTest, DisplayNamesFollowTheRequestedForm) {
  // What a host shows is the item's own name; only a parsing name from the
  // desktop is its full path.
  TestItemList result = ResultItem("Budget", "C:\\data\\budget.xls");
  TestItemList reports = Item("Reports");
  const struct {
    SHGDNF flags;
    const char* resultName;
    const char* folderName;
  } cases[] = {
      {SHGDN_NORMAL, "Budget", "Reports"},
      {SHGDN_INFOLDER, "Budget", "Reports"},
      {SHGDN_FOREDITING, "Budget", "Reports"},
      {SHGDN_FORADDRESSBAR, "Budget", "Reports"},
      {SHGDN_INFOLDER | SHGDN_FORPARSING, "Budget", "Reports"},
      {SHGDN_INFOLDER | SHGDN_FORPARSING | SHGDN_FORADDRESSBAR, "Budget", "Reports"},
      {SHGDN_FORPARSING, "C:\\data\\budget.xls", "::{F641BE64-07A8-47BA-A7E5-B43A77D93CB9}\\Work\\Reports"},
      {SHGDN_FORPARSING | SHGDN_FORADDRESSBAR, "C:\\data\\budget.xls", "quorvane\\Work\\Reports"},
  };
  for (const auto& form : cases) {
    EXPECT_EQ(form.resultName, DisplayName(Work(), result.Get(), form.flags)) << std::hex << form.flags;
    EXPECT_EQ(form.folderName, DisplayName(Work(), reports.Get(), form.flags)) << std::hex << form.flags;
  }

  STRRET name = {};
  EXPECT_EQ(E_INVALIDARG, Work()->GetDisplayNameOf(reports.Get(), 2, &name));
  EXPECT_EQ(nullptr, name.pOleStr);
}

TEST_F(ShellFolderTest, EmptyListNamesTheFolderItselfAndForeignItemsAreRefused) {
  TestItemList empty;
  EXPECT_EQ("::{F641BE64-07A8-47BA-A7E5-B43A77D93CB9}\\Work", DisplayName(Work(), empty.Get(), SHGDN_FORPARSING));
  EXPECT_EQ("::{F641BE64-07A8-47BA-A7E5-B43A77D93CB9}", DisplayName(Root(), empty.Get(), SHGDN_FORPARSING))
      << "the desktop parses it back to the junction";
  EXPECT_EQ("quorvane\\Work", DisplayName(Work(), empty.Get(), SHGDN_FORPARSING | SHGDN_FORADDRESSBAR));
  EXPECT_EQ("Work", DisplayName(Work(), empty.Get(), SHGDN_INFOLDER));
  EXPECT_EQ("Work", DisplayName(Work(), empty.Get(), SHGDN_NORMAL));
  EXPECT_EQ("quorvane", DisplayName(Root(), empty.Get(), SHGDN_NORMAL));
  EXPECT_EQ("quorvane", DisplayName(Root(), nullptr, SHGDN_INFOLDER));

  // Items that are not the component's: a foreign kind, or ours with a wrong size.
  TestItemList foreign;
  foreign.Raw({6, 0, 7, 0, 0, 0});
  TestItemList shortResult;
  shortResult.Raw({8, 0, 1, 0, 0, 0, 'x', 0});
  for (const TestItemList* bad : {&foreign, &shortResult}) {
    STRRET name = {};
    EXPECT_EQ(E_INVALIDARG, Work()->GetDisplayNameOf(bad->Get(), SHGDN_NORMAL, &name));
    LPCITEMIDLIST items[] = {bad->Get()};
    SFGAOF attributes = ~0u;
    EXPECT_EQ(E_INVALIDARG, Work()->GetAttributesOf(1, items, &attributes));
    void* object = reinterpret_cast<void*>(1);
    EXPECT_EQ(E_INVALIDARG, Work()->BindToObject(bad->Get(), nullptr, IID_IShellFolder, &object));
    EXPECT_EQ(nullptr, object);
    EXPECT_EQ(E_INVALIDARG, Work()->GetUIObjectOf(nullptr, 1, items, IID_IQueryInfo, nullptr, &object));
    EXPECT_TRUE(SUCCEEDED(Work()->CompareIDs(0, bad->Get(), empty.Get())));
  }
  void* object = reinterpret_cast<void*>(1);
  EXPECT_EQ(E_INVALIDARG, Work()->BindToObject(empty.Get(), nullptr, IID_IShellFolder, &object));
  EXPECT_EQ(nullptr, object);
}

TEST_F(ShellFolderTest, ParsesFolderPathsOfAnyDepth) {
  std::wstring name = L"Reports";
  LPITEMIDLIST item = nullptr;
  ULONG eaten = 0;
  SFGAOF attributes = SFGAO_HASSUBFOLDER | SFGAO_FOLDER | SFGAO_CANCOPY | SFGAO_LINK;
  ASSERT_EQ(S_OK, Work()->ParseDisplayName(nullptr, nullptr, name.data(), &eaten, &item, &attributes));
  test::ShellList parsed(item);
  EXPECT_EQ("Reports", DisplayName(Work(), item, SHGDN_INFOLDER));
  EXPECT_EQ(7u, eaten);
  EXPECT_EQ(SFGAO_HASSUBFOLDER | SFGAO_FOLDER | SFGAO_CANCOPY, attributes);

  // Several levels at once, each a folder item.
  name = L"Reports\\Old\\";
  attributes = SFGAO_HASSUBFOLDER | SFGAO_FOLDER;
  ASSERT_EQ(S_OK, Work()->ParseDisplayName(nullptr, nullptr, name.data(), &eaten, &item, &attributes));
  test::ShellList deep(item);
  EXPECT_EQ(name.size(), eaten);
  EXPECT_EQ(SFGAOF{SFGAO_FOLDER}, attributes) << "Old has no sub-folders";
  test::ShellList first(ILCloneFirst(item));
  EXPECT_EQ("Reports", DisplayName(Work(), first.Get(), SHGDN_INFOLDER));
  EXPECT_EQ("Old", DisplayName(Work(), ILNext(item), SHGDN_INFOLDER));
  EXPECT_TRUE(ILIsEmpty(ILNext(ILNext(item))));

  for (const wchar_t* missing : {L"Nope", L"reports", L"Reports\\Nope", L"Reports\\Old\\Older"}) {
    name = missing;
    item = reinterpret_cast<LPITEMIDLIST>(1);
    eaten = 5;
    EXPECT_EQ(HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND),
              Work()->ParseDisplayName(nullptr, nullptr, name.data(), &eaten, &item, nullptr));
    EXPECT_EQ(nullptr, item) << "no stale pointer is left for the caller to free";
    EXPECT_EQ(0u, eaten);
  }
  name = L"\\";
  EXPECT_EQ(E_INVALIDARG, Work()->ParseDisplayName(nullptr, nullptr, name.data(), nullptr, &item, nullptr));

  // A folder whose element is not in the document parses nothing.
  TestItemList ghost = Item("Ghost");
  ComPtr<IShellFolder> gone = test::BindTo(Root(), ghost.Get());
  name = L"Work";
  item = reinterpret_cast<LPITEMIDLIST>(1);
  EXPECT_EQ(HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND),
            gone->ParseDisplayName(nullptr, nullptr, name.data(), nullptr, &item, nullptr));
  EXPECT_EQ(nullptr, item);
}

TEST_F(ShellFolderTest, AttributesOnlyTakeBitsAway) {
  SFGAOF self = 0x12;
  EXPECT_EQ(S_OK, Work()->GetAttributesOf(0, nullptr, &self));
  EXPECT_EQ(SFGAOF{0xB8000040}, self) << "the folder itself, whatever was asked: a virtual folder";

  TestItemList reports = Item("Reports");
  TestItemList archive = Item("archive");
  TestItemList result = ResultItem("Budget", "C:\\budget.xls");
  EXPECT_EQ(SFGAOF{0xB8000077}, AttributesOf(Work(), {reports.Get()}));
  EXPECT_EQ(SFGAOF{0x38000077}, AttributesOf(Work(), {archive.Get()}));
  EXPECT_EQ(SFGAOF{0x40400077}, AttributesOf(Work(), {result.Get()}));
  EXPECT_EQ(SFGAOF{0x77}, AttributesOf(Work(), {reports.Get(), result.Get()}));
  EXPECT_EQ(SFGAOF{SFGAO_FOLDER}, AttributesOf(Work(), {reports.Get()}, SFGAO_FOLDER | SFGAO_LINK));

  TestItemList missing = Item("Missing");
  EXPECT_EQ(SFGAOF{0x38000077}, AttributesOf(Work(), {missing.Get()})) << "a missing element has no sub-folders";
}

TEST_F(ShellFolderTest, RenameChangesTheDocumentOnlyForAValidNewName) {
  TestItemList reports = Item("Reports");
  std::string before = DocumentText();
  LPITEMIDLIST renamed = reinterpret_cast<LPITEMIDLIST>(1);
  EXPECT_EQ(E_FAIL, Work()->SetNameOf(nullptr, reports.Get(), L"archive", 0, &renamed)) << "a sibling's name";
  EXPECT_EQ(nullptr, renamed);
  EXPECT_EQ(E_FAIL, Work()->SetNameOf(nullptr, reports.Get(), L"Reports", 0, nullptr)) << "its own name";
  EXPECT_EQ(E_FAIL, Work()->SetNameOf(nullptr, reports.Get(), L"", 0, nullptr));
  std::wstring fifty(50, L'n');
  EXPECT_EQ(E_FAIL, Work()->SetNameOf(nullptr, reports.Get(), fifty.c_str(), 0, nullptr))
      << "an item cannot hold 50 characters";
  TestItemList result = ResultItem("Budget", "C:\\budget.xls");
  EXPECT_EQ(E_FAIL, Work()->SetNameOf(nullptr, result.Get(), L"Cost", 0, nullptr)) << "results are files";
  EXPECT_EQ(before, DocumentText());

  std::wstring fortyNine(49, L'n');
  renamed = nullptr;
  ASSERT_EQ(S_OK, Work()->SetNameOf(nullptr, reports.Get(), fortyNine.c_str(), 0, &renamed));
  test::ShellList renamedList(renamed);
  EXPECT_EQ(std::string(49, 'n'), DisplayName(Work(), renamed, SHGDN_INFOLDER));
  EXPECT_NE(std::string::npos, DocumentText().find(std::string(49, 'n')));
}

TEST_F(ShellFolderTest, RenameToAnotherLetterCaseIsSaved) {
  TestItemList reports = Item("Reports");
  ASSERT_EQ(S_OK, Work()->SetNameOf(nullptr, reports.Get(), L"REPORTS", 0, nullptr));
  EXPECT_NE(std::string::npos, DocumentText().find("REPORTS"));
  EXPECT_EQ(Names({"archive", "REPORTS"}), test::SortedNames(Work(), SHCONTF_FOLDERS));
}

// Names in any script travel whole through rename, listing, binding and a reload
// of the module; the 49-character limit counts characters, not bytes.
TEST_F(ShellFolderTest, UnicodeNamesRoundTripThroughTheShellInterfaces) {
  const std::wstring names[] = {L"\u65e5\u672c", L"\u041e\u0442\u0447\u0451\u0442", L"emoji \U0001F600",
                                std::wstring(49, L'\u8a9e')};
  std::wstring previous = L"Home";
  for (const std::wstring& name : names) {
    TestItemList item = Item(ToUtf8(previous));
    LPITEMIDLIST renamed = nullptr;
    ASSERT_EQ(S_OK, Root()->SetNameOf(nullptr, item.Get(), name.c_str(), 0, &renamed)) << ToUtf8(name);
    test::ShellList renamedList(renamed);
    EXPECT_EQ(ToUtf8(name), DisplayName(Root(), renamed, SHGDN_INFOLDER));
    EXPECT_NE(std::string::npos, DocumentText().find("name=\"" + ToUtf8(name) + "\""));
    previous = name;
  }
  TestItemList last = Item(ToUtf8(previous));
  EXPECT_EQ(E_FAIL, Root()->SetNameOf(nullptr, last.Get(), std::wstring(50, L'\u8a9e').c_str(), 0, nullptr));
  root_.Reset();
  ASSERT_EQ(S_OK, server_.CanUnloadNow());
  EXPECT_EQ((std::vector<std::string>{"Work", ToUtf8(previous)}), test::SortedNames(Root(), SHCONTF_FOLDERS));
  EXPECT_TRUE(test::BindToChild(Root(), previous));
}

// Older documents may hold siblings that differ only in case: both are shown and
// each opens its own folder; no new clash can be made.
TEST_F(ShellFolderTest, SiblingsDifferingOnlyInCaseStayApartAndNoNewOneIsMade) {
  WriteDocument("<root name='root'><folder name='Alpha'><folder name='Upper'/></folder>"
                "<folder name='alpha'><folder name='Lower'/></folder><folder name='Home'/></root>");
  EXPECT_EQ(3u, test::SortedNames(Root(), SHCONTF_FOLDERS).size());
  TestItemList upper = Item("Alpha"), lower = Item("alpha");
  EXPECT_NE(0, test::CompareOrder(Root(), upper.Get(), lower.Get()));
  EXPECT_EQ(Names({"Upper"}), test::SortedNames(test::BindToChild(Root(), L"Alpha").Get(), SHCONTF_FOLDERS));
  EXPECT_EQ(Names({"Lower"}), test::SortedNames(test::BindToChild(Root(), L"alpha").Get(), SHCONTF_FOLDERS));

  std::string before = DocumentText();
  TestItemList home = Item("Home");
  EXPECT_EQ(E_FAIL, Root()->SetNameOf(nullptr, home.Get(), L"ALPHA", 0, nullptr));
  EXPECT_EQ(before, DocumentText());
}

TEST_F(ShellFolderTest, RenamedFolderIsFoundAfterTheModuleReloads) {
  TestItemList home = Item("Home");
  ASSERT_EQ(S_OK, Root()->SetNameOf(nullptr, home.Get(), L"Family", 0, nullptr));
  root_.Reset();
  ASSERT_EQ(S_OK, server_.CanUnloadNow());
  EXPECT_EQ(Names({"Family", "Work"}), test::SortedNames(Root(), SHCONTF_FOLDERS));
}

TEST_F(ShellFolderTest, HandsOutIconAndInfoTipObjectsForOneItem) {
  TestItemList reports = Item("Reports");
  TestItemList archive = Item("archive");
  LPCITEMIDLIST both[] = {reports.Get(), archive.Get()};
  void* object = reinterpret_cast<void*>(1);
  EXPECT_EQ(E_FAIL, Work()->GetUIObjectOf(nullptr, 2, both, IID_IExtractIconA, nullptr, &object));
  EXPECT_EQ(nullptr, object);
  EXPECT_EQ(E_FAIL, Work()->GetUIObjectOf(nullptr, 2, both, IID_IQueryInfo, nullptr, &object));

  for (const IID* iid : {&IID_IExtractIconA, &IID_IExtractIconW, &IID_IQueryInfo}) {
    ComPtr<IUnknown> ui;
    EXPECT_EQ(S_OK, Work()->GetUIObjectOf(nullptr, 1, both, *iid, nullptr, ui.PutVoid()));
    EXPECT_TRUE(ui);
  }
  object = reinterpret_cast<void*>(1);
  EXPECT_EQ(E_NOINTERFACE, Work()->GetUIObjectOf(nullptr, 1, both, IID_IShellLinkW, nullptr, &object));
  EXPECT_EQ(nullptr, object);

  object = reinterpret_cast<void*>(1);
  EXPECT_EQ(E_NOTIMPL, Work()->BindToStorage(reports.Get(), nullptr, IID_IStream, &object));
  EXPECT_EQ(nullptr, object);

  // A result binds as its file's stream only; one whose file has gone says so.
  TestItemList gone = ResultItem("gone", "C:\\no such directory\\gone.txt");
  object = reinterpret_cast<void*>(1);
  EXPECT_EQ(E_INVALIDARG, Work()->BindToObject(gone.Get(), nullptr, IID_IShellFolder, &object));
  EXPECT_EQ(nullptr, object);
  EXPECT_EQ(E_NOINTERFACE, Work()->BindToStorage(gone.Get(), nullptr, IID_IStorage, &object));
  EXPECT_TRUE(FAILED(Work()->BindToStorage(gone.Get(), nullptr, IID_IStream, &object)));
  EXPECT_EQ(nullptr, object);
}

}  // namespace
}  // namespace qv
