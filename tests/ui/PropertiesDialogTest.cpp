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

}  // namespace
}  // namespace qv::test
