#include "engine/FileOps.h"

#include <cerrno>

#include "support/EngineFixture.h"

namespace tolvan {
namespace {

using platform::FakeFileSystem;
using testing::EngineFixture;

class FileOpsTest : public EngineFixture {};

TEST_F(FileOpsTest, GetEntryInfoDescribesMissingFolderAndFile) {
  EntryInfo info;
  int lookupError = -1;
  EXPECT_EQ(GetEntryInfo(engine, "/m/none", info, lookupError), 0);
  EXPECT_EQ(info.Attributes, 0u);
  EXPECT_EQ(info.FileSize, -1);
  EXPECT_EQ(info.Modified, 0);
  EXPECT_EQ(lookupError, ENOENT);

  fs.addDirectory("/m/dir", 1700000000);
  EXPECT_EQ(GetEntryInfo(engine, "/m/dir", info, lookupError), 0);
  EXPECT_NE(info.Attributes & platform::kAttrDirectory, 0u);
  EXPECT_EQ(lookupError, 0);

  fs.addFile("/m/f.txt", "12345", 1700000000);
  EXPECT_EQ(GetEntryInfo(engine, "/m/f.txt", info), 0);
  EXPECT_EQ(info.FileSize, 5);
  EXPECT_EQ(FormatDateTime(sys, info.Modified), "2023/11/14 22:13:20");
}

TEST_F(FileOpsTest, GetEntryInfoUsesLocalTimeAndPassesOnOtherLookupErrors) {
  sys.utcOffsetSeconds = 9 * 3600;
  fs.addFile("/m/f", "", 1700000000);
  EntryInfo info;
  ASSERT_EQ(GetEntryInfo(engine, "/m/f", info), 0);
  EXPECT_EQ(FormatDateTime(sys, info.Modified), "2023/11/15 07:13:20");

  fs.failOn(FakeFileSystem::Op::Stat, "/m/f", EACCES);
  int lookupError = 0;
  EXPECT_EQ(GetEntryInfo(engine, "/m/f", info, lookupError), 0);
  EXPECT_EQ(lookupError, EACCES);
  EXPECT_TRUE(info.missing());
}

TEST_F(FileOpsTest, GetEntryInfoReportsATimeThatCannotBeConverted) {
  fs.addFile("/app/report.tvr");
  fs.addFile("/m/f");
  sys.failTimeConversion = true;
  EntryInfo info;
  EXPECT_EQ(GetEntryInfo(engine, "/m/f", info), 1);
  const auto lines = reportLines();
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ(lines.back(), "Error : /m/f(Code:75 File Time Culc Error)");
}

TEST_F(FileOpsTest, TreeSizeCountsHiddenEntriesAndHonoursChildDir) {
  fs.addFile("/m/a", "123");
  fs.addFile("/m/.hidden", "12345");
  fs.addFile("/m/sub/c", "1234567");
  fs.addFile("/m/.git/d", "12345678901");
  fs.addLink("/m/link", "a-target");
  std::int64_t folders = 0;
  std::int64_t files = 0;
  EXPECT_EQ(TreeSize(engine, "/m", -1, folders, files), 3 + 5 + 7 + 11 + 8);
  EXPECT_EQ(folders, 2);
  EXPECT_EQ(files, 5);
  EXPECT_EQ(ui.eventCount, 7);

  folders = files = 0;
  EXPECT_EQ(TreeSize(engine, "/m", 0, folders, files), 3 + 5 + 8);
  EXPECT_EQ(folders, 2);
  EXPECT_EQ(files, 3);
}

TEST_F(FileOpsTest, TreeSizeOfAnUnreadableFolderAddsNoBytesButKeepsCounts) {
  fs.addFile("/m/a", "123");
  fs.addFile("/m/sub/b", "12");
  fs.addFile("/m/sub/c", "1");
  fs.failListingAfter("/m/sub", 1, EIO);
  std::int64_t folders = 0;
  std::int64_t files = 0;
  EXPECT_EQ(TreeSize(engine, "/m", -1, folders, files), 3);
  EXPECT_EQ(folders, 1);
  EXPECT_EQ(files, 2);  // /m/a and the one entry listed before the failure
  folders = files = 0;
  EXPECT_EQ(TreeSize(engine, "/none", -1, folders, files), 0);
}

TEST_F(FileOpsTest, TreeSizeOfTheBackupRemovesLeftoversOfKilledCopies) {
  fs.addFile("/b/keep", "12");
  fs.addFile("/b/sub/.tolvan32-partial-x1", "half");
  std::int64_t folders = 0;
  std::int64_t files = 0;
  EXPECT_EQ(TreeSize(engine, "/b", -1, folders, files, LeftoverCopies::Remove), 2);
  EXPECT_EQ(files, 1);
  EXPECT_FALSE(fs.exists("/b/sub/.tolvan32-partial-x1"));
  EXPECT_TRUE(fs.exists("/b/keep"));
}

TEST_F(FileOpsTest, TreeSizeOfTheMasterNeverRemovesAnything) {
  fs.addFile("/m/sub/.tolvan32-partial-x1", "half");
  std::int64_t folders = 0;
  std::int64_t files = 0;
  EXPECT_EQ(TreeSize(engine, "/m", -1, folders, files), 0);
  EXPECT_TRUE(fs.exists("/m/sub/.tolvan32-partial-x1"));
  EXPECT_TRUE(fs.removed.empty());
}

TEST_F(FileOpsTest, TreeSizeInADryRunLeavesLeftoversAloneButUncounted) {
  fs.addFile("/b/.tolvan32-partial-x2", "half");
  engine.run.DryRunMode = 4;
  std::int64_t folders = 0;
  std::int64_t files = 0;
  EXPECT_EQ(TreeSize(engine, "/b", -1, folders, files, LeftoverCopies::Remove), 0);
  EXPECT_EQ(files, 0);
  EXPECT_TRUE(fs.exists("/b/.tolvan32-partial-x2"));
}

TEST_F(FileOpsTest, ShellCopyWithTrashBoxMovesTheOldCopyToTheTrash) {
  fs.addFile("/m/f", "new", 200);
  fs.addFile("/b/f", "old", 100);
  engine.job.TrashBox = 1;
  EXPECT_EQ(CopyFileWithAttributes(engine, "/m/f", "/b/f", 0), 0);
  EXPECT_EQ(fs.contentOf("/b/f"), "new");
  ASSERT_EQ(trash.contents.size(), 1u);
  EXPECT_EQ(trash.contents[0].content, "old");

  // A new file has no old copy to keep.
  fs.addFile("/m/g", "g");
  EXPECT_EQ(CopyFileWithAttributes(engine, "/m/g", "/b/g", 0), 0);
  EXPECT_EQ(trash.trashed, std::vector<std::string>{"/b/f"});
}

TEST_F(FileOpsTest, ShellCopyWithoutTrashBoxOverwrites) {
  fs.addFile("/m/f", "new");
  fs.addFile("/b/f", "old");
  EXPECT_EQ(CopyFileWithAttributes(engine, "/m/f", "/b/f", 0), 0);
  EXPECT_EQ(fs.contentOf("/b/f"), "new");
  EXPECT_TRUE(trash.trashed.empty());
}

TEST_F(FileOpsTest, PlainCopyReplacesAReadOnlyCopyAndNeverUsesTheTrash) {
  fs.addFile("/m/f", "new", 0, 0640);
  fs.addFile("/b/f", "old", 0, 0444);
  engine.job.ErrorFreeOption = -1;
  engine.job.TrashBox = -1;
  EXPECT_EQ(CopyFileWithAttributes(engine, "/m/f", "/b/f", 0), 0);
  EXPECT_EQ(fs.contentOf("/b/f"), "new");
  EXPECT_EQ(fs.find("/b/f")->mode, 0640u);
  EXPECT_TRUE(trash.trashed.empty());

  engine.job.ErrorFreeOption = 0;
  fs.addFile("/b/f", "old", 0, 0444);
  EXPECT_EQ(CopyFileWithAttributes(engine, "/m/f", "/b/f", -1), 0);  // OldNT: the plain copy
  EXPECT_TRUE(trash.trashed.empty());
}

TEST_F(FileOpsTest, CopyReturnsLookupAndCopyErrors) {
  fs.addFile("/m/f", "new");
  fs.addFile("/b/f", "old");
  fs.failOn(FakeFileSystem::Op::Stat, "/b/f", EACCES);
  engine.job.ErrorFreeOption = -1;
  EXPECT_EQ(CopyFileWithAttributes(engine, "/m/f", "/b/f", 0), EACCES);
  EXPECT_EQ(fs.contentOf("/b/f"), "old");

  engine.job.ErrorFreeOption = 0;
  fs.failOn(FakeFileSystem::Op::Stat, "/m/f", EIO);
  EXPECT_EQ(CopyFileWithAttributes(engine, "/m/f", "/b/g", 0), EIO);
  fs.failOn(FakeFileSystem::Op::Stat, "/m/f", 0, 0);
  fs.failOn(FakeFileSystem::Op::Copy, "/b/g", ENOSPC);
  EXPECT_EQ(CopyFileWithAttributes(engine, "/m/f", "/b/g", 0), ENOSPC);
}

TEST_F(FileOpsTest, OsVersionFromTheKernel) {
  sys.kernel = {6, 1, 55, "  Debian GNU/Linux "};
  OsVersionInfo info;
  EXPECT_EQ(GetOSVersion(engine, info), 0);
  EXPECT_EQ(info.PlatformId, 3);
  EXPECT_EQ(info.OsVersionText, "6.01");
  EXPECT_EQ(info.OsExtraText, "Debian GNU/Linux");
  EXPECT_EQ(info.BuildHigh, 55);
  EXPECT_EQ(info.BuildLow, 0);
  sys.kernel = {5, 15, 0, ""};
  (void)GetOSVersion(engine, info);
  EXPECT_EQ(info.OsVersionText, "5.15");
}

TEST_F(FileOpsTest, DiskSpaceOfTheVolume) {
  fs.freeBytes = 5000;
  fs.totalBytes = 9000;
  EXPECT_EQ(DriveFreeSpace(engine, "/b"), 5000);
  EXPECT_EQ(DriveTotalSpace(engine, "/b"), 9000);
  fs.diskSpaceError = EIO;
  double freeBytes = 7;
  double totalBytes = 7;
  EXPECT_FALSE(GetDiskSpace(engine, "/b", freeBytes, totalBytes));
  EXPECT_EQ(freeBytes, 7);
  EXPECT_EQ(DriveFreeSpace(engine, "/b"), 0);
}

TEST_F(FileOpsTest, PathUtilities) {
  std::string folder;
  EXPECT_EQ(SplitPath("/m/sub/f.txt", folder), "f.txt");
  EXPECT_EQ(folder, "/m/sub");
  EXPECT_EQ(SplitPath("/f", folder), "f");
  EXPECT_EQ(folder, "/");
  EXPECT_EQ(UpperFirstOfName("/m/abc"), "/m/Abc");
  EXPECT_EQ(TextBeforeNul(std::string("ab\0cd", 5)), "ab");
  sys.temp = "/var/tmp/";
  EXPECT_EQ(TempFolder(engine), "/var/tmp");

  fs.addFile("/m/Data");
  EXPECT_EQ(ShortPathName(engine, "/m/Data"), "/m/Data");
  EXPECT_EQ(ShortPathName(engine, "/m/none"), "");
  EXPECT_EQ(FindFileName(engine, "/m/Data"), "Data");
  EXPECT_EQ(ProperPathName(engine, "/"), "/");
  EXPECT_EQ(ProperPathName(engine, "/m/Data"), "/m/Data");
  EXPECT_EQ(ProperPathName(engine, "/m/data"), "Data");
  EXPECT_EQ(ProperPathName(engine, "/m/none"), "");
}

TEST(TextToInteger, RoundsHalfToEvenWithinSixteenBits) {
  EXPECT_EQ(TextToInteger("2.5"), 2);
  EXPECT_EQ(TextToInteger("3.5"), 4);
  EXPECT_EQ(TextToInteger("-2.5"), -2);
  EXPECT_EQ(TextToInteger("2.51"), 3);
  EXPECT_EQ(TextToInteger(" 12 "), 12);
  EXPECT_EQ(TextToInteger("+7"), 7);
  EXPECT_EQ(TextToInteger("1e2"), 100);
  EXPECT_EQ(TextToInteger("-32768"), -32768);
  EXPECT_EQ(TextToInteger("32768"), 0);
  for (const char* text : {"", "abc", "12abc", "0x10", "inf", "nan", ".", "1e"}) {
    EXPECT_EQ(TextToInteger(text), 0) << text;
  }
}

}  // namespace
}  // namespace tolvan
