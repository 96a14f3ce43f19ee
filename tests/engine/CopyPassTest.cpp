#include <gtest/gtest.h>

#include <cerrno>
#include <map>

#include "engine/CopyPass.h"
#include "engine/Paths.h"
#include "support/PassFixture.h"

namespace tolvan::testing {
namespace {

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

// Which existing backup files each UpDate/Size choice replaces.
TEST_F(CopyPassTest, CopyRuleForFilesOnBothSides) {
  struct Case {
    std::int16_t upDate, size;
    bool allFiles, sizeLine;
  };
  for (const Case c :
       {Case{0, 0, false, false}, Case{2, 0, false, false}, Case{-1, 0, false, false},
        Case{1, 0, true, false}, Case{0, 1, false, true}, Case{0, -1, false, true}}) {
    SCOPED_TRACE("UpDate " + std::to_string(c.upDate) + " Size " + std::to_string(c.size));
    fs.addFile("/m/close", "new", kT + 48);
    fs.addFile("/b/close", "old", kT);
    fs.addFile("/m/far", "new", kT + 49);
    fs.addFile("/b/far", "old", kT);
    fs.addLink("/m/l", "/etc/passwd", kT + 100);
    fs.addFile("/b/l", "old", kT);
    fs.addFile("/m/older", "master", kT);
    fs.addFile("/b/older", "backup", kT + 60);
    fs.addFile("/m/size", "12345", kT + 30);
    fs.addFile("/b/size", "123", kT);
    engine.job.UpDate = c.upDate;
    engine.job.Size = c.size;
    Lines expected{"UpDate File : /b/far  2023/11/14 22:13:20 -> 2023/11/14 22:14:09",
                   "UpDate File : /b/l  " + when(kT) + " -> " + when(kT + 100)};
    if (c.allFiles)
      expected.push_back("All Files : /b/older  " + when(kT + 60) + " -> " + when(kT));
    if (c.sizeLine) expected.push_back("Size : /b/size  3byte -> 5byte");
    EXPECT_EQ(runCopy(), expected);
    EXPECT_EQ(errors, 0);
    EXPECT_EQ(fs.contentOf("/b/close"), "old");
    EXPECT_EQ(fs.find("/b/l")->kind, platform::EntryKind::Symlink);
    EXPECT_EQ(fs.contentOf("/b/older"), c.allFiles ? "master" : "backup");
    EXPECT_EQ(fs.find("/b/older")->mtime, c.allFiles ? kT : kT + 60);
    EXPECT_EQ(fs.contentOf("/b/size"), c.sizeLine ? "12345" : "123");
  }
}

TEST_F(CopyPassTest, MissingFilesAndFoldersAreMadeWithTheMastersPermissions) {
  fs.addDirectory("/m/empty", kT, 0750);
  fs.addDirectory("/m/locked", kT, 0555);
  fs.addFile("/m/locked/inner", "x", kT, 0400);
  fs.addDirectory("/m/there", kT);
  fs.addDirectory("/b/there", kT);
  EXPECT_EQ(runCopy(), (Lines{"Make Directory : /b/empty", "Make Directory : /b/locked",
                              "New File : /b/locked/inner"}));
  EXPECT_EQ(tree("/b"), tree("/m"));
  EXPECT_EQ(runCopy(), Lines{});
}

// With TrashBox on, a replaced copy goes to the trash; a new file has no old copy to keep.
TEST_F(CopyPassTest, TrashBoxKeepsEachReplacedCopy) {
  engine.job.TrashBox = -1;
  fs.addFile("/m/changed", "new", kT + 100);
  fs.addFile("/b/changed", "old", kT);
  addFiles({"/m/added", "/m/same", "/b/same"});
  EXPECT_EQ(runCopy(), (Lines{"New File : /b/added",
                              "UpDate File : /b/changed  " + when(kT) + " -> " + when(kT + 100)}));
  ASSERT_EQ(trash.contents.size(), 1u);
  EXPECT_EQ(trash.contents[0].path, "/b/changed");
  EXPECT_EQ(trash.contents[0].content, "old");
  EXPECT_EQ(tree("/b"), tree("/m"));
}

TEST_F(CopyPassTest, ChildDirOffNeitherCreatesNorEntersFolders) {
  engine.job.ChildDir = 0;
  addFiles({"/m/top", "/m/sub/deep", "/m/existing/x"});
  fs.addDirectory("/b/existing");
  EXPECT_EQ(runCopy(), (Lines{"New File : /b/top"}));
  EXPECT_FALSE(fs.exists("/b/sub"));
  EXPECT_FALSE(fs.exists("/b/existing/x"));
}

// Recycle and trash folders at any depth, swap files and special files.
TEST_F(CopyPassTest, EntriesThatAreNeverCopied) {
  addFiles({"/m/RECYCLED/a", "/m/x/Recycler/b", "/m/x/recycled", "/m/x/.Trash/c",
            "/m/x/y/.Trash-1000/d", "/m/.Trash-x/kept", "/m/.Trash",
            "/m/x/.tolvan32-partial-00000000000000a1", "/m/WIN386.SWP", "/b/sys/pagefile.sys",
            "/m/Pagefile.Sys.bak", "/b/Pagefile.Sys.bak"});
  fs.addFile("/m/sys/pagefile.sys", "page", kT + 100);
  fs.addSpecial("/m/fifo", kT);
  fs.addSpecial("/m/same", kT);
  fs.addSpecial("/b/same", kT);
  EXPECT_EQ(runCopy(),
            (Lines{"New File : /b/.Trash", "Make Directory : /b/.Trash-x",
                   "New File : /b/.Trash-x/kept", "Skipped : /b/WIN386.SWP", "Skipped : /m/fifo",
                   "Skipped : /b/sys/pagefile.sys  " + when(kT) + " -> " + when(kT + 100),
                   "Make Directory : /b/x", "Make Directory : /b/x/y"}));
  EXPECT_EQ(errors, 0);
  EXPECT_FALSE(fs.exists("/b/WIN386.SWP"));
  EXPECT_FALSE(fs.exists("/b/fifo"));
  EXPECT_EQ(fs.contentOf("/b/sys/pagefile.sys"), "pagefile.sys");
}

// The swap-file rule looks at the file's own name, in any letter case, never at its folders.
TEST_F(CopyPassTest, SwapFilesAreKnownByTheirOwnName) {
  const std::pair<std::string, bool> cases[] = {
      {"WIN386.SWP", false},
      {"sys/pagefile.sys", false},
      {"c/Win386.Swp", false},
      {"pagefile.sys.bak", true},
      {"notes-about-pagefile.sys/todo.txt", true},
      {"old/WIN386.SWP/inside", true},
  };
  for (const auto& [path, copied] : cases) fs.addFile("/m/" + path, "x", kT);
  (void)runCopy();
  for (const auto& [path, copied] : cases) EXPECT_EQ(fs.exists("/b/" + path), copied) << path;
}

TEST_F(CopyPassTest, BackupModeReportsAFolderFacingAFileOncePerRun) {
  addFiles({"/m/d/inner", "/b/d", "/m/f", "/b/f/inner"});  // folders facing files
  for (int run = 0; run < 2; ++run) {
    EXPECT_EQ(runCopy(), (Lines{"Error : /b/d(Code:20 " + ErrorDescription(ENOTDIR) + ")",
                                "Error : /b/f(Code:21 " + ErrorDescription(EISDIR) + ")"}));
    EXPECT_EQ(errors, 2);
  }
  EXPECT_TRUE(fs.copied.empty());
}

TEST_F(CopyPassTest, FailuresAreReportedAndTheWalkGoesOn) {
  addFiles({"/m/a", "/m/full", "/m/nodir/x", "/m/unreadable/y", "/m/z"});
  fs.addDirectory("/m/secret");
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
  addFiles({"/m/f"});
  openReport();
  sys.failTimeConversion = true;
  errors = CopyTree(engine, "/m", "/b");
  sys.failTimeConversion = false;
  closeReport();
  EXPECT_EQ(actionLines(), (Lines{"Error : /m/f(Code:75 File Time Culc Error)"}));
  EXPECT_EQ(errors, 1);
  EXPECT_FALSE(fs.exists("/b/f"));
}

// A master holding two names that differ in letter case only, backed up onto a case-blind
// volume: whichever name the backup holds keeps its copy, the other is an error on every
// run, the simulation lists it as missing from the backup, and the batch file leaves it out.
TEST_F(CopyPassTest, NamesACaseBlindBackupCannotHoldSideBySideAreErrorsEveryRun) {
  const std::string collision = "Error : /b/a.txt(Code:17 " + ErrorDescription(EEXIST) + ")";
  fs.setCaseBlindBelow("/b");
  fs.addDirectory("/b");
  fs.addFile("/m/a.txt", "lower", kT + 100);
  fs.addFile("/m/A.txt", "upper", kT + 100);
  fs.addFile("/m/Docs/x", "lower x", kT);
  fs.addFile("/m/DOCS/x", "upper x", kT);
  fs.addFile("/b/A.txt", "upper", kT + 100);
  fs.addFile("/b/DOCS/x", "upper x", kT);
  fs.addFile("/m/Only.txt", "only", kT + 100);
  fs.addFile("/b/ONLY.TXT", "old", kT);
  for (int run = 1; run <= 2; ++run) {
    SCOPED_TRACE("run " + std::to_string(run));
    EXPECT_EQ(runCopy(), (Lines{"Error : /b/Docs(Code:17 " + ErrorDescription(EEXIST) + ")",
                                "UpDate File : /b/Only.txt  " + when(kT) + " -> " + when(kT + 100),
                                collision}));
    EXPECT_EQ(errors, 2);
    EXPECT_EQ(fs.contentOf("/b/A.txt"), "upper");
    EXPECT_EQ(fs.contentOf("/b/DOCS/x"), "upper x");
    fs.setMtime("/b/Only.txt", kT);
  }
  RecordingSink sink;
  engine.dryRun = &sink;
  engine.run.DryRunMode = 63;
  EXPECT_EQ(CopyTree(engine, "/m", "/b"), 0);
  std::map<std::string, int> kinds;
  for (const auto& call : sink.simulated) kinds[call.to + "/" + call.name] = call.code;
  EXPECT_EQ(kinds, (std::map<std::string, int>{
                       {"/b/A.txt", 16}, {"/b/DOCS/x", 16}, {"/b/Only.txt", 1}, {"/b/a.txt", 8}}));
  engine.run.DryRunMode = -1;
  EXPECT_EQ(CopyTree(engine, "/m", "/b"), 0);
  EXPECT_EQ(sink.restores, Lines{"/m/Only.txt>/b/Only.txt"}) << "never a copy onto A.txt's";
}

}  // namespace
}  // namespace tolvan::testing
