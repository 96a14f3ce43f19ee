#include <gtest/gtest.h>

#include <cerrno>

#include "engine/CopyPass.h"
#include "engine/Paths.h"
#include "support/PassFixture.h"

namespace tolvan::testing {
namespace {

using Lines = std::vector<std::string>;
using Op = platform::FakeFileSystem::Op;

using CopyPassTest = PassFixture;

DateTime At(int hour, int minute, int second) {
  return MakeDateTime(platform::LocalTime{2024, 3, 1, hour, minute, second});
}

TEST(CompareModifiedTest, FortyEightSecondsBothWaysIsTheSameTime) {
  EXPECT_EQ(CompareModified(At(12, 0, 48), At(12, 0, 0)), 0);
  EXPECT_EQ(CompareModified(At(12, 0, 0), At(12, 0, 48)), 0);
  EXPECT_EQ(CompareModified(At(12, 0, 49), At(12, 0, 0)), 1);
  EXPECT_EQ(CompareModified(At(12, 0, 0), At(12, 0, 49)), -1);
  EXPECT_EQ(CompareModified(At(0, 0, 0), At(23, 59, 30) - 1), 0);  // across midnight
}

TEST_F(CopyPassTest, MasterNewerBy49SecondsIsCopiedBy48IsNot) {
  fs.addFile("/m/close", "new", kT + 48);
  fs.addFile("/b/close", "old", kT);
  fs.addFile("/m/far", "new", kT + 49);
  fs.addFile("/b/far", "old", kT);
  EXPECT_EQ(runCopy(), (Lines{"UpDate File : /b/far  2023/11/14 22:13:20 -> "
                              "2023/11/14 22:14:09"}));
  EXPECT_EQ(fs.contentOf("/b/close"), "old");
  EXPECT_EQ(fs.contentOf("/b/far"), "new");
  EXPECT_EQ(errors, 0);
}

TEST_F(CopyPassTest, OlderMasterIsCopiedOnlyWhenUpDateIsExactlyOne) {
  fs.addFile("/m/f", "master", kT);
  fs.addFile("/b/f", "backup", kT + 60);
  for (std::int16_t value : {0, 2, -1}) {
    engine.job.UpDate = value;
    EXPECT_EQ(runCopy(), Lines{}) << "UpDate " << value;
  }
  EXPECT_EQ(fs.contentOf("/b/f"), "backup");
  engine.job.UpDate = 1;
  EXPECT_EQ(runCopy(), (Lines{"All Files : /b/f  " + when(kT + 60) + " -> " + when(kT)}));
  EXPECT_EQ(fs.contentOf("/b/f"), "master");
  EXPECT_EQ(fs.find("/b/f")->mtime, kT);
}

TEST_F(CopyPassTest, SizeDifferenceAtTheSameTimeCountsOnlyWithSizeOn) {
  fs.addFile("/m/f", "12345", kT + 30);
  fs.addFile("/b/f", "123", kT);
  EXPECT_EQ(runCopy(), Lines{});
  for (std::int16_t on : {1, -1}) {
    fs.addFile("/b/f", "123", kT);
    engine.job.Size = on;
    EXPECT_EQ(runCopy(), (Lines{"Size : /b/f  3byte -> 5byte"})) << "Size " << on;
    EXPECT_EQ(fs.contentOf("/b/f"), "12345");
  }
  EXPECT_EQ(runCopy(), Lines{}) << "equal now";
}

TEST_F(CopyPassTest, MissingFilesAndFoldersAreMadeWithTheMastersPermissions) {
  fs.addDirectory("/m/empty", kT, 0750);
  fs.addDirectory("/m/locked", kT, 0555);
  fs.addFile("/m/locked/inner", "x", kT, 0400);
  fs.addDirectory("/m/there", kT);
  fs.addDirectory("/b/there", kT);
  EXPECT_EQ(runCopy(), (Lines{"Make Directory : /b/empty", "Make Directory : /b/locked",
                              "New File : /b/locked/inner"}));
  EXPECT_EQ(fs.find("/b/empty")->mode, 0750u);
  EXPECT_EQ(fs.find("/b/locked")->mode, 0555u);
  EXPECT_EQ(treeDifferences("/m", "/b"), Lines{});
  EXPECT_EQ(runCopy(), Lines{});
}

TEST_F(CopyPassTest, ChildDirOffNeitherCreatesNorEntersFolders) {
  engine.job.ChildDir = 0;
  fs.addFile("/m/top", "t", kT);
  fs.addFile("/m/sub/deep", "d", kT);
  fs.addDirectory("/b/existing");
  fs.addFile("/m/existing/x", "x", kT);
  EXPECT_EQ(runCopy(), (Lines{"New File : /b/top"}));
  EXPECT_FALSE(fs.exists("/b/sub"));
  EXPECT_FALSE(fs.exists("/b/existing/x"));
}

TEST_F(CopyPassTest, RecycleAndTrashFoldersAreIgnoredAtAnyDepth) {
  fs.addFile("/m/RECYCLED/a", "a", kT);
  fs.addFile("/m/x/Recycler/b", "b", kT);
  fs.addFile("/m/x/recycled", "file named like the bin", kT);
  fs.addFile("/m/x/.Trash/c", "c", kT);
  fs.addFile("/m/x/y/.Trash-1000/d", "d", kT);
  fs.addFile("/m/.Trash-x/kept", "k", kT);  // not a trash folder name
  fs.addFile("/m/.Trash", "a file, not a trash folder", kT);
  fs.addFile("/m/x/.tolvan32-partial-1234", "leftover", kT);
  EXPECT_EQ(runCopy(), (Lines{"New File : /b/.Trash", "Make Directory : /b/.Trash-x",
                              "New File : /b/.Trash-x/kept", "Make Directory : /b/x",
                              "Make Directory : /b/x/y"}));
}

TEST_F(CopyPassTest, SwapFilesAreReportedAsSkippedWheneverTheyWouldBeCopied) {
  fs.addFile("/m/WIN386.SWP", "swap", kT);
  fs.addFile("/m/sys/pagefile.sys", "page", kT + 100);
  fs.addFile("/b/sys/pagefile.sys", "old", kT);
  fs.addFile("/m/Pagefile.Sys.bak", "same", kT);
  fs.addFile("/b/Pagefile.Sys.bak", "same", kT);
  EXPECT_EQ(runCopy(), (Lines{"Skipped : /b/WIN386.SWP", "Skipped : /b/sys/pagefile.sys  " +
                                                             when(kT) + " -> " + when(kT + 100)}));
  EXPECT_FALSE(fs.exists("/b/WIN386.SWP"));
  EXPECT_EQ(fs.contentOf("/b/sys/pagefile.sys"), "old");
  EXPECT_EQ(errors, 0);
}

TEST_F(CopyPassTest, SpecialFilesAreNeverCopied) {
  fs.addSpecial("/m/fifo", kT);
  fs.addSpecial("/m/same", kT);
  fs.addSpecial("/b/same", kT);
  EXPECT_EQ(runCopy(), (Lines{"Skipped : /m/fifo"}));
  EXPECT_FALSE(fs.exists("/b/fifo"));
  EXPECT_TRUE(fs.copied.empty());
}

TEST_F(CopyPassTest, LinkFacingFileIsReplacedByTheLinkItself) {
  fs.addLink("/m/l", "/etc/passwd", kT + 100);
  fs.addFile("/b/l", "old", kT);
  EXPECT_EQ(runCopy(), (Lines{"UpDate File : /b/l  " + when(kT) + " -> " + when(kT + 100)}));
  EXPECT_EQ(fs.find("/b/l")->kind, platform::EntryKind::Symlink);
  EXPECT_EQ(fs.contentOf("/b/l"), "/etc/passwd");
}

TEST_F(CopyPassTest, BackupModeReportsAFolderFacingAFileOncePerRun) {
  fs.addFile("/m/d/inner", "i", kT);
  fs.addFile("/b/d", "a file where the master has a folder", kT);
  fs.addFile("/m/f", "f", kT);
  fs.addFile("/b/f/inner", "a folder where the master has a file", kT);
  for (int run = 0; run < 2; ++run) {
    EXPECT_EQ(runCopy(), (Lines{"Error : /b/d(Code:20 " + ErrorDescription(ENOTDIR) + ")",
                                "Error : /b/f(Code:21 " + ErrorDescription(EISDIR) + ")"}));
    EXPECT_EQ(errors, 2);
  }
  EXPECT_TRUE(fs.copied.empty());
}

TEST_F(CopyPassTest, FailuresAreReportedAndTheWalkGoesOn) {
  fs.addFile("/m/a", "a", kT);
  fs.addFile("/m/full", "f", kT);
  fs.addFile("/m/nodir/x", "x", kT);
  fs.addFile("/m/unreadable/y", "y", kT);
  fs.addDirectory("/m/secret");
  fs.addFile("/m/z", "z", kT);
  fs.failOn(Op::Copy, "/b/full", ENOSPC);
  fs.failOn(Op::List, "/m/secret", EACCES);
  fs.failOn(Op::MakeDir, "/b/nodir", EACCES);
  fs.failListingAfter("/m/unreadable", 0, EIO);
  EXPECT_EQ(runCopy(),
            (Lines{"New File : /b/a", "Error : /b/full(Code:28 " + ErrorDescription(ENOSPC) + ")",
                   "Error : /b/nodir(Code:13 Couldn't Create Directory )",
                   "Error : /b/nodir/x(Code:2 " + ErrorDescription(ENOENT) + ")",
                   "Make Directory : /b/secret",
                   "Scan Error : /m/secret(Scanning Error on Master Disk Code : 13)",
                   "Make Directory : /b/unreadable",
                   "Scan Error : /m/unreadable(Scanning Error on Master Disk Code : 5)",
                   "New File : /b/z"}));
  EXPECT_EQ(errors, 5);
}

TEST_F(CopyPassTest, AnUnconvertibleTimeSkipsTheEntry) {
  fs.addFile("/m/f", "f", kT);
  openReport();
  sys.failTimeConversion = true;
  errors = CopyTree(engine, "/m", "/b");
  sys.failTimeConversion = false;
  closeReport();
  EXPECT_EQ(actionLines(),
            (Lines{"Error : /m/f(Code:" + std::to_string(EOVERFLOW) + " File Time Culc Error)"}));
  EXPECT_EQ(errors, 1);
  EXPECT_FALSE(fs.exists("/b/f"));
}

TEST_F(CopyPassTest, AStopRequestUnwindsADeepWalkWithinOneEntryPerLevel) {
  std::string dir = "/m";
  for (int level = 0; level < 6; ++level) {
    dir += "/d" + std::to_string(level);
    fs.addFile(dir + "/a", "a", kT);
    fs.addFile(dir + "/z", "z", kT);
  }
  long stoppedAt = 0;
  ui.onEvents = [&](long count) {
    if (fs.exists("/b/d0/d1/d2/d3/a") && stoppedAt == 0) {
      engine.run.StopFlag = -1;
      stoppedAt = count;
    }
  };
  (void)runCopy();
  ASSERT_GT(stoppedAt, 0);
  EXPECT_EQ(ui.eventCount, stoppedAt + 4);  // one more pump in each enclosing folder
  EXPECT_FALSE(fs.exists("/b/d0/d1/d2/d3/d4"));
  EXPECT_FALSE(fs.exists("/b/d0/z"));
  EXPECT_EQ(errors, 0);
}

class DryRunTest : public PassFixture {
 protected:
  DryRunTest() {
    fs.addFile("/m/new", "n", kT);
    fs.addFile("/m/newer", "n", kT + 100);
    fs.addFile("/b/newer", "o", kT);
    fs.addFile("/m/older", "n", kT);
    fs.addFile("/b/older", "o", kT + 100);
    fs.addFile("/m/size", "longer", kT);
    fs.addFile("/b/size", "short", kT);
    fs.addFile("/m/same", "s", kT);
    fs.addFile("/b/same", "s", kT);
    fs.addFile("/m/dir/inner", "i", kT);
    fs.addSpecial("/m/fifo", kT);
    engine.dryRun = &sink;
  }
  RecordingSink sink;
};

TEST_F(DryRunTest, SimulationClassifiesEveryFileAndChangesNothing) {
  engine.run.DryRunMode = 31;
  errors = CopyTree(engine, "/m", "/b");
  std::vector<std::pair<std::string, int>> kinds;
  for (const auto& call : sink.simulated) kinds.emplace_back(call.to + "/" + call.name, call.code);
  EXPECT_EQ(
      kinds,
      (std::vector<std::pair<std::string, int>>{
          std::pair<std::string, int>{"/b/dir/inner", 8}, std::pair<std::string, int>{"/b/new", 8},
          std::pair<std::string, int>{"/b/newer", 1}, std::pair<std::string, int>{"/b/older", 2},
          std::pair<std::string, int>{"/b/same", 16}, std::pair<std::string, int>{"/b/size", 4}}));
  const auto& newer = sink.simulated[2];
  EXPECT_EQ(newer.sides.SizeFrom, 1);
  EXPECT_NEAR(newer.sides.TimeFrom - newer.sides.TimeTo, 100 / kSecondsPerDay, 1e-9);
  EXPECT_EQ(sink.simulated[1].sides.SizeTo, -1);
  EXPECT_TRUE(fs.created.empty());
  EXPECT_TRUE(fs.copied.empty());
  EXPECT_FALSE(fs.exists("/app/report.tvr"));
}

TEST_F(DryRunTest, SimulationWritesOnlyTheSelectedKinds) {
  engine.run.DryRunMode = 1 | 4;
  (void)CopyTree(engine, "/m", "/b");
  ASSERT_EQ(sink.simulated.size(), 2u);
  EXPECT_EQ(sink.simulated[0].name, "newer");
  EXPECT_EQ(sink.simulated[1].name, "size");
}

TEST_F(DryRunTest, BatchMakingRestoresEveryFileThatDiffers) {
  engine.run.DryRunMode = -1;
  (void)CopyTree(engine, "/m", "/b");
  std::vector<std::string> sources;
  for (const auto& [source, target] : sink.restores) sources.push_back(source + ">" + target);
  EXPECT_EQ(sources, (Lines{"/m/dir/inner>/b/dir/inner", "/m/new>/b/new", "/m/newer>/b/newer",
                            "/m/older>/b/older", "/m/size>/b/size"}));
  EXPECT_TRUE(sink.simulated.empty());
}

TEST_F(DryRunTest, WithoutASinkTheDryRunsStillTouchNothing) {
  engine.dryRun = nullptr;
  engine.run.DryRunMode = 63;
  EXPECT_EQ(CopyTree(engine, "/m", "/b"), 0);
  EXPECT_TRUE(fs.created.empty());
}

}  // namespace
}  // namespace tolvan::testing
