// A side that is missing, empty or not mounted never becomes a run: real program or real
// engine, real trees.
#include <gtest/gtest.h>

#include <filesystem>

#include "ProgramRunner.h"
#include "engine/Engine.h"
#include "engine/JobDriver.h"
#include "platform/LinuxFileSystem.h"
#include "platform/LinuxTrash.h"
#include "platform/fake/FakeSystemInfo.h"
#include "platform/fake/FakeWindowSystem.h"

namespace tolvan::testing {
namespace {

using Names = Lines;

const std::string kFromError =
    "Error : "
    "From側に指定したドライブまたはフォルダーにアクセスできないか、ファイルが存在しません。";

class MissingSideTest : public ProgramTest {
 protected:
  MissingSideTest() {
    WriteText(master + "/new.txt", "master\n");
    WriteText(backup + "/kept.txt", "backup\n");
  }
};

// A mount point whose disk is not mounted is an empty folder: mirrored, it wipes the backup.
TEST_F(MissingSideTest, AnEmptyVolumeIsNoMasterAnEmptyOrdinaryFolderIs) {
  if (!tmp.mountTmpfs("mnt", "1m")) GTEST_SKIP() << "cannot mount a tmpfs here";
  std::filesystem::create_directory(tmp / "empty");
  for (const std::string& from : {tmp / "mnt", tmp / "empty"}) {
    const bool volume = from == tmp / "mnt";
    writeJob(backup, {"DriveA=" + from});
    EXPECT_EQ(run({"--no-gui", "/X", "job.tvf"}).exitStatus, volume ? 2 : 0) << from;
    EXPECT_EQ(Exists(backup + "/kept.txt"), volume) << from;
    EXPECT_EQ(actionLines() == Names{kFromError}, volume) << from;
  }
}

// A folder the file-system table or a mount unit names, with nothing mounted there, is not the
// volume: neither a master (whatever it holds) nor a place for the backup.
TEST_F(MissingSideTest, AFolderWhoseVolumeIsNotMountedIsNeitherSide) {
  const std::string disk = tmp / "disk", unitDisk = tmp / "unit-disk";
  for (const auto& folder : {disk + "/photos", unitDisk, tmp / "units"})
    std::filesystem::create_directories(folder);
  WriteText(disk + "/photos/stray.txt", "left by an earlier run\n");
  WriteText(tmp / "fstab", "# <file system> <mount point>\nUUID=9 " + disk + " ext4 0 2\n");
  WriteText(tmp / "units/backup.mount", "[Mount]\nWhere=" + unitDisk + "\n");
  WriteText(tmp / "mountinfo", "26 1 254:0 / / rw - ext4 /dev/vda rw\n");
  platform::LinuxFileSystem fs({tmp / "mountinfo", "", tmp / "fstab", tmp / "units"});
  platform::LinuxTrash trash{fs};
  platform::FakeWindowSystem ui;
  platform::FakeSystemInfo sys;
  Engine engine{Services{fs, trash, ui, sys}};
  engine.shared.AppPath = home;
  engine.job.NomalMode = -1;
  engine.job.XOption = 1;
  std::int16_t timer = 0;
  EXPECT_EQ(RunJob(engine, disk + "/photos", backup, timer).end, RunEnd::Refused);
  EXPECT_EQ(actionLines(), Names{kFromError});
  EXPECT_EQ(RunJob(engine, master, unitDisk, timer).end, RunEnd::Refused);
  EXPECT_EQ(actionLines(),
            Names{"Error : To側に指定したドライブまたはフォルダーにアクセスできません。"});
  EXPECT_EQ(NamesIn(backup), Names{"kept.txt"});
  EXPECT_EQ(NamesIn(unitDisk), Names{});
  // Mounted now: the folder is the volume.
  WriteText(tmp / "mountinfo", "26 1 254:0 / / rw - ext4 /dev/vda rw\n40 26 7:1 / " + disk +
                                   " rw - ext4 /dev/sdb1 rw\n");
  EXPECT_EQ(RunJob(engine, disk + "/photos", backup, timer).end, RunEnd::Finished);
  EXPECT_EQ(NamesIn(backup), Names{"stray.txt"});
}

}  // namespace
}  // namespace tolvan::testing
