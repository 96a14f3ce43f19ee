// The engine and the real program on real trees: walks that used to end badly, sides whose
// volume is not mounted, read-only folders.
#include "ProgramRunner.h"
#include "engine/FileOps.h"
#include "engine/JobDriver.h"
#include "support/EngineFixture.h"

namespace tolvan::testing {
namespace {

// The system reads a path only up to a NUL byte inside it, so every folder of a walk from
// "x" + NUL + "y" opens x again.
TEST(RealTreeEngineTest, AWalkFromAPathWithANulByteEnds) {
  const TempFolder tmp;
  for (const char* folder : {"x", "x/s1", "x/s2", "b"}) MakeFolder(tmp / folder);
  WriteText(tmp / "x/f.txt", "f");
  const std::string root = tmp / "x" + std::string("\0y", 2);
  const int status = platform::testing::RunInChild([&] {
    ::alarm(20);  // a walk without end is killed
    RealTreeEngine real;
    std::int64_t folders = 0, files = 0;
    (void)TreeSize(real.engine, root, -1, folders, files);
    return CopyTree(real.engine, root, tmp / "b") > 0 ? 0 : 1;
  });
  EXPECT_EQ(status, 0) << "killed (-1), or no loop met (1)";
}

// A folder the file-system table or a mount unit names, with nothing mounted there, is not the
// volume: neither a master (whatever it holds) nor a place for the backup.
TEST_F(ProgramTest, AFolderWhoseVolumeIsNotMountedIsNeitherSide) {
  MakeFile(backup + "/kept.txt", "backup\n");
  const std::string disk = tmp / "disk", unitDisk = tmp / "unit-disk";
  MakeFolder(unitDisk);
  MakeFile(disk + "/photos/stray.txt", "left by an earlier run\n");
  MakeFile(tmp / "fstab", "# <file system> <mount point>\nUUID=9 " + disk + " ext4 0 2\n");
  MakeFile(tmp / "units/backup.mount", "[Mount]\nWhere=" + unitDisk + "\n");
  WriteText(tmp / "mountinfo", "26 1 254:0 / / rw - ext4 /dev/vda rw\n");
  RealTreeEngine real({tmp / "mountinfo", "", tmp / "fstab", tmp / "units"});
  Engine& engine = real.engine;
  engine.shared.AppPath = home;
  engine.job.NomalMode = -1;
  engine.job.XOption = 1;
  std::int16_t timer = 0;
  for (const auto& [from, to, error] :
       {std::tuple{disk + "/photos", backup, kFromText}, {master, unitDisk, kToText}}) {
    EXPECT_EQ(RunJob(engine, from, to, timer).end, RunEnd::Refused) << error;
    EXPECT_EQ(actionLines(), Lines{"Error : " + error});
  }
  EXPECT_EQ(std::pair(NamesIn(backup), NamesIn(unitDisk)), std::pair(Lines{"kept.txt"}, Lines{}));
  // Mounted now: the folder is the volume.
  WriteText(tmp / "mountinfo", "26 1 254:0 / / rw - ext4 /dev/vda rw\n40 26 7:1 / " + disk +
                                   " rw - ext4 /dev/sdb1 rw\n");
  EXPECT_EQ(RunJob(engine, disk + "/photos", backup, timer).end, RunEnd::Finished);
  EXPECT_EQ(NamesIn(backup), Lines{"stray.txt"});
}

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

  const int status = mirrorAsNobody();
  if (status == 126) TOLVAN_CANNOT_RUN_HERE("cannot run as an unprivileged user here");
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
  EXPECT_EQ(mirrorAsNobody({"TrashBox=yes"}), 0) << "no Error lines";
  auto wanted = Tree(master);
  wanted["/other"] = Tree(backup)["/other"];
  EXPECT_EQ(Tree(backup), wanted);
  const std::string trashed = tmp / "Trash/files/gone";
  EXPECT_EQ(ReadText(trashed + "/sub/file"), "in a read-only folder");
  for (const auto& folder : {trashed, trashed + "/sub"})
    EXPECT_EQ(StatOf(folder).st_mode & 07777, 0555u) << folder;
}

// A mount point whose disk is not mounted is an empty folder: mirrored, it wipes the backup.
TEST_F(RealTreeRunTest, AnEmptyVolumeIsNoMasterAnEmptyOrdinaryFolderIs) {
  MakeFile(backup + "/kept.txt", "backup\n");
  if (!tmp.mountTmpfs("mnt", "1m")) TOLVAN_CANNOT_RUN_HERE("cannot mount a tmpfs here");
  MakeFolder(tmp / "empty");
  for (const std::string& from : {tmp / "mnt", tmp / "empty"}) {
    const bool volume = from == tmp / "mnt";
    writeJob(backup, {"DriveA=" + from});
    EXPECT_EQ(run({"--no-gui", "/X", "job.tvf"}).exitStatus, volume ? 2 : 0) << from;
    EXPECT_EQ(Exists(backup + "/kept.txt"), volume) << from;
    EXPECT_EQ(AnyStartsWith(actionLines(), "Error : " + kFromText), volume) << from;
  }
}

}  // namespace
}  // namespace tolvan::testing
