#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/Text.h"
#include "resources/resource.h"
#include "support/OperationsFixture.h"
#include "support/SearchStub.h"
#include "support/WindowPicture.h"
#include "ui/CFolderPropertiesDialog.h"
#include "ui/Confirmation.h"

namespace qv::test {
namespace {

using Strings = std::vector<std::string>;

// The properties dialog with text the ANSI code page cannot hold, driven through
// its controls' wide interface.
class UnicodePropertiesDialog : public OperationsTest {
 protected:
  ~UnicodePropertiesDialog() override {
    while (OpenPropertiesDialogCount() > 0) DestroyWindow(OpenPropertiesDialog(0)->Window());
  }
  HWND OpenDialog(CShellFolder* folder, const std::string& child) {
    CItemIdList item = ItemOf(folder, child);
    EXPECT_NE(nullptr, item.Get()) << child;
    int before = OpenPropertiesDialogCount();
    folder->ShowProperties(nullptr, item.Get());
    return OpenPropertiesDialogCount() > before ? OpenPropertiesDialog(before)->Window() : nullptr;
  }
  static std::string Text(HWND window, int control = 0) {
    wchar_t text[512] = {};
    GetWindowTextW(control ? GetDlgItem(window, control) : window, text, ARRAYSIZE(text));
    return ToUtf8(text);
  }
  static void Type(HWND window, int control, const std::string& text) {
    SetDlgItemTextW(window, control, ToWide(text).c_str());
  }
  static void Apply(HWND window) { SendMessageW(GetDlgItem(window, IDC_APPLY_BUTTON), BM_CLICK, 0, 0); }
  // A key as a host's message loop gets it: posted to the focused control and
  // pumped by a loop that knows nothing of the dialog (no IsDialogMessage).
  static void PressKey(UINT key, bool shift = false) {
    BYTE keys[256] = {};
    GetKeyboardState(keys);
    BYTE saved = keys[VK_SHIFT];
    keys[VK_SHIFT] = shift ? 0x80 : 0;
    SetKeyboardState(keys);
    HWND focus = GetFocus();
    PostMessageW(focus, WM_KEYDOWN, key, 1);
    PostMessageW(focus, WM_KEYUP, key, 0xC0000001);
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&message);
      DispatchMessageW(&message);
    }
    keys[VK_SHIFT] = saved;
    SetKeyboardState(keys);
  }
  static std::string Repeat(const std::string& text, int count) {
    std::string result;
    for (int i = 0; i < count; ++i) result += text;
    return result;
  }
};

TEST_F(UnicodePropertiesDialog, NameAndSearchStringRoundTripWhole) {
  ComPtr<CShellFolder> work = Work();
  HWND dialog = OpenDialog(work.Get(), "Drafts");
  ASSERT_TRUE(dialog);
  Type(dialog, IDC_FOLDER_NAME, "日本 Отчёт");
  Type(dialog, IDC_SEARCH_STRING, "日本語 отчёт 😀");
  Apply(dialog);
  EXPECT_EQ("日本 Отчёт Properties", Text(dialog));
  std::string saved = DocumentText();
  EXPECT_NE(std::string::npos, saved.find("日本 Отчёт")) << saved;
  EXPECT_NE(std::string::npos, saved.find("日本語 отчёт 😀")) << saved;
  DestroyWindow(dialog);

  HWND again = OpenDialog(work.Get(), "日本 Отчёт");
  ASSERT_TRUE(again);
  EXPECT_EQ("日本 Отчёт", Text(again, IDC_FOLDER_NAME));
  EXPECT_EQ("日本語 отчёт 😀", Text(again, IDC_SEARCH_STRING));
  EXPECT_EQ("file", Text(again, IDC_CATEGORY)) << "the other settings stay";
}

TEST_F(UnicodePropertiesDialog, LimitsCountCharactersAndSiblingNamesIgnoreCase) {
  ComPtr<CShellFolder> work = Work();
  HWND dialog = OpenDialog(work.Get(), "Drafts");
  ASSERT_TRUE(dialog);
  EXPECT_EQ(49, SendDlgItemMessageW(dialog, IDC_FOLDER_NAME, EM_GETLIMITTEXT, 0, 0));
  EXPECT_EQ(199, SendDlgItemMessageW(dialog, IDC_SEARCH_STRING, EM_GETLIMITTEXT, 0, 0));

  // 50 characters are refused, 49 three-byte ones taken.
  std::string before = DocumentText();
  Type(dialog, IDC_FOLDER_NAME, Repeat("名", 50));
  Apply(dialog);
  EXPECT_EQ(before, DocumentText());
  Type(dialog, IDC_FOLDER_NAME, Repeat("名", 49));
  Apply(dialog);
  EXPECT_EQ(Repeat("名", 49) + " Properties", Text(dialog));
  EXPECT_NE(std::string::npos, DocumentText().find("\"" + Repeat("名", 49) + "\""));

  // A sibling's name in other letter case is taken; the folder's own is not.
  before = DocumentText();
  Type(dialog, IDC_FOLDER_NAME, "ARCHIVE");
  Apply(dialog);
  EXPECT_EQ(before, DocumentText());
  Type(dialog, IDC_FOLDER_NAME, Repeat("名", 48) + "X");
  Apply(dialog);
  Type(dialog, IDC_FOLDER_NAME, Repeat("名", 48) + "x");
  Apply(dialog);
  EXPECT_EQ(Repeat("名", 48) + "x Properties", Text(dialog));
}

TEST_F(UnicodePropertiesDialog, TabShiftTabEnterAndEscWorkInAHostLoopThatDoesNotKnowTheDialog) {
  ComPtr<CShellFolder> work = Work();
  HWND dialog = OpenDialog(work.Get(), "Drafts");
  ASSERT_TRUE(dialog);
  ASSERT_EQ(GetDlgItem(dialog, IDC_FOLDER_NAME), GetFocus());
  PressKey(VK_TAB);
  EXPECT_EQ(GetDlgItem(dialog, IDC_SEARCH_STRING), GetFocus()) << "Tab";
  PressKey(VK_TAB, true);
  EXPECT_EQ(GetDlgItem(dialog, IDC_FOLDER_NAME), GetFocus()) << "Shift+Tab";

  // Enter presses the default button, OK: applied and closed.
  Type(dialog, IDC_FOLDER_NAME, "Sketches");
  PressKey(VK_RETURN);
  EXPECT_FALSE(IsWindow(dialog)) << "Enter";
  EXPECT_EQ(0, OpenPropertiesDialogCount());
  EXPECT_NE(std::string::npos, DocumentText().find("\"Sketches\"")) << DocumentText();

  // Esc cancels: closed, nothing saved.
  HWND archive = OpenDialog(work.Get(), "Archive");
  ASSERT_TRUE(archive);
  std::string before = DocumentText();
  Type(archive, IDC_FOLDER_NAME, "Attic");
  PressKey(VK_ESCAPE);
  EXPECT_FALSE(IsWindow(archive)) << "Esc";
  EXPECT_EQ(before, DocumentText());
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

// Under the search string the dialog says, a moment after the user stops
// typing, how many files the query finds now and what the service read
// literally; one query at a time.
class PropertiesDialogPreviewTest : public PropertiesDialogTest {
 protected:
  void SetUp() override {
    for (const char* name : {"a.txt", "b.txt", "c.txt"}) stub_.AddResult(ToWide(dir_.File(name)), ToWide(name));
  }
  // Handles messages until the control shows `expected` (or a few seconds
  // have passed); what it shows then.
  static std::string AwaitText(HWND dialog, int control, const std::string& expected) {
    DWORD start = GetTickCount();
    while (Text(dialog, control) != expected && GetTickCount() - start < 3000) {
      PumpMessages();
      Sleep(10);
    }
    return Text(dialog, control);
  }
  // Replaces the search string as typing does (a multi-line edit box tells
  // its dialog of a change only then, not when its text is set).
  static void TypeSearch(HWND dialog, const char* text) {
    SendDlgItemMessageA(dialog, IDC_SEARCH_STRING, EM_SETSEL, 0, -1);
    SendDlgItemMessageA(dialog, IDC_SEARCH_STRING, EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(text));
  }
  static void PumpFor(DWORD milliseconds) {
    DWORD start = GetTickCount();
    while (GetTickCount() - start < milliseconds) {
      PumpMessages();
      Sleep(10);
    }
  }
  SearchStub stub_;
};

TEST_F(PropertiesDialogPreviewTest, ShowsTheCountAndWhatWasReadLiterallyAsTheUserTypes) {
  stub_.SetLiteralWarning(L"Read literally: size:>>1 (not a size)");
  HWND dialog = OpenDialog(Work().Get(), "Drafts");
  ASSERT_TRUE(dialog);
  EXPECT_EQ("3 files match\r\nRead literally: size:>>1 (not a size)",
            AwaitText(dialog, IDC_QUERY_PREVIEW, "3 files match\r\nRead literally: size:>>1 (not a size)"));
  ASSERT_EQ(1u, stub_.Queries().size());
  EXPECT_EQ(L"draft", std::wstring(stub_.Queries()[0].searchString));
  EXPECT_EQ(L"file", std::wstring(stub_.Queries()[0].category));
  EXPECT_EQ(0, stub_.Queries()[0].ranking);
  // The bundled service answers files only, and the dialog says so.
  EXPECT_EQ("Service answers \"file\" and \"all\"", Text(dialog, IDC_CATEGORY_NOTE));
  // The product's address is the help page installed beside the module.
  std::string address = Text(dialog, IDC_HELP_ADDRESS);
  EXPECT_EQ(0u, address.find("file:")) << address;
  EXPECT_EQ(std::string::npos, address.find("example")) << address;

  // While the service searches, typing on sends no second query; once it has
  // answered, the text typed last is asked, with the ranking chosen.
  stub_.SetReadyStates({3});
  stub_.SetLiteralWarning(L"");
  TypeSearch(dialog, "(zanzibar");
  PumpFor(700);
  ASSERT_EQ(2u, stub_.Queries().size());
  TypeSearch(dialog, "zanzibar");
  Press(dialog, IDC_RANK_RECENCY);
  PumpFor(700);
  EXPECT_EQ(2u, stub_.Queries().size()) << "a second query while one was in flight";
  stub_.Reset();
  stub_.AddResult(ToWide(dir_.File("a.txt")), L"a.txt");
  EXPECT_EQ("1 file matches", AwaitText(dialog, IDC_QUERY_PREVIEW, "1 file matches"));
  ASSERT_EQ(1u, stub_.Queries().size());
  EXPECT_EQ(L"zanzibar", std::wstring(stub_.Queries()[0].searchString));
  EXPECT_EQ(1, stub_.Queries()[0].ranking);

  // The example: a count and what was read literally, for the picture.
  stub_.Reset();
  stub_.SetLiteralWarning(L"Read literally: \" (unbalanced quote), size:>>1 (not a size), kind:gizmo (not a kind)");
  for (const char* name : {"a.txt", "b.txt", "c.txt"}) stub_.AddResult(ToWide(dir_.File(name)), ToWide(name));
  TypeSearch(dialog, "(zanzibar OR \"pelican size:>>1 kind:gizmo");
  std::string shown = "3 files match\r\nRead literally: \" (unbalanced quote), size:>>1 (not a size), kind:gizmo (not a kind)";
  EXPECT_EQ(shown, AwaitText(dialog, IDC_QUERY_PREVIEW, shown));
  SetForegroundWindow(dialog);
  RedrawWindow(dialog, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
  PumpFor(200);
  EXPECT_TRUE(SaveWindowPicture(dialog, PictureInWorkingDirectory(L"properties-dialog.png"), true));
}

}  // namespace
}  // namespace qv::test
