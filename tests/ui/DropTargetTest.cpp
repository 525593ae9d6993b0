#include <gtest/gtest.h>

#include <shlobj.h>

#include <cstring>

#include "support/DragDropFixture.h"
#include "common/Holders.h"
#include "common/Text.h"
#include "ui/Confirmation.h"
#include "ui/DataBlocks.h"

namespace qv::test {
namespace {

constexpr DWORD kAnyEffect = DROPEFFECT_COPY | DROPEFFECT_MOVE | DROPEFFECT_LINK;
const POINTL kPoint = {10, 10};

class DropTargetTest : public DragDropTest {
 protected:
  void SetUp() override {
    DragDropTest::SetUp();
    UseDocument(
        "<root name='root'><folder name='Work'><folder name='Reports'/></folder>"
        "<folder name='Home'/><folder name='Archive'/></root>");
    root_ = Root();
  }
  void TearDown() override {
    root_.Reset();
    DragDropTest::TearDown();
  }
  // Enters with the keys, then drops with them; answers Drop's result and gives
  // the effect shown while dragging.
  static HRESULT EnterAndDrop(IDropTarget* target, IDataObject* data, DWORD keys, DWORD* effect,
                              DWORD* shownEffect = nullptr) {
    DWORD shown = kAnyEffect;
    EXPECT_EQ(S_OK, target->DragEnter(data, keys, kPoint, &shown));
    if (shownEffect) *shownEffect = shown;
    *effect = kAnyEffect;
    EXPECT_EQ(S_OK, target->DragOver(keys, kPoint, effect));
    EXPECT_EQ(shown, *effect);
    *effect = kAnyEffect;
    return target->Drop(data, keys, kPoint, effect);
  }
  std::string DocumentPath() const { return dir_.File(kDocumentFileName); }
  // A data object holding only this block in the component's format, as another
  // process (or a damaged one) could hand over.
  static ComPtr<IDataObject> DataHolding(const std::vector<BYTE>& bytes) {
    GlobalMemory block(GlobalAlloc(GMEM_MOVEABLE, bytes.empty() ? 1 : bytes.size()));
    {
      GlobalLockGuard lock(block.Get());
      if (!bytes.empty()) std::memcpy(lock.Get(), bytes.data(), bytes.size());
    }
    ComPtr<IDataObject> data;
    if (!OpenClipboard(nullptr)) return data;
    EmptyClipboard();
    if (SetClipboardData(PrivateClipboardFormat(), block.Get())) block.Release();
    CloseClipboard();
    OleGetClipboard(data.Put());
    return data;
  }
  static std::vector<BYTE> Bytes(const GlobalMemory& block) {
    GlobalLockGuard lock(block.Get());
    const auto* bytes = static_cast<const BYTE*>(lock.Get());
    return bytes ? std::vector<BYTE>(bytes, bytes + lock.Size()) : std::vector<BYTE>();
  }
  // Enters and drops with no keys; expects no effect shown or answered.
  void ExpectRefused(IDropTarget* target, IDataObject* data, const char* what) {
    DWORD shown = 0, effect = 0;
    EXPECT_EQ(S_OK, EnterAndDrop(target, data, 0, &effect, &shown)) << what;
    EXPECT_EQ(static_cast<DWORD>(DROPEFFECT_NONE), shown) << what;
    EXPECT_EQ(static_cast<DWORD>(DROPEFFECT_NONE), effect) << what;
  }

  TestItemList work_ = FolderItem("Work"), home_ = FolderItem("Home"), archive_ = FolderItem("Archive");
  ComPtr<CShellFolder> root_;
};

TEST_F(DropTargetTest, MovingTwoFoldersOntoASiblingMovesThemWithTheirChildren) {
  ComPtr<IDataObject> data = DataObjectFor(root_.Get(), {&work_, &home_});
  ComPtr<IDropTarget> target = DropTargetOnChild(root_.Get(), archive_);
  DWORD effect = 0;
  EXPECT_EQ(S_OK, EnterAndDrop(target.Get(), data.Get(), 0, &effect));
  EXPECT_EQ(static_cast<DWORD>(DROPEFFECT_MOVE), effect);
  EXPECT_EQ(std::vector<std::string>({"Archive"}), ChildFolderNames(DocumentPath(), {}));
  EXPECT_EQ(std::vector<std::string>({"Work", "Home"}), ChildFolderNames(DocumentPath(), {"Archive"}));
  EXPECT_EQ(std::vector<std::string>({"Reports"}), ChildFolderNames(DocumentPath(), {"Archive", "Work"}));
}

TEST_F(DropTargetTest, MovingAFolderUpFromADeeperFolder) {
  LPCITEMIDLIST workItem = work_.Get();
  ComPtr<IShellFolder> work;
  ASSERT_EQ(S_OK, root_->BindToObject(workItem, nullptr, IID_IShellFolder, work.PutVoid()));
  TestItemList reports = FolderItem("Reports");
  ComPtr<IDataObject> data = DataObjectFor(work.Get(), {&reports});
  DWORD effect = 0;
  EXPECT_EQ(S_OK, EnterAndDrop(DropTargetOn(root_.Get()).Get(), data.Get(), 0, &effect));
  EXPECT_EQ(std::vector<std::string>({"Work", "Home", "Archive", "Reports"}), ChildFolderNames(DocumentPath(), {}));
  EXPECT_TRUE(ChildFolderNames(DocumentPath(), {"Work"}).empty());
}

TEST_F(DropTargetTest, DroppingFoldersOntoTheirOwnFolderChangesNothing) {
  std::string before = DocumentText();
  ComPtr<IDataObject> data = DataObjectFor(root_.Get(), {&work_, &home_});
  DWORD effect = 0;
  DWORD shown = kAnyEffect;
  EXPECT_EQ(S_OK, EnterAndDrop(DropTargetOn(root_.Get()).Get(), data.Get(), 0, &effect, &shown));
  EXPECT_EQ(static_cast<DWORD>(DROPEFFECT_NONE), shown);
  EXPECT_EQ(static_cast<DWORD>(DROPEFFECT_NONE), effect);
  EXPECT_EQ(before, DocumentText());
  EXPECT_EQ(std::vector<std::string>({"Work", "Home", "Archive"}), ChildFolderNames(DocumentPath(), {}));
}

TEST_F(DropTargetTest, DroppingAFolderIntoItsOwnSubfolderChangesNothing) {
  std::string before = DocumentText();
  ComPtr<IShellFolder> work;
  LPCITEMIDLIST workItem = work_.Get();
  ASSERT_EQ(S_OK, root_->BindToObject(workItem, nullptr, IID_IShellFolder, work.PutVoid()));
  ComPtr<IDataObject> data = DataObjectFor(root_.Get(), {&work_});
  DWORD effect = 0;
  EXPECT_EQ(S_OK, EnterAndDrop(DropTargetOnChild(work.Get(), FolderItem("Reports")).Get(), data.Get(), 0, &effect));
  EXPECT_EQ(static_cast<DWORD>(DROPEFFECT_NONE), effect);
  EXPECT_EQ(before, DocumentText());
  EXPECT_EQ(S_OK, EnterAndDrop(DropTargetOnChild(root_.Get(), work_).Get(), data.Get(), 0, &effect));
  EXPECT_EQ(static_cast<DWORD>(DROPEFFECT_NONE), effect);
  EXPECT_EQ(before, DocumentText());
}

TEST_F(DropTargetTest, DropThatCannotBeSavedSaysSoAndAnswersNoEffect) {
  std::string before = DocumentText();
  std::wstring path = ToWide(DocumentPath());
  ASSERT_TRUE(SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_READONLY));
  ComPtr<IDataObject> data = DataObjectFor(root_.Get(), {&work_, &home_});
  DWORD effect = 0;
  {
    ScopedConfirmationAnswer boxes(true);
    EXPECT_EQ(S_OK, EnterAndDrop(DropTargetOnChild(root_.Get(), archive_).Get(), data.Get(), 0, &effect));
    EXPECT_EQ(1, boxes.Count()) << "one message for the drop";
    EXPECT_NE(std::string::npos, boxes.LastText().find(DocumentPath())) << boxes.LastText();
  }
  SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
  EXPECT_EQ(static_cast<DWORD>(DROPEFFECT_NONE), effect);
  EXPECT_EQ(before, DocumentText());
}

TEST_F(DropTargetTest, AFolderIsNotMovedBesideASiblingOfTheSameName) {
  root_.Reset();  // it belongs to the module objects UseDocument replaces
  UseDocument("<root name='root'><folder name='Work'/><folder name='Archive'><folder name='Work'/></folder></root>");
  root_ = Root();
  std::string before = DocumentText();
  ComPtr<IDataObject> data = DataObjectFor(root_.Get(), {&work_});
  DWORD effect = 0;
  EXPECT_EQ(S_OK, EnterAndDrop(DropTargetOnChild(root_.Get(), archive_).Get(), data.Get(), 0, &effect));
  EXPECT_EQ(static_cast<DWORD>(DROPEFFECT_NONE), effect);
  EXPECT_EQ(before, DocumentText());
}

TEST_F(DropTargetTest, OnlyAPlainMoveIsTakenCopiesAndLinksAreRefused) {
  std::string before = DocumentText();
  ComPtr<IDataObject> data = DataObjectFor(root_.Get(), {&work_});
  ComPtr<IDropTarget> target = DropTargetOnChild(root_.Get(), archive_);
  DWORD effect = 0;
  for (DWORD keys : {DWORD{MK_CONTROL}, DWORD{MK_CONTROL | MK_SHIFT}, DWORD{MK_ALT}}) {
    DWORD shown = kAnyEffect;
    EXPECT_EQ(S_OK, EnterAndDrop(target.Get(), data.Get(), keys, &effect, &shown));
    EXPECT_EQ(static_cast<DWORD>(DROPEFFECT_NONE), shown) << keys;
    EXPECT_EQ(static_cast<DWORD>(DROPEFFECT_NONE), effect) << keys;
    EXPECT_EQ(before, DocumentText());
  }

  // A source that allows only copying never sees a move offered.
  effect = DROPEFFECT_COPY;
  EXPECT_EQ(S_OK, target->DragEnter(data.Get(), 0, kPoint, &effect));
  EXPECT_EQ(static_cast<DWORD>(DROPEFFECT_NONE), effect);
  effect = DROPEFFECT_COPY;
  EXPECT_EQ(S_OK, target->Drop(data.Get(), 0, kPoint, &effect));
  EXPECT_EQ(static_cast<DWORD>(DROPEFFECT_NONE), effect);
  EXPECT_EQ(before, DocumentText());
}

TEST_F(DropTargetTest, ADropAfterLeavingIsRefused) {
  std::string before = DocumentText();
  ComPtr<IDataObject> data = DataObjectFor(root_.Get(), {&work_});
  ComPtr<IDropTarget> target = DropTargetOnChild(root_.Get(), archive_);
  DWORD effect = kAnyEffect;
  EXPECT_EQ(S_OK, target->DragEnter(data.Get(), 0, kPoint, &effect));
  EXPECT_EQ(S_OK, target->DragLeave());
  effect = kAnyEffect;
  EXPECT_EQ(S_OK, target->Drop(data.Get(), 0, kPoint, &effect));
  EXPECT_EQ(static_cast<DWORD>(DROPEFFECT_NONE), effect);
  EXPECT_EQ(before, DocumentText());
}

TEST_F(DropTargetTest, FilesFromTheFileSystemAreRefusedAndStayWhereTheyAre) {
  std::string path = dir_.File("letter.txt");
  WriteFileText(path, "hello");
  std::string before = DocumentText();
  ComPtr<IShellFolder> desktop;
  ASSERT_EQ(S_OK, SHGetDesktopFolder(desktop.Put()));
  TaskMemory<ITEMIDLIST> file;
  ASSERT_EQ(S_OK, desktop->ParseDisplayName(nullptr, nullptr, const_cast<wchar_t*>(ToWide(path.c_str()).c_str()),
                                            nullptr, file.Put(), nullptr));
  ComPtr<IShellFolder> parent;
  LPCITEMIDLIST child = nullptr;
  ASSERT_EQ(S_OK, SHBindToParent(file.Get(), IID_IShellFolder, parent.PutVoid(), &child));
  ComPtr<IDataObject> data;
  ASSERT_EQ(S_OK, parent->GetUIObjectOf(nullptr, 1, &child, IID_IDataObject, nullptr, data.PutVoid()));

  DWORD shown = 0, effect = 0;
  EXPECT_EQ(S_OK, EnterAndDrop(DropTargetOnChild(root_.Get(), archive_).Get(), data.Get(), 0, &effect, &shown));
  EXPECT_EQ(static_cast<DWORD>(DROPEFFECT_NONE), shown);
  EXPECT_EQ(static_cast<DWORD>(DROPEFFECT_NONE), effect);
  EXPECT_TRUE(FileExists(path));
  EXPECT_EQ(before, DocumentText());
}

TEST_F(DropTargetTest, DataWithNeitherFormatShowsNoEffectAndIsRefused) {
  ASSERT_TRUE(OpenClipboard(nullptr));
  EmptyClipboard();
  GlobalMemory text(GlobalAlloc(GMEM_MOVEABLE, 6));
  {
    GlobalLockGuard lock(text.Get());
    std::memcpy(lock.Get(), "hello", 6);
  }
  ASSERT_TRUE(SetClipboardData(CF_TEXT, text.Get()));
  text.Release();  // the clipboard owns it now
  CloseClipboard();
  ComPtr<IDataObject> data;
  ASSERT_EQ(S_OK, OleGetClipboard(data.Put()));

  DWORD shown = 0, effect = 0;
  EXPECT_EQ(S_OK, EnterAndDrop(DropTargetOnChild(root_.Get(), archive_).Get(), data.Get(), 0, &effect, &shown));
  EXPECT_EQ(static_cast<DWORD>(DROPEFFECT_NONE), shown);
  EXPECT_EQ(static_cast<DWORD>(DROPEFFECT_NONE), effect);
}

TEST_F(DropTargetTest, FoldersCopiedToTheClipboardDropAfterTheClipboardIsFlushed) {
  ComPtr<IDataObject> data = DataObjectFor(root_.Get(), {&home_});
  ASSERT_EQ(S_OK, OleSetClipboard(data.Get()));
  // The clipboard now holds rendered copies of every format; the object itself is let go.
  ASSERT_EQ(S_OK, OleFlushClipboard());
  data.Reset();
  ComPtr<IDataObject> pasted;
  ASSERT_EQ(S_OK, OleGetClipboard(pasted.Put()));
  DWORD effect = 0;
  EXPECT_EQ(S_OK, EnterAndDrop(DropTargetOnChild(root_.Get(), archive_).Get(), pasted.Get(), 0, &effect));
  EXPECT_EQ(std::vector<std::string>({"Home"}), ChildFolderNames(DocumentPath(), {"Archive"}));
  pasted.Reset();
  OleSetClipboard(nullptr);
}

TEST_F(DropTargetTest, EveryRefusedDropAnswersNoEffectAndChangesNothing) {
  std::string before = DocumentText();
  TestItemList root = RootList(), gone = FolderItem("Gone");
  TestItemList result = ResultItem("report", dir_.File("report.txt"));
  std::vector<BYTE> noItems = Bytes(BuildFolderDropBlock(root.Get(), nullptr, 0));
  std::uint32_t countOnly[] = {0, 3};
  std::uint32_t countAndFolderOffset[] = {0, 3, 20, 0, 0};
  LPCITEMIDLIST goneItem = gone.Get(), resultItem = result.Get();
  struct Case {
    const char* what;
    std::vector<BYTE> block;
  } cases[] = {
      {"no items", noItems},
      {"a count with no offsets", std::vector<BYTE>(reinterpret_cast<BYTE*>(countOnly), reinterpret_cast<BYTE*>(countOnly) + 8)},
      {"offsets past the block", std::vector<BYTE>(reinterpret_cast<BYTE*>(countAndFolderOffset),
                                                   reinterpret_cast<BYTE*>(countAndFolderOffset) + 20)},
      {"a folder that is not there", Bytes(BuildFolderDropBlock(root.Get(), &goneItem, 1))},
      {"a result", Bytes(BuildFolderDropBlock(root.Get(), &resultItem, 1))},
  };
  ComPtr<IDropTarget> target = DropTargetOnChild(root_.Get(), archive_);
  for (const Case& c : cases) {
    ComPtr<IDataObject> data = DataHolding(c.block);
    ASSERT_TRUE(data) << c.what;
    ExpectRefused(target.Get(), data.Get(), c.what);
    EXPECT_EQ(before, DocumentText()) << c.what;
  }
  OleSetClipboard(nullptr);
}

TEST_F(DropTargetTest, ADropOntoAResultChangesNothing) {
  root_.Reset();
  UseDocument("<root name='root'><folder name='Work'/><folder name='Archive'/></root>");
  root_ = Root();
  std::string before = DocumentText();
  TestItemList result = ResultItem("report", dir_.File("report.txt"));
  LPCITEMIDLIST item = result.Get();
  ComPtr<IDropTarget> target;
  // No target at all is as good as one that refuses everything.
  if (FAILED(root_->GetUIObjectOf(nullptr, 1, &item, IID_IDropTarget, nullptr, target.PutVoid()))) return;
  ComPtr<IDataObject> folders = DataObjectFor(root_.Get(), {&work_, &archive_});
  ExpectRefused(target.Get(), folders.Get(), "folders");
  ExpectRefused(target.Get(), DataObjectFor(root_.Get(), {&result}).Get(), "a result");
  EXPECT_EQ(before, DocumentText());
}

TEST_F(DropTargetTest, ADropOfMoreFoldersThanAFolderTakesIsRefusedWithAMessage) {
  std::string before = DocumentText();
  // The block is refused on its count, before any item is read: the items
  // themselves are the smallest a list can hold.
  const BYTE tiny[] = {4, 0, 'q', 'v', 0, 0};
  std::vector<LPCITEMIDLIST> items(100000, reinterpret_cast<LPCITEMIDLIST>(tiny));
  TestItemList root = RootList();
  ComPtr<IDataObject> data = DataHolding(Bytes(BuildFolderDropBlock(root.Get(), items.data(), items.size())));
  ASSERT_TRUE(data);
  ComPtr<IDropTarget> target = DropTargetOnChild(root_.Get(), archive_);
  ScopedConfirmationAnswer answer(true);
  ExpectRefused(target.Get(), data.Get(), "100,000 items");
  EXPECT_EQ(1, answer.Count());
  EXPECT_NE(std::string::npos, answer.LastText().find("Too many folders"));
  EXPECT_EQ(before, DocumentText());
  OleSetClipboard(nullptr);
}

}  // namespace
}  // namespace qv::test
