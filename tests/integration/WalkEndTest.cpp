// Runs of the real program over trees whose walks used to end badly: folders mounted inside
// themselves, and trees deeper than the usual limit of open files.
#include <sys/resource.h>

#include "ProgramRunner.h"
#include "engine/WalkSupport.h"

namespace tolvan::testing {
namespace {

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

// A master folder mounted inside itself is one error line per way into it, and the run ends. A
// mount inside the backup may hold anything, the master included: a Mirroring run neither
// empties a backup-only folder that is the master bound there, nor removes or writes into a
// backup folder that is another master folder bound there.
TEST_F(WalkEndTest, LoopsInTheMasterAndMountsInsideTheBackupAreErrorsAndNeverWrittenThrough) {
  for (const char* file : {"/a/f.txt", "/d/f.txt", "/e/only-e.txt"})
    MakeFile(master + file, {file[1]});
  if (!bind(master + "/a", master + "/a/loop") || !bind(master + "/a", master + "/a/again") ||
      !bind(master, backup + "/whole-master") || !bind(master + "/e", backup + "/d"))
    TOLVAN_CANNOT_RUN_HERE("needs mount(2) for bind mounts");
  EXPECT_EQ(mirror({}, KillAfter(20s)).exitStatus, 1);
  Lines failures = failureLines();  // those of the master's folder mounted in the backup aside
  EXPECT_NE(std::erase_if(failures, [&](auto& line) { return Contains(line, backup + "/d"); }), 0u);
  EXPECT_EQ(failures,
            (Lines{Failure(backup + "/whole-master", EXDEV), Failure(master + "/a/again", ELOOP),
                   Failure(master + "/a/loop", ELOOP)}));
  EXPECT_EQ(ReadText(backup + "/a/f.txt"), "a");
  EXPECT_FALSE(Exists(backup + "/a/loop"));
  EXPECT_EQ(ReadText(master + "/d/f.txt") + ReadText(master + "/e/only-e.txt"), "de");
  EXPECT_FALSE(Exists(master + "/e/f.txt")) << "written through the mount";
}

// A mirror never empties a folder of the backup through another way into it, whether or not
// the master has the loop folder.
TEST_F(WalkEndTest, ABackupFolderMountedInsideItselfIsNeitherEnteredNorRemoved) {
  for (const auto& side : {master, backup}) MakeFile(side + "/a/keep.txt", "keep");
  MakeFolder(master + "/a/same");
  MakeFile(backup + "/a/old.txt", "old");
  if (!bind(backup, backup + "/a/up") || !bind(backup + "/a", backup + "/a/loop") ||
      !bind(backup + "/a", backup + "/a/same"))  // has a master counterpart
    TOLVAN_CANNOT_RUN_HERE("needs mount(2) for bind mounts");
  const ino_t kept = StatOf(backup + "/a/keep.txt").st_ino;
  EXPECT_EQ(mirror({}, KillAfter(20s)).exitStatus, 1);
  EXPECT_EQ(failureLines(),
            (Lines{Failure(backup + "/a/loop", ELOOP), Failure(backup + "/a/same", ELOOP),
                   Failure(backup + "/a/up", ELOOP)}));
  EXPECT_TRUE(AnyStartsWith(actionLines(), "Delete File : " + backup + "/a/old.txt"));
  EXPECT_EQ(StatOf(backup + "/a/keep.txt").st_ino, kept) << "removed and copied again";
  EXPECT_EQ(StatOf(backup + "/a/loop/keep.txt").st_ino, kept);
  EXPECT_EQ(ReadText(master + "/a/keep.txt"), "keep");
}

TEST_F(WalkEndTest, ATreeDeeperThanTheSoftLimitOfOpenFilesIsCopiedWhole) {
  constexpr int kDepth = 1100;
  // Only for speed: thousands of folders are made and removed at once in memory.
  for (const char* side : {"master", "backup"}) (void)tmp.mountTmpfs(side, "16m");
  std::string below;
  for (int level = 0; level < kDepth; ++level) MakeFolder(master + (below += "/d"));
  WriteText(master + below + "/bottom.txt", "bottom");
  // The program started meanwhile inherits this process's lowered soft limit.
  struct rlimit saved {};
  ::getrlimit(RLIMIT_NOFILE, &saved);
  const struct rlimit lowered { 1024, saved.rlim_max };
  if (saved.rlim_max <= kDepth + 64 || ::setrlimit(RLIMIT_NOFILE, &lowered) != 0)
    TOLVAN_CANNOT_RUN_HERE("needs a hard limit of open files above the depth");
  const ProgramResult result = mirror({}, KillAfter(120s));
  ::setrlimit(RLIMIT_NOFILE, &saved);
  EXPECT_EQ(result.exitStatus, 0) << result.err;
  EXPECT_EQ(failureLines(), Lines{});
  EXPECT_EQ(ReadText(backup + below + "/bottom.txt"), "bottom");
}

}  // namespace
}  // namespace tolvan::testing
