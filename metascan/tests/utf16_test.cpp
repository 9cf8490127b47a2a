#include "byte_builders.h"
#include "utf16.h"

#include <gtest/gtest.h>

namespace metascan::testing {
namespace {

std::string convert(const ByteVec& bytes) { return metascan::utf16leToUtf8(bytes); }

TEST(Utf16ToUtf8, EveryPlaneConverts) {
  EXPECT_EQ(convert(utf16le(u"Café Über 東京")), "Café Über 東京");
  EXPECT_EQ(convert(utf16le(u"\U0001F600!")), "\xF0\x9F\x98\x80!");  // a surrogate pair
  EXPECT_EQ(convert(utf16le(u"\x7F\x80\x7FF\x800\xFFFF")), "\x7F\xC2\x80\xDF\xBF\xE0\xA0\x80\xEF\xBF\xBF");
}

// Output must be valid UTF-8 whatever the input: a surrogate without its partner is U+FFFD.
TEST(Utf16ToUtf8, UnpairedSurrogatesBecomeReplacementCharacters) {
  const std::pair<std::u16string, std::string> cases[] = {
      {u"a\xD800z", "a\xEF\xBF\xBDz"},              // high, then a letter
      {u"\xDC00", "\xEF\xBF\xBD"},                  // low alone
      {u"\xDC00\xD800", "\xEF\xBF\xBD\xEF\xBF\xBD"},  // reversed pair
      {u"\xD800\xD800\xDC00", "\xEF\xBF\xBD\xF0\x90\x80\x80"},  // high, then a whole pair
  };
  for (const auto& [utf16, utf8] : cases) EXPECT_EQ(convert(utf16le(utf16, false)), utf8);
  // A high surrogate right before the terminator, or as the last whole unit of the span.
  EXPECT_EQ(convert(utf16le(u"end\xD83D")), "end\xEF\xBF\xBD");
  EXPECT_EQ(convert(utf16le(u"end\xD83D", false)), "end\xEF\xBF\xBD");
}

TEST(Utf16ToUtf8, TextEndsAtTerminatorOrAtLastWholeUnit) {
  EXPECT_EQ(convert(cat({utf16le(u"Stop"), utf16le(u"after")})), "Stop");
  ByteVec odd = utf16le(u"Odd", false);
  odd.push_back('x');  // half a code unit
  EXPECT_EQ(convert(odd), "Odd");
  EXPECT_EQ(convert({}), "");
  EXPECT_EQ(convert({0x41}), "");
}

}  // namespace
}  // namespace metascan::testing
