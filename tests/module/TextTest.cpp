#include <gtest/gtest.h>

#include <cstring>

#include "common/Text.h"

namespace qv {
namespace {

TEST(Text, ConversionsCutAtTheBufferAndTerminate) {
  char small[5];
  std::memset(small, 'x', sizeof small);
  EXPECT_EQ(4u, WideToText(L"abcdefgh", small, sizeof small));
  EXPECT_STREQ("abcd", small);
  // A character is never split: three bytes do not fit in the four left.
  EXPECT_EQ(3u, WideToText(L"abc\u65e5", small, sizeof small));
  EXPECT_STREQ("abc", small);

  EXPECT_EQ(0u, WideToText(L"abc", small, 0));
  EXPECT_EQ(0u, WideToText(nullptr, small, sizeof small));
  EXPECT_STREQ("", small);
}

TEST(Text, Utf8RoundTripsEveryCharacterWhateverTheCodePage) {
  std::wstring text = L"caf\u00e9 \u65e5\u672c \U0001F600";
  std::string utf8 = ToUtf8(text);
  EXPECT_EQ("caf\xC3\xA9 \xE6\x97\xA5\xE6\x9C\xAC \xF0\x9F\x98\x80", utf8);
  EXPECT_EQ(text, FromUtf8(utf8));
  EXPECT_EQ(std::string(), ToUtf8(std::wstring()));
  EXPECT_EQ(std::wstring(), FromUtf8(nullptr, 3));
}

TEST(Text, WideAndAnsiRoundTripInTheProcessCodePage) {
  EXPECT_EQ("New Folder (2)", Utf8ToAnsi("New Folder (2)"));
  EXPECT_EQ(L"New Folder (2)", ToWide(AnsiToUtf8("New Folder (2)", 14)));
  EXPECT_EQ(std::string(), Utf8ToAnsi(""));
}

TEST(Text, CopyTextKeepsWholeStringsThatFit) {
  char buffer[8];
  EXPECT_EQ(7u, CopyText("1234567", buffer, sizeof buffer));
  EXPECT_EQ(7u, CopyText("123456789", buffer, sizeof buffer));
  EXPECT_STREQ("1234567", buffer);
  EXPECT_EQ(2u, CharacterCount("\xE6\x97\xA5\xF0\x9F\x98\x80")) << "characters, not bytes";
}

}  // namespace
}  // namespace qv
