#include <gtest/gtest.h>

#include "service/QueryParser.h"

namespace qv::service {
namespace {

TEST(QueryParser, WordsMustAllMatchAndTheLastIsAPrefix) {
  ParsedQuery query = ParseQuery(L"  quarterly   budg ");
  EXPECT_EQ("\"quarterly\" \"budg\" *", query.match);
  EXPECT_EQ("", query.exclude);
}

TEST(QueryParser, PhrasesAndExclusionsAreQuotedWhole) {
  ParsedQuery query = ParseQuery(L"\"annual report\" -draft -\"old copy\" final");
  EXPECT_EQ("\"annual report\" \"final\" *", query.match);
  EXPECT_EQ("\"draft\" OR \"old copy\"", query.exclude);
}

TEST(QueryParser, FileTypesAreCollectedInLowerCaseWithoutDots) {
  ParsedQuery query = ParseQuery(L"FileType:PDF filetype:.doc -filetype:Tmp");
  EXPECT_EQ("", query.match);
  EXPECT_EQ((std::vector<std::wstring>{L"pdf", L"doc"}), query.fileTypes);
  EXPECT_EQ((std::vector<std::wstring>{L"tmp"}), query.excludedFileTypes);
}

TEST(QueryParser, OperatorsAndQuotesInsideTermsCannotEscapeTheirString) {
  ParsedQuery query = ParseQuery(L"a\"b OR NOT c*");
  EXPECT_EQ("\"a\"\"b\" \"OR\" \"NOT\" \"c*\"", query.match);
}

TEST(QueryParser, MalformedInputIsReadLiterally) {
  EXPECT_EQ("\"open\" \"ended\" *", ParseQuery(L"\"open ended").match);
  EXPECT_EQ("\"filetype:\"", ParseQuery(L"filetype:").match);
  EXPECT_TRUE(ParseQuery(L"- -- \" ((( ").IsEmpty());
  EXPECT_TRUE(ParseQuery(L"").IsEmpty());
  EXPECT_EQ("\"caf\xC3\xA9\" *", ParseQuery(L"caf\u00e9").match);
}

}  // namespace
}  // namespace qv::service
