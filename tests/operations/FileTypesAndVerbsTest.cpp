#include <gtest/gtest.h>

#include <cstring>

#include "support/OperationsFixture.h"
#include "ui/CFolderPropertiesDialog.h"
#include "ui/Confirmation.h"
#include "resources/resource.h"

namespace qv::test {
namespace {

using Strings = std::vector<std::string>;
const HWND kOwner = reinterpret_cast<HWND>(0x4321);

class FileTypesAndVerbsTest : public OperationsTest {
 protected:
  std::string SavedQuery(std::initializer_list<std::string> path) const { return SavedRecord(path).query; }
};

TEST_F(FileTypesAndVerbsTest, ShowOnlyAndHideAppendToTheSearchStringEachTime) {
  ComPtr<CShellFolder> work = Work();
  EXPECT_TRUE(Ops(work).ShowOnlyFileType("pdf"));
  EXPECT_EQ("report filetype:pdf", SavedQuery({"Work"}));
  ComPtr<CShellFolder> invoices = Open(root_.Get(), "Invoices");
  EXPECT_TRUE(Ops(invoices).HideFileType("pdf"));
  EXPECT_TRUE(Ops(invoices).HideFileType("pdf"));
  EXPECT_EQ("Invoices -filetype:pdf -filetype:pdf", SavedQuery({"Invoices"}));
}

TEST_F(FileTypesAndVerbsTest, RewriteThatWouldNotFitIsRefusedUnchanged) {
  ComPtr<CShellFolder> work = Work();
  // 190 characters of three bytes each: the limit counts characters.
  std::string longQuery;
  for (int i = 0; i < 190; ++i) longQuery += "\xE6\x97\xA5";
  RequireFolderStore().ChangeFolder(work->AbsoluteList(), [&](FolderSettings& settings) {
    settings.query = longQuery;
    return true;
  });
  std::string before = DocumentText();
  ScopedShellRequestLog log;
  EXPECT_FALSE(Ops(work).ShowOnlyFileType("pdf"));
  EXPECT_FALSE(Ops(work).HideFileType("pdf"));
  EXPECT_FALSE(Ops(work).MoveFileTypeToFolder("pdf"));
  EXPECT_EQ(before, DocumentText());
  EXPECT_TRUE(log.notifications.empty());
}

TEST_F(FileTypesAndVerbsTest, MoveToFolderAddsAFolderPerUseWithTheNarrowedString) {
  ComPtr<CShellFolder> work = Work();
  ScopedShellRequestLog log;
  EXPECT_TRUE(Ops(work).MoveFileTypeToFolder("pdf"));
  FolderSettings added = SavedRecord({"Work", "pdf files"});
  EXPECT_EQ("report filetype:pdf", added.query);
  EXPECT_EQ("file", added.category);
  EXPECT_TRUE(Ops(work).HideFileType("pdf"));
  EXPECT_EQ("report -filetype:pdf", SavedQuery({"Work"}));
  EXPECT_TRUE(Ops(work).MoveFileTypeToFolder("pdf"));
  EXPECT_EQ((Strings{"Drafts", "Archive", "pdf files", "pdf files"}), SavedChildren({"Work"}));
  // Each new folder is announced, and so is the folder whose search changed.
  ASSERT_EQ(3u, log.notifications.size());
  EXPECT_EQ(SHCNE_MKDIR, log.notifications[0].event);
  EXPECT_EQ("quorvane\\Work\\pdf files", log.notifications[0].first);
  EXPECT_EQ(SHCNE_UPDATEDIR, log.notifications[1].event);
  EXPECT_EQ("quorvane\\Work", log.notifications[1].first);
}

TEST_F(FileTypesAndVerbsTest, ClearSearchStringEmptiesAChildOrTheFolderItself) {
  ComPtr<CShellFolder> work = Work();
  Ops(work).ClearSearchString(ItemOf(work.Get(), "Drafts").Get());
  EXPECT_EQ("", SavedQuery({"Work", "Drafts"}));
  EXPECT_EQ("report", SavedQuery({"Work"}));
  Ops(work).ClearSearchString(nullptr);
  EXPECT_EQ("", SavedQuery({"Work"}));
  EXPECT_EQ("file", SavedRecord({"Work"}).category);
}

TEST_F(FileTypesAndVerbsTest, ViewModeIsStoredForSearchFoldersOnly) {
  ComPtr<CShellFolder> work = Work();
  EXPECT_EQ(kDefaultStyle, root_->GetViewStyle());
  work->SetViewStyle(3);
  EXPECT_EQ(3, SavedRecord({"Work"}).style);
  EXPECT_EQ(3, Open(root_.Get(), "Work")->GetViewStyle());
  std::string before = DocumentText();
  root_->SetViewStyle(2);
  EXPECT_EQ(before, DocumentText());
}

TEST_F(FileTypesAndVerbsTest, BoundFolderMakesItsView) {
  ComPtr<IShellView> view;
  EXPECT_EQ(S_OK, Work()->CreateViewObject(nullptr, IID_IShellView, view.PutVoid()));
  EXPECT_TRUE(view);
  ComPtr<IDropTarget> target;
  EXPECT_EQ(S_OK, Work()->CreateViewObject(nullptr, IID_IDropTarget, target.PutVoid()));
  EXPECT_TRUE(target) << "the folder takes drops on its own background";
  ComPtr<IUnknown> other;
  EXPECT_EQ(E_NOINTERFACE, Work()->CreateViewObject(nullptr, IID_IPersistFolder, other.PutVoid()));
  ComPtr<IContextMenu> background;
  EXPECT_EQ(S_OK, Work()->CreateViewObject(nullptr, IID_IContextMenu, background.PutVoid()));
}

TEST_F(FileTypesAndVerbsTest, VerbsAskTheShellWithTheDocumentedRequests) {
  ComPtr<CShellFolder> work = Work();
  WriteFileText(dir_.File("doc.txt"), "x");
  TestItemList found;
  found.Result("doc.txt", dir_.File("doc.txt"), RequirePidlManager().RegisterFilePath(dir_.File("doc.txt").c_str()));
  TestItemList unlisted;
  unlisted.Result("gone.txt", "C:\\Docs\\gone.txt");
  ScopedShellRequestLog log;
  ScopedConfirmationAnswer told(true);

  Ops(work).OpenFolderItem(kOwner, ItemOf(work.Get(), "Drafts").Get(), true);
  Ops(work).OpenFolderItem(kOwner, ItemOf(work.Get(), "Drafts").Get(), false);
  Ops(work).OpenResult(unlisted.Get());  // no such file: the user is told, nothing runs
  EXPECT_EQ(1, told.Count());
  Ops(work).OpenResult(found.Get());
  Ops(work).OpenContainingFolder(unlisted.Get());
  Ops(work).ShowProperties(kOwner, found.Get());
  ASSERT_EQ(5u, log.executions.size());

  const auto& explore = log.executions[0];
  EXPECT_EQ(DWORD{sizeof(SHELLEXECUTEINFOW)}, explore.info.cbSize);
  EXPECT_EQ(ULONG{5}, explore.info.fMask);
  EXPECT_EQ(kOwner, explore.info.hwnd);
  EXPECT_EQ("explore", explore.verb);
  EXPECT_EQ("folder", explore.className);
  EXPECT_EQ("quorvane\\Work\\Drafts", explore.idList);
  EXPECT_EQ(SW_SHOWNORMAL, explore.info.nShow);
  EXPECT_EQ("open", log.executions[1].verb);

  const auto& open = log.executions[2];
  EXPECT_EQ(ULONG{0x44}, open.info.fMask);
  EXPECT_EQ("", open.verb);
  EXPECT_EQ(dir_.File("doc.txt"), open.idList);
  EXPECT_EQ(nullptr, open.info.hwnd);

  const auto& containing = log.executions[3];
  EXPECT_EQ(ULONG{5}, containing.info.fMask);
  EXPECT_EQ("open", containing.verb);
  EXPECT_EQ("C:\\Docs\\", containing.file);
  EXPECT_EQ("folder", containing.className);
  EXPECT_EQ(nullptr, containing.info.lpIDList);

  const auto& properties = log.executions[4];
  EXPECT_EQ(ULONG{0xC}, properties.info.fMask);
  EXPECT_EQ("properties", properties.verb);
  EXPECT_EQ(dir_.File("doc.txt"), properties.file);
  EXPECT_EQ(SW_SHOW, properties.info.nShow);
}

TEST_F(FileTypesAndVerbsTest, PropertiesOfTheRootBackgroundShowTheAboutBox) {
  ScopedConfirmationAnswer shown(true);
  Ops(root_).ShowProperties(kOwner, nullptr);
  ASSERT_EQ(1, shown.Count());
  EXPECT_EQ("About quorvane", shown.LastTitle());
  EXPECT_EQ(kOwner, shown.LastOwner());
  std::string directory = dir_.Path().substr(0, dir_.Path().size() - 1);
  EXPECT_EQ("quorvane\nversion: 1.0.0.0\npath :" + directory, shown.LastText().substr(0, shown.LastText().find("\nweb: ")));
}

// The properties dialog, driven through its controls.
class PropertiesDialogTest : public OperationsTest {
 protected:
  ~PropertiesDialogTest() override {
    while (OpenPropertiesDialogCount() > 0) DestroyWindow(OpenPropertiesDialog(0)->Window());
  }
  HWND OpenDialog(CShellFolder* folder, const std::string& child) {
    int before = OpenPropertiesDialogCount();
    Ops(folder).ShowProperties(nullptr, child.empty() ? nullptr : ItemOf(folder, child).Get());
    EXPECT_EQ(before + 1, OpenPropertiesDialogCount());
    return OpenPropertiesDialogCount() > before ? OpenPropertiesDialog(before)->Window() : nullptr;
  }
  static std::string Text(HWND window, int control = 0) {
    char text[256] = {};
    GetWindowTextA(control ? GetDlgItem(window, control) : window, text, sizeof text);
    return text;
  }
  static void Press(HWND window, int button) { SendMessageA(GetDlgItem(window, button), BM_CLICK, 0, 0); }
  static void PumpMessages() {
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&message);
      DispatchMessageA(&message);
    }
  }
  static void Type(HWND window, int control, const char* text) { SetDlgItemTextA(window, control, text); }
};

TEST_F(PropertiesDialogTest, ApplyWithoutChangesSavesNothing) {
  HWND dialog = OpenDialog(Work().Get(), "Drafts");
  ASSERT_TRUE(dialog);
  EXPECT_EQ("Drafts Properties", Text(dialog));
  EXPECT_EQ("draft", Text(dialog, IDC_SEARCH_STRING));
  EXPECT_EQ("file", Text(dialog, IDC_CATEGORY));
  EXPECT_EQ("100", Text(dialog, IDC_MAX_RESULTS));
  std::string before = DocumentText();
  ScopedShellRequestLog log;
  Press(dialog, IDC_APPLY_BUTTON);
  EXPECT_EQ(before, DocumentText());
  EXPECT_TRUE(log.notifications.empty());
  // An empty category shows as "all", and choosing it again stores nothing new.
  HWND invoices = OpenDialog(root_.Get(), "Invoices");
  EXPECT_EQ("all", Text(invoices, IDC_CATEGORY));
  Press(invoices, IDOK);
  EXPECT_EQ(before, DocumentText());
  EXPECT_TRUE(log.notifications.empty());
  EXPECT_EQ(1, OpenPropertiesDialogCount());
}

TEST_F(PropertiesDialogTest, NameChangeRenamesAndTheDialogFollowsTheFolder) {
  HWND dialog = OpenDialog(Open(Work().Get(), "Drafts").Get(), "");  // the open folder's background
  ASSERT_TRUE(dialog);
  ScopedShellRequestLog log;
  Type(dialog, IDC_FOLDER_NAME, "Sketches");
  Press(dialog, IDC_APPLY_BUTTON);
  EXPECT_EQ((Strings{"Sketches", "Archive"}), SavedChildren({"Work"}));
  EXPECT_EQ("Sketches Properties", Text(dialog));
  ASSERT_EQ(1u, log.notifications.size());
  EXPECT_EQ(SHCNE_RENAMEFOLDER, log.notifications[0].event);
  EXPECT_EQ("quorvane\\Work\\Drafts", log.notifications[0].first);
  EXPECT_EQ("quorvane\\Work\\Sketches", log.notifications[0].second);

  Type(dialog, IDC_SEARCH_STRING, "sketch");
  Type(dialog, IDC_MAX_RESULTS, "25");
  Press(dialog, IDC_RANK_RECENCY);
  SendDlgItemMessageA(dialog, IDC_CATEGORY, CB_SELECTSTRING, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>("all"));
  Press(dialog, IDOK);
  FolderSettings saved = SavedRecord({"Work", "Sketches"});
  EXPECT_EQ("sketch", saved.query);
  EXPECT_EQ(25, saved.maxResults);
  EXPECT_EQ(1, saved.rankByRecency);
  EXPECT_EQ("", saved.category);
  ASSERT_EQ(2u, log.notifications.size());
  EXPECT_EQ(SHCNE_UPDATEDIR, log.notifications[1].event);
  EXPECT_EQ("quorvane\\Work\\Sketches", log.notifications[1].first);
  EXPECT_EQ(0, OpenPropertiesDialogCount());
}

TEST_F(PropertiesDialogTest, ApplyToAFolderAnotherWindowRenamedMeanwhileSaysSoAndSavesNothing) {
  HWND dialog = OpenDialog(Work().Get(), "Drafts");
  ASSERT_TRUE(dialog);
  {
    // Another process renames the folder while the dialog is open.
    CFolderStore other(ToWide(DocumentPath().c_str()));
    TestItemList drafts;
    drafts.Root().Folder("Work").Folder("Drafts");
    TestItemList sketches;
    sketches.Root().Folder("Work").Folder(MakeFolderRecord("Sketches", "draft", "file"));
    ASSERT_EQ(1, other.UpdateFolder(drafts.Get(), sketches.Get()));
  }
  std::string before = DocumentText();
  ScopedConfirmationAnswer shown(true);
  Type(dialog, IDC_SEARCH_STRING, "sketch");
  Press(dialog, IDC_APPLY_BUTTON);
  EXPECT_EQ(before, DocumentText());
  ASSERT_EQ(1, shown.Count());
  EXPECT_NE(std::string::npos, shown.LastText().find("another window")) << shown.LastText();
}

TEST_F(PropertiesDialogTest, ClosingFreesTheDialog) {
  HWND first = OpenDialog(Work().Get(), "Drafts");
  HWND second = OpenDialog(Work().Get(), "Archive");
  EXPECT_EQ("email", Text(second, IDC_CATEGORY));
  SendMessageA(first, WM_CLOSE, 0, 0);
  PumpMessages();
  EXPECT_FALSE(IsWindow(first));
  ASSERT_EQ(1, OpenPropertiesDialogCount());
  EXPECT_EQ(second, OpenPropertiesDialog(0)->Window());
  Press(second, IDCANCEL);
  EXPECT_EQ(0, OpenPropertiesDialogCount());
}

}  // namespace
}  // namespace qv::test
