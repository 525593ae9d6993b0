#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "common/ClassIds.h"
#include "resources/resource.h"
#include "view/CViewDropTarget.h"
#include "view/ViewFixture.h"

namespace qv::test {
namespace {

using Texts = std::vector<std::string>;

// Runs `step` once the popup menu this thread tracks is on screen, with that
// menu's window and handle; a menu left open after it is closed.
class DuringMenu {
 public:
  explicit DuringMenu(std::function<void(HWND, HMENU)> step) {
    current_ = this;
    step_ = std::move(step);
    timer_ = SetTimer(nullptr, 0, 50, &DuringMenu::Tick);
  }
  ~DuringMenu() {
    KillTimer(nullptr, timer_);
    current_ = nullptr;
  }
  bool ran = false;

 private:
  static void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD) {
    DuringMenu* self = current_;
    if (!self) return;
    HWND window = FindWindowA("#32768", nullptr);
    if (!window || !IsWindowVisible(window)) return;
    if (self->ran) {
      EndMenu();
      return;
    }
    self->ran = true;
    auto menu = reinterpret_cast<HMENU>(SendMessageA(window, MN_GETHMENU, 0, 0));
    self->step_(window, menu);
  }
  static inline DuringMenu* current_ = nullptr;
  std::function<void(HWND, HMENU)> step_;
  UINT_PTR timer_ = 0;
};

// Chooses the item at `position` of the tracked menu with the keyboard.
void ChooseByKeys(HWND menuWindow, int position) {
  for (int i = 0; i <= position; ++i) PostMessageA(menuWindow, WM_KEYDOWN, VK_DOWN, 0);
  PostMessageA(menuWindow, WM_KEYDOWN, VK_RETURN, 0);
}

class ViewCommandsTest : public ViewTest {
 protected:
  // Rows: Archive, Drafts, agenda.doc, budget.xls, minutes.txt.
  ComPtr<IShellView> OpenFilled() {
    folder_ = MakeFilledFolder();
    return Open(folder_.Get());
  }
  static void Select(HWND list, std::initializer_list<int> rows) {
    ListView_SetItemState(list, -1, 0, LVIS_SELECTED);
    for (int row : rows) ListView_SetItemState(list, row, LVIS_SELECTED, LVIS_SELECTED);
  }
  static void NotifyList(IShellView* view, UINT code) {
    NMITEMACTIVATE header = {};
    header.hdr.hwndFrom = ListOf(view);
    header.hdr.code = code;
    header.iItem = -1;
    Notify(view, header.hdr);
  }

  ComPtr<TestFolder> folder_;
};

TEST_F(ViewCommandsTest, RenameKeyEditsOnlyASingleSelectedRow) {
  ComPtr<IShellView> view = OpenFilled();
  HWND list = ListOf(view.Get());
  Select(list, {1, 3});
  Command(view.Get(), IDC_RENAME_KEY);
  EXPECT_EQ(nullptr, ListView_GetEditControl(list));
  Select(list, {3});
  Command(view.Get(), IDC_RENAME_KEY);
  ASSERT_NE(nullptr, ListView_GetEditControl(list));
  char text[64] = {};
  GetWindowTextA(ListView_GetEditControl(list), text, sizeof text);
  EXPECT_STREQ("budget.xls", text);
  SendMessageA(ListView_GetEditControl(list), WM_KEYDOWN, VK_ESCAPE, 0);
}

TEST_F(ViewCommandsTest, DeleteGoesToTheFolderWithCopiesOfTheSelection) {
  ComPtr<IShellView> view = OpenFilled();
  HWND list = ListOf(view.Get());
  Select(list, {1, 4});
  Command(view.Get(), IDC_DELETE_KEY);
  Select(list, {2});
  Command(view.Get(), IDC_DELETE);
  EXPECT_EQ(Texts({"DeleteSelection(Drafts,minutes.txt)", "DeleteSelection(agenda.doc)"}), folder_->operations);
  EXPECT_EQ(5, ListView_GetItemCount(list)) << "the view leaves refreshing to the folder";
}

TEST_F(ViewCommandsTest, DeleteWithNothingSelectedRemovesTheOpenFolderButNeverTheRoot) {
  ComPtr<IShellView> view = OpenFilled();
  Select(ListOf(view.Get()), {});
  Command(view.Get(), IDC_DELETE_KEY);
  EXPECT_EQ(Texts({"DeleteFolder(null,confirm)"}), folder_->operations);

  ComPtr<TestFolder> root = MakeFolder("");
  root->AddFolder("Work");
  ComPtr<IShellView> rootView = Open(root.Get());
  Command(rootView.Get(), IDC_DELETE);
  EXPECT_TRUE(root->operations.empty());
}

TEST_F(ViewCommandsTest, DeleteWithoutAListAsksTheFolder) {
  RemoveSearchService();
  ComPtr<TestFolder> folder = MakeFolder();
  ComPtr<IShellView> view = Open(folder.Get());
  ASSERT_EQ(nullptr, ListOf(view.Get()));
  Command(view.Get(), IDC_DELETE_KEY);
  EXPECT_EQ(Texts({"DeleteFolder(null,confirm)"}), folder->operations);
}

TEST_F(ViewCommandsTest, PropertiesOncePerSelectedRowInListOrderOrForTheFolder) {
  ComPtr<IShellView> view = OpenFilled();
  HWND list = ListOf(view.Get());
  Select(list, {4, 0, 2});
  Command(view.Get(), IDC_PROPERTIES);
  Select(list, {});
  Command(view.Get(), IDC_PROPERTIES);
  EXPECT_EQ(Texts({"ShowProperties(Archive)", "ShowProperties(agenda.doc)", "ShowProperties(minutes.txt)",
                   "ShowProperties(null)"}),
            folder_->operations);
}

TEST_F(ViewCommandsTest, NewFolderButtonAsksTheFolder) {
  ComPtr<IShellView> view = OpenFilled();
  Command(view.Get(), IDC_NEW_FOLDER);
  ComPtr<IOleCommandTarget> target = view.As<IOleCommandTarget>();
  EXPECT_EQ(S_OK, target->Exec(&kShellFolderClassId, IDC_NEW_FOLDER, 0, nullptr, nullptr));
  EXPECT_EQ(Texts({"NewFolder", "NewFolder"}), folder_->operations);
}

TEST_F(ViewCommandsTest, ViewsButtonMenuMarksTheCurrentModeAndGreysThumbnails) {
  ComPtr<IShellView> view = OpenFilled();
  Command(view.Get(), IDC_MODE_LIST);
  RECT button = {10, 20, 40, 45};
  VARIANT value = {};
  value.vt = VT_INT_PTR;
  value.pintVal = reinterpret_cast<INT*>(&button);
  void* record[2] = {nullptr, &value};
  std::vector<std::string> seen;
  {
    DuringMenu reader([&](HWND, HMENU menu) {
      for (int i = 0; i < GetMenuItemCount(menu); ++i) {
        char text[32] = {};
        GetMenuStringA(menu, i, text, sizeof text, MF_BYPOSITION);
        UINT state = GetMenuState(menu, i, MF_BYPOSITION);
        seen.push_back(std::string(text) + ((state & MF_CHECKED) ? "+" : "") + ((state & MF_GRAYED) ? "(grey)" : ""));
      }
      EndMenu();
    });
    SendMessageA(Impl(view.Get())->ViewWindow(), WM_COMMAND, MAKEWPARAM(IDC_VIEWS_BUTTON, 0),
                 reinterpret_cast<LPARAM>(record));
    EXPECT_TRUE(reader.ran);
  }
  EXPECT_EQ(Texts({"Large Icons", "Small Icons", "List+", "Details", "Report", "Thumbnails(grey)"}), seen);

  // Without the button's rectangle nothing opens.
  value.vt = VT_I4;
  DuringMenu none([](HWND, HMENU) { EndMenu(); });
  SendMessageA(Impl(view.Get())->ViewWindow(), WM_COMMAND, MAKEWPARAM(IDC_VIEWS_BUTTON, 0),
               reinterpret_cast<LPARAM>(record));
  EXPECT_FALSE(none.ran);
}

TEST_F(ViewCommandsTest, RightClickShowsTheSelectionMenuAndRunsTheChosenCommand) {
  ComPtr<IShellView> view = OpenFilled();
  HWND list = ListOf(view.Get());
  Select(list, {0, 3});
  {
    DuringMenu chooser([](HWND window, HMENU) { ChooseByKeys(window, 2); });  // "item 11"
    NotifyList(view.Get(), NM_RCLICK);
    EXPECT_TRUE(chooser.ran);
  }
  // Explore without a folder tree; no rename for two rows. The command's
  // identifier 12 goes out as offset 11, with the structure's own size.
  EXPECT_EQ(Texts({"Query(Archive,budget.xls;0,1,0)",
                   "Invoke(11," + std::to_string(sizeof(CMINVOKECOMMANDINFOEX)) + ",1)"}),
            folder_->menuCalls);

  // The background's menu (nothing selected) with the tree shown; dismissed.
  folder_->menuCalls.clear();
  browser_->tree = browser_->Frame();
  Select(list, {});
  {
    DuringMenu dismiss([](HWND, HMENU) { EndMenu(); });
    NotifyList(view.Get(), NM_RCLICK);
  }
  EXPECT_EQ(Texts({"Query(;0,1," + std::to_string(CMF_EXPLORE) + ")"}), folder_->menuCalls);
}

TEST_F(ViewCommandsTest, TheTrackedMenuGetsItsMenuMessagesOnlyWhileItIsUp) {
  ComPtr<IShellView> view = OpenFilled();
  HWND window = Impl(view.Get())->ViewWindow();
  Select(ListOf(view.Get()), {3});
  {
    DuringMenu dismiss([&](HWND, HMENU menu) {
      MEASUREITEMSTRUCT measure = {ODT_MENU};
      EXPECT_EQ(TRUE, SendMessageA(window, WM_MEASUREITEM, 0, reinterpret_cast<LPARAM>(&measure)));
      SendMessageA(window, WM_MENUCHAR, MAKEWPARAM('x', MF_POPUP), reinterpret_cast<LPARAM>(menu));
      EndMenu();
    });
    NotifyList(view.Get(), NM_RCLICK);
    EXPECT_TRUE(dismiss.ran);
  }
  std::vector<UINT>& messages = folder_->menuMessages;
  EXPECT_NE(messages.end(), std::find(messages.begin(), messages.end(), UINT{WM_INITMENUPOPUP}));
  EXPECT_NE(messages.end(), std::find(messages.begin(), messages.end(), UINT{WM_MEASUREITEM}));
  EXPECT_NE(messages.end(), std::find(messages.begin(), messages.end(), UINT{WM_MENUCHAR}));
  messages.clear();
  MEASUREITEMSTRUCT measure = {ODT_MENU};
  SendMessageA(window, WM_MEASUREITEM, 0, reinterpret_cast<LPARAM>(&measure));
  EXPECT_TRUE(messages.empty()) << "no menu is up any more";
}

TEST_F(ViewCommandsTest, ReservedIdentifiersAreNeverPassedOnButMergedOnesAre) {
  ComPtr<IShellView> view = OpenFilled();
  HWND list = ListOf(view.Get());
  Select(list, {2});
  for (int position : {3, 4, 5}) {  // identifiers 13, 16 and 17
    DuringMenu chooser([position](HWND window, HMENU) { ChooseByKeys(window, position); });
    NotifyList(view.Get(), NM_RCLICK);
  }
  Texts invoked;
  for (const std::string& call : folder_->menuCalls) {
    if (call.rfind("Invoke", 0) == 0) invoked.push_back(call.substr(0, call.find(',')));
  }
  EXPECT_EQ(Texts({"Invoke(16"}), invoked);
}

TEST_F(ViewCommandsTest, ChoosingTheRenameVerbEditsTheRow) {
  ComPtr<IShellView> view = OpenFilled();
  HWND list = ListOf(view.Get());
  Select(list, {1});
  {
    DuringMenu chooser([](HWND window, HMENU) { ChooseByKeys(window, 1); });  // "item 2"
    NotifyList(view.Get(), NM_RCLICK);
  }
  EXPECT_EQ(Texts({"Query(Drafts;0,1," + std::to_string(CMF_CANRENAME) + ")"}), folder_->menuCalls);
  HWND edit = ListView_GetEditControl(list);
  ASSERT_NE(nullptr, edit);
  SendMessageA(edit, WM_KEYDOWN, VK_ESCAPE, 0);
}

TEST_F(ViewCommandsTest, ActivationBrowsesIntoAFolderOrRunsTheDefaultCommandUnlessTheFileDialogTakesIt) {
  ComPtr<IShellView> view = OpenFilled();
  Select(ListOf(view.Get()), {3});  // budget.xls
  NotifyList(view.Get(), LVN_ITEMACTIVATE);
  EXPECT_EQ(Texts({"Query(budget.xls;0,1," + std::to_string(CMF_CANRENAME) + ")",
                   "Invoke(0," + std::to_string(sizeof(CMINVOKECOMMANDINFOEX)) + ",1)"}),
            folder_->menuCalls);
  EXPECT_EQ(0, browser_->CountOf("BrowseObject"));

  // A folder opens in the same window, not through its menu's "Open"; two
  // folders at once go to the menu.
  folder_->menuCalls.clear();
  Select(ListOf(view.Get()), {0, 1});
  NotifyList(view.Get(), LVN_ITEMACTIVATE);
  EXPECT_EQ(0, browser_->CountOf("BrowseObject"));
  EXPECT_EQ(2u, folder_->menuCalls.size());
  folder_->menuCalls.clear();
  Select(ListOf(view.Get()), {1});  // Drafts
  NotifyList(view.Get(), LVN_ITEMACTIVATE);
  EXPECT_EQ(1, std::count(browser_->calls.begin(), browser_->calls.end(),
                          "BrowseObject(Drafts," + std::to_string(SBSP_SAMEBROWSER | SBSP_RELATIVE) + ")"));
  EXPECT_TRUE(folder_->menuCalls.empty());

  ComPtr<IShellView> dialogView = Open(folder_.Get(), nullptr, true);
  browser_->defaultCommandAnswer = S_OK;
  Select(ListOf(dialogView.Get()), {1});
  NotifyList(dialogView.Get(), LVN_ITEMACTIVATE);
  EXPECT_EQ(1, browser_->CountOf("OnDefaultCommand"));
  EXPECT_EQ(0, browser_->CountOf("BrowseObject")) << "the file dialog took it";
  EXPECT_TRUE(folder_->menuCalls.empty());
}

TEST_F(ViewCommandsTest, DraggingHandsTheSelectedRowsToADataObjectAndKeepsThem) {
  ComPtr<IShellView> view = OpenFilled();
  HWND list = ListOf(view.Get());
  Select(list, {});
  NotifyList(view.Get(), LVN_BEGINDRAG);
  EXPECT_TRUE(folder_->menuCalls.empty()) << "nothing selected, nothing dragged";
  Select(list, {1, 4});
  NotifyList(view.Get(), LVN_BEGINRDRAG);
  EXPECT_EQ(Texts({"DataObject(Drafts,minutes.txt)"}), folder_->menuCalls);
  EXPECT_EQ(5, ListView_GetItemCount(list));
}

// What is dragged matters only to the drop targets the list hands it to.
class EmptyDataObject : public ComObject<EmptyDataObject, NotCounted, IDataObject> {
 public:
  static const InterfaceEntry* InterfaceTable() {
    static const InterfaceEntry table[] = {QV_INTERFACE(EmptyDataObject, IDataObject), {nullptr, 0}};
    return table;
  }
  STDMETHODIMP GetData(FORMATETC*, STGMEDIUM*) override { return DV_E_FORMATETC; }
  STDMETHODIMP GetDataHere(FORMATETC*, STGMEDIUM*) override { return DV_E_FORMATETC; }
  STDMETHODIMP QueryGetData(FORMATETC*) override { return DV_E_FORMATETC; }
  STDMETHODIMP GetCanonicalFormatEtc(FORMATETC*, FORMATETC*) override { return E_NOTIMPL; }
  STDMETHODIMP SetData(FORMATETC*, STGMEDIUM*, BOOL) override { return E_NOTIMPL; }
  STDMETHODIMP EnumFormatEtc(DWORD, IEnumFORMATETC**) override { return E_NOTIMPL; }
  STDMETHODIMP DAdvise(FORMATETC*, DWORD, IAdviseSink*, DWORD*) override { return OLE_E_ADVISENOTSUPPORTED; }
  STDMETHODIMP DUnadvise(DWORD) override { return OLE_E_ADVISENOTSUPPORTED; }
  STDMETHODIMP EnumDAdvise(IEnumSTATDATA**) override { return OLE_E_ADVISENOTSUPPORTED; }
};

// The screen point in the middle of a row's name.
POINTL PointOnRow(HWND list, int row) {
  RECT label = {};
  ListView_GetItemRect(list, row, &label, LVIR_LABEL);
  POINT point = {(label.left + label.right) / 2, (label.top + label.bottom) / 2};
  ClientToScreen(list, &point);
  return {point.x, point.y};
}

bool Highlighted(HWND list, int row) { return ListView_GetItemState(list, row, LVIS_DROPHILITED) != 0; }

TEST_F(ViewCommandsTest, TheListTakesDropsAndHandsThemToTheFolderRowUnderTheCursor) {
  folder_ = MakeFilledFolder();
  folder_->AddFolder("Locked");
  ComPtr<IShellView> view = Open(folder_.Get());
  HWND list = ListOf(view.Get());
  // Rows: Archive, Drafts, Locked, agenda.doc, budget.xls, minutes.txt.
  auto other = MakeComObject<CViewDropTarget>(list, folder_.Get());
  EXPECT_EQ(DRAGDROP_E_ALREADYREGISTERED, RegisterDragDrop(list, other.Get())) << "the view registers its list";

  auto data = MakeComObject<EmptyDataObject>();
  auto target = MakeComObject<CViewDropTarget>(list, folder_.Get());
  DWORD effect = DROPEFFECT_COPY | DROPEFFECT_MOVE;
  EXPECT_EQ(S_OK, target->DragEnter(data.Get(), MK_LBUTTON, PointOnRow(list, 0), &effect));
  EXPECT_EQ(DWORD{DROPEFFECT_MOVE}, effect);
  EXPECT_TRUE(Highlighted(list, 0));
  effect = DROPEFFECT_COPY | DROPEFFECT_MOVE;
  target->DragOver(MK_LBUTTON, PointOnRow(list, 3), &effect);  // a result: the open folder takes it
  EXPECT_EQ(DWORD{DROPEFFECT_MOVE}, effect);
  EXPECT_FALSE(Highlighted(list, 0));
  EXPECT_FALSE(Highlighted(list, 3));
  effect = DROPEFFECT_COPY | DROPEFFECT_MOVE;
  target->DragOver(MK_LBUTTON, PointOnRow(list, 2), &effect);
  EXPECT_EQ(DWORD{DROPEFFECT_NONE}, effect);
  EXPECT_FALSE(Highlighted(list, 2)) << "a row that refuses the drop is not lit";
  effect = DROPEFFECT_COPY | DROPEFFECT_MOVE;
  target->DragOver(MK_LBUTTON, PointOnRow(list, 1), &effect);
  target->DragOver(MK_LBUTTON, PointOnRow(list, 1), &effect);
  EXPECT_TRUE(Highlighted(list, 1));
  effect = DROPEFFECT_COPY | DROPEFFECT_MOVE;
  EXPECT_EQ(S_OK, target->Drop(data.Get(), 0, PointOnRow(list, 1), &effect));
  EXPECT_EQ(DWORD{DROPEFFECT_MOVE}, effect);
  EXPECT_FALSE(Highlighted(list, 1));
  EXPECT_EQ(Texts({"DragEnter(Archive)", "DragLeave(Archive)", "DragEnter(Work)", "DragLeave(Work)",
                   "DragEnter(Locked)", "DragLeave(Locked)", "DragEnter(Drafts)", "DragOver(Drafts)",
                   "DragOver(Drafts)", "Drop(Drafts)"}),
            folder_->dropCalls);

  // A drop where the target refuses never reaches its Drop; leaving leaves.
  folder_->dropCalls.clear();
  effect = DROPEFFECT_MOVE;
  target->DragEnter(data.Get(), MK_LBUTTON, PointOnRow(list, 2), &effect);
  effect = DROPEFFECT_MOVE;
  EXPECT_EQ(S_OK, target->Drop(data.Get(), 0, PointOnRow(list, 2), &effect));
  EXPECT_EQ(DWORD{DROPEFFECT_NONE}, effect);
  effect = DROPEFFECT_MOVE;
  target->DragEnter(data.Get(), MK_LBUTTON, PointOnRow(list, 0), &effect);
  target->DragLeave();
  EXPECT_FALSE(Highlighted(list, 0));
  EXPECT_EQ(Texts({"DragEnter(Locked)", "DragOver(Locked)", "DragLeave(Locked)", "DragEnter(Archive)",
                   "DragLeave(Archive)"}),
            folder_->dropCalls);
}

}  // namespace
}  // namespace qv::test
