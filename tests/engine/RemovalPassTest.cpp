#include <gtest/gtest.h>

#include <cerrno>

#include "engine/Paths.h"
#include "engine/RemovalPass.h"
#include "engine/WalkSupport.h"
#include "support/PassFixture.h"

namespace tolvan::testing {
namespace {

using Op = platform::FakeFileSystem::Op;

class RemovalPassTest : public PassFixture {
 protected:
  RemovalPassTest() { engine.job.NomalMode = -1; }
};

// Entries without a counterpart go (a folder facing a file has none), leftovers of killed
// copies without a line; older copies, links facing files and recycle and trash folders at
// any depth stay.
TEST_F(RemovalPassTest, RemovesWhatTheMasterLacks) {
  for (const char* dir : {"/m/a", "/m/emptyKept", "/b/emptyKept", "/b/emptyGone", "/m/x"}) {
    fs.addDirectory(dir);
  }
  fs.addLink("/m/z", "target", kT);
  fs.addSpecial("/b/fifo");
  fs.addFile("/b/kept", "older copy", kT - 1000);
  addFiles({"/m/kept", "/b/gone", "/b/x", "/m/y", "/b/y/inner", "/b/z", "/b/RECYCLER",
            "/b/.tolvan32-partial-0123456789abcdef", "/b/a/Recycled/x", "/b/a/.Trash-1000/files/y",
            "/b/.Trash/z", "/b/a/.Trash-me/w"});
  EXPECT_EQ(runRemoval(),
            (Lines{"Remove Directory: /b/a/.Trash-me", "Remove Directory: /b/emptyGone",
                   "Delete File : /b/fifo", "Delete File : /b/gone", "Delete File : /b/x",
                   "Remove Directory: /b/y"}));
  EXPECT_EQ(errors, 0);
  EXPECT_FALSE(fs.exists("/b/.tolvan32-partial-0123456789abcdef"));
  for (const char* kept : {"/b/emptyKept", "/b/z", "/b/a/Recycled/x", "/b/RECYCLER",
                           "/b/a/.Trash-1000/files/y", "/b/.Trash/z"}) {
    EXPECT_TRUE(fs.exists(kept)) << kept;
  }
  EXPECT_EQ(fs.contentOf("/b/kept"), "older copy");
}

TEST_F(RemovalPassTest, LetterCaseCountsOnlyWithMatchCaseOnACaseBlindVolume) {
  addFiles({"/m/README.TXT", "/b/Readme.TXT"});
  EXPECT_EQ(runRemoval(), (Lines{"Delete File : /b/Readme.TXT"})) << "case-sensitive volume";
  fs.setCaseBlind(true);
  for (const char* dir : {"/app", "/m", "/b"}) fs.addDirectory(dir);  // under case-blind keys
  addFiles({"/m/README.TXT", "/b/Readme.TXT"});
  EXPECT_EQ(runRemoval(), Lines{});
  engine.job.MatchCase = 1;
  EXPECT_EQ(runRemoval(), (Lines{"Delete File : /b/Readme.TXT"}));
}

// A case-sensitive master backed up onto a case-blind volume: the master's own lookup misses
// a backup entry spelled otherwise, which is a counterpart all the same unless MatchCase.
TEST_F(RemovalPassTest, OnACaseBlindBackupOnlyMatchCaseRemovesACopySpelledOtherwise) {
  fs.setCaseBlindBelow("/b");
  fs.addDirectory("/b");
  for (const std::int16_t matchCase : {0, 1}) {
    SCOPED_TRACE("MatchCase " + std::to_string(matchCase));
    addFiles({"/m/README.TXT", "/m/readme.txt", "/m/Docs/x", "/b/Readme.TXT", "/b/DOCS/x",
              "/b/gone.txt"});
    engine.job.MatchCase = matchCase;
    const Lines spelledOtherwise{"Remove Directory: /b/DOCS", "Delete File : /b/gone.txt",
                                 "Delete File : /b/Readme.TXT"};
    EXPECT_EQ(runRemoval(), matchCase != 0 ? spelledOtherwise : Lines{"Delete File : /b/gone.txt"});
    EXPECT_EQ(fs.exists("/b/DOCS/x"), matchCase == 0);
  }
}

TEST_F(RemovalPassTest, AMasterFolderThatCannotBeLookedUpKeepsItsBackup) {
  addFiles({"/m/locked/file", "/b/locked/file", "/b/locked/onlyHere", "/b/other"});
  fs.failOn(Op::Stat, "/m/locked", EACCES);
  EXPECT_EQ(runRemoval(), (Lines{"Error : /b/locked(Code:13 " + ErrorDescription(EACCES) + ")",
                                 "Delete File : /b/other"}));
  EXPECT_EQ(errors, 1);
  EXPECT_TRUE(fs.exists("/b/locked/onlyHere"));
}

TEST_F(RemovalPassTest, TrashBoxMovesAWholeFolderOrKeepsItWhenTheMoveFails) {
  engine.job.TrashBox = -1;
  addFiles({"/b/old/a", "/b/old/sub/c"});
  trash.failWith = EXDEV;
  EXPECT_EQ(runRemoval(), (Lines{"Error : /b/old(Code:18 " + ErrorDescription(EXDEV) + ")"}));
  EXPECT_EQ(errors, 1);
  EXPECT_TRUE(fs.exists("/b/old/a"));
  trash.failWith = 0;
  EXPECT_EQ(runRemoval(), (Lines{"Remove Directory: /b/old"}));
  Lines inTrash;
  for (const auto& node : trash.contents) inTrash.push_back(node.path);
  EXPECT_EQ(inTrash, (Lines{"/b/old", "/b/old/a", "/b/old/sub", "/b/old/sub/c"}));
  EXPECT_FALSE(fs.exists("/b/old"));
  EXPECT_TRUE(fs.removed.empty()) << "nothing deleted outright";
}

// The backup folder turns into a link to an outside folder between its listing and the
// removal of its entry: the trash refuses, nothing outside moves, and the walk goes on.
TEST_F(RemovalPassTest, TrashBoxMovesNothingThroughAFolderSwappedForALink) {
  engine.job.TrashBox = -1;
  fs.setWriteRoot("/b");
  fs.addDirectory("/m/sub");
  addFiles({"/b/sub/x", "/b/z", "/outside/x"});
  fs.beforeOp = [&](Op op, const std::string& path) {
    if (op != Op::Stat || path != "/m/sub/x" || fs.exists("/parked")) return;
    ASSERT_EQ(fs.renameEntry("/b/sub", "/parked"), 0);
    fs.addLink("/b/sub", "/outside");
  };
  EXPECT_EQ(runRemoval(), (Lines{"Error : /b/sub/x(Code:40 " + ErrorDescription(ELOOP) + ")",
                                 "Delete File : /b/z"}));
  EXPECT_EQ(errors, 1);
  EXPECT_EQ(trash.trashed, Lines{"/b/z"});
  EXPECT_EQ(fs.contentOf("/outside/x"), "x");
  EXPECT_EQ(fs.contentOf("/parked/x"), "x");
}

// A trash that says it has moved an entry but has left it in place.
class ClaimingTrash : public platform::Trash {
 public:
  int moveToTrash(const std::string&) override { return 0; }
};

TEST_F(RemovalPassTest, ARemovalThatLeavesTheEntryIsAFailureEvenWithoutACode) {
  ClaimingTrash claiming;
  Engine other{Services{fs, claiming, ui, sys}};
  other.job = engine.job;
  other.job.TrashBox = 1;
  other.shared = engine.shared;
  addFiles({"/b/old"});
  WriteReport(other, ReportLineKind::OpenReport, {}, -1, "/m", "/b");
  EXPECT_EQ(RemovalPass(other, "/m", "/b"), 1);
  WriteReport(other, ReportLineKind::CloseReport, {}, -1);
  EXPECT_EQ(actionLines(), (Lines{"Error : /b/old(Code:5 " + ErrorDescription(EIO) + ")"}));
}

// Only a complete listing of the master folder tells what it lacks: a listing that fails at
// its start or halfway (a volume unplugged, a network share dropped), or a folder whose volume
// mounted there at the room check is gone (the bare folder below the mount), removes nothing
// in the backup folder or below it.
TEST_F(RemovalPassTest, AMasterFolderThatCannotBeListedToItsEndRemovesNothingThere) {
  enum class Fault { ListingFails, ListingFailsHalfway, MountedVolumeGone };
  for (const Fault fault :
       {Fault::ListingFails, Fault::ListingFailsHalfway, Fault::MountedVolumeGone}) {
    SCOPED_TRACE("fault " + std::to_string(static_cast<int>(fault)));
    addFiles(
        {"/m/sub/a", "/m/sub/b", "/b/sub/a", "/b/sub/onlyHere", "/b/sub/deeper/x", "/b/other"});
    int code = EIO;
    if (fault == Fault::ListingFails) fs.failOn(Op::List, "/m/sub", EIO, 1);
    if (fault == Fault::ListingFailsHalfway) fs.failListingAfter("/m/sub", 1, EIO);
    if (fault == Fault::MountedVolumeGone) {
      engine.masterMounts.note("/m/sub", 77);  // the fake's folders all lie on volume 1
      code = ENODEV;
    }
    EXPECT_EQ(runRemoval(), (Lines{"Delete File : /b/other",
                                   "Scan Error : /m/sub(Scanning Error on Master Disk Code : " +
                                       std::to_string(code) + ")"}));
    engine.masterMounts.clear();
    EXPECT_EQ(errors, 1);
    EXPECT_TRUE(fs.exists("/b/sub/onlyHere"));
    EXPECT_TRUE(fs.exists("/b/sub/deeper/x"));
  }
}

TEST_F(RemovalPassTest, FailuresAreCountedAndTheWalkGoesOn) {
  fs.addDirectory("/m/sub");
  addFiles({"/b/sub/x", "/b/stuck", "/b/z"});
  fs.failOn(Op::List, "/b/sub", EACCES);
  fs.failOn(Op::Remove, "/b/stuck", EPERM);
  EXPECT_EQ(runRemoval(), (Lines{"Error : /b/stuck(Code:1 " + ErrorDescription(EPERM) + ")",
                                 "Scan Error : /b/sub(Scanning Error on ckup Disk Code : 13)",
                                 "Delete File : /b/z"}));
  EXPECT_EQ(errors, 2);
}

TEST_F(RemovalPassTest, ChildDirOffLeavesBackupFoldersAlone) {
  engine.job.ChildDir = 0;
  fs.addDirectory("/m/both");
  addFiles({"/b/dir/x", "/b/both/y", "/b/file"});
  EXPECT_EQ(runRemoval(), (Lines{"Delete File : /b/file"}));
  EXPECT_TRUE(fs.exists("/b/dir/x"));
  EXPECT_TRUE(fs.exists("/b/both/y"));
}

TEST_F(RemovalPassTest, OldNTRemovesEntryByEntryInsideOut) {
  engine.job.OldNT = -1;
  addFiles({"/b/old/sub/c"});
  fs.addFile("/b/old/a", "a", kT, 0444);  // read-only is cleared first
  fs.addDirectory("/b/old/sub/empty");
  EXPECT_EQ(runRemoval(), (Lines{"Delete File : /b/old/a", "Delete File : /b/old/sub/c",
                                 "Remove Directory: /b/old/sub/empty",
                                 "Remove Directory: /b/old/sub", "Remove Directory: /b/old"}));
  EXPECT_FALSE(fs.exists("/b/old"));
  EXPECT_EQ(errors, 0);
  fs.addFile("/b/ro", "r", kT, 0444);
  fs.failOn(Op::SetPermissions, "/b/ro", EPERM);
  EXPECT_EQ(DeleteEntry(engine, "/b/ro", 0, -1), EPERM);  // no deleting without clearing
  EXPECT_TRUE(fs.exists("/b/ro"));
  fs.addDirectory("/b/t");
  fs.failOn(Op::List, "/b/t", EACCES);
  EXPECT_EQ(DeleteEntry(engine, "/b/t", 0, -1), 1);  // a folder it cannot list counts once
}

// A folder that leads back up (a bind mount) is neither entered nor removed, and the folder
// holding it cannot be removed whole.
TEST_F(RemovalPassTest, OldNTNeverEntersAFolderThatLeadsBackUp) {
  engine.job.OldNT = -1;
  addFiles({"/b/old/f", "/b/old/up/g"});
  fs.shareIdentity("/b/old/up", "/b");
  EXPECT_EQ(runRemoval(),
            (Lines{"Delete File : /b/old/f", "Error : " + FailureText("/b/old/up", ELOOP),
                   "Error : " + FailureText("/b/old", ELOOP)}));
  EXPECT_EQ(errors, 2);
  EXPECT_TRUE(fs.exists("/b/old/up/g"));
  addFiles({"/b/t/a", "/b/t/self/x"});
  fs.shareIdentity("/b/t/self", "/b/t");
  EXPECT_EQ(RemoveTree(engine, "/b/t"), ELOOP);
  EXPECT_TRUE(fs.exists("/b/t/self/x"));
}

TEST_F(RemovalPassTest, RemoveTreeReportsFoldersItCannotListAndKeepsThem) {
  addFiles({"/b/t/a", "/b/t/sub/x", "/b/t/z"});
  fs.failListingAfter("/b/t/sub", 0, EIO);
  openReport();
  EXPECT_EQ(RemoveTree(engine, "/b/t"), ENOTEMPTY);
  closeReport();
  EXPECT_EQ(actionLines(),
            (Lines{"Scan Error : /b/t/sub(Removing Error on Backup Disk Code : 5)"}));
  EXPECT_TRUE(fs.exists("/b/t/sub/x"));
  EXPECT_FALSE(fs.exists("/b/t/a"));
}

}  // namespace
}  // namespace tolvan::testing
