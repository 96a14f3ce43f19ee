// Runs of the real program over trees whose walks used to end badly: folders mounted inside
// themselves, and trees deeper than the usual limit of open files.
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "ProgramRunner.h"
#include "engine/CopyPass.h"
#include "engine/Engine.h"
#include "engine/FileOps.h"
#include "engine/SideBySideSizeWalk.h"
#include "engine/WalkSupport.h"
#include "platform/LinuxFileSystem.h"
#include "platform/fake/FakeSystemInfo.h"
#include "platform/fake/FakeTrash.h"
#include "platform/fake/FakeWindowSystem.h"

namespace tolvan::testing {
namespace {

ino_t InodeOf(const std::string& path) {
  struct stat st {};
  return ::lstat(path.c_str(), &st) == 0 ? st.st_ino : 0;
}

std::string Failure(const std::string& folder, int error) {
  return "Error : " + FailureText(folder, error);
}

class WalkEndTest : public ProgramTest {
 protected:
  ~WalkEndTest() override {
    for (const auto& point : mounts) ::umount2(point.c_str(), MNT_DETACH);
  }
  // Mounts `source` again at the new folder `point` (lazily unmounted at the end, so a test
  // that fails half-way still leaves nothing mounted); false when that is not possible.
  bool bind(const std::string& source, const std::string& point) {
    if (!Exists(point)) MakeFolder(point);
    if (::mount(source.c_str(), point.c_str(), nullptr, MS_BIND, nullptr) != 0) return false;
    mounts.push_back(point);
    return true;
  }
  // An unattended run of the job, killed when it does not end within 20 s; its status.
  int runJob() {
    writeJob(backup);
    const ProgramResult result = run({"/X", "job.tvf"}, KillAfter(20s));
    return result.exitStatus;
  }
  // The failure lines of the run's report, sorted.
  [[nodiscard]] Lines failureLines() const {
    Lines failures;
    for (const auto& line : actionLines())
      if (line.starts_with("Error : ") || line.starts_with("Scan Error : "))
        failures.push_back(line);
    return failures;
  }
  Lines mounts;
};

TEST_F(WalkEndTest, AMasterFolderMountedInsideItselfIsOneErrorLineAndTheRunEnds) {
  MakeFolder(master + "/a");
  WriteText(master + "/a/f.txt", "f");
  if (!bind(master + "/a", master + "/a/loop") || !bind(master + "/a", master + "/a/again"))
    GTEST_SKIP() << "needs mount(2) for bind mounts";
  EXPECT_EQ(runJob(), 1);
  EXPECT_EQ(failureLines(),
            (Lines{Failure(master + "/a/again", ELOOP), Failure(master + "/a/loop", ELOOP)}));
  EXPECT_EQ(ReadText(backup + "/a/f.txt"), "f");
  EXPECT_FALSE(Exists(backup + "/a/loop"));
}

// A mirror never empties a folder of the backup through another way into it, whether or not
// the master has the loop folder.
TEST_F(WalkEndTest, ABackupFolderMountedInsideItselfIsNeitherEnteredNorRemoved) {
  MakeFolder(master + "/a");
  MakeFile(master + "/a/keep.txt", "keep");
  MakeFolder(master + "/a/same");
  MakeFolder(backup + "/a");
  MakeFile(backup + "/a/keep.txt", "keep");
  WriteText(backup + "/a/old.txt", "old");
  if (!bind(backup, backup + "/a/up") || !bind(backup + "/a", backup + "/a/loop") ||
      !bind(backup + "/a", backup + "/a/same"))  // has a master counterpart
    GTEST_SKIP() << "needs mount(2) for bind mounts";
  const ino_t kept = InodeOf(backup + "/a/keep.txt");
  EXPECT_EQ(runJob(), 1);
  EXPECT_EQ(failureLines(),
            (Lines{Failure(backup + "/a/loop", ELOOP), Failure(backup + "/a/same", ELOOP),
                   Failure(backup + "/a/up", ELOOP)}));
  const Lines actions = actionLines();
  EXPECT_NE(std::find(actions.begin(), actions.end(), "Delete File : " + backup + "/a/old.txt"),
            actions.end());
  EXPECT_EQ(InodeOf(backup + "/a/keep.txt"), kept) << "removed and copied again";
  EXPECT_EQ(InodeOf(backup + "/a/loop/keep.txt"), kept);
  EXPECT_EQ(ReadText(master + "/a/keep.txt"), "keep");
}

// A mount inside the backup may hold anything, the master included: a Mirroring run neither
// empties a backup-only folder that is the master bound there, nor removes or writes into a
// backup folder that is another master folder bound there.
TEST_F(WalkEndTest, NothingIsRemovedOrWrittenBelowAMountInsideTheBackup) {
  MakeFolder(master + "/d");
  WriteText(master + "/d/f.txt", "d");
  MakeFolder(master + "/e");
  WriteText(master + "/e/only-e.txt", "e");
  if (!bind(master, backup + "/whole-master") || !bind(master + "/e", backup + "/d"))
    GTEST_SKIP() << "needs mount(2) for bind mounts";
  EXPECT_EQ(runJob(), 1);
  EXPECT_EQ(ReadText(master + "/d/f.txt"), "d");
  EXPECT_EQ(ReadText(master + "/e/only-e.txt"), "e");
  EXPECT_FALSE(Exists(master + "/e/f.txt")) << "written through the mount";
  const Lines failures = failureLines();
  EXPECT_NE(std::find(failures.begin(), failures.end(), Failure(backup + "/whole-master", EXDEV)),
            failures.end());
}

TEST_F(WalkEndTest, ATreeDeeperThanTheSoftLimitOfOpenFilesIsCopiedWhole) {
  constexpr int kDepth = 1100;
  // Only for speed: thousands of folders are made and removed at once in memory.
  (void)tmp.mountTmpfs("master", "16m");
  (void)tmp.mountTmpfs("backup", "16m");
  std::string below;
  for (int level = 0; level < kDepth; ++level) MakeFolder(master + (below += "/d"));
  WriteText(master + below + "/bottom.txt", "bottom");
  // The program started meanwhile inherits this process's lowered soft limit.
  struct rlimit saved {};
  ::getrlimit(RLIMIT_NOFILE, &saved);
  struct rlimit lowered = saved;
  lowered.rlim_cur = 1024;
  if (saved.rlim_max <= kDepth + 64 || ::setrlimit(RLIMIT_NOFILE, &lowered) != 0)
    GTEST_SKIP() << "needs a hard limit of open files above the depth";
  writeJob(backup);
  const ProgramResult result = run({"/X", "job.tvf"}, KillAfter(120s));
  ::setrlimit(RLIMIT_NOFILE, &saved);
  EXPECT_EQ(result.exitStatus, 0) << result.err;
  EXPECT_EQ(failureLines(), Lines{});
  EXPECT_EQ(ReadText(backup + below + "/bottom.txt"), "bottom");
}

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
TEST(WalkOnARealTreeTest, AWalkFromAPathWithANulByteEnds) {
  const TempFolder tmp;
  for (const char* folder : {"x", "x/s1", "x/s2", "b"}) MakeFolder(tmp / folder);
  WriteText(tmp / "x/f.txt", "f");
  const std::string root = tmp / "x" + std::string("\0y", 2);
  const int status = platform::testing::RunInChild([&] {
    ::alarm(20);  // a walk without end is killed
    RealTreeEngine real;
    std::int64_t folders = 0;
    std::int64_t files = 0;
    (void)TreeSize(real.engine, root, -1, folders, files);
    return CopyTree(real.engine, root, tmp / "b") > 0 ? 0 : 1;
  });
  EXPECT_EQ(status, 0) << "killed (-1), or no loop met (1)";
}

// The master tree's size walk on a thread of its own: 20 folders of 30 files of 1 to 30
// bytes, 20 * 465 bytes.
TEST(WalkOnARealTreeTest, SideBySideSizeFiguresAreThoseOfTheWalkInTurnAndAStopEndsIt) {
  const TempFolder tmp;
  for (int i = 0; i < 20; ++i) {
    const std::string folder = tmp / ("d" + std::to_string(i));
    MakeFolder(folder);
    for (int k = 1; k <= 30; ++k)
      WriteText(folder + "/f" + std::to_string(k), std::string(static_cast<std::size_t>(k), 'x'));
  }
  WriteText(tmp / "d0/.tolvan32-partial-0123456789abcdef", "never counted");
  RealTreeEngine real;
  std::int64_t folders = 1;
  std::int64_t files = 2;
  {
    SideBySideSizeWalk walk(real.engine, tmp.path(), -1);
    std::int64_t otherFolders = 0;
    std::int64_t otherFiles = 0;
    EXPECT_EQ(TreeSize(real.engine, tmp.path(), -1, otherFolders, otherFiles), 9300.0);
    EXPECT_EQ(walk.finish(folders, files), 9300.0);
  }
  EXPECT_EQ(folders, 1 + 20);
  EXPECT_EQ(files, 2 + 600) << "added to what the counts held";

  real.engine.run.StopFlag = 1;
  SideBySideSizeWalk stopped(real.engine, tmp.path(), -1);
  folders = 0;
  files = 0;
  EXPECT_EQ(stopped.finish(folders, files), 0.0);
  EXPECT_EQ(files, 0);
  EXPECT_TRUE(Exists(tmp / "d0/.tolvan32-partial-0123456789abcdef"))
      << "the master's leftovers stay";
}

}  // namespace
}  // namespace tolvan::testing
