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

TEST(Paths, DisplayTextKeepsValidUtf8AndMarksEachInvalidByte) {
  EXPECT_EQ(DisplayText("/m/日本語.txt"), "/m/日本語.txt");
  EXPECT_EQ(DisplayText("a\xff\xfe"
                        "b"),
            "a??b");
  EXPECT_EQ(DisplayText("x\xe6\x97"), "x??");     // a truncated three-byte sequence
  EXPECT_EQ(DisplayText("\xc0\xaf"), "??");       // overlong "/"
  EXPECT_EQ(DisplayText("\xed\xa0\x80"), "???");  // a UTF-16 surrogate
}

}  // namespace
}  // namespace tolvan
