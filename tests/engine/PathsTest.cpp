#include <gtest/gtest.h>

#include <cerrno>

#include "engine/Paths.h"

namespace tolvan {
namespace {

TEST(Paths, JoiningStrippingAndCaseHelpers) {
  EXPECT_EQ(ChildPath("/", "a"), "/a");
  EXPECT_EQ(ChildPath("/m/sub", "a b"), "/m/sub/a b");
  EXPECT_EQ(StripOneTrailingSeparator("/"), "/");
  EXPECT_EQ(StripOneTrailingSeparator("/m//"), "/m/");
  EXPECT_EQ(TrimBlanks("  a b  "), "a b");
  EXPECT_EQ(TrimBlanks("   "), "");
  EXPECT_EQ(ToUpperAscii("recycled.é"), "RECYCLED.é");
  EXPECT_TRUE(ContainsIgnoringCase("/b/Recycler/x", "RECYCLER"));
  EXPECT_FALSE(ContainsIgnoringCase("/b/Recycle", "RECYCLER"));
  EXPECT_EQ(ErrorDescription(ENOENT), "No such file or directory");
}

TEST(Paths, SameOrBelowComparesWholeComponents) {
  EXPECT_TRUE(IsSameOrBelow("/data/master", "/data"));
  EXPECT_TRUE(IsSameOrBelow("/data", "/data"));
  EXPECT_TRUE(IsSameOrBelow("/x", "/"));
  EXPECT_FALSE(IsSameOrBelow("/data2", "/data"));
  EXPECT_FALSE(IsSameOrBelow("/data", "/data/master"));
}

TEST(Paths, DisplayTextKeepsValidUtf8AndMarksEachInvalidByte) {
  EXPECT_EQ(DisplayText("/m/日本語.txt"), "/m/日本語.txt");
  EXPECT_EQ(DisplayText("a\xff\xfe"
                        "b"),
            "a??b");
  EXPECT_EQ(DisplayText("x\xe6\x97"), "x??");     // a truncated three-byte sequence
  EXPECT_EQ(DisplayText("\xc0\xaf"), "??");       // overlong "/"
  EXPECT_EQ(DisplayText("\xed\xa0\x80"), "???");  // a UTF-16 surrogate
}

// A line break in a name would start a line of its own in the report; an escape would drive
// the terminal that shows standard error.
TEST(Paths, DisplayTextMarksEachControlCharacter) {
  const std::pair<std::string, std::string> cases[] = {
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
