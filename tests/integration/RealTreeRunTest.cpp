// What whole runs of the real program leave in real temporary trees.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <map>

#include "ProgramRunner.h"

namespace tolvan::testing {
namespace {

using platform::testing::NamesIn;
using Lines = std::vector<std::string>;

void MakeFolder(const std::string& path, mode_t mode = 0755) {
  ASSERT_EQ(::mkdir(path.c_str(), 0700), 0) << path;
  ASSERT_EQ(::chmod(path.c_str(), mode), 0) << path;
}

void MakeFile(const std::string& path, const std::string& content, mode_t mode = 0644,
              long mtime = 1600000000, long nanoseconds = 0) {
  WriteText(path, content, mode);
  platform::testing::SetTimes(path, mtime, nanoseconds);
}

void MakeLink(const std::string& path, const std::string& target) {
  ASSERT_EQ(::symlink(target.c_str(), path.c_str()), 0) << path;
  platform::testing::SetTimes(path, 1600000000, 250);
}

mode_t ModeOf(const std::string& path) {
  struct stat st {};
  EXPECT_EQ(::lstat(path.c_str(), &st), 0) << path;
  return st.st_mode & 07777;
}

// Puts `folder`/gone/sub/file into the read-only `folder`, with both new folders read-only.
void PlantReadOnlyTree(const std::string& folder) {
  ASSERT_EQ(::chmod(folder.c_str(), 0755), 0);
  MakeFolder(folder + "/gone");
  MakeFolder(folder + "/gone/sub");
  MakeFile(folder + "/gone/sub/file", "in a read-only folder");
  for (const auto& path : {folder + "/gone/sub", folder + "/gone", folder})
    ASSERT_EQ(::chmod(path.c_str(), 0555), 0);
}

class RealTreeRunTest : public ProgramTest {
 protected:
  // An unattended run of the Mirroring job; its exit status.
  int mirror(bool asNobody = false, const std::vector<std::string>& extra = {}) {
    writeJob(backup, extra);
    const ProgramResult result = run({"/X", "job.tvf"}, {}, asNobody);
    return result.exitStatus;
  }
};

TEST_F(RealTreeRunTest, AMirrorLeavesTheBackupEqualAndASecondRunHasNothingToDo) {
  MakeFile(master + "/a.txt", "alpha", 0644, 1600000000, 123456789);
  MakeFile(master + "/ro.txt", "read only", 0444);
  MakeFile(master + "/run.sh", "#!/bin/sh\n", 0755);
  MakeFile(master + "/.hidden", "h", 0600);
  MakeFile(master + "/what?.txt", "question mark", 0640);
  MakeFile(master + "/Ünïcødé ファイル.txt", "utf-8 name");
  MakeFolder(master + "/dir", 0750);
  MakeFolder(master + "/dir/sub");
  MakeFile(master + "/dir/sub/deep.bin", std::string(100000, '\x7f'), 0600, 1500000000, 999);
  MakeFolder(master + "/locked");
  MakeFile(master + "/locked/inside.txt", "in a read-only folder");
  ASSERT_EQ(::chmod((master + "/locked").c_str(), 0555), 0);
  MakeFolder(master + "/empty", 0700);
  MakeLink(master + "/link", "a.txt");
  MakeFile(backup + "/a.txt", "stale", 0644, 1500000000);
  MakeFolder(backup + "/only");
  MakeFile(backup + "/only/x", "x");
  MakeFile(backup + "/dir", "a file where the master has a folder");
  MakeFolder(backup + "/empty", 0700);

  ASSERT_EQ(mirror(), 0);
  EXPECT_EQ(Tree(master), Tree(backup));
  const Lines lines = actionLines();
  EXPECT_NE(std::find(lines.begin(), lines.end(), "Delete File : " + backup + "/dir"), lines.end());
  ASSERT_EQ(mirror(), 0);
  EXPECT_EQ(actionLines(), Lines{});
  EXPECT_EQ(Tree(master), Tree(backup));
}

TEST_F(RealTreeRunTest, LinksAreCopiedAsLinksFifosSkippedAndBackupLinksRemovedAsLinks) {
  const std::string outside = tmp / "outside";
  MakeFolder(outside);
  MakeFile(outside + "/keep.txt", "keep");
  MakeLink(master + "/abs-link", outside + "/keep.txt");
  MakeLink(master + "/dangling", "no/such/target");
  ASSERT_EQ(::mkfifo((master + "/pipe").c_str(), 0644), 0);
  MakeFolder(master + "/d");
  MakeFile(master + "/d/f.txt", "f");
  MakeLink(backup + "/escape", outside);
  MakeLink(backup + "/d", outside);  // a link where the master has a folder

  ASSERT_EQ(mirror(), 0);
  EXPECT_EQ(actionLines(),
            (Lines{"Delete File : " + backup + "/d", "Delete File : " + backup + "/escape",
                   "Make Directory : " + backup + "/d", "New File : " + backup + "/abs-link",
                   "New File : " + backup + "/d/f.txt", "New File : " + backup + "/dangling",
                   "Skipped : " + master + "/pipe"}));
  EXPECT_EQ(LinkTarget(backup + "/abs-link"), outside + "/keep.txt");
  EXPECT_EQ(LinkTarget(backup + "/dangling"), "no/such/target");
  EXPECT_FALSE(Exists(backup + "/pipe"));
  EXPECT_EQ(NamesIn(outside), Lines{"keep.txt"});
  EXPECT_EQ(ReadText(outside + "/keep.txt"), "keep");
  ASSERT_EQ(mirror(), 0);
  EXPECT_EQ(actionLines(), Lines{"Skipped : " + master + "/pipe"});
}

TEST_F(RealTreeRunTest, AnUnreadableFileIsOneErrorAndTheRunGoesOn) {
  MakeFile(master + "/a.txt", "a");
  MakeFile(master + "/secret.txt", "secret", 0000);
  MakeFolder(master + "/locked");
  MakeFile(master + "/locked/inside.txt", "in a folder its owner cannot write to");
  ASSERT_EQ(::chmod((master + "/locked").c_str(), 0555), 0);
  platform::testing::GiveToNobody(tmp.path());
  const int status = mirror(true);
  if (status == 126) GTEST_SKIP() << "cannot run as an unprivileged user here";
  EXPECT_EQ(status, 1);
  EXPECT_EQ(actionLines(),
            (Lines{"Error : " + backup + "/secret.txt(Code:13 Permission denied)",
                   "Make Directory : " + backup + "/locked", "New File : " + backup + "/a.txt",
                   "New File : " + backup + "/locked/inside.txt"}));
  EXPECT_FALSE(Exists(backup + "/secret.txt"));
  struct stat st {};
  ASSERT_EQ(::stat((backup + "/locked").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0555u) << "the master's bits once the content is in";
}

// A backup folder gets the bits of its read-only master folder; the owner's later changes
// inside that folder still reach the backup on every run.
TEST_F(RealTreeRunTest, ChangesInsideAReadOnlyFolderReachTheBackupOnEveryRun) {
  MakeFolder(master + "/ro");
  MakeFile(master + "/ro/changed.txt", "old");
  MakeFile(master + "/ro/removed.txt", "removed later");
  ASSERT_EQ(::chmod((master + "/ro").c_str(), 0555), 0);
  platform::testing::GiveToNobody(tmp.path());
  const int status = mirror(true);
  if (status == 126) GTEST_SKIP() << "cannot run as an unprivileged user here";
  ASSERT_EQ(status, 0);
  ASSERT_EQ(::chmod((master + "/ro").c_str(), 0755), 0);
  MakeFile(master + "/ro/changed.txt", "new", 0644, 1700000000);
  MakeFile(master + "/ro/added.txt", "added");
  ASSERT_EQ(::unlink((master + "/ro/removed.txt").c_str()), 0);
  MakeFolder(master + "/ro/sub", 0555);
  ASSERT_EQ(::chmod((master + "/ro").c_str(), 0555), 0);
  platform::testing::GiveToNobody(tmp.path());
  EXPECT_EQ(mirror(true), 0) << "no Error lines";
  EXPECT_EQ(Tree(master), Tree(backup));
}

// The trash keeps the tree as it was, bits included.
TEST_F(RealTreeRunTest, ABackupOnlyReadOnlyTreeInAReadOnlyFolderIsRemovedWithAndWithoutTrash) {
  MakeFolder(master + "/keep", 0555);
  MakeFolder(backup + "/keep");
  for (const std::string trashBox : {"no", "yes"}) {
    SCOPED_TRACE("TrashBox=" + trashBox);
    PlantReadOnlyTree(backup + "/keep");
    platform::testing::GiveToNobody(tmp.path());
    const int status = mirror(true, {"TrashBox=" + trashBox});
    if (status == 126) GTEST_SKIP() << "cannot run as an unprivileged user here";
    EXPECT_EQ(status, 0);
    EXPECT_EQ(actionLines(), Lines{"Remove Directory: " + backup + "/keep/gone"});
    EXPECT_EQ(Tree(master), Tree(backup));
  }
  const std::string trashed = tmp / "Trash/files/gone";
  EXPECT_EQ(ReadText(trashed + "/sub/file"), "in a read-only folder");
  EXPECT_EQ(ModeOf(trashed), 0555u);
  EXPECT_EQ(ModeOf(trashed + "/sub"), 0555u);
}

// A run killed inside a new folder of a read-only master folder leaves it with the owner's
// bits added to the master's. The next run fills it and gives it the master's bits; a backup
// folder with other bits is left as it is.
TEST_F(RealTreeRunTest, AFolderAKilledRunLeftWidenedGetsTheMastersBitsNextRun) {
  MakeFolder(master + "/ro");
  MakeFile(master + "/ro/copied.txt", "copied before the kill");
  MakeFile(master + "/ro/missing.txt", "not copied yet");
  ASSERT_EQ(::chmod((master + "/ro").c_str(), 0555), 0);
  MakeFolder(master + "/other", 0555);
  MakeFolder(backup + "/ro", 0755);
  MakeFile(backup + "/ro/copied.txt", "copied before the kill");
  MakeFolder(backup + "/other", 0775);
  platform::testing::GiveToNobody(tmp.path());
  const int status = mirror(true);
  if (status == 126) GTEST_SKIP() << "cannot run as an unprivileged user here";
  EXPECT_EQ(status, 0);
  EXPECT_EQ(actionLines(), Lines{"New File : " + backup + "/ro/missing.txt"});
  EXPECT_EQ(ModeOf(backup + "/ro"), 0555u);
  EXPECT_EQ(ModeOf(backup + "/other"), 0775u);
}

TEST_F(RealTreeRunTest, AFullDiskKeepsTheOldCopyAndReportsTheError) {
  ASSERT_EQ(::rmdir(backup.c_str()), 0);
  if (!tmp.mountTmpfs("backup", "1m")) GTEST_SKIP() << "needs root to mount a 1 MiB tmpfs";
  MakeFile(backup + "/big.bin", "old copy", 0644, 1500000000);
  MakeFile(master + "/big.bin", std::string(2 * 1024 * 1024, 'x'));
  MakeFile(master + "/small.txt", "small");
  EXPECT_EQ(mirror(), 1);
  EXPECT_EQ(actionLines(), (Lines{"Error : " + backup + "/big.bin(Code:28 No space left on device)",
                                  "New File : " + backup + "/small.txt"}));
  EXPECT_EQ(ReadText(backup + "/big.bin"), "old copy");
  EXPECT_EQ(NamesIn(backup), (Lines{"big.bin", "small.txt"})) << "no temporary file is left";
}

}  // namespace
}  // namespace tolvan::testing
