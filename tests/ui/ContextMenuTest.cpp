#include <gtest/gtest.h>

#include <shlobj.h>

#include <string>
#include <vector>

#include "common/ComBase.h"
#include "common/Holders.h"
#include "support/ServerModule.h"
#include "support/ShellFolderCalls.h"
#include "support/TestItemList.h"

namespace qv {
namespace {

using test::TestItemList;

constexpr UINT kFirst = 100;
constexpr UINT kLast = 0x7FFF;

// One menu entry as the user sees it: "-" for a separator, else the text, with
// "*" after a default item and "(grey)" after a disabled one; and its identifier.
struct Entry {
  std::string text;
  UINT id;
  bool operator==(const Entry&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Entry& entry) { return out << entry.text << "@" << entry.id; }

std::vector<Entry> ReadMenu(HMENU menu, int from = 0, int count = -1) {
  std::vector<Entry> entries;
  int total = GetMenuItemCount(menu);
  int end = count < 0 ? total : from + count;
  for (int position = from; position < end && position < total; ++position) {
    char text[128] = {};
    MENUITEMINFOA item = {};
    item.cbSize = sizeof item;
    item.fMask = MIIM_ID | MIIM_FTYPE | MIIM_STATE | MIIM_STRING;
    item.dwTypeData = text;
    item.cch = sizeof text;
    EXPECT_TRUE(GetMenuItemInfoA(menu, position, TRUE, &item));
    if (item.fType & MFT_SEPARATOR) {
      entries.push_back({"-", item.wID});
      continue;
    }
    std::string shown = text;
    if (item.fState & MFS_DEFAULT) shown += "*";
    if (item.fState & (MFS_GRAYED | MFS_DISABLED)) shown += "(grey)";
    entries.push_back({shown, item.wID});
  }
  return entries;
}

class ContextMenuTest : public test::ServerTest {
 protected:
  void SetUp() override {
    WriteDocument(
        "<root name='root'><folder name='Work' query='report'>"
        "<folder name='Drafts' query='draft'/><folder name='Old'/></folder></root>");
  }
  void TearDown() override {
    work_.Reset();
    test::ServerTest::TearDown();
  }
  IShellFolder* Work() {
    if (!work_) work_ = test::BindToChild(Root(), L"Work");
    return work_.Get();
  }
  ComPtr<IContextMenu> MenuOf(const std::vector<const TestItemList*>& items, IShellFolder* folder = nullptr) {
    std::vector<LPCITEMIDLIST> lists;
    for (const TestItemList* item : items) lists.push_back(item->Get());
    ComPtr<IContextMenu> menu;
    EXPECT_EQ(S_OK, (folder ? folder : Work())
                        ->GetUIObjectOf(nullptr, static_cast<UINT>(lists.size()), lists.data(), IID_IContextMenu,
                                        nullptr, menu.PutVoid()));
    return menu;
  }
  // Builds the menu into a fresh popup menu; the HRESULT goes to *result.
  MenuHandle Build(IContextMenu* menu, UINT flags, HRESULT* result = nullptr, UINT last = kLast) {
    MenuHandle popup(CreatePopupMenu());
    HRESULT hr = menu->QueryContextMenu(popup.Get(), 0, kFirst, last, flags);
    if (result) *result = hr;
    return popup;
  }
  static TestItemList FolderItem(const std::string& name) {
    TestItemList list;
    list.Folder(name);
    return list;
  }
  // A result as another process listed it: its file's list is parsed afresh here.
  static TestItemList ResultItem(const std::string& path) {
    TestItemList list;
    list.Result(path.substr(path.find_last_of('\\') + 1), path, 0x7FFF0001);
    return list;
  }

  ComPtr<IShellFolder> work_;
};

// What ShellExecuteEx asks for: the default command alone.
TEST_F(ContextMenuTest, DefaultOnlyInsertsTheDefaultCommandAlone) {
  TestItemList drafts = FolderItem("Drafts");
  ComPtr<IContextMenu> menu = MenuOf({&drafts});
  HRESULT hr = E_FAIL;
  MenuHandle popup = Build(menu.Get(), CMF_DEFAULTONLY, &hr);
  EXPECT_EQ(MAKE_HRESULT(SEVERITY_SUCCESS, 0, 2), hr);
  EXPECT_EQ((std::vector<Entry>{{"&Open*", kFirst + 1}}), ReadMenu(popup.Get()));
  MenuHandle exploring = Build(menu.Get(), CMF_DEFAULTONLY | CMF_EXPLORE);
  EXPECT_EQ((std::vector<Entry>{{"&Explore*", kFirst + 0}}), ReadMenu(exploring.Get()));

  TestItemList result = ResultItem("C:\\no such directory\\gone.pdf");
  MenuHandle file = Build(MenuOf({&result}).Get(), CMF_DEFAULTONLY);
  EXPECT_EQ((std::vector<Entry>{{"&Open*", kFirst + 3}}), ReadMenu(file.Get()));
  MenuHandle background = Build(MenuOf({}).Get(), CMF_DEFAULTONLY);
  EXPECT_EQ(0, GetMenuItemCount(background.Get()));
}

TEST_F(ContextMenuTest, FolderMenuWithoutExploreOrRename) {
  TestItemList drafts = FolderItem("Drafts");
  ComPtr<IContextMenu> menu = MenuOf({&drafts});
  HRESULT hr = E_FAIL;
  MenuHandle popup = Build(menu.Get(), CMF_NORMAL, &hr);
  EXPECT_EQ((std::vector<Entry>{{"&Open*", kFirst + 1},
                                {"&Explore", kFirst + 0},
                                {"-", 0},
                                {"&Delete", kFirst + 5},
                                {"-", 0},
                                {"Clear search string", kFirst + 11},
                                {"-", 0},
                                {"&Properties", kFirst + 6}}),
            ReadMenu(popup.Get()));
  EXPECT_EQ(MAKE_HRESULT(SEVERITY_SUCCESS, 0, 12), hr) << "offsets 0 to 11 used";
}

TEST_F(ContextMenuTest, FolderMenuWithExploreAndRename) {
  TestItemList drafts = FolderItem("Drafts");
  TestItemList old = FolderItem("Old");
  MenuHandle one = Build(MenuOf({&drafts}).Get(), CMF_EXPLORE | CMF_CANRENAME);
  EXPECT_EQ((std::vector<Entry>{{"&Explore*", kFirst + 0},
                                {"&Open", kFirst + 1},
                                {"-", 0},
                                {"&Delete", kFirst + 5},
                                {"&Rename", kFirst + 2},
                                {"-", 0},
                                {"Clear search string", kFirst + 11},
                                {"-", 0},
                                {"&Properties", kFirst + 6}}),
            ReadMenu(one.Get()));

  MenuHandle two = Build(MenuOf({&drafts, &old}).Get(), CMF_EXPLORE | CMF_CANRENAME);
  EXPECT_EQ((Entry{"&Rename(grey)", kFirst + 2}), ReadMenu(two.Get())[4]) << "a multiple selection cannot rename";
}

TEST_F(ContextMenuTest, MixedSelectionGetsTheFolderMenu) {
  test::TempDirectory files;
  test::WriteFileText(files.File("plan.docx"), "x");
  TestItemList result = ResultItem(files.File("plan.docx"));
  TestItemList drafts = FolderItem("Drafts");
  MenuHandle popup = Build(MenuOf({&result, &drafts}).Get(), CMF_NORMAL);
  EXPECT_EQ(8, GetMenuItemCount(popup.Get()));
  EXPECT_EQ((Entry{"&Open*", kFirst + 1}), ReadMenu(popup.Get())[0]);
}

TEST_F(ContextMenuTest, BackgroundMenu) {
  ComPtr<IContextMenu> menu = MenuOf({});
  HRESULT hr = E_FAIL;
  MenuHandle popup = Build(menu.Get(), CMF_NORMAL, &hr);
  EXPECT_EQ((std::vector<Entry>{{"&New Folder", kFirst + 4},
                                {"-", 0},
                                {"Clear search string", kFirst + 11},
                                {"-", 0},
                                {"&Properties", kFirst + 6}}),
            ReadMenu(popup.Get()));
  EXPECT_EQ(MAKE_HRESULT(SEVERITY_SUCCESS, 0, 12), hr);
  // The root's background has the same menu.
  MenuHandle rootPopup = Build(MenuOf({}, Root()).Get(), CMF_NORMAL);
  EXPECT_EQ(5, GetMenuItemCount(rootPopup.Get()));
}

TEST_F(ContextMenuTest, ResultWithExtensionMergesTheShellMenuAfterItsOwnItems) {
  test::TempDirectory files;
  test::WriteFileText(files.File("plan.docx"), "x");
  TestItemList result = ResultItem(files.File("plan.docx"));
  ComPtr<IContextMenu> menu = MenuOf({&result});
  HRESULT hr = E_FAIL;
  MenuHandle popup = Build(menu.Get(), CMF_NORMAL, &hr);
  EXPECT_EQ((std::vector<Entry>{{"&Open*", kFirst + 3},
                                {"Move all .docx files to 'docx files' folder", kFirst + 7},
                                {"Hide all 'docx' files", kFirst + 8},
                                {"Show only 'docx' files", kFirst + 9},
                                {"Open containing folder", kFirst + 10},
                                {"-", 0}}),
            ReadMenu(popup.Get(), 0, 6));

  // The shell's own items follow, every one above this menu's reserved offsets,
  // and the result counts them.
  std::vector<Entry> merged = ReadMenu(popup.Get(), 6);
  ASSERT_FALSE(merged.empty()) << "the shell's menu for the file is merged";
  UINT highest = 0;
  for (const Entry& entry : merged) {
    if (entry.text == "-") continue;
    EXPECT_GE(entry.id, kFirst + 16) << entry;
    EXPECT_LE(entry.id, kLast) << entry;
    highest = std::max(highest, entry.id);
  }
  ASSERT_TRUE(SUCCEEDED(hr));
  EXPECT_GT(HRESULT_CODE(hr), static_cast<int>(highest - kFirst)) << "every identifier used is reported";
  EXPECT_LE(HRESULT_CODE(hr), static_cast<int>(kLast - kFirst + 1));

  // A second build replaces the merged menu and gives the same items.
  MenuHandle again = Build(menu.Get(), CMF_NORMAL);
  EXPECT_EQ(ReadMenu(popup.Get()), ReadMenu(again.Get()));
}

TEST_F(ContextMenuTest, ResultWithoutUsableExtensionOffersOnlyOpenAndTheShellMenu) {
  test::TempDirectory files;
  test::WriteFileText(files.File("notes.backup"), "x");
  test::WriteFileText(files.File("README"), "x");
  for (const char* name : {"notes.backup", "README"}) {
    TestItemList result = ResultItem(files.File(name));
    HRESULT hr = E_FAIL;
    MenuHandle popup = Build(MenuOf({&result}).Get(), CMF_NORMAL, &hr);
    std::vector<Entry> entries = ReadMenu(popup.Get());
    ASSERT_GE(entries.size(), 2u) << name;
    EXPECT_EQ((Entry{"&Open*", kFirst + 3}), entries[0]) << name;
    EXPECT_EQ("-", entries[1].text) << name;
    for (std::size_t i = 2; i < entries.size(); ++i) {
      if (entries[i].text != "-") {
        EXPECT_GE(entries[i].id, kFirst + 16) << name << " " << entries[i];
      }
    }
  }
}

TEST_F(ContextMenuTest, ResultWhoseFileIsMissingGetsNoMergedMenu) {
  TestItemList result = ResultItem("C:\\no such directory\\gone.pdf");
  ComPtr<IContextMenu> menu = MenuOf({&result});
  HRESULT hr = E_FAIL;
  MenuHandle popup = Build(menu.Get(), CMF_NORMAL, &hr);
  // The component's own Delete and Properties stand in for the shell's.
  EXPECT_EQ((std::vector<Entry>{{"-", 0}, {"&Delete", kFirst + 5}, {"&Properties", kFirst + 6}}),
            ReadMenu(popup.Get(), 5));
  EXPECT_EQ(MAKE_HRESULT(SEVERITY_SUCCESS, 0, 11), hr);
  // A command of the absent merged menu is nobody's, and there is nobody to
  // take menu messages.
  CMINVOKECOMMANDINFO info = {sizeof info};
  info.lpVerb = MAKEINTRESOURCEA(16);
  EXPECT_EQ(E_INVALIDARG, menu->InvokeCommand(&info));
  ComPtr<IContextMenu3> messages = menu.As<IContextMenu3>();
  ASSERT_TRUE(messages);
  EXPECT_TRUE(menu.As<IContextMenu2>());
  LRESULT answer = 7;
  EXPECT_EQ(E_NOTIMPL, messages->HandleMenuMsg2(WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(popup.Get()), 0, &answer));
  EXPECT_EQ(E_NOTIMPL, messages->HandleMenuMsg(WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(popup.Get()), 0));
}

TEST_F(ContextMenuTest, NarrowRangeLeavesNoRoomForTheShellMenu) {
  test::TempDirectory files;
  test::WriteFileText(files.File("plan.docx"), "x");
  TestItemList result = ResultItem(files.File("plan.docx"));
  HRESULT hr = E_FAIL;
  MenuHandle popup = Build(MenuOf({&result}).Get(), CMF_NORMAL, &hr, kFirst + 15);
  EXPECT_EQ(8, GetMenuItemCount(popup.Get())) << "its own Delete and Properties instead";
  EXPECT_EQ(MAKE_HRESULT(SEVERITY_SUCCESS, 0, 11), hr);
}

TEST_F(ContextMenuTest, VerbStrings) {
  TestItemList drafts = FolderItem("Drafts");
  ComPtr<IContextMenu> menu = MenuOf({&drafts});
  char verb[16] = {};
  EXPECT_EQ(S_OK, menu->GetCommandString(2, GCS_VERBA, nullptr, verb, sizeof verb));
  EXPECT_STREQ("rename", verb);
  wchar_t wideVerb[16] = {};
  EXPECT_EQ(S_OK, menu->GetCommandString(2, GCS_VERBW, nullptr, reinterpret_cast<char*>(wideVerb), 16));
  EXPECT_STREQ(L"rename", wideVerb);
  EXPECT_EQ(E_INVALIDARG, menu->GetCommandString(3, GCS_VERBA, nullptr, verb, sizeof verb));
  EXPECT_EQ(E_INVALIDARG, menu->GetCommandString(3, GCS_VERBW, nullptr, verb, sizeof verb));
  EXPECT_EQ(E_NOTIMPL, menu->GetCommandString(2, GCS_HELPTEXTA, nullptr, verb, sizeof verb));
  EXPECT_EQ(S_OK, menu->GetCommandString(5, GCS_VALIDATEA, nullptr, nullptr, 0));
  EXPECT_EQ(S_FALSE, menu->GetCommandString(9, GCS_VALIDATEW, nullptr, nullptr, 0)) << "a file's command";
  EXPECT_EQ(E_NOTIMPL, menu->GetCommandString(2, GCS_HELPTEXTW, nullptr, verb, sizeof verb));
  char tiny[3] = {'x', 'x', 'x'};
  EXPECT_EQ(S_OK, menu->GetCommandString(2, GCS_VERBA, nullptr, tiny, sizeof tiny));
  EXPECT_STREQ("re", tiny) << "the verb is cut to the caller's buffer";

  // Every canonical verb of a folder, answered for its command.
  const struct {
    UINT offset;
    const char* verb;
  } verbs[] = {{0, "explore"}, {1, "open"}, {2, "rename"}, {5, "delete"}, {6, "properties"}};
  for (const auto& expected : verbs) {
    char answer[16] = {};
    EXPECT_EQ(S_OK, menu->GetCommandString(expected.offset, GCS_VERBA, nullptr, answer, sizeof answer));
    EXPECT_STREQ(expected.verb, answer);
  }
  char answer[16] = {};
  EXPECT_EQ(S_OK, MenuOf({}).Get()->GetCommandString(4, GCS_VERBA, nullptr, answer, sizeof answer));
  EXPECT_STREQ("NewFolder", answer);

  // Renaming is the caller's: without a view to edit in, the verb fails.
  CMINVOKECOMMANDINFO info = {sizeof info};
  info.lpVerb = "rename";
  std::string before = DocumentText();
  EXPECT_EQ(HRESULT_FROM_WIN32(ERROR_NOT_SUPPORTED), menu->InvokeCommand(&info));
  EXPECT_EQ(before, DocumentText());
  for (const char* unknown : {"nonesuch", "", "openx"}) {
    info.lpVerb = unknown;
    EXPECT_EQ(E_INVALIDARG, menu->InvokeCommand(&info)) << unknown;
  }
  info.lpVerb = MAKEINTRESOURCEA(12);
  EXPECT_EQ(E_INVALIDARG, menu->InvokeCommand(&info)) << "an offset of no command";
  EXPECT_EQ(before, DocumentText());
}

// Under CMIC_MASK_FLAG_NO_UI what would have asked or told the user is the
// command's result (a message box here would hold the test up).
TEST_F(ContextMenuTest, VerbsByNameUnderNoUiAskAndTellNothing) {
  TestItemList drafts = FolderItem("Drafts");
  CMINVOKECOMMANDINFOEX info = {};
  info.cbSize = sizeof info;
  info.fMask = CMIC_MASK_UNICODE | CMIC_MASK_FLAG_NO_UI;
  info.lpVerb = "delete";
  info.lpVerbW = L"Delete";
  std::string before = DocumentText();
  EXPECT_EQ(HRESULT_FROM_WIN32(ERROR_CANCELLED),
            MenuOf({&drafts})->InvokeCommand(reinterpret_cast<CMINVOKECOMMANDINFO*>(&info)))
      << "the wide verb, in any case; the question is not asked";
  EXPECT_EQ(before, DocumentText()) << "nothing was deleted";

  TestItemList gone = ResultItem("C:\\no such directory\\gone.pdf");
  CMINVOKECOMMANDINFO open = {sizeof open};
  open.fMask = CMIC_MASK_FLAG_NO_UI;
  for (const char* verb : {"open", "properties", "delete"}) {
    open.lpVerb = verb;
    EXPECT_EQ(HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND), MenuOf({&gone})->InvokeCommand(&open)) << verb;
  }
  open.lpVerb = "explore";
  EXPECT_EQ(E_INVALIDARG, MenuOf({&gone})->InvokeCommand(&open)) << "a file has no Explore, nor has the shell";
}

TEST_F(ContextMenuTest, OffersTheContextMenuInterfacesOnlyAndRefusesForeignItems) {
  ComPtr<IContextMenu> menu = MenuOf({});
  EXPECT_TRUE(menu.As<IContextMenu2>());
  EXPECT_TRUE(menu.As<IContextMenu3>());
  EXPECT_FALSE(menu.As<IShellExtInit>());
  EXPECT_TRUE(menu.As<IUnknown>());
  TestItemList foreign;
  foreign.Raw({6, 0, 7, 0, 0, 0});
  LPCITEMIDLIST items[] = {foreign.Get()};
  ComPtr<IContextMenu> refused;
  EXPECT_EQ(E_INVALIDARG, Work()->GetUIObjectOf(nullptr, 1, items, IID_IContextMenu, nullptr, refused.PutVoid()));
  EXPECT_FALSE(refused);
}

// Runs the command at an offset as the view does.
HRESULT Invoke(IContextMenu* menu, UINT offset) {
  CMINVOKECOMMANDINFO info = {sizeof info};
  info.lpVerb = MAKEINTRESOURCEA(offset);
  info.nShow = SW_SHOWNORMAL;
  return menu->InvokeCommand(&info);
}

TEST_F(ContextMenuTest, ClearSearchStringEmptiesTheSelectedFolderOrTheOpenOne) {
  TestItemList drafts = FolderItem("Drafts");
  EXPECT_EQ(S_OK, Invoke(MenuOf({&drafts}).Get(), 11));
  EXPECT_EQ(std::string::npos, DocumentText().find("draft'")) << DocumentText();
  EXPECT_NE(std::string::npos, DocumentText().find("report")) << "the open folder keeps its string";
  EXPECT_EQ(S_OK, Invoke(MenuOf({}).Get(), 11));
  EXPECT_EQ(std::string::npos, DocumentText().find("report")) << DocumentText();
}

TEST_F(ContextMenuTest, FileTypeCommandsRewriteTheOpenFoldersSearchString) {
  test::TempDirectory files;
  test::WriteFileText(files.File("plan.docx"), "x");
  TestItemList result = ResultItem(files.File("plan.docx"));
  ComPtr<IContextMenu> menu = MenuOf({&result});
  EXPECT_EQ(S_OK, Invoke(menu.Get(), 9));
  EXPECT_NE(std::string::npos, DocumentText().find("report filetype:docx")) << DocumentText();
  EXPECT_EQ(S_OK, Invoke(menu.Get(), 8));
  EXPECT_NE(std::string::npos, DocumentText().find("report filetype:docx -filetype:docx")) << DocumentText();
  // Offsets of no command of a result's menu are refused and change nothing.
  std::string before = DocumentText();
  for (UINT offset : {2u, 12u, 13u, 14u, 15u}) EXPECT_EQ(E_INVALIDARG, Invoke(menu.Get(), offset)) << offset;
  EXPECT_EQ(before, DocumentText());
}

TEST_F(ContextMenuTest, MoveTypeToFolderAddsTheTypesFolderAndHidesTheTypeHere) {
  test::TempDirectory files;
  test::WriteFileText(files.File("scan.pdf"), "x");
  TestItemList result = ResultItem(files.File("scan.pdf"));
  EXPECT_EQ(S_OK, Invoke(MenuOf({&result}).Get(), 7));
  std::string document = DocumentText();
  EXPECT_NE(std::string::npos, document.find("pdf files")) << document;
  EXPECT_NE(std::string::npos, document.find("report filetype:pdf")) << document;
  EXPECT_NE(std::string::npos, document.find("report -filetype:pdf")) << document;
}

TEST_F(ContextMenuTest, MergedCommandsArePassedOnWithTheShellMenusOwnOffsets) {
  test::TempDirectory files;
  test::WriteFileText(files.File("plan.docx"), "x");
  TestItemList result = ResultItem(files.File("plan.docx"));
  ComPtr<IContextMenu> menu = MenuOf({&result});
  MenuHandle popup = Build(menu.Get(), CMF_NORMAL);
  // Find the shell's "copy" command by its verb, asked through this menu.
  UINT copyOffset = 0;
  for (const Entry& entry : ReadMenu(popup.Get(), 6)) {
    char verb[32] = {};
    if (entry.text != "-" &&
        SUCCEEDED(menu->GetCommandString(entry.id - kFirst, GCS_VERBA, nullptr, verb, sizeof verb)) &&
        lstrcmpiA(verb, "copy") == 0) {
      copyOffset = entry.id - kFirst;
    }
  }
  ASSERT_GE(copyOffset, 16u) << "the shell's menu offers copy above this menu's offsets";
  OleSetClipboard(nullptr);
  std::string before = DocumentText();
  EXPECT_EQ(S_OK, Invoke(menu.Get(), copyOffset));
  EXPECT_TRUE(IsClipboardFormatAvailable(CF_HDROP)) << "the shell copied the file";
  EXPECT_EQ(before, DocumentText()) << "none of this menu's own commands ran";
  OleSetClipboard(nullptr);
}

}  // namespace
}  // namespace qv
