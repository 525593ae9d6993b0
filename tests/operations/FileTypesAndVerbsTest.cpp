#include <gtest/gtest.h>

#include <cstring>

#include "common/ModulePaths.h"
#include "support/OperationsFixture.h"
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
  EXPECT_EQ((Strings{"Drafts", "Archive", "pdf files", "pdf files (1)"}), SavedChildren({"Work"}));
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
  Ops(work).ShowProperties(kOwner, found.Get());
  ASSERT_EQ(4u, log.executions.size());

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

  const auto& properties = log.executions[3];
  EXPECT_EQ(ULONG{0xC}, properties.info.fMask);
  EXPECT_EQ("properties", properties.verb);
  EXPECT_EQ(dir_.File("doc.txt"), properties.file);
  EXPECT_EQ(SW_SHOW, properties.info.nShow);
}

// The file's folder opens with the file selected; where the shell cannot do
// that, Explorer is asked to; a file that is gone or cannot be shown is named.
TEST_F(FileTypesAndVerbsTest, OpenContainingFolderSelectsTheFileInItsFolder) {
  ComPtr<CShellFolder> work = Work();
  WriteFileText(dir_.File("doc.txt"), "x");
  TestItemList found;
  found.Result("doc.txt", dir_.File("doc.txt"));
  TestItemList gone;
  gone.Result("gone.txt", dir_.File("gone.txt"));
  ScopedShellRequestLog log;
  ScopedConfirmationAnswer told(true);

  Ops(work).OpenContainingFolder(found.Get());
  ASSERT_EQ(1u, log.selections.size());
  EXPECT_EQ(dir_.File("doc.txt"), log.selections[0]);
  EXPECT_TRUE(log.executions.empty());
  EXPECT_EQ(0, told.Count());

  log.selectionResult = E_FAIL;
  Ops(work).OpenContainingFolder(found.Get());
  ASSERT_EQ(1u, log.executions.size());
  EXPECT_EQ("explorer.exe", log.executions[0].file);
  EXPECT_EQ("/select,\"" + dir_.File("doc.txt") + "\"", log.executions[0].parameters);
  EXPECT_EQ(0, told.Count());

  log.executeResult = FALSE;
  Ops(work).OpenContainingFolder(found.Get());
  ASSERT_EQ(1, told.Count());
  EXPECT_NE(std::string::npos, told.LastText().find(dir_.File("doc.txt"))) << told.LastText();

  Ops(work).OpenContainingFolder(gone.Get());
  EXPECT_EQ(2u, log.executions.size());
  EXPECT_EQ(3u, log.selections.size());
  ASSERT_EQ(2, told.Count());
  EXPECT_NE(std::string::npos, told.LastText().find("gone.txt")) << told.LastText();
}

TEST_F(FileTypesAndVerbsTest, PropertiesOfTheRootBackgroundShowTheAboutBox) {
  ScopedConfirmationAnswer shown(true);
  Ops(root_).ShowProperties(kOwner, nullptr);
  ASSERT_EQ(1, shown.Count());
  EXPECT_EQ("About quorvane", shown.LastTitle());
  EXPECT_EQ(kOwner, shown.LastOwner());
  std::string data = dir_.Path().substr(0, dir_.Path().size() - 1);
  std::string module = ToUtf8(ModuleDirectory());
  module.pop_back();
  EXPECT_EQ("quorvane\nversion: 1.0.0.0\npath :" + module + "\ndata: " + data,
            shown.LastText().substr(0, shown.LastText().find("\nweb: ")));
  // The web address is the help page installed beside the module; no contact
  // line names an address nobody reads.
  EXPECT_NE(std::string::npos, shown.LastText().find("\nweb: file:")) << shown.LastText();
  EXPECT_NE(std::string::npos, shown.LastText().find("quorvane-help.htm")) << shown.LastText();
  EXPECT_EQ(std::string::npos, shown.LastText().find("example")) << shown.LastText();
  EXPECT_EQ(std::string::npos, shown.LastText().find("email")) << shown.LastText();
}

// The root's properties open the indexing options window (the windowless
// index tool beside the component) and keep the About box; a tool that does not start is
// named in the box.
TEST_F(FileTypesAndVerbsTest, PropertiesOfTheRootOpenTheIndexingOptionsBesideTheAboutBox) {
  ScopedShellRequestLog log;
  ScopedConfirmationAnswer shown(true);
  const std::string tool = ToUtf8(ModuleDirectory()) + "quorvane-indexw.exe";
  Ops(root_).ShowProperties(kOwner, nullptr);
  ASSERT_EQ(1u, log.executions.size());
  EXPECT_EQ(tool, log.executions[0].file);
  EXPECT_EQ("options", log.executions[0].parameters);
  EXPECT_EQ(kOwner, log.executions[0].info.hwnd);
  EXPECT_NE(0u, log.executions[0].info.fMask & SEE_MASK_FLAG_NO_UI);
  ASSERT_EQ(1, shown.Count());
  EXPECT_EQ("About quorvane", shown.LastTitle());
  EXPECT_EQ(std::string::npos, shown.LastText().find("could not be opened")) << shown.LastText();

  log.executeResult = FALSE;
  Ops(root_).ShowProperties(kOwner, nullptr);
  ASSERT_EQ(2, shown.Count());
  EXPECT_EQ(0u, shown.LastText().find("quorvane\nversion: ")) << shown.LastText();
  EXPECT_NE(std::string::npos, shown.LastText().find("could not be opened: " + tool)) << shown.LastText();
}

}  // namespace
}  // namespace qv::test
