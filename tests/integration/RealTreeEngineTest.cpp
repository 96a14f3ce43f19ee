// The engine on the real file system (its other services fakes): walks that used to end badly,
// the size walk beside the copy, sides whose volume is not mounted.
#include "ProgramRunner.h"
#include "engine/CopyPass.h"
#include "engine/Engine.h"
#include "engine/FileOps.h"
#include "engine/JobDriver.h"
#include "engine/SideBySideSizeWalk.h"
#include "platform/LinuxFileSystem.h"
#include "platform/LinuxTrash.h"
#include "platform/fake/FakeFileSystem.h"
#include "platform/fake/FakeSystemInfo.h"
#include "platform/fake/FakeWindowSystem.h"

namespace tolvan::testing {
namespace {

// The real file system under an engine whose other services are fakes.
struct RealTreeEngine {
  platform::LinuxFileSystem fs;
  platform::FakeFileSystem unused;
  platform::FakeTrash trash{unused};
  platform::FakeWindowSystem ui;
  platform::FakeSystemInfo sys;
  Engine engine{Services{fs, trash, ui, sys}};
};

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

// The master tree's size walk on a thread of its own: 20 folders of 30 files of 1 to 30
// bytes, 20 * 465 bytes.
TEST(RealTreeEngineTest, SideBySideSizeFiguresAreThoseOfTheWalkInTurnAndAStopEndsIt) {
  const TempFolder tmp;
  for (int i = 0; i < 20; ++i)
    for (int k = 1; k <= 30; ++k)
      MakeFile(tmp / ("d" + std::to_string(i) + "/f" + std::to_string(k)),
               std::string(static_cast<std::size_t>(k), 'x'));
  WriteText(tmp / "d0/.tolvan32-partial-0123456789abcdef", "never counted");
  RealTreeEngine real;
  std::int64_t folders = 1, files = 2, otherFolders = 0, otherFiles = 0;
  {
    SideBySideSizeWalk walk(real.engine, tmp.path(), -1);
    EXPECT_EQ(TreeSize(real.engine, tmp.path(), -1, otherFolders, otherFiles), 9300.0);
    EXPECT_EQ(walk.finish(folders, files), 9300.0);
  }
  EXPECT_EQ(std::make_pair(folders, files), std::make_pair(1 + 20L, 2 + 600L))
      << "added to what the counts held";

  real.engine.run.StopFlag = 1;
  SideBySideSizeWalk stopped(real.engine, tmp.path(), -1);
  folders = files = 0;
  EXPECT_EQ(stopped.finish(folders, files), 0.0);
  EXPECT_EQ(files, 0);
  EXPECT_TRUE(Exists(tmp / "d0/.tolvan32-partial-0123456789abcdef"))
      << "the master's leftovers stay";
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
  EXPECT_EQ(actionLines(),
            Lines{"Error : From側に指定したドライブまたはフォルダーにアクセスできないか、"
                  "ファイルが存在しません。"});
  EXPECT_EQ(RunJob(engine, master, unitDisk, timer).end, RunEnd::Refused);
  EXPECT_EQ(actionLines(),
            Lines{"Error : To側に指定したドライブまたはフォルダーにアクセスできません。"});
  EXPECT_EQ(NamesIn(backup), Lines{"kept.txt"});
  EXPECT_EQ(NamesIn(unitDisk), Lines{});
  // Mounted now: the folder is the volume.
  WriteText(tmp / "mountinfo", "26 1 254:0 / / rw - ext4 /dev/vda rw\n40 26 7:1 / " + disk +
                                   " rw - ext4 /dev/sdb1 rw\n");
  EXPECT_EQ(RunJob(engine, disk + "/photos", backup, timer).end, RunEnd::Finished);
  EXPECT_EQ(NamesIn(backup), Lines{"stray.txt"});
}

}  // namespace
}  // namespace tolvan::testing
