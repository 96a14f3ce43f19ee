#include <gtest/gtest.h>

#include <cerrno>

#include "engine/Paths.h"

namespace tolvan {
namespace {

TEST(Paths, ChildPathJoinsOntoTheRootWithoutDoubleSeparator) {
  EXPECT_EQ(ChildPath("/", "a"), "/a");
  EXPECT_EQ(ChildPath("/m/sub", "a b"), "/m/sub/a b");
}

TEST(Paths, StripOneTrailingSeparatorKeepsTheRoot) {
  EXPECT_EQ(StripOneTrailingSeparator("/"), "/");
  EXPECT_EQ(StripOneTrailingSeparator("/m/"), "/m");
  EXPECT_EQ(StripOneTrailingSeparator("/m//"), "/m/");
  EXPECT_EQ(StripOneTrailingSeparator("/m"), "/m");
}

TEST(Paths, TrimAndCaseHelpers) {
  EXPECT_EQ(TrimBlanks("  a b  "), "a b");
  EXPECT_EQ(TrimBlanks("   "), "");
  EXPECT_EQ(ToUpperAscii("recycled.é"), "RECYCLED.é");
  EXPECT_TRUE(ContainsIgnoringCase("/b/Recycler/x", "RECYCLER"));
  EXPECT_FALSE(ContainsIgnoringCase("/b/Recycle", "RECYCLER"));
}

TEST(Paths, DisplayTextKeepsValidUtf8AndMarksEachInvalidByte) {
  EXPECT_EQ(DisplayText("/m/日本語.txt"), "/m/日本語.txt");
  EXPECT_EQ(DisplayText("a\xff\xfe"
                        "b"),
            "a??b");
  // A truncated three-byte sequence: both bytes are invalid on their own.
  EXPECT_EQ(DisplayText("x\xe6\x97"), "x??");
  // Overlong form of "/" and a UTF-16 surrogate are not valid UTF-8.
  EXPECT_EQ(DisplayText("\xc0\xaf"), "??");
  EXPECT_EQ(DisplayText("\xed\xa0\x80"), "???");
}

TEST(Paths, ErrorDescriptionIsTheSystemText) {
  EXPECT_EQ(ErrorDescription(ENOENT), "No such file or directory");
  EXPECT_FALSE(ErrorDescription(99999).empty());
}

}  // namespace
}  // namespace tolvan
