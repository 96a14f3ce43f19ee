// What whole runs of the real program leave in real temporary trees.

#include "ProgramRunner.h"

namespace tolvan::testing {
namespace {

// Puts `folder`/gone/sub/file into the read-only `folder`, with both new folders read-only.
void PlantReadOnlyTree(const std::string& folder) {
  ASSERT_EQ(::chmod(folder.c_str(), 0755), 0);
  MakeFile(folder + "/gone/sub/file", "in a read-only folder");
  for (const auto& path : {folder + "/gone/sub", folder + "/gone", folder})
    ASSERT_EQ(::chmod(path.c_str(), 0555), 0);
}

using RealTreeRunTest = ProgramTest;

// A backup folder gets the bits of its read-only master folder once its content is in; the
// owner's later changes inside still reach the backup. A folder a killed run left widened
// gets the master's bits, one with other bits is left as it is. A backup-only read-only tree
// in a read-only folder is removed, and the trash keeps it as it was, bits included.
TEST_F(RealTreeRunTest, ReadOnlyFoldersAreFilledWidenedAndNarrowedAgain) {
  MakeFile(master + "/a.txt", "a");
  MakeFile(master + "/secret.txt", "secret", kTime, 0000);
  MakeFile(master + "/ro/changed.txt", "old");
  MakeFile(master + "/ro/removed.txt", "removed later");
  MakeFile(master + "/widened/copied.txt", "copied before the kill");
  MakeFile(master + "/widened/missing.txt", "not copied yet");
  MakeFile(backup + "/widened/copied.txt", "copied before the kill");
  for (const char* folder : {"/ro", "/widened", "/other", "/keep"}) {
    if (!Exists(master + folder)) MakeFolder(master + folder);
    ASSERT_EQ(::chmod((master + folder).c_str(), 0555), 0);
  }
  MakeFolder(backup + "/other", 0775);
  MakeFolder(backup + "/keep");
  PlantReadOnlyTree(backup + "/keep");
  const std::string b = backup;

  const int status = mirror({}, true).exitStatus;
  if (status == 126) GTEST_SKIP() << "cannot run as an unprivileged user here";
  EXPECT_EQ(status, 1) << "the unreadable file is one error, and the run goes on";
  EXPECT_EQ(
      actionLines(),
      (Lines{"Error : " + b + "/secret.txt(Code:13 Permission denied)",
             "Make Directory : " + b + "/ro", "New File : " + b + "/a.txt",
             "New File : " + b + "/ro/changed.txt", "New File : " + b + "/ro/removed.txt",
             "New File : " + b + "/widened/missing.txt", "Remove Directory: " + b + "/keep/gone"}));
  EXPECT_FALSE(Exists(backup + "/secret.txt"));
  for (const char* folder : {"/ro", "/widened", "/keep"})
    EXPECT_EQ(StatOf(b + folder).st_mode & 07777, 0555u);
  EXPECT_EQ(StatOf(backup + "/other").st_mode & 07777, 0775u);

  ASSERT_EQ(::chmod((master + "/ro").c_str(), 0755), 0);
  MakeFile(master + "/ro/changed.txt", "new", 1700000000);
  MakeFile(master + "/ro/added.txt", "added");
  ASSERT_EQ(::unlink((master + "/ro/removed.txt").c_str()), 0);
  MakeFolder(master + "/ro/sub", 0555);
  ASSERT_EQ(::chmod((master + "/ro").c_str(), 0555), 0);
  ASSERT_EQ(::chmod((master + "/secret.txt").c_str(), 0644), 0);
  PlantReadOnlyTree(backup + "/keep");
  EXPECT_EQ(mirror({"TrashBox=yes"}, true).exitStatus, 0) << "no Error lines";
  auto wanted = Tree(master);
  wanted["/other"] = Tree(backup)["/other"];
  EXPECT_EQ(Tree(backup), wanted);
  const std::string trashed = tmp / "Trash/files/gone";
  EXPECT_EQ(ReadText(trashed + "/sub/file"), "in a read-only folder");
  EXPECT_EQ(StatOf(trashed).st_mode & 07777, 0555u);
  EXPECT_EQ(StatOf(trashed + "/sub").st_mode & 07777, 0555u);
}

// A mount point whose disk is not mounted is an empty folder: mirrored, it wipes the backup.
TEST_F(RealTreeRunTest, AnEmptyVolumeIsNoMasterAnEmptyOrdinaryFolderIs) {
  MakeFile(backup + "/kept.txt", "backup\n");
  if (!tmp.mountTmpfs("mnt", "1m")) GTEST_SKIP() << "cannot mount a tmpfs here";
  MakeFolder(tmp / "empty");
  for (const std::string& from : {tmp / "mnt", tmp / "empty"}) {
    const bool volume = from == tmp / "mnt";
    writeJob(backup, {"DriveA=" + from});
    EXPECT_EQ(run({"--no-gui", "/X", "job.tvf"}).exitStatus, volume ? 2 : 0) << from;
    EXPECT_EQ(Exists(backup + "/kept.txt"), volume) << from;
    EXPECT_EQ(AnyStartsWith(actionLines(), "Error : From側に指定したドライブ"), volume) << from;
  }
}

}  // namespace
}  // namespace tolvan::testing
