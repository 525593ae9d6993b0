// Views follow the changes other processes make to the folder document.

#include <gtest/gtest.h>

#include <shlwapi.h>

#include <cstdlib>

#include "folders/CFolderStore.h"
#include "runtime/ModuleUse.h"
#include "pidl/CPidlManager.h"
#include "shellfolder/CShellFolder.h"
#include "operations/ShellRequests.h"
#include "ui/CContextMenu.h"
#include "support/ProgramRun.h"
#include "support/TestItemList.h"
#include "view/StoredFolderViewFixture.h"

namespace qv::test {
namespace {

class DocumentFollowTest : public StoredFolderViewTest {
 protected:
  void SetUp() override {
    LoadDocument("<root name='root'><folder name='Work' query='report'><folder name='Drafts'/></folder></root>");
  }

  // Another host process, on the same document, makes a folder in the root.
  void CreateInAnotherProcess(const std::string& name) {
    const char* worker = std::getenv("QUORVANE_SHARING_WORKER");
    const char* dll = std::getenv("QUORVANE_DLL");
    ASSERT_TRUE(worker && dll);
    char previous[MAX_PATH] = {};
    GetEnvironmentVariableA("QUORVANE_DATA_DIR", previous, MAX_PATH);
    SetEnvironmentVariableA("QUORVANE_DATA_DIR", dir_.Path().c_str());
    ProgramRun run = RunProgram("\"" + HostPathToWindows(worker) + "\" \"" + HostPathToWindows(dll) + "\" create " +
                                name);
    SetEnvironmentVariableA("QUORVANE_DATA_DIR", previous);
    ASSERT_EQ(0u, run.exitCode) << run.output;
  }
};

TEST_F(DocumentFollowTest, OpenViewShowsAFolderAnotherProcessCreatedAndIgnoresUnrelatedChanges) {
  // A search folder's view: a folder made elsewhere in the tree changes nothing
  // it shows, so it does not ask the search service again.
  ComPtr<CShellFolder> work = TopFolder("Work");
  ComPtr<IShellView> workView = Show(work.Get());
  ASSERT_TRUE(workView);
  EXPECT_EQ(std::vector<std::string>{"Drafts"}, Column(ListOf(workView.Get()), 0));
  int queries = stub_.CallCount(kStubQuery);
  CreateInAnotherProcess("Elsewhere");
  WaitAndPump(1500);
  EXPECT_EQ(queries, stub_.CallCount(kStubQuery)) << "an unrelated change made the view search again";
  EXPECT_EQ(std::vector<std::string>{"Drafts"}, Column(ListOf(workView.Get()), 0));

  // The root's view picks up a folder made in another process without being
  // opened again, within about a second.
  ComPtr<IShellView> rootView = Show(root_.Get());
  ASSERT_TRUE(rootView);
  EXPECT_EQ((std::vector<std::string>{"Elsewhere", "Work"}), Column(ListOf(rootView.Get()), 0));
  CreateInAnotherProcess("Added");
  DWORD start = GetTickCount();
  while (Column(ListOf(rootView.Get()), 0).size() < 3 && GetTickCount() - start < 5000) WaitAndPump(50);
  EXPECT_EQ((std::vector<std::string>{"Added", "Elsewhere", "Work"}), Column(ListOf(rootView.Get()), 0));
}

// Views hear the shell's change notices about their own folder and the items
// in it, refill once for several notices in a row, and leave other folders'
// notices alone (Wine's own matching of the component's lists is loose).
TEST_F(DocumentFollowTest, ChangeNoticeRefreshesTheViewOfItsFolderOnly) {
  LoadDocument("<root name='root'><folder name='Work' query='report'><folder name='Drafts'/></folder>"
               "<folder name='Home' query='garden'><folder name='Plans'/></folder></root>");
  ComPtr<CShellFolder> work = TopFolder("Work");
  ComPtr<CShellFolder> home = TopFolder("Home");
  ComPtr<IShellView> workView = Show(work.Get());
  ComPtr<TestBrowser> workBrowser = browser_;
  browser_ = nullptr;
  ComPtr<IShellView> homeView = Show(home.Get());
  ComPtr<TestBrowser> homeBrowser = browser_;
  ASSERT_TRUE(workView && homeView);
  // A refill writes the status bar (more than once while results arrive), so
  // refills are told apart by what one notice costs.
  auto refills = [&](TestBrowser* browser) { return browser->CountOf("SendControlMsg"); };
  int homeBefore = refills(homeBrowser.Get());
  int workBefore = refills(workBrowser.Get());
  NotifyShell(SHCNE_UPDATEDIR, work->AbsoluteList(), nullptr);
  PumpMessages();
  int oneRefill = refills(workBrowser.Get()) - workBefore;
  ASSERT_GT(oneRefill, 0);

  workBefore = refills(workBrowser.Get());
  for (int i = 0; i < 3; ++i) NotifyShell(SHCNE_UPDATEDIR, work->AbsoluteList(), nullptr);
  PumpMessages();
  EXPECT_EQ(workBefore + oneRefill, refills(workBrowser.Get())) << "three notices, one refill";
  EXPECT_EQ(homeBefore, refills(homeBrowser.Get()));

  // A search folder made in Home: its view shows it, Work's stays as it was.
  workBefore = refills(workBrowser.Get());
  home->Operations().NewNamedFolder("Beds");
  PumpMessages();
  EXPECT_EQ((std::vector<std::string>{"Beds", "Plans"}), Column(ListOf(homeView.Get()), 0));
  EXPECT_EQ(workBefore, refills(workBrowser.Get()));

  workBrowser->BrowseAway();
  workView.Reset();
  NotifyShell(SHCNE_UPDATEDIR, work->AbsoluteList(), nullptr);
  PumpMessages();
}

// A folder made from the background menu starts renaming in the view the
// menu's site leads to, and takes its sorted place under the name typed.
TEST_F(DocumentFollowTest, NewFolderFromTheMenuIsRenamedInTheViewOfItsSite) {
  ComPtr<CShellFolder> work = TopFolder("Work");
  ComPtr<IShellView> view = Show(work.Get());
  ASSERT_TRUE(view);
  ComPtr<IContextMenu> menu;
  ASSERT_EQ(S_OK, work->CreateViewObject(nullptr, IID_IContextMenu, menu.PutVoid()));
  ASSERT_EQ(S_OK, IUnknown_SetSite(menu.Get(), static_cast<IShellBrowser*>(browser_.Get())));
  CMINVOKECOMMANDINFO info = {};
  info.cbSize = sizeof info;
  info.lpVerb = MAKEINTRESOURCEA(CContextMenu::kNewFolder);
  EXPECT_EQ(S_OK, menu->InvokeCommand(&info));
  IUnknown_SetSite(menu.Get(), nullptr);
  HWND list = ListOf(view.Get());
  HWND edit = ListView_GetEditControl(list);
  ASSERT_NE(nullptr, edit);
  wchar_t text[64] = {};
  GetWindowTextW(edit, text, ARRAYSIZE(text));
  EXPECT_STREQ(L"New Folder", text);
  SetWindowTextW(edit, L"Ideas");
  SendMessageW(edit, WM_KEYDOWN, VK_RETURN, 0);
  PumpMessages();
  EXPECT_EQ((std::vector<std::string>{"Drafts", "Ideas"}), Column(list, 0));
}

}  // namespace
}  // namespace qv::test
