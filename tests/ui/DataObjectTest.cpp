#include <gtest/gtest.h>

#include <shlobj.h>

#include <cstring>

#include "support/DragDropFixture.h"
#include "runtime/LiveObjects.h"
#include "common/Text.h"
#include "ui/CDropSource.h"
#include "ui/DataBlocks.h"

namespace qv::test {
namespace {

class DataObjectTest : public DragDropTest {
 protected:
  void SetUp() override {
    DragDropTest::SetUp();
    WriteFileText(dir_.File("report.doc"), "report");
    UseDocument("<root name='root'><folder name='Work'><folder name='Reports'/></folder></root>");
    work_ = FolderItem("Work");
    root_ = Root();
    data_ = DataObjectFor(root_.Get(), {&report_, &work_, &notes_});
    ASSERT_TRUE(data_);
  }
  void TearDown() override {
    data_.Reset();
    root_.Reset();
    DragDropTest::TearDown();
  }
  HRESULT Query(CLIPFORMAT format, DWORD tymed, DWORD aspect = DVASPECT_CONTENT) {
    FORMATETC request = {format, nullptr, aspect, -1, tymed};
    return data_->QueryGetData(&request);
  }

  TestItemList report_ = ResultItem("report", dir_.File("report.doc"));
  TestItemList work_;
  // Its file is gone.
  TestItemList notes_ = ResultItem("notes", dir_.File("notes.txt"));
  ComPtr<CShellFolder> root_;
  ComPtr<IDataObject> data_;
};

TEST_F(DataObjectTest, QueryGetDataWantsGlobalMemoryAndContent) {
  EXPECT_EQ(S_OK, Query(CF_HDROP, TYMED_HGLOBAL));
  EXPECT_EQ(S_OK, Query(PrivateClipboardFormat(), TYMED_HGLOBAL | TYMED_ISTREAM));
  EXPECT_EQ(DV_E_TYMED, Query(CF_HDROP, TYMED_ISTREAM));
  EXPECT_EQ(DV_E_DVASPECT, Query(CF_HDROP, TYMED_HGLOBAL, DVASPECT_THUMBNAIL));
  EXPECT_EQ(DV_E_TYMED, Query(CF_TEXT, TYMED_HGLOBAL));
}

TEST_F(DataObjectTest, IdListArrayHoldsFolderThenItemsInGivenOrder) {
  std::vector<BYTE> block = BlockOf(data_.Get(), IdListArrayClipboardFormat());
  ASSERT_GE(block.size(), 20u);
  const auto* cida = reinterpret_cast<const CIDA*>(block.data());
  EXPECT_EQ(3u, cida->cidl);
  EXPECT_EQ(20u, cida->aoffset[0]);
  TestItemList root = RootList();
  EXPECT_EQ(0, std::memcmp(block.data() + 20, root.Get(), root.Size()));
  const TestItemList* expected[] = {&report_, &work_, &notes_};
  for (int i = 0; i < 3; ++i) {
    ASSERT_LE(cida->aoffset[i + 1] + expected[i]->Size(), block.size());
    EXPECT_EQ(0, std::memcmp(block.data() + cida->aoffset[i + 1], expected[i]->Get(), expected[i]->Size())) << i;
  }
  // The shell's own reading of the block agrees.
  DroppedLists lists;
  EXPECT_TRUE(ReadIdListArrayBlock(block.data(), block.size(), lists));
}

TEST_F(DataObjectTest, PrivateBlockStartsWithFlagCountAndFolderOffset) {
  std::vector<BYTE> block = BlockOf(data_.Get(), PrivateClipboardFormat());
  ASSERT_GE(block.size(), 24u);
  std::uint32_t header[3];
  std::memcpy(header, block.data(), sizeof header);
  EXPECT_EQ(0u, header[0]);
  EXPECT_EQ(3u, header[1]);
  EXPECT_EQ(12u + 4 * 3, header[2]);
  TestItemList root = RootList();
  EXPECT_EQ(block.size(), 24 + (root.Size() + 1) + (report_.Size() + 1) + (work_.Size() + 1) + (notes_.Size() + 1) + 1);
}

TEST_F(DataObjectTest, FileListHoldsOnlyExistingResultFilesByTheirFullPaths) {
  std::vector<BYTE> block = BlockOf(data_.Get(), CF_HDROP);
  ASSERT_GE(block.size(), sizeof(DROPFILES));
  EXPECT_TRUE(reinterpret_cast<const DROPFILES*>(block.data())->fWide);
  // The shell reads the names from it: the existing result's file and nothing
  // for the search folder or the vanished file.
  StorageMedium medium;
  FORMATETC request = GlobalMemoryFormat(CF_HDROP);
  ASSERT_EQ(S_OK, data_->GetData(&request, medium.Put()));
  auto drop = static_cast<HDROP>(medium.Get().hGlobal);
  ASSERT_EQ(1u, DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0));
  wchar_t name[MAX_PATH] = {};
  DragQueryFileW(drop, 0, name, MAX_PATH);
  EXPECT_EQ(ToWide(dir_.File("report.doc").c_str()), std::wstring(name));

  // Search folders alone, or results whose files are all gone or named by a
  // relative path, offer no file list at all.
  TestItemList relative = ResultItem("relative", "quorvane\\Work\\Reports");
  for (std::vector<const TestItemList*> items : {std::vector<const TestItemList*>{&work_},
                                                 std::vector<const TestItemList*>{&notes_, &relative}}) {
    ComPtr<IDataObject> other = DataObjectFor(root_.Get(), items);
    StorageMedium none;
    EXPECT_NE(S_OK, other->GetData(&request, none.Put()));
  }
  FORMATETC query = GlobalMemoryFormat(CF_HDROP);
  EXPECT_NE(S_OK, DataObjectFor(root_.Get(), {&work_})->QueryGetData(&query));
}

TEST_F(DataObjectTest, DragLoopMarkerAndUnknownFormats) {
  std::vector<BYTE> block = BlockOf(data_.Get(), DragLoopClipboardFormat());
  ASSERT_EQ(4u, block.size());
  EXPECT_EQ(1, block[0]);
  FORMATETC request = GlobalMemoryFormat(CF_TEXT);
  StorageMedium medium;
  EXPECT_EQ(E_INVALIDARG, data_->GetData(&request, medium.Put()));
  request = {CF_HDROP, nullptr, DVASPECT_CONTENT, -1, TYMED_ISTREAM};
  EXPECT_EQ(DV_E_TYMED, data_->GetData(&request, medium.Put()));
  EXPECT_EQ(static_cast<DWORD>(TYMED_NULL), medium.Get().tymed);
  EXPECT_EQ(E_NOTIMPL, data_->SetData(&request, nullptr, FALSE));
  FORMATETC canonical = request;
  EXPECT_EQ(DATA_S_SAMEFORMATETC, data_->GetCanonicalFormatEtc(&request, &canonical));
  EXPECT_EQ(E_INVALIDARG, data_->GetCanonicalFormatEtc(&request, nullptr));
}

TEST_F(DataObjectTest, EnumeratesTheFourFormatsInOrder) {
  ComPtr<IEnumFORMATETC> formats;
  EXPECT_EQ(E_NOTIMPL, data_->EnumFormatEtc(DATADIR_SET, formats.Put()));
  EXPECT_FALSE(formats);
  ASSERT_EQ(S_OK, data_->EnumFormatEtc(DATADIR_GET, formats.Put()));
  FORMATETC got[10] = {};
  ULONG fetched = 99;
  EXPECT_EQ(S_FALSE, formats->Next(10, got, &fetched));
  ASSERT_EQ(4u, fetched);
  CLIPFORMAT order[] = {PrivateClipboardFormat(), IdListArrayClipboardFormat(), CF_HDROP, DragLoopClipboardFormat()};
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(order[i], got[i].cfFormat);
    EXPECT_EQ(nullptr, got[i].ptd);
    EXPECT_EQ(static_cast<DWORD>(DVASPECT_CONTENT), got[i].dwAspect);
    EXPECT_EQ(-1, got[i].lindex);
    EXPECT_EQ(static_cast<DWORD>(TYMED_HGLOBAL), got[i].tymed);
  }
  EXPECT_EQ(S_OK, formats->Reset());
  EXPECT_EQ(S_OK, formats->Skip(4));
  EXPECT_EQ(S_OK, formats->Reset());
  EXPECT_EQ(S_FALSE, formats->Skip(5));
  EXPECT_EQ(S_OK, formats->Skip(3));  // the refused skip left the position at 0
  ComPtr<IEnumFORMATETC> clone;
  ASSERT_EQ(S_OK, formats->Clone(clone.Put()));
  EXPECT_EQ(S_OK, clone->Next(1, got, nullptr));
  EXPECT_EQ(DragLoopClipboardFormat(), got[0].cfFormat);
  EXPECT_EQ(E_INVALIDARG, formats->Next(1, nullptr, &fetched));
  EXPECT_EQ(0u, fetched);
}

TEST_F(DataObjectTest, ObjectsKeepTheirFolderAliveAndAreCounted) {
  LONG dataObjects = LiveObjectCount(LiveClass::DataObject);
  EXPECT_EQ(1, dataObjects);
  ComPtr<IEnumFORMATETC> formats;
  ASSERT_EQ(S_OK, data_->EnumFormatEtc(DATADIR_GET, formats.Put()));
  EXPECT_EQ(1, LiveObjectCount(LiveClass::EnumFormatEtc));
  root_.Reset();
  // The data object still names its folder in every block it builds.
  std::vector<BYTE> block = BlockOf(data_.Get(), PrivateClipboardFormat());
  EXPECT_FALSE(block.empty());
  data_.Reset();
  formats.Reset();
  EXPECT_EQ(0, LiveObjectCount(LiveClass::DataObject));
  EXPECT_EQ(0, LiveObjectCount(LiveClass::EnumFormatEtc));
}

TEST(DropSourceTest, LeftButtonCarriesTheDragAndEscapeCancels) {
  ComPtr<IDropSource> source;
  ASSERT_EQ(S_OK, CreateComObject<CDropSource>(IID_IDropSource, source.PutVoid()));
  EXPECT_EQ(S_OK, source->QueryContinueDrag(FALSE, MK_LBUTTON));
  EXPECT_EQ(DRAGDROP_S_DROP, source->QueryContinueDrag(FALSE, 0));
  EXPECT_EQ(DRAGDROP_S_DROP, source->QueryContinueDrag(FALSE, MK_RBUTTON));
  EXPECT_EQ(DRAGDROP_S_CANCEL, source->QueryContinueDrag(TRUE, MK_LBUTTON));
  EXPECT_EQ(DRAGDROP_S_USEDEFAULTCURSORS, source->GiveFeedback(DROPEFFECT_MOVE));
  EXPECT_EQ(1, LiveObjectCount(LiveClass::DropSource));
}

}  // namespace
}  // namespace qv::test
