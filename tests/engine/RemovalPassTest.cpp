#include <gtest/gtest.h>

#include <cerrno>

#include "engine/Paths.h"
#include "engine/RemovalPass.h"
#include "support/PassFixture.h"

namespace tolvan::testing {
namespace {

using Lines = std::vector<std::string>;
using Op = platform::FakeFileSystem::Op;

class RemovalPassTest : public PassFixture {
 protected:
  RemovalPassTest() { engine.job.NomalMode = -1; }
};

TEST_F(RemovalPassTest, EntriesWithoutCounterpartAreRemovedOthersKept) {
  fs.addFile("/m/kept", "k", kT);
  fs.addFile("/b/kept", "older copy", kT - 1000);
  fs.addFile("/b/gone", "g", kT);
  fs.addDirectory("/m/emptyKept");
  fs.addDirectory("/b/emptyKept");
  fs.addDirectory("/b/emptyGone");
  fs.addSpecial("/b/fifo");
  EXPECT_EQ(runRemoval(), (Lines{"Remove Directory: /b/emptyGone", "Delete File : /b/fifo",
                                 "Delete File : /b/gone"}));
  EXPECT_EQ(fs.contentOf("/b/kept"), "older copy");
  EXPECT_TRUE(fs.exists("/b/emptyKept"));
  EXPECT_EQ(errors, 0);
}

TEST_F(RemovalPassTest, LetterCaseCountsOnlyWithMatchCaseOnACaseBlindVolume) {
  fs.setCaseBlind(true);
  for (const char* dir : {"/app", "/m", "/b"}) fs.addDirectory(dir);  // under case-blind keys
  fs.addFile("/m/README.TXT", "r", kT);
  fs.addFile("/b/Readme.TXT", "r", kT);
  EXPECT_EQ(runRemoval(), Lines{});
  EXPECT_TRUE(fs.exists("/b/Readme.TXT"));
  engine.job.MatchCase = 1;
  EXPECT_EQ(runRemoval(), (Lines{"Delete File : /b/Readme.TXT"}));
}

TEST_F(RemovalPassTest, OnACaseSensitiveVolumeAnotherSpellingIsAnotherEntry) {
  fs.addFile("/m/README.TXT", "r", kT);
  fs.addFile("/b/Readme.TXT", "r", kT);
  EXPECT_EQ(runRemoval(), (Lines{"Delete File : /b/Readme.TXT"}));
}

TEST_F(RemovalPassTest, InAMirrorAnEntryOfTheOtherKindHasNoCounterpart) {
  fs.addDirectory("/m/x");
  fs.addFile("/b/x", "file where the master has a folder", kT);
  fs.addFile("/m/y", "y", kT);
  fs.addFile("/b/y/inner", "folder where the master has a file", kT);
  fs.addLink("/m/z", "target", kT);
  fs.addFile("/b/z", "a file facing a link is the same kind", kT);
  EXPECT_EQ(runRemoval(), (Lines{"Delete File : /b/x", "Remove Directory: /b/y"}));
  EXPECT_TRUE(fs.exists("/b/z"));
}

TEST_F(RemovalPassTest, AMasterFolderThatCannotBeLookedUpKeepsItsBackup) {
  fs.addFile("/m/locked/file", "f", kT);
  fs.addFile("/b/locked/file", "f", kT);
  fs.addFile("/b/locked/onlyInBackup", "o", kT);
  fs.addFile("/b/other", "o", kT);
  fs.failOn(Op::Stat, "/m/locked", EACCES);
  EXPECT_EQ(runRemoval(), (Lines{"Error : /b/locked(Code:13 " + ErrorDescription(EACCES) + ")",
                                 "Delete File : /b/other"}));
  EXPECT_EQ(errors, 1);
  EXPECT_TRUE(fs.exists("/b/locked/onlyInBackup"));
}

TEST_F(RemovalPassTest, TrashBoxMovesAWholeFolderWithOneLine) {
  engine.job.TrashBox = 1;
  fs.addFile("/b/old/a", "a", kT);
  fs.addFile("/b/old/sub/c", "c", kT);
  EXPECT_EQ(runRemoval(), (Lines{"Remove Directory: /b/old"}));
  EXPECT_EQ(trash.trashed, (Lines{"/b/old"}));
  std::vector<std::string> inTrash;
  for (const auto& node : trash.contents) inTrash.push_back(node.path);
  EXPECT_EQ(inTrash, (Lines{"/b/old", "/b/old/a", "/b/old/sub", "/b/old/sub/c"}));
  EXPECT_FALSE(fs.exists("/b/old"));
  EXPECT_TRUE(fs.removed.empty()) << "nothing deleted outright";
}

TEST_F(RemovalPassTest, AFailedMoveToTheTrashKeepsTheEntry) {
  engine.job.TrashBox = -1;
  trash.failWith = EXDEV;
  fs.addFile("/b/old/a", "a", kT);
  EXPECT_EQ(runRemoval(), (Lines{"Error : /b/old(Code:18 " + ErrorDescription(EXDEV) + ")"}));
  EXPECT_EQ(errors, 1);
  EXPECT_TRUE(fs.exists("/b/old/a"));
  EXPECT_TRUE(fs.removed.empty());
}

// A trash that says it has moved an entry but has left it in place.
class ClaimingTrash : public platform::Trash {
 public:
  int moveToTrash(const std::string&) override { return 0; }
};

TEST_F(RemovalPassTest, ARemovalThatLeavesTheEntryIsAFailureEvenWithoutACode) {
  ClaimingTrash claiming;
  Engine other{Services{fs, claiming, ui, sys}};
  other.job.NomalMode = -1;
  other.job.TrashBox = 1;
  other.shared = engine.shared;
  fs.addFile("/b/old", "o", kT);
  WriteReport(other, ReportLineKind::OpenReport, {}, -1, "/m", "/b");
  EXPECT_EQ(RemovalPass(other, "/m", "/b"), 1);
  WriteReport(other, ReportLineKind::CloseReport, {}, -1);
  EXPECT_EQ(actionLines(), (Lines{"Error : /b/old(Code:5 " + ErrorDescription(EIO) + ")"}));
}

TEST_F(RemovalPassTest, FailuresAreCountedAndTheWalkGoesOn) {
  fs.addDirectory("/m/sub");
  fs.addFile("/b/sub/x", "x", kT);
  fs.addFile("/b/stuck", "s", kT);
  fs.addFile("/b/z", "z", kT);
  fs.failOn(Op::List, "/b/sub", EACCES);
  fs.failOn(Op::Remove, "/b/stuck", EPERM);
  EXPECT_EQ(runRemoval(), (Lines{"Error : /b/stuck(Code:1 " + ErrorDescription(EPERM) + ")",
                                 "Scan Error : /b/sub(Scanning Error on ckup Disk Code : 13)",
                                 "Delete File : /b/z"}));
  EXPECT_EQ(errors, 2);
}

TEST_F(RemovalPassTest, ChildDirOffLeavesBackupFoldersAlone) {
  engine.job.ChildDir = 0;
  fs.addFile("/b/dir/x", "x", kT);
  fs.addDirectory("/m/both");
  fs.addFile("/b/both/y", "y", kT);
  fs.addFile("/b/file", "f", kT);
  EXPECT_EQ(runRemoval(), (Lines{"Delete File : /b/file"}));
  EXPECT_TRUE(fs.exists("/b/dir/x"));
  EXPECT_TRUE(fs.exists("/b/both/y"));
}

TEST_F(RemovalPassTest, RecycleAndTrashFoldersSurviveAtAnyDepth) {
  fs.addDirectory("/m/a");
  fs.addFile("/b/a/Recycled/x", "x", kT);
  fs.addFile("/b/RECYCLER", "a file so named", kT);
  fs.addFile("/b/a/.Trash-1000/files/y", "y", kT);
  fs.addFile("/b/.Trash/z", "z", kT);
  fs.addFile("/b/a/.Trash-me/w", "not a trash folder", kT);
  EXPECT_EQ(runRemoval(), (Lines{"Remove Directory: /b/a/.Trash-me"}));
  EXPECT_TRUE(fs.exists("/b/a/Recycled/x"));
  EXPECT_TRUE(fs.exists("/b/RECYCLER"));
  EXPECT_TRUE(fs.exists("/b/a/.Trash-1000/files/y"));
  EXPECT_TRUE(fs.exists("/b/.Trash/z"));
}

TEST_F(RemovalPassTest, LeftoversOfKilledCopiesGoWithoutALine) {
  fs.addFile("/m/f", "f", kT);
  fs.addFile("/b/f", "f", kT);
  fs.addFile("/b/.tolvan32-partial-f.1234", "half", kT);
  EXPECT_EQ(runRemoval(), Lines{});
  EXPECT_FALSE(fs.exists("/b/.tolvan32-partial-f.1234"));
  EXPECT_EQ(errors, 0);
}

TEST_F(RemovalPassTest, OldNTRemovesEntryByEntryInsideOut) {
  engine.job.OldNT = -1;
  fs.addFile("/b/old/a", "a", kT, 0444);
  fs.addFile("/b/old/sub/c", "c", kT);
  fs.addDirectory("/b/old/sub/empty");
  EXPECT_EQ(runRemoval(), (Lines{"Delete File : /b/old/a", "Delete File : /b/old/sub/c",
                                 "Remove Directory: /b/old/sub/empty",
                                 "Remove Directory: /b/old/sub", "Remove Directory: /b/old"}));
  EXPECT_FALSE(fs.exists("/b/old"));
  EXPECT_EQ(errors, 0);
}

TEST_F(RemovalPassTest, OldNTClearsReadOnlyBeforeDeleting) {
  fs.addFile("/b/ro", "r", kT, 0444);
  ASSERT_EQ(DeleteEntry(engine, "/b/ro", 0, -1), 0);
  EXPECT_FALSE(fs.exists("/b/ro"));
  fs.addFile("/b/ro2", "r", kT, 0444);
  fs.failOn(Op::SetPermissions, "/b/ro2", EPERM);
  EXPECT_EQ(DeleteEntry(engine, "/b/ro2", 0, -1), EPERM);
  EXPECT_TRUE(fs.exists("/b/ro2"));
}

TEST_F(RemovalPassTest, RemoveTreeReportsFoldersItCannotListAndKeepsThem) {
  fs.addFile("/b/t/a", "a", kT);
  fs.addFile("/b/t/sub/x", "x", kT);
  fs.addFile("/b/t/z", "z", kT);
  fs.failListingAfter("/b/t/sub", 0, EIO);
  openReport();
  const int result = RemoveTree(engine, "/b/t");
  closeReport();
  EXPECT_EQ(result, ENOTEMPTY) << "the folder could not be removed";
  EXPECT_EQ(actionLines(),
            (Lines{"Scan Error : /b/t/sub(Removing Error on Backup Disk Code : 5)"}));
  EXPECT_TRUE(fs.exists("/b/t/sub/x"));
  EXPECT_FALSE(fs.exists("/b/t/a"));
  EXPECT_FALSE(fs.exists("/b/t/z"));
}

TEST_F(RemovalPassTest, OldNTPassesTheListingFailureCountOn) {
  fs.addDirectory("/b/t");
  fs.failOn(Op::List, "/b/t", EACCES);
  EXPECT_EQ(DeleteEntry(engine, "/b/t", 0, -1), 1);
}

TEST_F(RemovalPassTest, StopEndsEveryLevelAtItsNextEntry) {
  fs.addFile("/m/d/e/keep", "k", kT);
  fs.addFile("/b/d/e/a", "a", kT);
  fs.addFile("/b/d/e/b", "b", kT);
  fs.addFile("/b/d/z", "z", kT);
  fs.addFile("/b/z", "z", kT);
  ui.onEvents = [&](long) {
    if (!fs.exists("/b/d/e/a")) engine.run.StopFlag = -1;
  };
  EXPECT_EQ(runRemoval(), (Lines{"Delete File : /b/d/e/a"}));
  EXPECT_TRUE(fs.exists("/b/d/e/b"));
  EXPECT_TRUE(fs.exists("/b/d/z"));
  EXPECT_TRUE(fs.exists("/b/z"));
}

TEST_F(RemovalPassTest, ASimulationListsBackupOnlyEntriesAndRemovesNothing) {
  RecordingSink sink;
  engine.dryRun = &sink;
  engine.run.DryRunMode = 32;
  fs.addFile("/b/only", "12345", kT);
  fs.addFile("/b/.tolvan32-partial-x", "half", kT);
  fs.addFile("/m/both", "b", kT);
  fs.addFile("/b/both", "b", kT);
  EXPECT_EQ(RemovalPass(engine, "/m", "/b"), 0);
  ASSERT_EQ(sink.simulated.size(), 1u);
  const auto& call = sink.simulated[0];
  EXPECT_EQ(call.code, 32);
  EXPECT_EQ(call.from, "/m");
  EXPECT_EQ(call.to, "/b");
  EXPECT_EQ(call.name, "only");
  EXPECT_EQ(call.sides.SizeTo, 5);
  EXPECT_EQ(call.sides.SizeFrom, -1);
  EXPECT_TRUE(fs.exists("/b/only"));
  EXPECT_TRUE(fs.exists("/b/.tolvan32-partial-x"));
  EXPECT_FALSE(fs.exists("/app/report.tvr"));
}

}  // namespace
}  // namespace tolvan::testing
