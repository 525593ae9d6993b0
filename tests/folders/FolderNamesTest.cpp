#include "support/FolderStoreFixture.h"

namespace qv::test {
namespace {

class FolderNameRoundTrip : public FolderStoreTest, public testing::WithParamInterface<std::string> {};

// Every name a user can type is created, found, renamed, moved and removed.
TEST_P(FolderNameRoundTrip, SurvivesEveryOperation) {
  const std::string name = GetParam();
  const std::string renamed = name + " 2";
  ComPtr<IXMLDOMNode> root = RootNode();
  Store().AddFolder(root.Get(), "Target");
  ASSERT_TRUE(Store().AddFolder(root.Get(), name.c_str()));
  EXPECT_TRUE(Store().FindChildFolder(root.Get(), name.c_str()));

  auto reopened = Reopen();
  TestItemList list = PathList({name});
  ComPtr<IXMLDOMNode> found = reopened->FindFolderNode(list.Get());
  ASSERT_TRUE(found) << name;
  EXPECT_EQ(name, NameOf(found.Get()));

  FolderSettings record = MakeFolderRecord(renamed, "q");
  TestItemList renamedList;
  renamedList.Root().Folder(record);
  EXPECT_EQ(1, reopened->UpdateFolder(list.Get(), renamedList.Get()));
  EXPECT_FALSE(reopened->FindFolderNode(list.Get()));

  TestItemList target = PathList({"Target"});
  EXPECT_EQ(1, reopened->MoveFolder(renamedList.Get(), target.Get()));
  TestItemList moved = PathList({"Target", renamed});
  EXPECT_TRUE(reopened->FindFolderNode(moved.Get()));

  EXPECT_EQ(1, reopened->RemoveFolder(moved.Get()));
  EXPECT_FALSE(reopened->HasSubfolders(target.Get()));
}

INSTANTIATE_TEST_SUITE_P(SpecialCharacters, FolderNameRoundTrip,
                         testing::Values("Tom's files", "say \"hi\"", "both ' and \"", "\"'\"'", "a & b",
                                         "<tag>", "&amp; literally", "slash/and[brackets]", "caf\xC3\xA9",
                                         "\xE6\x97\xA5\xE6\x9C\xAC", "\xD0\x9E\xD1\x82\xD1\x87\xD1\x91\xD1\x82",
                                         "emoji \xF0\x9F\x98\x80"));

TEST(XPathLiteral, QuotesWithTheMarkTheTextLacks) {
  EXPECT_EQ("\"plain\"", CFolderStore::XPathLiteral("plain"));
  EXPECT_EQ("\"it's\"", CFolderStore::XPathLiteral("it's"));
  EXPECT_EQ("'say \"hi\"'", CFolderStore::XPathLiteral("say \"hi\""));
  EXPECT_EQ("concat(\"it's \", '\"', \"x\", '\"')", CFolderStore::XPathLiteral("it's \"x\""));
}

}  // namespace
}  // namespace qv::test
