#include "support/FolderStoreFixture.h"

namespace qv::test {
namespace {

FolderSettings ReadChild(CFolderStore& store, const std::string& name) {
  TestItemList list;
  list.Root().Folder(name);
  return CFolderStore::ReadFolderSettings(store.FindFolderNode(list.Get()).Get());
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

  FolderSettings plain = ReadChild(store, "Plain");
  EXPECT_EQ("", plain.query);
  EXPECT_EQ("", plain.category);
  EXPECT_EQ(0, plain.rankByRecency);
  EXPECT_EQ(100, plain.maxResults);
  EXPECT_EQ(32768, plain.style);

  FolderSettings full = ReadChild(store, "Full");
  EXPECT_EQ("budget", full.query);
  EXPECT_EQ("email", full.category);
  EXPECT_EQ(1, full.rankByRecency);
  EXPECT_EQ(-7, full.maxResults);
  EXPECT_EQ(3, full.style);

  FolderSettings words = ReadChild(store, "Words");
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
  FolderSettings record = CFolderStore::ReadFolderSettings(fourth.Get());
  EXPECT_EQ("folder", record.name);
  EXPECT_EQ("nameless", record.query);
  EXPECT_EQ("folder", CFolderStore::ReadFolderSettings(fifth.Get()).name);
}

TEST_F(FolderStoreTest, CommentNodeReadsAsADamagedFolder) {
  WriteDocument("<root name='root'><!-- a note --></root>");
  ComPtr<IXMLDOMNode> comment;
  RootNode()->get_firstChild(comment.Put());
  ASSERT_TRUE(comment);
  FolderSettings record = CFolderStore::ReadFolderSettings(comment.Get());
  EXPECT_EQ("GetNodeAttribute exception", record.name);
  EXPECT_EQ(100, record.maxResults);
  EXPECT_EQ(32768, record.style);
}

// Whatever the document holds is read whole, in every script: nothing is cut to
// a field or passed through a code page.
TEST_F(FolderStoreTest, ValuesAreReadWholeInEveryScript) {
  const std::string japanese = "\xE6\x97\xA5\xE6\x9C\xAC";
  const std::string query = std::string(250, 'q') + " \xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E \xF0\x9F\x98\x80";
  WriteDocument("<?xml version='1.0' encoding='UTF-8'?><root name='root'><folder name='" + japanese + "' query='" +
                query + "' category='" + std::string(40, 'c') + "'/></root>");
  FolderSettings record = ReadChild(Store(), japanese);
  EXPECT_EQ(japanese, record.name);
  EXPECT_EQ(query, record.query);
  EXPECT_EQ(std::string(40, 'c'), record.category);
}

TEST_F(FolderStoreTest, WrittenRecordsUseTheFixedAttributeOrderAndForms) {
  ComPtr<IXMLDOMNode> added = Store().AddFolder(RootNode().Get(), "Tasks");
  FolderSettings record = MakeFolderRecord("Tasks", "todo", "task", -1);
  record.style = 1;
  CFolderStore::WriteFolderSettings(added.Get(), record);
  Store().Save();
  EXPECT_NE(std::string::npos,
            FileText().find("<folder name=\"Tasks\" category=\"task\" query=\"todo\" ranking=\"relevance\" "
                            "maxResults=\"-1\" style=\"1\"/>"))
      << FileText();

  record.rankByRecency = 5;
  CFolderStore::WriteFolderSettings(added.Get(), record);
  Store().Save();
  EXPECT_NE(std::string::npos, FileText().find("ranking=\"recency\""));
}

// A change of one setting writes that attribute and nothing else: values the
// document holds in forms of its own stay exactly as they are.
TEST_F(FolderStoreTest, ChangingOneSettingLeavesEveryOtherAttributeAsStored) {
  WriteDocument("<root name='root'><folder name='Mixed' query='" + std::string(230, 'q') +
                "' ranking='RECENCY' maxResults=' +12' category='file'/></root>");
  TestItemList list = PathList({"Mixed"});
  EXPECT_EQ(1, Store().ChangeFolder(list.Get(), [](FolderSettings& settings) {
    settings.name = "Renamed";
    return true;
  }));
  EXPECT_NE(std::string::npos,
            FileText().find("<folder name=\"Renamed\" query=\"" + std::string(230, 'q') +
                            "\" ranking=\"RECENCY\" maxResults=\" +12\" category=\"file\"/>"))
      << FileText();
  // A refused change writes nothing.
  std::string before = FileText();
  TestItemList renamed = PathList({"Renamed"});
  EXPECT_EQ(0, Store().ChangeFolder(renamed.Get(), [](FolderSettings&) { return false; }));
  EXPECT_EQ(0, Store().ChangeFolder(list.Get(), [](FolderSettings&) { return true; })) << "gone";
  EXPECT_EQ(before, FileText());
}

}  // namespace
}  // namespace qv::test
