#include "engine/FileOps.h"

#include <cerrno>

#include "engine/Paths.h"
#include "engine/Report.h"
#include "support/EngineFixture.h"

namespace tolvan {
namespace {

using Op = platform::FakeFileSystem::Op;
using FileOpsTest = testing::EngineFixture;

TEST_F(FileOpsTest, GetEntryInfoTellsAMissingEntryFromOneThatCannotBeLookedUp) {
  EntryInfo info;
  int lookupError = -1;
  const int none = GetEntryInfo(engine, "/m/none", info, lookupError);
  EXPECT_EQ(std::tuple(none, lookupError, info.missing()), std::tuple(0, ENOENT, true));
  sys.utcOffsetSeconds = 9 * 3600;
  fs.addFile("/m/f", "12345", 1700000000);
  EXPECT_EQ(GetEntryInfo(engine, "/m/f", info), 0);
  EXPECT_EQ(FormatDateTime(sys, info.Modified), "2023/11/15 07:13:20");  // local time
  fs.addFile("/app/report.tvr");
  sys.failTimeConversion = true;
  EXPECT_EQ(GetEntryInfo(engine, "/m/f", info), 1);
  FlushReport(engine);
  ASSERT_FALSE(reportLines().empty());
  EXPECT_EQ(reportLines().back(), "Error : /m/f(Code:75 File Time Culc Error)");
  fs.failOn(Op::Stat, "/m/f", EACCES);
  const int denied = GetEntryInfo(engine, "/m/f", info, lookupError);
  EXPECT_EQ(std::pair(denied, lookupError), std::pair(0, EACCES));
}

// Hidden entries count, ChildDir off counts the top folder only, an unreadable folder adds
// nothing, and only the backup walk removes leftovers of killed copies (a dry run's, which
// must not, is checked with the dry runs).
TEST_F(FileOpsTest, TreeSizeCountsHiddenEntriesHonoursChildDirAndRemovesBackupLeftovers) {
  fs.addFile("/m/a", "123");
  fs.addFile("/m/.hidden", "12345");
  fs.addFile("/m/sub/c", "1234567");
  fs.addFile("/m/.git/d", "12345678901");
  fs.addLink("/m/link", "a-target");
  fs.addFile("/m/sub/.tolvan32-partial-00000000000000a1", "half");
  std::int64_t folders = 0, files = 0;
  EXPECT_EQ(TreeSize(engine, "/m", -1, folders, files), 3 + 5 + 7 + 11 + 8);
  EXPECT_EQ(folders * 10 + files, 25);
  EXPECT_EQ(TreeSize(engine, "/m", 0, folders, files), 3 + 5 + 8);
  fs.failListingAfter("/m/sub", 2, EIO);  // both entries read, then the listing fails
  EXPECT_EQ(TreeSize(engine, "/m", -1, folders, files), 3 + 5 + 11 + 8);
  EXPECT_TRUE(fs.exists("/m/sub/.tolvan32-partial-00000000000000a1"));
  fs.addFile("/b/keep", "12");
  fs.addFile("/b/sub/.tolvan32-partial-00000000000000a2", "half");
  EXPECT_EQ(TreeSize(engine, "/b", -1, folders, files, LeftoverCopies::Remove), 2);
  EXPECT_EQ(fs.removed, std::vector<std::string>{"/b/sub/.tolvan32-partial-00000000000000a2"});
}

// Both forms: on its own, and given what the caller's lookup of the target found. With
// TrashBox the old copy goes to the trash; the plain copy (ErrorFreeOption or OldNT) replaces
// a read-only copy, never through the trash.
TEST_F(FileOpsTest, CopyFileWithAttributesKeepsTheOldCopyOnlyWithTrashBox) {
  fs.addFile("/m/f", "new", 0, 0640);
  for (const bool lookedUp : {false, true}) {
    SCOPED_TRACE(lookedUp ? "target looked up by the caller" : "target not looked up");
    auto copy = [&](const std::string& target, std::int16_t oldNT) {
      if (!lookedUp) return CopyFileWithAttributes(engine, "/m/f", target, oldNT);
      EntryInfo backup;
      EXPECT_EQ(GetEntryInfo(engine, target, backup), 0);
      return CopyFileWithAttributes(engine, "/m/f", target, oldNT, backup);
    };
    trash.contents.clear();
    (void)fs.removeEntry("/b/g");
    // TrashBox, ErrorFreeOption, OldNT, the old copy's bits, whether it goes to the trash.
    using Case = std::tuple<std::int16_t, std::int16_t, std::int16_t, std::uint32_t, bool>;
    for (const auto& [trashBox, errorFree, oldNT, mode, trashed] :
         {Case{0, 0, 0, 0644, false}, Case{1, 0, 0, 0644, true}, Case{1, -1, 0, 0444, false},
          Case{1, 0, -1, 0444, false}}) {
      engine.job.TrashBox = trashBox, engine.job.ErrorFreeOption = errorFree;
      trash.trashed.clear();
      fs.addFile("/b/f", "old", 0, mode);
      EXPECT_EQ(copy("/b/f", oldNT), 0);
      const auto* copied = fs.find("/b/f");
      ASSERT_NE(copied, nullptr);
      EXPECT_EQ(std::tuple(copied->content, copied->mode, trash.trashed.size()),
                std::tuple("new", 0640u, trashed ? 1u : 0u));
      EXPECT_EQ(trashed ? trash.contents.at(0).content : "old", "old");
    }
    engine.job.ErrorFreeOption = 0;
    EXPECT_EQ(copy("/b/g", 0), 0);  // a new file: no old copy
    EXPECT_TRUE(trash.trashed.empty());
  }
}

TEST_F(FileOpsTest, CopyReturnsLookupAndCopyErrors) {
  fs.addFile("/m/f", "new");
  fs.addFile("/b/f", "old");
  fs.failOn(Op::Stat, "/b/f", EACCES);
  engine.job.ErrorFreeOption = -1;
  EXPECT_EQ(CopyFileWithAttributes(engine, "/m/f", "/b/f", 0), EACCES);
  EXPECT_EQ(fs.contentOf("/b/f"), "old");
  // What the caller found stands: a writable old copy is not looked up again.
  const EntryInfo found{.Kind = platform::EntryKind::File};
  EXPECT_EQ(CopyFileWithAttributes(engine, "/m/f", "/b/f", 0, found), 0);
  engine.job.ErrorFreeOption = 0;
  fs.failOn(Op::Copy, "/b/g", ENOSPC);
  EXPECT_EQ(CopyFileWithAttributes(engine, "/m/f", "/b/g", 0), ENOSPC);
}

TEST_F(FileOpsTest, OsVersionAndDiskSpace) {
  sys.kernel = {6, 1, 55, "  Debian GNU/Linux "};
  OsVersionInfo info;
  EXPECT_EQ(GetOSVersion(engine, info), 0);
  EXPECT_EQ(info.OsVersionText + "|" + info.OsExtraText, "6.01|Debian GNU/Linux");
  fs.freeBytes = 5000;
  fs.diskSpaceError = EIO;
  EXPECT_EQ(DriveFreeSpace(engine, "/b"), 0);
}

TEST(Paths, SameOrBelowComparesWholeComponents) {
  EXPECT_TRUE(IsSameOrBelow("/data/master", "/data") && IsSameOrBelow("/x", "/"));
  EXPECT_FALSE(IsSameOrBelow("/data2", "/data") || IsSameOrBelow("/data", "/data/master"));
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
