#include <gtest/gtest.h>

#include <string>

#include "common/Text.h"
#include "resources/resource.h"
#include "support/OperationsFixture.h"
#include "ui/CFolderPropertiesDialog.h"

namespace qv::test {
namespace {

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

}  // namespace
}  // namespace qv::test
