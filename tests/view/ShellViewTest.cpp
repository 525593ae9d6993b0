#include <docobj.h>

#include <algorithm>

#include <string>

#include "common/ClassIds.h"
#include "runtime/LiveObjects.h"
#include "resources/resource.h"
#include "view/CBrowserPlaceholder.h"
#include "view/InstallPage.h"
#include "view/ViewFixture.h"

namespace qv::test {
namespace {

MSG KeyMessage(HWND window, WPARAM key) {
  MSG message = {};
  message.hwnd = window;
  message.message = WM_KEYDOWN;
  message.wParam = key;
  return message;
}

TEST_F(ViewTest, MergesToolbarButtonsWithTooltips) {
  ComPtr<IShellView> view = Open(MakeFilledFolder().Get());
  EXPECT_EQ(2, browser_->CountOf("SetToolbarItems"));
  EXPECT_EQ("SetToolbarItems(0,1)", browser_->calls[std::find(browser_->calls.begin(), browser_->calls.end(),
                                                               "SetToolbarItems(0,1)") - browser_->calls.begin()]);
  ASSERT_EQ(4u, browser_->toolbarButtons.size());
  const auto& buttons = browser_->toolbarButtons;
  EXPECT_EQ(IDC_NEW_FOLDER, buttons[0].idCommand);
  EXPECT_EQ(200 + VIEW_NEWFOLDER, buttons[0].iBitmap);
  EXPECT_EQ(IDC_DELETE, buttons[1].idCommand);
  EXPECT_EQ(100 + STD_DELETE, buttons[1].iBitmap);
  EXPECT_EQ(100 + STD_PROPERTIES, buttons[2].iBitmap);
  EXPECT_EQ(IDC_VIEWS_BUTTON, buttons[3].idCommand);
  EXPECT_EQ(BTNS_DROPDOWN, buttons[3].fsStyle);

  NMTTDISPINFOA tip = {};
  tip.hdr.code = TTN_GETDISPINFOA;
  tip.hdr.idFrom = IDC_VIEWS_BUTTON;
  EXPECT_EQ(1, Notify(view.Get(), tip.hdr));
  // The ANSI form names the string resource, which the tooltip loads itself.
  ASSERT_TRUE(IS_INTRESOURCE(tip.lpszText));
  char tipText[80] = {};
  LoadStringA(tip.hinst, LOWORD(reinterpret_cast<UINT_PTR>(tip.lpszText)), tipText, sizeof tipText);
  EXPECT_STREQ("Show &Docking Window", tipText);
  NMTTDISPINFOW wideTip = {};
  wideTip.hdr.code = TTN_GETDISPINFOW;
  wideTip.hdr.idFrom = IDC_NEW_FOLDER;
  EXPECT_EQ(1, Notify(view.Get(), wideTip.hdr));
  EXPECT_STREQ(L"&New Folder", wideTip.szText);
  NMTTDISPINFOA unknown = {};
  unknown.hdr.code = TTN_GETDISPINFOA;
  unknown.hdr.idFrom = 99;
  EXPECT_EQ(0, Notify(view.Get(), unknown.hdr));
  EXPECT_STREQ("", unknown.szText);
}

TEST_F(ViewTest, UIActivateHoldsSharedMenuAndLaysOutStatusParts) {
  ComPtr<IShellView> view = Open(MakeFilledFolder().Get());
  EXPECT_EQ(S_OK, view->UIActivate(SVUIA_ACTIVATE_FOCUS));
  EXPECT_EQ(S_OK, view->UIActivate(SVUIA_ACTIVATE_FOCUS));
  EXPECT_EQ(std::vector<int>({200, 400, -1}), browser_->statusParts);
  EXPECT_EQ(1, browser_->CountOf("SendControlMsg") - 2 - 3);  // after two bitmaps and three texts
  EXPECT_EQ(0, browser_->CountOf("RemoveMenusSB"));

  view->UIActivate(SVUIA_ACTIVATE_NOFOCUS);
  EXPECT_EQ(1, browser_->CountOf("SetMenuSB"));
  EXPECT_EQ(1, browser_->CountOf("RemoveMenusSB"));
  view->UIActivate(SVUIA_ACTIVATE_FOCUS);
  EXPECT_EQ(2, browser_->CountOf("RemoveMenusSB"));
  view->UIActivate(SVUIA_DEACTIVATE);
  EXPECT_EQ(3, browser_->CountOf("RemoveMenusSB"));
  EXPECT_EQ(0, browser_->CountOf("RemoveMenusSB(invalid)"));
}

TEST_F(ViewTest, FocusReportsToBrowserAndFileDialog) {
  ComPtr<TestFolder> folder = MakeFilledFolder();
  browser_ = MakeComObject<TestBrowser>(true);
  ComPtr<IShellView> view;
  ASSERT_EQ(S_OK, folder->CreateViewObject(nullptr, IID_IShellView, view.PutVoid()));
  ASSERT_EQ(S_OK, browser_->Show(view.Get()));
  SetForegroundWindow(browser_->Frame());
  SetFocus(Impl(view.Get())->ViewWindow());
  PumpMessages();
  EXPECT_LE(1, browser_->CountOf("OnViewWindowActive"));
  EXPECT_NE(browser_->stateChanges.end(),
            std::find(browser_->stateChanges.begin(), browser_->stateChanges.end(), ULONG(CDBOSC_SETFOCUS)));
}

TEST_F(ViewTest, AcceleratorsGoToTheEditBoxDuringLabelEdit) {
  ComPtr<IShellView> view = Open(MakeFilledFolder().Get());
  HWND list = ListOf(view.Get());
  int fills = browser_->CountOf("SendControlMsg");
  MSG refresh = KeyMessage(list, VK_F5);
  EXPECT_EQ(S_OK, view->TranslateAccelerator(&refresh));
  EXPECT_GT(browser_->CountOf("SendControlMsg"), fills);

  // F2 renames only a single selected row.
  ListView_SetItemState(list, 0, LVIS_SELECTED, LVIS_SELECTED);
  ListView_SetItemState(list, 1, LVIS_SELECTED, LVIS_SELECTED);
  MSG rename = KeyMessage(list, VK_F2);
  EXPECT_EQ(S_OK, view->TranslateAccelerator(&rename));
  EXPECT_EQ(nullptr, ListView_GetEditControl(list));
  ListView_SetItemState(list, 1, 0, LVIS_SELECTED);
  view->TranslateAccelerator(&rename);
  HWND edit = ListView_GetEditControl(list);
  ASSERT_NE(nullptr, edit);

  fills = browser_->CountOf("SendControlMsg");
  MSG inEdit = KeyMessage(edit, VK_F5);
  EXPECT_EQ(S_OK, view->TranslateAccelerator(&inEdit));
  MSG mouse = {edit, WM_MOUSEMOVE, 0, 0};
  EXPECT_EQ(S_FALSE, view->TranslateAccelerator(&mouse));
  EXPECT_EQ(fills, browser_->CountOf("SendControlMsg"));
  EXPECT_EQ(edit, ListView_GetEditControl(list));
  SendMessageA(edit, WM_KEYDOWN, VK_ESCAPE, 0);
  PumpMessages();
  MSG other = KeyMessage(list, 'A');
  EXPECT_EQ(S_FALSE, view->TranslateAccelerator(&other));
}

TEST_F(ViewTest, CommandTargetAnswersEveryCommandAndRunsOwnGroup) {
  ComPtr<IShellView> view = Open(MakeFilledFolder().Get());
  ComPtr<IOleCommandTarget> target = view.As<IOleCommandTarget>();
  ASSERT_TRUE(target);
  OLECMD commands[2] = {{1, 0}, {77, 0}};
  GUID other = IID_IUnknown;
  EXPECT_EQ(S_OK, target->QueryStatus(&other, 2, commands, nullptr));
  EXPECT_EQ(static_cast<DWORD>(OLECMDF_SUPPORTED | OLECMDF_ENABLED), commands[1].cmdf);
  EXPECT_EQ(S_OK, target->Exec(nullptr, 1, 0, nullptr, nullptr));
  EXPECT_EQ(OLECMDERR_E_UNKNOWNGROUP, target->Exec(nullptr, 2, 0, nullptr, nullptr));
  EXPECT_EQ(OLECMDERR_E_UNKNOWNGROUP, target->Exec(&other, IDC_REFRESH_KEY, 0, nullptr, nullptr));
  int writes = browser_->CountOf("SendControlMsg");
  EXPECT_EQ(S_OK, target->Exec(&kShellFolderClassId, IDC_REFRESH_KEY, 0, nullptr, nullptr));
  EXPECT_EQ(writes + 3, browser_->CountOf("SendControlMsg"));
  EXPECT_EQ(S_OK, target->Exec(&kShellFolderClassId, IDC_VIEWS_BUTTON, 0, nullptr, nullptr));
}

TEST_F(ViewTest, SurvivesBrowsingAwayInsideItsOwnWindowProcedure) {
  ComPtr<IShellView> view = Open(MakeFilledFolder().Get());
  HWND window = Impl(view.Get())->ViewWindow();
  view.Reset();  // the browser holds the only reference now
  // F5 refreshes; writing the status bar makes the browser open another folder.
  browser_->onStatusText = [this] { browser_->BrowseObject(nullptr, SBSP_SAMEBROWSER); };
  SendMessageA(window, WM_COMMAND, MAKEWPARAM(IDC_REFRESH_KEY, 0), 0);
  PumpMessages();
  EXPECT_FALSE(IsWindow(window));
  EXPECT_EQ(0, LiveObjectCount(LiveClass::ShellView));
  EXPECT_EQ(1, browser_->CountOf("BrowseObject"));
}

TEST_F(ViewTest, EmptyRectangleThenSizeFillsTheView) {
  RECT empty = {0, 0, 0, 0};
  ComPtr<IShellView> view = Open(MakeFilledFolder().Get(), &empty);
  HWND list = ListOf(view.Get());
  ASSERT_NE(nullptr, list);
  EXPECT_EQ(5, ListView_GetItemCount(list));
  MoveWindow(Impl(view.Get())->ViewWindow(), 0, 0, 500, 250, TRUE);
  RECT area = {};
  GetWindowRect(list, &area);
  EXPECT_EQ(500, area.right - area.left);
  EXPECT_EQ(250, area.bottom - area.top);

  FOLDERSETTINGS settings = {};
  Command(view.Get(), IDC_MODE_LIST);
  EXPECT_EQ(S_OK, view->GetCurrentInfo(&settings));
  EXPECT_EQ(static_cast<UINT>(FVM_DETAILS), settings.ViewMode);
}

TEST_F(ViewTest, ShowsInstallPageTextWhenTheServiceIsMissing) {
  RemoveSearchService();
  ComPtr<IShellView> view = Open(MakeFilledFolder().Get());
  EXPECT_EQ(nullptr, ListOf(view.Get()));
  HWND page = Impl(view.Get())->InstallPageWindow();
  ASSERT_NE(nullptr, page);
  char className[64] = {};
  GetClassNameA(page, className, sizeof className);
  EXPECT_STREQ("IEPlaceholder", className);

  // Without a browser engine (Wine's prefix here has none) the text stands in.
  HWND text = FindWindowExA(page, nullptr, "Edit", nullptr);
  ASSERT_NE(nullptr, text);
  EXPECT_NE(0, GetWindowLongPtrA(text, GWL_STYLE) & ES_READONLY);
  char shown[4096] = {};
  GetWindowTextA(text, shown, sizeof shown);
  EXPECT_NE(nullptr, strstr(shown, "quorvane needs its desktop search service"));
  EXPECT_NE(nullptr, strstr(shown, "- Run the quorvane setup program"));
  EXPECT_EQ(nullptr, strchr(shown, '<'));

  MoveWindow(Impl(view.Get())->ViewWindow(), 0, 0, 400, 200, TRUE);
  RECT area = {};
  GetClientRect(page, &area);
  EXPECT_EQ(400, area.right);

  EXPECT_EQ(S_OK, view->Refresh());
  EXPECT_EQ(0, browser_->CountOf("SendControlMsg(1," ));
  ComPtr<IDataObject> data;
  EXPECT_EQ(E_NOINTERFACE, view->GetItemObject(SVGIO_ALLVIEW, IID_IDataObject, data.PutVoid()));
  EXPECT_FALSE(data);
}

TEST(InstallPage, IsAResAddressOfThePageInsideTheModule) {
  std::string address = InstallPageAddress();
  EXPECT_EQ(0u, address.find("res://"));
  EXPECT_NE(std::string::npos, address.find("/INSTALL.HTM"));
  EXPECT_FALSE(InstallPageText().empty());
}

TEST(InstallPage, PlainTextDropsMarkupAndKeepsStructure) {
  EXPECT_EQ("Title\n\nOne & two\n\n- first\n- second\n\nEnd",
            HtmlToPlainText("<html><head><title>x</title><style>p{}</style></head><body><h1>Title</h1>"
                            "<p>One &amp;\n   two</p><ol><li>first</li><li>second</li></ol><p>End</p></body>"));
  EXPECT_EQ("", HtmlToPlainText("<p>"));
  EXPECT_EQ("broken", HtmlToPlainText("broken<b"));
}

}  // namespace
}  // namespace qv::test
