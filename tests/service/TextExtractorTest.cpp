#include <gtest/gtest.h>

#include "service/TextExtractor.h"

namespace qv::service {
namespace {

TEST(TextExtractor, DecodesUtf8AndUtf16WithOrWithoutAMark) {
  std::string text;
  ASSERT_TRUE(DecodeText("\xEF\xBB\xBF" "caf\xC3\xA9", &text));
  EXPECT_EQ("caf\xC3\xA9", text);
  ASSERT_TRUE(DecodeText(std::string("\xFF\xFE" "h\0i\0", 6), &text));
  EXPECT_EQ("hi", text);
  ASSERT_TRUE(DecodeText(std::string("\xFE\xFF\0h\0i", 6), &text));
  EXPECT_EQ("hi", text);
  // Without a mark, UTF-16 is told by the zero bytes of Latin text.
  ASSERT_TRUE(DecodeText(std::string("s\0l\0o\0e\0 \0b\0e\0r\0r\0y\0", 20), &text));
  EXPECT_EQ("sloe berry", text);
  ASSERT_TRUE(DecodeText(std::string("\0s\0l\0o\0e\0 \0g\0i\0n", 16), &text));
  EXPECT_EQ("sloe gin", text);
  ASSERT_TRUE(DecodeText("plain", &text));
  EXPECT_EQ("plain", text);
  // A file cut inside a character keeps the whole characters before it.
  ASSERT_TRUE(DecodeText("ab\xC3", &text));
  EXPECT_EQ("ab", text);
}

TEST(TextExtractor, BinaryDataIsNotText) {
  std::string text = "left over";
  EXPECT_FALSE(DecodeText(std::string("MZ\0\0\x90", 5), &text));
  EXPECT_EQ("", text);
}

TEST(TextExtractor, MarkupKeepsOnlyTheWordsBetweenTags) {
  EXPECT_EQ(" Title  body ", StripMarkup("<h1 class=\"x\">Title</h1><p>body</p>"));
  EXPECT_TRUE(IsTextExtension(L"cpp"));
  EXPECT_FALSE(IsTextExtension(L"exe"));
  EXPECT_TRUE(IsTextExtension(L"xlsx"));
}

}  // namespace
}  // namespace qv::service
