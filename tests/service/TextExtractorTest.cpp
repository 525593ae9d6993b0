#include <gtest/gtest.h>

#include "common/Text.h"
#include "service/TextExtractor.h"
#include "service/extract/MarkupText.h"
#include "service/extract/RtfText.h"

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

// Text in the system's code page (Windows-1252 here) is read, not dropped;
// whatever the bytes, what comes out is valid UTF-8 within the limit.
TEST(TextExtractor, EveryTextBecomesValidUtf8) {
  std::string text;
  ASSERT_TRUE(DecodeText("Caf\xE9 na\xEFve \x80", &text));
  EXPECT_EQ("Caf\xC3\xA9 na\xC3\xAFve \xE2\x82\xAC", text);
  ASSERT_TRUE(DecodeText("\xEF\xBB\xBF" "a\xC0\xAF\xED\xA0\x80z", &text));
  EXPECT_TRUE(IsUtf8(text.data(), text.size()));
  EXPECT_EQ('z', text.back());
  // A lone surrogate in UTF-16 is one replacement character, not the end of the text.
  ASSERT_TRUE(DecodeText(std::string("\xFF\xFE" "a\0\x00\xD8z\0", 8), &text));
  EXPECT_EQ("a\xEF\xBF\xBDz", text);
  RtfContent rtf = RtfText("{\\rtf1 \\u65535? \\u-1? \\u55296? \\u1114112? \\u-2147483649? ok}", 1024);
  EXPECT_TRUE(IsUtf8(rtf.text.data(), rtf.text.size()));
  EXPECT_NE(std::string::npos, rtf.text.find("ok"));
}

// Markup is read in one pass: a page of many scripts or of ampersands without
// a ';' costs time in proportion to its size.
TEST(TextExtractor, MarkupIsReadInOnePass) {
  std::string page = "<html><body>";
  while (page.size() < 4 * 1024 * 1024) page += "<p>row</p><script>var a = 1 < 2;</script><STYLE>p{}</STYLE>";
  page += "tail</body></html>";
  MarkupText html = HtmlText(page, 64 * 1024 * 1024);
  EXPECT_EQ(std::string::npos, html.text.find("var"));
  EXPECT_NE(std::string::npos, html.text.find("tail"));
  std::string ampersands(4 * 1024 * 1024, '&');
  EXPECT_EQ(ampersands.size() + 1, HtmlText(ampersands + "&amp;", 64 * 1024 * 1024).text.size());
  EXPECT_EQ("a & b", HtmlText("a &amp; b", 1024).text);
  EXPECT_EQ("&verylongentityname; &#x;", HtmlText("&verylongentityname; &#x;", 1024).text);
}

}  // namespace
}  // namespace qv::service
