#include "support/FolderStoreFixture.h"

namespace qv::test {
namespace {

SearchFolderRecord ReadChild(CFolderStore& store, const std::string& name) {
  TestItemList list;
  list.Root().Folder(name);
  SearchFolderRecord record = {};
  CFolderStore::ReadFolderRecord(record, store.FindFolderNode(list.Get()).Get());
  return record;
}

TEST_F(FolderStoreTest, ReadsEveryAttributeWithItsDefault) {
  WriteDocument(
      "<root name='root'>"
      "<folder name='Plain'/>"
      "<folder name='Full' query='budget' category='email' ranking='RECENCY' maxResults='  -7' style='3'/>"
      "<folder name='Words' ranking='sometimes' maxResults='12 apples' style='lots'/>"
      "<folder name='' query='nameless'/>"
      "<folder query='no name attribute'/>"
      "</root>");
  CFolderStore& store = Store();

  SearchFolderRecord plain = ReadChild(store, "Plain");
  EXPECT_STREQ("", plain.query);
  EXPECT_STREQ("", plain.category);
  EXPECT_EQ(0, plain.rankByRecency);
  EXPECT_EQ(100, plain.maxResults);
  EXPECT_EQ(32768, plain.style);

  SearchFolderRecord full = ReadChild(store, "Full");
  EXPECT_STREQ("budget", full.query);
  EXPECT_STREQ("email", full.category);
  EXPECT_EQ(1, full.rankByRecency);
  EXPECT_EQ(-7, full.maxResults);
  EXPECT_EQ(3, full.style);

  SearchFolderRecord words = ReadChild(store, "Words");
  EXPECT_EQ(0, words.rankByRecency);
  EXPECT_EQ(12, words.maxResults);
  EXPECT_EQ(0, words.style);

  // Unnamed folders go by their tag name.
  ComPtr<IXMLDOMNode> root = RootNode();
  ComPtr<IXMLDOMNodeList> children;
  root->get_childNodes(children.Put());
  ComPtr<IXMLDOMNode> fourth, fifth;
  children->get_item(3, fourth.Put());
  children->get_item(4, fifth.Put());
  SearchFolderRecord record = {};
  CFolderStore::ReadFolderRecord(record, fourth.Get());
  EXPECT_STREQ("folder", record.name);
  EXPECT_STREQ("nameless", record.query);
  record = {};
  CFolderStore::ReadFolderRecord(record, fifth.Get());
  EXPECT_STREQ("folder", record.name);
}

TEST_F(FolderStoreTest, CommentNodeReadsAsADamagedFolder) {
  WriteDocument("<root name='root'><!-- a note --></root>");
  ComPtr<IXMLDOMNode> comment;
  RootNode()->get_firstChild(comment.Put());
  ASSERT_TRUE(comment);
  SearchFolderRecord record = {};
  CFolderStore::ReadFolderRecord(record, comment.Get());
  EXPECT_STREQ("GetNodeAttribute exception", record.name);
  EXPECT_EQ(100, record.maxResults);
  EXPECT_EQ(32768, record.style);
}

TEST_F(FolderStoreTest, LongValuesAreCutToTheirFields) {
  std::string longQuery(300, 'q');
  WriteDocument("<root name='root'><folder name='" + std::string(80, 'n') + "' query='" + longQuery +
                "' category='" + std::string(40, 'c') + "'/></root>");
  ComPtr<IXMLDOMNode> folder;
  RootNode()->get_firstChild(folder.Put());
  SearchFolderRecord record = {};
  CFolderStore::ReadFolderRecord(record, folder.Get());
  EXPECT_EQ(49u, strnlen(record.name, sizeof record.name));
  EXPECT_EQ(199u, strnlen(record.query, sizeof record.query));
  EXPECT_EQ(19u, strnlen(record.category, sizeof record.category));
}

TEST_F(FolderStoreTest, WrittenRecordsUseTheFixedAttributeOrderAndForms) {
  ComPtr<IXMLDOMNode> added = Store().AddFolder(RootNode().Get(), "Tasks");
  SearchFolderRecord record = MakeFolderRecord("Tasks", "todo", "task", -1);
  record.style = 1;
  TestItemList list;
  list.Root().Folder(record);
  Store().SaveFolderSettings(list.Get());
  EXPECT_NE(std::string::npos,
            FileText().find("<folder name=\"Tasks\" category=\"task\" query=\"todo\" ranking=\"relevance\" "
                            "maxResults=\"-1\" style=\"1\"/>"))
      << FileText();

  record.rankByRecency = 5;
  TestItemList recency;
  recency.Root().Folder(record);
  Store().SaveFolderSettings(recency.Get());
  EXPECT_NE(std::string::npos, FileText().find("ranking=\"recency\""));
}

}  // namespace
}  // namespace qv::test
