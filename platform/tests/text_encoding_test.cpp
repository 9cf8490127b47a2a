#include "platform/text_encoding.h"

#include <gtest/gtest.h>

namespace {

TEST(Utf8Check, AcceptsWellFormedTextAndRefusesEveryMalformedKind) {
  for (const char* valid : {"", "plain", "caf\xC3\xA9", "\xE6\x9D\xB1\xE4\xBA\xAC", "\xF0\x9F\x8E\xB5",
                            "\xEF\xBF\xBD", "\xF4\x8F\xBF\xBF"}) {
    EXPECT_TRUE(IsValidUtf8(valid)) << valid;
  }
  for (const char* invalid : {"\x80", "caf\xE9", "\xC0\x80", "\xC1\xBF", "\xE0\x80\x80", "\xED\xA0\x80",
                              "\xF4\x90\x80\x80", "\xF5\x80\x80\x80", "\xE6\x9D", "\xF0\x9F\x8E", "\xFF"}) {
    EXPECT_FALSE(IsValidUtf8(invalid)) << ::testing::PrintToString(std::string(invalid));
  }
}

TEST(CharacterCut, NeverEndsInsideASequence) {
  EXPECT_EQ(CutToCharacters("caf\xC3\xA9s", 4), "caf\xC3\xA9");
  EXPECT_EQ(CutToCharacters("\xF0\x9F\x8E\xB5\xF0\x9F\x8E\xB5", 1), "\xF0\x9F\x8E\xB5");
  EXPECT_EQ(CutToCharacters("abc", 0), "");
  EXPECT_EQ(CutToCharacters("abc", 10), "abc");
  // A stray byte is one character; a truncated sequence at the end is kept byte by byte.
  EXPECT_EQ(CutToCharacters("a\xFF" "bc", 3), "a\xFF" "b");
  EXPECT_EQ(CutToCharacters("ab\xE6\x9D", 3), "ab\xE6");
}

TEST(LegacyText, Windows1252UpperHalfMapsToItsCharacters) {
  EXPECT_EQ(Windows1252ToUtf8("\x80"), "\xE2\x82\xAC");          // euro sign
  EXPECT_EQ(Windows1252ToUtf8("\x9F"), "\xC5\xB8");              // Y with diaeresis
  EXPECT_EQ(Windows1252ToUtf8("\xA0\xFF"), "\xC2\xA0\xC3\xBF");  // Latin-1 half
  const std::string replacement = "\xEF\xBF\xBD";  // the five undefined bytes
  EXPECT_EQ(Windows1252ToUtf8("\x81\x8D\x8F\x90\x9D"),
            replacement + replacement + replacement + replacement + replacement);
  EXPECT_TRUE(IsValidUtf8(ToValidUtf8("\xC3\x28 mixed \xE9")));
}

}  // namespace
