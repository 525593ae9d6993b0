#include <gtest/gtest.h>

#include <thread>

#include "common/ModulePaths.h"
#include "folders/CDocumentLock.h"
#include "operations/FolderOperations.h"
#include "resources/resource.h"
#include "support/OperationsFixture.h"
#include "ui/Confirmation.h"

namespace qv::test {
namespace {

using Strings = std::vector<std::string>;
const HWND kOwner = reinterpret_cast<HWND>(0x1234);

class FolderOperationsTest : public OperationsTest {};

TEST_F(FolderOperationsTest, NewFolderNumbersFromOneAndFillsGaps) {
  ComPtr<CShellFolder> work = Work();
  ScopedShellRequestLog log;
  EXPECT_EQ("quorvane\\Work\\New Folder", PathOf(Ops(work).NewFolder().Get()));
  EXPECT_EQ("quorvane\\Work\\New Folder (1)", PathOf(Ops(work).NewFolder().Get()));
  EXPECT_EQ("quorvane\\Work\\New Folder (2)", PathOf(Ops(work).NewFolder().Get()));
  Ops(work).DeleteFolder(nullptr, ItemOf(work.Get(), "New Folder (1)").Get(), false);
  EXPECT_EQ("quorvane\\Work\\New Folder (1)", PathOf(Ops(work).NewFolder().Get()));

  EXPECT_EQ((Strings{"Drafts", "Archive", "New Folder", "New Folder (2)", "New Folder (1)"}), SavedChildren({"Work"}));
  EXPECT_EQ("file", std::string(SavedRecord({"Work", "New Folder"}).category));
  ASSERT_EQ(5u, log.notifications.size());
  EXPECT_EQ(SHCNE_MKDIR, log.notifications[0].event);
  EXPECT_EQ("quorvane\\Work\\New Folder", log.notifications[0].first);
  EXPECT_EQ(SHCNE_RMDIR, log.notifications[3].event);
  EXPECT_EQ("quorvane\\Work\\New Folder (1)", log.notifications[3].first);
}

TEST_F(FolderOperationsTest, NewFolderInAFolderGoneFromTheDocumentChangesNothing) {
  ComPtr<CShellFolder> drafts = Open(Work().Get(), "Drafts");
  Ops(Work()).DeleteFolder(nullptr, ItemOf(Work().Get(), "Drafts").Get(), false);
  std::string before = DocumentText();
  ScopedShellRequestLog log;
  EXPECT_EQ(nullptr, Ops(drafts).NewFolder().Get());
  EXPECT_EQ(nullptr, Ops(drafts).NewNamedFolder("pdf files").Get());
  EXPECT_FALSE(Ops(drafts).ShowOnlyFileType("pdf"));
  EXPECT_EQ(before, DocumentText());
  EXPECT_TRUE(log.notifications.empty());
}

TEST_F(FolderOperationsTest, DeletingOneFolderAsksWithItsNameAndNoKeepsIt) {
  ComPtr<CShellFolder> work = Work();
  ScopedShellRequestLog log;
  {
    ScopedConfirmationAnswer no(false);
    Ops(work).DeleteFolder(kOwner, ItemOf(work.Get(), "Drafts").Get(), true);
    EXPECT_EQ("Are you sure you want to remove the folder 'Drafts'?", no.LastText());
    EXPECT_EQ("Confirm Folder Delete", no.LastTitle());
    EXPECT_EQ(kOwner, no.LastOwner());
  }
  EXPECT_EQ((Strings{"Drafts", "Archive"}), SavedChildren({"Work"}));
  EXPECT_TRUE(log.notifications.empty());

  ScopedConfirmationAnswer yes(true);
  Ops(work).DeleteFolder(kOwner, ItemOf(work.Get(), "Drafts").Get(), true);
  EXPECT_EQ((Strings{"Archive"}), SavedChildren({"Work"}));
  ASSERT_EQ(1u, log.notifications.size());
  EXPECT_EQ(SHCNE_RMDIR, log.notifications[0].event);
  EXPECT_EQ("quorvane\\Work\\Drafts", log.notifications[0].first);
}

TEST_F(FolderOperationsTest, DeleteWithNothingSelectedRemovesTheOpenFolderButNeverTheRoot) {
  ScopedConfirmationAnswer yes(true);
  Ops(root_).DeleteFolder(kOwner, nullptr, true);
  EXPECT_EQ(0, yes.Count());
  EXPECT_EQ((Strings{"Work", "Invoices"}), SavedChildren({}));

  Ops(Open(Work().Get(), "Drafts")).DeleteFolder(kOwner, nullptr, true);
  EXPECT_EQ("Are you sure you want to remove the folder 'Drafts'?", yes.LastText());
  EXPECT_EQ((Strings{"Archive"}), SavedChildren({"Work"}));
}

TEST_F(FolderOperationsTest, DeletingSeveralItemsAsksOnceWithTheCounts) {
  ComPtr<CShellFolder> work = Work();
  TestItemList a = ResultFile("a.txt"), b = ResultFile("b.txt"), c = ResultFile("c.txt");
  CItemIdList drafts = ItemOf(work.Get(), "Drafts"), archive = ItemOf(work.Get(), "Archive");
  {
    ScopedConfirmationAnswer no(false);
    LPCITEMIDLIST folders[] = {drafts.Get(), archive.Get(), nullptr};
    Ops(work).DeleteSelection(kOwner, folders);
    EXPECT_EQ("Are you sure you want to remove these 2 folders?", no.LastText());
    EXPECT_EQ("Confirm Folders Delete", no.LastTitle());
    LPCITEMIDLIST files[] = {a.Get(), b.Get(), nullptr};
    Ops(work).DeleteSelection(kOwner, files);
    EXPECT_EQ("Are you sure you want to remove these 2 files?", no.LastText());
    EXPECT_EQ("Confirm File Delete", no.LastTitle());
  }
  EXPECT_TRUE(FileExists(dir_.File("a.txt")));
  EXPECT_EQ((Strings{"Drafts", "Archive"}), SavedChildren({"Work"}));

  ScopedShellRequestLog log;
  ScopedConfirmationAnswer yes(true);
  LPCITEMIDLIST mixed[] = {a.Get(), drafts.Get(), b.Get(), archive.Get(), c.Get(), nullptr};
  Ops(work).DeleteSelection(kOwner, mixed);
  EXPECT_EQ(1, yes.Count());
  EXPECT_EQ("Are you sure you want to remove these 2 folders and 3 files?", yes.LastText());
  EXPECT_EQ("Confirm Delete", yes.LastTitle());
  EXPECT_TRUE(SavedChildren({"Work"}).empty());
  for (const char* name : {"a.txt", "b.txt", "c.txt"}) EXPECT_FALSE(FileExists(dir_.File(name))) << name;
  ASSERT_EQ(3u, log.fileOperations.size());
  EXPECT_EQ(UINT{FO_DELETE}, log.fileOperations[0].function);
  EXPECT_EQ(FILEOP_FLAGS{FOF_ALLOWUNDO | FOF_NOCONFIRMATION}, log.fileOperations[0].flags);
  EXPECT_EQ(dir_.File("a.txt"), log.fileOperations[0].from);
}

TEST_F(FolderOperationsTest, DeletingOneFileLeavesTheQuestionToTheShell) {
  TestItemList a = ResultFile("a.txt");
  ScopedShellRequestLog log(false);
  ScopedConfirmationAnswer yes(true);
  LPCITEMIDLIST one[] = {a.Get(), nullptr};
  Ops(Work()).DeleteSelection(kOwner, one);
  EXPECT_EQ(0, yes.Count());
  ASSERT_EQ(1u, log.fileOperations.size());
  EXPECT_EQ(FILEOP_FLAGS{FOF_ALLOWUNDO}, log.fileOperations[0].flags);
  EXPECT_EQ(kOwner, log.fileOperations[0].owner);
  // A folder item is no file: nothing is asked of the shell.
  EXPECT_FALSE(Ops(Work()).DeleteResultFile(kOwner, ItemOf(Work().Get(), "Drafts").Get(), false));
  EXPECT_EQ(1u, log.fileOperations.size());
}

// A result names exactly one file. Each case puts the file beside a namesake
// that an ANSI, cut or wildcard form of its path would have reached instead.
TEST_F(FolderOperationsTest, DeletingAResultRemovesExactlyItsFileAndNoOther) {
  struct Case {
    std::string file;      // the result's file, below the temporary directory
    std::string namesake;  // what a lossy form of its path names
  } cases[] = {
      {"\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E.txt", "abc.txt"},
      {"\xD0\x9E\xD1\x82\xD1\x87\xD1\x91\xD1\x82.txt", "zzzzz.txt"},
      {"emoji \xF0\x9F\x98\x80.txt", "emoji a.txt"},
      {"", ""},  // below: a path past MAX_PATH whose first 259 characters name another file
  };
  // DIR\x.txt of exactly 259 characters, and DIR\x.txtZZZ...Z.txt.
  std::string directory = "long\\" + std::string(259 - dir_.File("long\\").size() - 6, 'D');
  MakeDirectory(dir_.File("long"));
  MakeDirectory(dir_.File(directory));
  cases[3] = {directory + "\\x.txt" + std::string(40, 'Z') + ".txt", directory + "\\x.txt"};
  ASSERT_EQ(259u, dir_.File(cases[3].namesake).size());
  ComPtr<CShellFolder> work = Work();
  for (const Case& c : cases) {
    WriteFileText(dir_.File(c.file), "mine");
    WriteFileText(dir_.File(c.namesake), "namesake");
    TestItemList item;
    item.Result("r", dir_.File(c.file));
    ScopedConfirmationAnswer yes(true);
    EXPECT_TRUE(Ops(work).DeleteResultFile(kOwner, item.Get(), false)) << c.file;
    EXPECT_FALSE(FileExists(dir_.File(c.file))) << c.file;
    EXPECT_EQ("namesake", ReadFileText(dir_.File(c.namesake))) << c.file;
  }
}

// An item that cannot name its file exactly any more, or whose file has gone,
// is refused with a message; nothing is deleted or renamed.
TEST_F(FolderOperationsTest, ResultsWithoutTheirExactFileAreRefusedWithAMessage) {
  WriteFileText(dir_.File("abc.txt"), "keep");
  TestItemList older, gone;
  older.LegacyResult("???.txt", dir_.File("???.txt"));  // an older item that lost its characters
  gone.Result("gone.txt", dir_.File("gone.txt"));
  ComPtr<CShellFolder> work = Work();
  ScopedShellRequestLog log;
  for (const TestItemList* item : {&older, &gone}) {
    ScopedConfirmationAnswer yes(true);
    EXPECT_FALSE(Ops(work).DeleteResultFile(kOwner, item->Get(), false));
    EXPECT_FALSE(Ops(work).RenameResultFile(item->Get(), "renamed.txt"));
    EXPECT_EQ(2, yes.Count()) << "each refusal says why";
    EXPECT_NE(std::string::npos, yes.LastText().find("cannot be found"));
  }
  EXPECT_TRUE(log.fileOperations.empty());
  EXPECT_EQ("keep", ReadFileText(dir_.File("abc.txt")));
}

TEST_F(FolderOperationsTest, RenamingAResultKeepsEveryCharacterOfItsName) {
  const std::string name = "\xE6\x97\xA5\xE6\x9C\xAC.txt";
  TestItemList item = ResultFile(name);
  EXPECT_TRUE(Ops(Work()).RenameItem(item.Get(), "\xD0\x9E\xD1\x82\xD1\x87\xD1\x91\xD1\x82 \xF0\x9F\x98\x80.txt"));
  EXPECT_FALSE(FileExists(dir_.File(name)));
  EXPECT_EQ("content of " + name,
            ReadFileText(dir_.File("\xD0\x9E\xD1\x82\xD1\x87\xD1\x91\xD1\x82 \xF0\x9F\x98\x80.txt")));
  EXPECT_FALSE(Ops(Work()).RenameResultFile(ResultFile("w.txt").Get(), "wild*.txt")) << "no wildcards";
}

TEST_F(FolderOperationsTest, RenamingAFolderRefusesASiblingsName) {
  ComPtr<CShellFolder> work = Work();
  ScopedShellRequestLog log;
  EXPECT_FALSE(Ops(work).RenameItem(ItemOf(work.Get(), "Drafts").Get(), "Archive"));
  EXPECT_FALSE(Ops(work).RenameItem(ItemOf(work.Get(), "Drafts").Get(), ""));
  EXPECT_TRUE(log.notifications.empty());
  EXPECT_TRUE(Ops(work).RenameItem(ItemOf(work.Get(), "Drafts").Get(), "Sketches"));
  EXPECT_EQ((Strings{"Sketches", "Archive"}), SavedChildren({"Work"}));
  EXPECT_EQ("draft", std::string(SavedRecord({"Work", "Sketches"}).query));
  ASSERT_EQ(1u, log.notifications.size());
  EXPECT_EQ(SHCNE_RENAMEFOLDER, log.notifications[0].event);
  EXPECT_EQ("quorvane\\Work\\Drafts", log.notifications[0].first);
  EXPECT_EQ("quorvane\\Work\\Sketches", log.notifications[0].second);
}

TEST_F(FolderOperationsTest, RenamingAResultKeepsItsDirectory) {
  TestItemList a = ResultFile("a.txt");
  ComPtr<CShellFolder> work = Work();
  EXPECT_TRUE(Ops(work).RenameItem(a.Get(), "renamed.txt"));
  EXPECT_FALSE(FileExists(dir_.File("a.txt")));
  EXPECT_EQ("content of a.txt", ReadFileText(dir_.File("renamed.txt")));

  TestItemList b = ResultFile("b.txt");
  ScopedShellRequestLog log(false);
  EXPECT_FALSE(Ops(work).RenameResultFile(b.Get(), "..\\elsewhere.txt"));
  EXPECT_FALSE(Ops(work).RenameResultFile(b.Get(), std::string(300, 'x').c_str()));
  EXPECT_FALSE(Ops(work).RenameResultFile(ItemOf(work.Get(), "Drafts").Get(), "x.txt"));
  EXPECT_TRUE(log.fileOperations.empty());
  EXPECT_TRUE(FileExists(dir_.File("b.txt")));
}

TEST_F(FolderOperationsTest, MovingFoldersSendsOneRemovalAndCreationEach) {
  ComPtr<CShellFolder> work = Work();
  ComPtr<CShellFolder> invoices = Open(root_.Get(), "Invoices");
  CItemIdList drafts = ItemOf(work.Get(), "Drafts"), archive = ItemOf(work.Get(), "Archive");
  LPCITEMIDLIST items[] = {drafts.Get(), archive.Get()};
  ScopedShellRequestLog log;
  EXPECT_EQ(S_OK, invoices->MoveFolders(work.Get(), items, 2, FALSE));
  EXPECT_TRUE(log.notifications.empty());
  EXPECT_EQ(S_OK, invoices->MoveFolders(work.Get(), items, 2, TRUE));
  EXPECT_TRUE(SavedChildren({"Work"}).empty());
  EXPECT_EQ((Strings{"Drafts", "Archive"}), SavedChildren({"Invoices"}));
  ASSERT_EQ(4u, log.notifications.size());
  EXPECT_EQ(SHCNE_RMDIR, log.notifications[0].event);
  EXPECT_EQ("quorvane\\Work\\Drafts", log.notifications[0].first);
  EXPECT_EQ(SHCNE_MKDIR, log.notifications[1].event);
  EXPECT_EQ("quorvane\\Invoices\\Drafts", log.notifications[1].first);
}

TEST_F(FolderOperationsTest, MovingAFolderIntoItselfChangesNothing) {
  ComPtr<CShellFolder> work = Work();
  ComPtr<CShellFolder> drafts = Open(work.Get(), "Drafts");
  CItemIdList workItem = ItemOf(root_.Get(), "Work");
  LPCITEMIDLIST items[] = {workItem.Get()};
  std::string before = DocumentText();
  ScopedShellRequestLog log;
  EXPECT_EQ(S_OK, drafts->MoveFolders(root_.Get(), items, 1, TRUE));
  EXPECT_EQ(S_OK, work->MoveFolders(root_.Get(), items, 1, TRUE));
  EXPECT_EQ(before, DocumentText());
  EXPECT_TRUE(log.notifications.empty());
}

// What the operations ask goes to their prompts object alone: a scripted one
// answers here, with no message box and no view.
class ScriptedPrompts : public IOperationPrompts {
 public:
  bool answer = false;
  Strings asked;
  bool Confirm(HWND, const std::string& text, const std::string&) override {
    asked.push_back("Confirm: " + text);
    return answer;
  }
  void Inform(HWND, const std::string& text, const std::string&) override { asked.push_back("Inform: " + text); }
  void ShowFolderProperties(HWND, LPCITEMIDLIST holder, LPCITEMIDLIST folder) override {
    asked.push_back("Properties: " + CPidlManager::DisplayPath(folder) + " in " + CPidlManager::DisplayPath(holder));
  }
  void EditNewFolderName(LPCITEMIDLIST created) override {
    asked.push_back("Edit: " + CPidlManager::DisplayPath(created));
  }
};

TEST_F(FolderOperationsTest, PromptsObjectAnswersEveryQuestionAndHearsOfNewFolders) {
  ScriptedPrompts prompts;
  ScopedConfirmationAnswer boxes(true);
  ScopedShellRequestLog log(false);
  FolderOperations work(RequireFolderStore(), Work()->AbsoluteList(), false, prompts);
  CItemIdList drafts = ItemOf(Work().Get(), "Drafts");
  work.DeleteFolder(kOwner, drafts.Get(), true);
  work.ShowProperties(kOwner, drafts.Get());
  TestItemList gone;
  gone.Result("gone.txt", dir_.File("gone.txt"));
  work.DeleteResultFile(kOwner, gone.Get(), true);
  work.NewFolder();
  EXPECT_EQ((Strings{"Confirm: Are you sure you want to remove the folder 'Drafts'?",
                     "Properties: quorvane\\Work\\Drafts in quorvane\\Work",
                     "Inform: " + FormatText(LoadResourceText(IDS_RESULT_FILE_MISSING).c_str(), "gone.txt"),
                     "Edit: quorvane\\Work\\New Folder"}),
            prompts.asked);
  EXPECT_EQ(0, boxes.Count());
  EXPECT_EQ((Strings{"Drafts", "Archive", "New Folder"}), SavedChildren({"Work"}));

  // A deleted result leaves its folder's views through a notice about its item.
  prompts.answer = true;
  TestItemList file = ResultFile("a.txt");
  EXPECT_TRUE(work.DeleteResultFile(kOwner, file.Get(), false));
  ASSERT_FALSE(log.notifications.empty());
  EXPECT_EQ(SHCNE_DELETE, log.notifications.back().event);
  // The log shows the folder part of the result's list.
  EXPECT_EQ("quorvane\\Work", log.notifications.back().first);
}

TEST_F(FolderOperationsTest, ChangeThatCannotBeSavedFailsVisiblyAndChangesNothing) {
  ComPtr<CShellFolder> work = Work();
  std::wstring path = ToWide(DocumentPath());
  std::string before = DocumentText();
  ASSERT_TRUE(SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_READONLY));
  const std::string named = "\"" + DocumentPath() + "\" is read-only";
  ScopedShellRequestLog log;
  ScopedConfirmationAnswer boxes(true);

  // New Folder and "Move all .pdf files" tell the user, naming the file.
  EXPECT_EQ(nullptr, Ops(work).NewFolder().Get());
  EXPECT_EQ(1, boxes.Count());
  EXPECT_EQ(0u, boxes.LastText().rfind("The change was not made. ", 0)) << boxes.LastText();
  EXPECT_NE(std::string::npos, boxes.LastText().find(named)) << boxes.LastText();
  EXPECT_FALSE(Ops(work).MoveFileTypeToFolder("pdf"));
  EXPECT_EQ(2, boxes.Count());
  // A rename answers the failure to SetNameOf's caller.
  LPITEMIDLIST renamed = nullptr;
  EXPECT_EQ(kDocumentReadOnly,
            work->SetNameOf(nullptr, ItemOf(work.Get(), "Drafts").Get(), L"Plans", SHGDN_INFOLDER, &renamed));
  EXPECT_EQ(nullptr, renamed);
  // The properties dialog says the settings were not saved.
  FolderSettings shown = SavedRecord({"Work", "Archive"});
  FolderSettings edited = shown;
  edited.query = "older";
  EXPECT_FALSE(Ops(work).ApplySettings(kOwner, work->AbsoluteListOf(ItemOf(work.Get(), "Archive").Get()).Get(), shown, edited));
  EXPECT_EQ(3, boxes.Count());
  EXPECT_EQ(0u, boxes.LastText().rfind("The settings were not saved. ", 0)) << boxes.LastText();
  EXPECT_NE(std::string::npos, boxes.LastText().find(named)) << boxes.LastText();
  // A move says so once and answers what it did: nothing.
  CItemIdList invoices = ItemOf(root_.Get(), "Invoices");
  LPCITEMIDLIST moving[] = {invoices.Get()};
  EXPECT_FALSE(Ops(work).MoveFoldersFrom(root_->AbsoluteList(), moving, 1));
  EXPECT_EQ(4, boxes.Count());
  Ops(root_).DeleteFolder(nullptr, invoices.Get(), false);
  EXPECT_EQ(5, boxes.Count());

  EXPECT_EQ(before, DocumentText());
  EXPECT_NE(0u, GetFileAttributesW(path.c_str()) & FILE_ATTRIBUTE_READONLY);
  EXPECT_TRUE(log.notifications.empty());
  EXPECT_EQ((Strings{"Drafts", "Archive"}), SavedChildren({"Work"}));
  ASSERT_TRUE(SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL));
  EXPECT_EQ("quorvane\\Work\\New Folder", PathOf(Ops(work).NewFolder().Get()));
  EXPECT_EQ(5, boxes.Count());
}

TEST_F(FolderOperationsTest, NewNamesAreCheckedAgainstTheFileAsItIsWhenTheChangeIsMade) {
  ComPtr<CShellFolder> work = Work();
  ScopedConfirmationAnswer boxes(true);
  // Another process adds folders after this one last read the file.
  CItemIdList invoices = ItemOf(root_.Get(), "Invoices");
  {
    CFolderStore other(ToWide(DocumentPath()));
    ComPtr<IXMLDOMNode> node = other.FindFolderNode(PathList({"Work"}).Get());
    ASSERT_TRUE(other.AddFolder(node.Get(), "new folder"));
    ASSERT_TRUE(other.AddFolder(node.Get(), "pdf files"));
    ASSERT_TRUE(other.AddFolder(node.Get(), "INVOICES"));
  }
  EXPECT_EQ("quorvane\\Work\\New Folder (1)", PathOf(Ops(work).NewFolder().Get())) << "letter case aside";
  EXPECT_TRUE(Ops(work).MoveFileTypeToFolder("pdf"));
  EXPECT_EQ(nullptr, Ops(work).NewNamedFolder("PDF Files").Get());
  EXPECT_EQ(FormatText(LoadResourceText(IDS_FOLDER_NAME_TAKEN).c_str(), "PDF Files"), boxes.LastText());
  LPCITEMIDLIST moving[] = {invoices.Get()};
  EXPECT_FALSE(Ops(work).MoveFoldersFrom(root_->AbsoluteList(), moving, 1));
  EXPECT_EQ((Strings{"Drafts", "Archive", "new folder", "pdf files", "INVOICES", "New Folder (1)", "pdf files (1)"}),
            SavedChildren({"Work"}));
  EXPECT_EQ((Strings{"Work", "Invoices"}), SavedChildren({}));
}

TEST_F(FolderOperationsTest, OneDeadlineCoversEveryWaitOfAChange) {
  CItemIdList invoices = ItemOf(root_.Get(), "Invoices");
  // Another process changes the file, then holds the lock for 15 seconds: each
  // step of the rename (the look-ups that read the file again, the change
  // itself) waits for it.
  {
    CFolderStore other(ToWide(DocumentPath()));
    ASSERT_TRUE(other.AddFolder(other.FindFolderNode(PathList({}).Get()).Get(), "Elsewhere"));
  }
  UniqueHandle held(CreateEventW(nullptr, TRUE, FALSE, nullptr));
  UniqueHandle release(CreateEventW(nullptr, TRUE, FALSE, nullptr));
  std::thread holder([&] {
    CDocumentLock lock(ToWide(DocumentPath()));
    lock.Acquire();
    SetEvent(held.Get());
    WaitForSingleObject(release.Get(), 15000);
    lock.Release();
  });
  ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(held.Get(), 10000));
  FolderOperations operations = Ops(root_);
  ULONGLONG start = GetTickCount64();
  CItemIdList renamed = operations.RenamedFolder(invoices.Get(), "Bills");
  ULONGLONG waited = GetTickCount64() - start;
  SetEvent(release.Get());
  holder.join();
  EXPECT_EQ(nullptr, renamed.Get());
  EXPECT_EQ(HRESULT_FROM_WIN32(ERROR_TIMEOUT), operations.LastFailure());
  EXPECT_GE(waited, kDocumentLockTimeout - 100);
  EXPECT_LE(waited, kDocumentLockTimeout + 1500) << "one deadline for the whole rename";
  EXPECT_EQ((Strings{"Work", "Invoices", "Elsewhere"}), SavedChildren({}));
}

}  // namespace
}  // namespace qv::test
