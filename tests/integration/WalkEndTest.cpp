// Runs of the real program over trees whose walks used to end badly: folders mounted inside
// themselves, and trees deeper than the usual limit of open files.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <filesystem>
#include <thread>

#include "ProgramRunner.h"
#include "engine/CopyPass.h"
#include "engine/Engine.h"
#include "engine/FileOps.h"
#include "engine/WalkSupport.h"
#include "platform/LinuxFileSystem.h"
#include "platform/fake/FakeSystemInfo.h"
#include "platform/fake/FakeTrash.h"
#include "platform/fake/FakeWindowSystem.h"

namespace tolvan::testing {
namespace {

using Lines = std::vector<std::string>;

// `source` mounted again at `point` while this lives (lazily unmounted, so a test that fails
// half-way still leaves nothing mounted).
class BindMount {
 public:
  BindMount(const std::string& source, const std::string& point) : point_(point) {
    mounted_ = ::mount(source.c_str(), point.c_str(), nullptr, MS_BIND, nullptr) == 0;
  }
  ~BindMount() {
    if (mounted_) ::umount2(point_.c_str(), MNT_DETACH);
  }
  BindMount(const BindMount&) = delete;
  BindMount& operator=(const BindMount&) = delete;
  [[nodiscard]] bool mounted() const { return mounted_; }

 private:
  std::string point_;
  bool mounted_ = false;
};

// This process's soft limit of open files lowered while it lives; a program started
// meanwhile inherits it.
class LowSoftLimit {
 public:
  explicit LowSoftLimit(rlim_t soft) {
    ::getrlimit(RLIMIT_NOFILE, &saved_);
    struct rlimit lowered = saved_;
    lowered.rlim_cur = soft;
    lowered_ = ::setrlimit(RLIMIT_NOFILE, &lowered) == 0;
  }
  ~LowSoftLimit() {
    if (lowered_) ::setrlimit(RLIMIT_NOFILE, &saved_);
  }
  LowSoftLimit(const LowSoftLimit&) = delete;
  LowSoftLimit& operator=(const LowSoftLimit&) = delete;
  [[nodiscard]] bool lowered() const { return lowered_; }
  [[nodiscard]] rlim_t hard() const { return saved_.rlim_max; }

 private:
  struct rlimit saved_ {};
  bool lowered_ = false;
};

// Kills a run that has not ended after `limit`, so a walk without end fails the test instead
// of hanging it.
Watcher KillAfter(std::chrono::seconds limit) {
  return [limit](pid_t pid, const std::string&) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (std::chrono::steady_clock::now() < end) {
      siginfo_t info{};
      if (::waitid(P_PID, static_cast<id_t>(pid), &info, WEXITED | WNOHANG | WNOWAIT) == 0 &&
          info.si_pid == pid)
        return;  // ended; the runner collects it
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ::kill(pid, SIGKILL);
  };
}

void MakeFolder(const std::string& path) {
  ASSERT_EQ(::mkdir(path.c_str(), 0755), 0) << path;
}

ino_t InodeOf(const std::string& path) {
  struct stat st {};
  return ::lstat(path.c_str(), &st) == 0 ? st.st_ino : 0;
}

std::string LoopLine(const std::string& folder) {
  return "Error : " + FailureText(folder, ELOOP);
}

class WalkEndTest : public ProgramTest {
 protected:
  // An unattended run of the job, killed when it does not end within the limit.
  ProgramResult runJob(std::chrono::seconds limit) {
    writeJob(backup);
    return run({"/X", "job.tvf"}, KillAfter(limit));
  }
  // The failure lines of the run's report, sorted.
  [[nodiscard]] Lines failureLines() const {
    Lines failures;
    for (const auto& line : actionLines()) {
      if (line.rfind("Error : ", 0) == 0 || line.rfind("Scan Error : ", 0) == 0)
        failures.push_back(line);
    }
    return failures;
  }
};

TEST_F(WalkEndTest, AMasterFolderMountedInsideItselfIsOneErrorLineAndTheRunEnds) {
  MakeFolder(master + "/a");
  WriteText(master + "/a/f.txt", "f");
  MakeFolder(master + "/a/loop");
  MakeFolder(master + "/a/again");
  const BindMount loop(master + "/a", master + "/a/loop");
  const BindMount again(master + "/a", master + "/a/again");
  if (!loop.mounted() || !again.mounted()) GTEST_SKIP() << "needs mount(2) for bind mounts";
  const ProgramResult result = runJob(std::chrono::seconds(20));
  EXPECT_EQ(result.exitStatus, 1) << result.err;
  EXPECT_EQ(failureLines(), (Lines{LoopLine(master + "/a/again"), LoopLine(master + "/a/loop")}));
  EXPECT_EQ(ReadText(backup + "/a/f.txt"), "f");
  EXPECT_FALSE(Exists(backup + "/a/loop"));
}

// A mirror never empties a folder of the backup through another way into it, whether or not
// the master has the loop folder.
TEST_F(WalkEndTest, ABackupFolderMountedInsideItselfIsNeitherEnteredNorRemoved) {
  MakeFolder(master + "/a");
  WriteText(master + "/a/keep.txt", "keep");
  MakeFolder(master + "/a/same");
  MakeFolder(backup + "/a");
  WriteText(backup + "/a/keep.txt", "keep");
  platform::testing::SetTimes(master + "/a/keep.txt", 1600000000, 0);
  platform::testing::SetTimes(backup + "/a/keep.txt", 1600000000, 0);
  WriteText(backup + "/a/old.txt", "old");
  for (const char* name : {"/a/up", "/a/loop", "/a/same"}) MakeFolder(backup + name);
  const BindMount up(backup, backup + "/a/up");
  const BindMount loop(backup + "/a", backup + "/a/loop");
  const BindMount same(backup + "/a", backup + "/a/same");  // has a master counterpart
  if (!up.mounted() || !loop.mounted() || !same.mounted())
    GTEST_SKIP() << "needs mount(2) for bind mounts";
  const ino_t kept = InodeOf(backup + "/a/keep.txt");

  const ProgramResult result = runJob(std::chrono::seconds(20));
  EXPECT_EQ(result.exitStatus, 1) << result.err;
  EXPECT_EQ(failureLines(), (Lines{LoopLine(backup + "/a/loop"), LoopLine(backup + "/a/same"),
                                   LoopLine(backup + "/a/up")}));
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
  for (const char* name : {"/whole-master", "/d"}) MakeFolder(backup + name);
  const BindMount whole(master, backup + "/whole-master");
  const BindMount other(master + "/e", backup + "/d");
  if (!whole.mounted() || !other.mounted()) GTEST_SKIP() << "needs mount(2) for bind mounts";

  const ProgramResult result = runJob(std::chrono::seconds(20));
  EXPECT_EQ(result.exitStatus, 1) << result.err;
  EXPECT_EQ(ReadText(master + "/d/f.txt"), "d");
  EXPECT_EQ(ReadText(master + "/e/only-e.txt"), "e");
  EXPECT_FALSE(std::filesystem::exists(master + "/e/f.txt")) << "written through the mount";
  const Lines failures = failureLines();
  EXPECT_NE(std::find(failures.begin(), failures.end(),
                      "Error : " + FailureText(backup + "/whole-master", EXDEV)),
            failures.end());
}

TEST_F(WalkEndTest, ATreeDeeperThanTheSoftLimitOfOpenFilesIsCopiedWhole) {
  constexpr int kDepth = 1100;
  // Only for speed: thousands of folders are made and removed at once in memory.
  (void)tmp.mountTmpfs("master", "16m");
  (void)tmp.mountTmpfs("backup", "16m");
  std::string below;
  for (int level = 0; level < kDepth; ++level) {
    below += "/d";
    MakeFolder(master + below);
  }
  WriteText(master + below + "/bottom.txt", "bottom");
  ProgramResult result;
  {
    const LowSoftLimit limit(1024);
    if (!limit.lowered() || limit.hard() <= kDepth + 64)
      GTEST_SKIP() << "needs a hard limit of open files above the depth";
    result = runJob(std::chrono::seconds(120));
  }
  EXPECT_EQ(result.exitStatus, 0) << result.err;
  EXPECT_EQ(failureLines(), Lines{});
  EXPECT_EQ(ReadText(backup + below + "/bottom.txt"), "bottom");
}

// The system reads a path only up to a NUL byte inside it, so every folder of a walk from
// "x" + NUL + "y" opens x again.
TEST(WalkOnARealTreeTest, AWalkFromAPathWithANulByteEnds) {
  const TempFolder tmp;
  for (const char* folder : {"x", "x/s1", "x/s2", "b"}) MakeFolder(tmp / folder);
  WriteText(tmp / "x/f.txt", "f");
  const std::string root = tmp / "x" + std::string("\0y", 2);
  const int status = platform::testing::RunInChild([&] {
    ::alarm(20);  // a walk without end is killed
    platform::LinuxFileSystem fs;
    platform::FakeFileSystem unused;
    platform::FakeTrash trash(unused);
    platform::FakeWindowSystem ui;
    platform::FakeSystemInfo sys;
    Engine engine{Services{fs, trash, ui, sys}};
    std::int64_t folders = 0;
    std::int64_t files = 0;
    (void)TreeSize(engine, root, -1, folders, files);
    return CopyTree(engine, root, tmp / "b") > 0 ? 0 : 1;
  });
  EXPECT_EQ(status, 0) << "killed (-1), or no loop met (1)";
}

}  // namespace
}  // namespace tolvan::testing
