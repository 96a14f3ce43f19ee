#include "engine/Paths.h"

#include <gtest/gtest.h>

namespace tolvan {
namespace {

TEST(Paths, SameOrBelowComparesWholeComponents) {
  EXPECT_TRUE(IsSameOrBelow("/data/master", "/data") && IsSameOrBelow("/x", "/"));
  EXPECT_FALSE(IsSameOrBelow("/data2", "/data") || IsSameOrBelow("/data", "/data/master"));
  EXPECT_FALSE(ContainsIgnoringCase("/b/Recycle", "RECYCLER"));
}

// Invalid bytes and control characters are each shown as '?': a line break in a name would
// forge a report line, an escape would drive the terminal that shows standard error.
TEST(Paths, DisplayTextMarksEachInvalidByteAndControlCharacter) {
  const std::pair<std::string, std::string> cases[] = {
      {"/m/日本語.txt", "/m/日本語.txt"},
      {"a\xff\xfe", "a??"},
      {"x\xe6\x97", "x??"},     // a truncated three-byte sequence
      {"\xc0\xaf", "??"},       // overlong "/"
      {"\xed\xa0\x80", "???"},  // a UTF-16 surrogate
      {"evil\r\nError : forged", "evil??Error : forged"},
      {"a\tb\x1b[2J\x7f", "a?b?[2J?"},
      {std::string("nul\0", 4), "nul?"},
      {"next\xc2\x85line\xc2\x9f", "next?line?"},  // C1 controls NEL and U+009F
      {"nbsp\xc2\xa0\xc2\x80", "nbsp\xc2\xa0?"},   // U+00A0 is no control character
  };
  for (const auto& [name, shown] : cases) EXPECT_EQ(DisplayText(name), shown);
}

}  // namespace
}  // namespace tolvan
