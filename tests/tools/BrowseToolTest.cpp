#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <cstdlib>
#include <string>

#include "BrowseWindow.h"
#include "NamespacePath.h"
#include "common/Text.h"
#include "support/ProgramRun.h"
#include "support/SearchStub.h"
#include "support/ServerModule.h"
#include "support/TempDirectory.h"

namespace qv {
namespace {

// Runs quorvane-browse with the arguments; its errors go to its output.
test::ProgramRun RunBrowseTool(const std::string& arguments) {
  const char* tool = std::getenv("QUORVANE_BROWSE");
  if (!tool) return {};
  return test::RunProgram("\"" + test::HostPathToWindows(tool) + "\" " + arguments);
}

TEST(BrowseTool, SaysSoWhenTheSearchFoldersAreNotRegistered) {
  {
    test::ServerModule server;
    ASSERT_EQ(S_OK, server.UnregisterServer());
  }
  test::ProgramRun run = RunBrowseTool("");
  EXPECT_EQ(1u, run.exitCode);
  EXPECT_NE(std::string::npos, run.output.find("quorvane is not registered")) << run.output;
}

TEST(BrowseTool, RefusesAFolderPathThatDoesNotExistAndUnknownOptions) {
  test::ServerModule server;
  test::WriteFileText(server.DocumentPath(), "<root name='root'><folder name='Work'><folder name='Old'/></folder></root>");
  ASSERT_EQ(S_OK, server.RegisterServer());

  test::ProgramRun missing = RunBrowseTool("Home");
  EXPECT_EQ(1u, missing.exitCode);
  EXPECT_NE(std::string::npos, missing.output.find("No search folder \"Home\"")) << missing.output;
  test::ProgramRun missingBelow = RunBrowseTool("\"Work\\New\"");
  EXPECT_EQ(1u, missingBelow.exitCode);
  EXPECT_NE(std::string::npos, missingBelow.output.find("No search folder \"Work\\New\"")) << missingBelow.output;

  test::ProgramRun unknownOption = RunBrowseTool("--fast Work");
  EXPECT_EQ(2u, unknownOption.exitCode);
  EXPECT_NE(std::string::npos, unknownOption.output.find("Usage:")) << unknownOption.output;

  EXPECT_EQ(S_OK, server.UnregisterServer());
  CoFreeUnusedLibrariesEx(0, 0);
}

TEST(BrowseTool, SaysWhenAFolderIsShownAndClosesSoonAfter) {
  test::ServerModule server;
  test::WriteFileText(server.DocumentPath(), "<root name='root'><folder name='Work'><folder name='Old'/></folder></root>");
  ASSERT_EQ(S_OK, server.RegisterServer());
  test::ProgramRun run = RunBrowseTool("--exit-after 1 \"Work\\Old\"");
  EXPECT_EQ(0u, run.exitCode) << run.output;
  EXPECT_NE(std::string::npos, run.output.find("shown\tquorvane\\Work\\Old")) << run.output;
  EXPECT_EQ(S_OK, server.UnregisterServer());
  CoFreeUnusedLibrariesEx(0, 0);
}

void PumpMessages() {
  MSG message;
  while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
}

HTREEITEM ChildNamed(HWND tree, HTREEITEM parent, const std::wstring& name) {
  for (HTREEITEM node = TreeView_GetChild(tree, parent); node; node = TreeView_GetNextSibling(tree, node)) {
    wchar_t text[260] = {};
    TVITEMW item = {};
    item.mask = TVIF_TEXT | TVIF_HANDLE;
    item.hItem = node;
    item.pszText = text;
    item.cchTextMax = ARRAYSIZE(text);
    SendMessageW(tree, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&item));
    if (name == text) return node;
  }
  return nullptr;
}

std::wstring Title(HWND window) {
  wchar_t text[512] = {};
  GetWindowTextW(window, text, ARRAYSIZE(text));
  return text;
}

// The browse window in this process, over the stand-in search service: its tree
// moves the browser, and the view's own navigation moves the tree and the title.
TEST(BrowseWindow, TreeAndTitleFollowTheFolderShownWhoeverMovedThere) {
  test::ServerModule server;
  test::SearchStub search;
  test::WriteFileText(server.DocumentPath(),
                      "<root name='root'><folder name='Work'><folder name='Old'/><folder name='Drafts'/></folder>"
                      "<folder name='Home'/></root>");
  ASSERT_EQ(S_OK, server.RegisterServer());
  {
    HRESULT hr = S_OK;
    ComPtr<IShellFolder> junctionFolder;
    browse::ShellIdList junction = browse::OpenJunction(junctionFolder, &hr);
    ASSERT_TRUE(junction) << std::hex << hr;
    browse::BrowseWindow window;
    ASSERT_TRUE(window.Create(GetModuleHandleW(nullptr), SW_SHOWNORMAL, junction.Get()));
    ASSERT_EQ(S_OK, window.BrowseTo(junction.Get()));
    PumpMessages();
    EXPECT_EQ(L"quorvane", Title(window.Window()));
    // Names as the folders call themselves, not their paths; sub-folders by name.
    EXPECT_EQ(L"quorvane *\n\tHome\n\tWork\n", window.Tree().Outline());

    // Choosing a folder in the tree browses to it.
    HWND tree = window.Tree().Control();
    HTREEITEM work = ChildNamed(tree, TreeView_GetRoot(tree), L"Work");
    ASSERT_TRUE(work);
    TreeView_SelectItem(tree, work);
    PumpMessages();
    EXPECT_EQ(L"quorvane\\Work", Title(window.Window()));
    EXPECT_EQ(L"quorvane\\Work", window.ShownPath());

    // Double-clicking a sub-folder in the view opens it in this window; the
    // tree marks it.
    ComPtr<IShellView> view = window.CurrentView();
    ASSERT_TRUE(view);
    HWND viewWindow = nullptr;
    ASSERT_EQ(S_OK, view->GetWindow(&viewWindow));
    HWND list = FindWindowExW(viewWindow, nullptr, WC_LISTVIEWW, nullptr);
    ASSERT_TRUE(list);
    LVFINDINFOW find = {LVFI_STRING, L"Old"};
    int row = static_cast<int>(SendMessageW(list, LVM_FINDITEMW, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&find)));
    ASSERT_LE(0, row);
    RECT box = {LVIR_LABEL};
    ASSERT_TRUE(SendMessageW(list, LVM_GETITEMRECT, row, reinterpret_cast<LPARAM>(&box)));
    LPARAM point = MAKELPARAM((box.left + box.right) / 2, (box.top + box.bottom) / 2);
    SendMessageW(list, WM_LBUTTONDOWN, MK_LBUTTON, point);
    SendMessageW(list, WM_LBUTTONUP, 0, point);
    SendMessageW(list, WM_LBUTTONDBLCLK, MK_LBUTTON, point);
    SendMessageW(list, WM_LBUTTONUP, 0, point);
    view.Reset();
    PumpMessages();
    EXPECT_EQ(L"quorvane\\Work\\Old", Title(window.Window()));
    EXPECT_EQ(L"quorvane\n\tHome\n\tWork\n\t\tDrafts\n\t\tOld *\n", window.Tree().Outline());

    // A folder made meanwhile shows once the shell is told of the change.
    test::WriteFileText(server.DocumentPath(),
                        "<root name='root'><folder name='Work'><folder name='Old'/><folder name='Drafts'/></folder>"
                        "<folder name='Home'/><folder name='Later'/></root>");
    SHChangeNotify(SHCNE_MKDIR, SHCNF_IDLIST | SHCNF_FLUSH, junction.Get(), nullptr);
    PumpMessages();
    PumpMessages();
    EXPECT_EQ(L"quorvane\n\tHome\n\tLater\n\tWork\n\t\tDrafts\n\t\tOld *\n", window.Tree().Outline());
  }
  EXPECT_EQ(S_OK, server.UnregisterServer());
  CoFreeUnusedLibrariesEx(0, 0);
}

}  // namespace
}  // namespace qv
