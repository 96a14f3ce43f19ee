// A side that goes away while a run is on (a volume unmounted, a backup folder exchanged for a
// link) costs no backup entry and touches nothing outside the job: the real program on real
// loop-mounted volumes and real trees.
#include <fcntl.h>
#include <poll.h>
#include <sys/inotify.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <thread>

#include "app_ProgramRunner.h"
#include "platform/UniqueFd.h"

namespace tolvan::testing {
namespace {

namespace stdfs = std::filesystem;
using platform::UniqueFd;
using platform::testing::SetTimes;

constexpr int kFolders = 60;
constexpr int kFilesPerFolder = 8;
constexpr long kSameTime = 1700000000;

void WriteFile(const std::string& path, const std::string& text) {
  stdfs::create_directories(stdfs::path(path).parent_path());
  WriteText(path, text);
}

int Shell(const std::string& command) {
  return std::system((command + " >/dev/null 2>&1").c_str());
}

// An ext4 volume in an image file, mounted through a loop device.
class LoopVolume {
 public:
  LoopVolume(std::string image, std::string point)
      : image_(std::move(image)), point_(std::move(point)) {
    stdfs::create_directories(point_);
    if (::geteuid() != 0) {
      whyNot_ = "mounting a loop device needs root";
    } else if (Shell("truncate -s 64M '" + image_ + "' && mkfs.ext4 -q -F '" + image_ + "'") != 0) {
      whyNot_ = "cannot make an ext4 image (mkfs.ext4)";
    } else if (!mount()) {
      whyNot_ = "cannot mount a loop device here";
    }
  }
  ~LoopVolume() { unmountLazily(); }
  LoopVolume(const LoopVolume&) = delete;
  LoopVolume& operator=(const LoopVolume&) = delete;

  [[nodiscard]] const std::string& whyNot() const { return whyNot_; }
  [[nodiscard]] bool mount() {
    mounted_ = Shell("mount -o loop '" + image_ + "' '" + point_ + "'") == 0;
    return mounted_;
  }
  // As a desktop does on "eject" of a busy volume: gone from its path at once, still there
  // for whoever holds it open.
  void unmountLazily() {
    if (mounted_) (void)::umount2(point_.c_str(), MNT_DETACH);
    mounted_ = false;
  }
  // Mounted again once the last holder of the lazily unmounted volume has let go.
  [[nodiscard]] bool remount() {
    for (int tries = 0; tries < 100; ++tries) {
      if (mount()) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return false;
  }

 private:
  std::string image_;
  std::string point_;
  bool mounted_ = false;
  std::string whyNot_;
};

// Whether the child has ended, without reaping it (the runner does that).
bool Ended(pid_t pid) {
  siginfo_t info{};
  return ::waitid(P_PID, static_cast<id_t>(pid), &info, WEXITED | WNOHANG | WNOWAIT) == 0 &&
         info.si_pid == pid;
}

// Waits for an event in any watched folder while `pid` runs; true when one came.
bool AwaitEvent(int inotifyFd, pid_t pid) {
  pollfd poller{inotifyFd, POLLIN, 0};
  while (!Ended(pid)) {
    if (::poll(&poller, 1, 5) > 0) return true;
  }
  return false;
}

std::vector<std::string> FilesBelow(const std::string& root) {
  std::vector<std::string> files;
  for (const auto& entry : stdfs::recursive_directory_iterator(root)) {
    if (entry.is_regular_file()) files.push_back(entry.path().lexically_relative(root).string());
  }
  std::sort(files.begin(), files.end());
  return files;
}

std::vector<std::string> Missing(const std::vector<std::string>& wanted, const std::string& root) {
  std::vector<std::string> missing;
  for (const auto& file : wanted) {
    if (!Exists(root + "/" + file)) missing.push_back(file);
  }
  return missing;
}

enum class Moment { RoomCheck, RemovalPass, CopyPass };

struct Vanishing {
  const char* name;
  bool backupVanishes;  // else the master does
  Moment moment;
  bool trashBox;
};

void PrintTo(const Vanishing& row, std::ostream* out) { *out << row.name; }

class VanishingSideTest : public ProgramTest, public ::testing::WithParamInterface<Vanishing> {
 protected:
  // Both trees hold the same files with the same times; the backup also holds one file the
  // master lacks in every folder, and the master one new file.
  void makeTrees(const std::string& from, const std::string& to) {
    for (int folder = 0; folder < kFolders; ++folder) {
      const std::string name = "/d" + std::to_string(1000 + folder);
      for (int file = 0; file < kFilesPerFolder; ++file) {
        const std::string leaf = name + "/f" + std::to_string(file) + ".txt";
        for (const std::string& side : {from, to}) {
          WriteFile(side + leaf, "content " + leaf + "\n");
          SetTimes(side + leaf, kSameTime, 0);
        }
      }
      WriteFile(to + name + "/backup-only.txt", "gone from the master\n");
      WriteFile(from + name + "/new.txt", "new on the master\n");
    }
  }

  // The folders whose events mark the moment.
  void watch(int inotifyFd, const std::string& from, const std::string& to, Moment moment) {
    const std::string& side = moment == Moment::RoomCheck ? from : to;
    const std::uint32_t mask = moment == Moment::RoomCheck     ? IN_OPEN
                               : moment == Moment::RemovalPass ? IN_DELETE | IN_MOVED_FROM
                                                               : IN_CREATE | IN_MOVED_TO;
    for (int folder = 0; folder < kFolders; ++folder) {
      const std::string path = side + "/d" + std::to_string(1000 + folder);
      ASSERT_GE(::inotify_add_watch(inotifyFd, path.c_str(), mask), 0) << path;
    }
  }
};

// The run holds both sides from its start: a lazily unmounted volume is still read (or
// written) through what it holds, so nothing is taken for missing; the run notices that the
// side is gone from its path, stops, and says why.
TEST_P(VanishingSideTest, NoBackupEntryIsLostAndTheReportSaysWhy) {
  const Vanishing& row = GetParam();
  const std::string volumePoint = tmp / "volume";
  LoopVolume volume(tmp / "volume.img", volumePoint);
  if (!volume.whyNot().empty()) GTEST_SKIP() << volume.whyNot();
  const std::string from = row.backupVanishes ? master : volumePoint + "/master";
  const std::string to = row.backupVanishes ? volumePoint + "/backup" : backup;
  makeTrees(from, to);
  std::vector<std::string> kept = FilesBelow(to);
  kept.erase(std::remove_if(kept.begin(), kept.end(),
                            [](const std::string& f) { return f.ends_with("backup-only.txt"); }),
             kept.end());
  writeJob(to, {"DriveA=" + from, std::string("TrashBox=") + (row.trashBox ? "yes" : "no")});
  ::sync();
  UniqueFd events(::inotify_init1(IN_CLOEXEC | IN_NONBLOCK));
  watch(events.get(), from, to, row.moment);
  bool unmounted = false;
  const ProgramResult result = run({"--no-gui", "/X", "job.tvf"}, [&](pid_t pid, const std::string&) {
    if (AwaitEvent(events.get(), pid)) {
      volume.unmountLazily();
      unmounted = true;
    }
  });
  ASSERT_TRUE(unmounted) << "the run ended before the moment came";
  EXPECT_EQ(result.exitStatus, 2) << result.err;
  const std::string side = row.backupVanishes ? "backup" : "master";
  const auto lines = recentLines();
  EXPECT_TRUE(std::any_of(lines.begin(), lines.end(), [&](const std::string& line) {
    return line.starts_with("Error : ") &&
           line.find("The " + side + " folder is no longer at its path") != std::string::npos;
  })) << ReadText(home + "/Recent.tvr");
  // Nothing went to the bare mount point folder, which is a folder of another disk.
  EXPECT_TRUE(platform::testing::NamesIn(volumePoint).empty());
  if (row.backupVanishes) {
    ASSERT_TRUE(volume.remount());
  }
  EXPECT_EQ(Missing(kept, to), std::vector<std::string>{});
}

INSTANTIATE_TEST_SUITE_P(
    Moments, VanishingSideTest,
    ::testing::Values(Vanishing{"MasterDuringTheRoomCheck", false, Moment::RoomCheck, false},
                      Vanishing{"MasterDuringTheRemovalPass", false, Moment::RemovalPass, false},
                      Vanishing{"MasterDuringTheRemovalPassToTheTrash", false,
                                Moment::RemovalPass, true},
                      Vanishing{"MasterDuringTheCopyPass", false, Moment::CopyPass, false},
                      Vanishing{"BackupDuringTheRemovalPass", true, Moment::RemovalPass, false},
                      Vanishing{"BackupDuringTheCopyPassToTheTrash", true, Moment::CopyPass,
                                true}),
    [](const ::testing::TestParamInfo<Vanishing>& row) { return std::string(row.param.name); });

// A backup folder exchanged, again and again during the run, with a link to a folder outside
// the job (anyone who may write the backup's parent can do it): every removal, move to the
// trash and copy stays in the folder the run started with.
class ExchangedBackupTest : public ProgramTest {
 protected:
  static constexpr int kExchangedFolders = 12;
  static constexpr int kExchangedFiles = 60;

  const std::string outside = tmp / "outside";
  const std::string evil = tmp / "backup-evil";

  // `copies`: the master holds every backup file, newer; else the backup's files are all
  // backup-only.
  void makeTrees(bool copies) {
    stdfs::remove_all(backup);
    stdfs::create_directories(master + "/keep");
    WriteFile(master + "/keep/a", "a\n");
    for (int folder = 0; folder < kExchangedFolders; ++folder) {
      for (int file = 0; file < kExchangedFiles; ++file) {
        const std::string leaf = "/d" + std::to_string(10 + folder) + "/f" + std::to_string(file);
        WriteFile(backup + leaf, "backup\n");
        SetTimes(backup + leaf, kSameTime, 0);
        if (copies) WriteFile(master + leaf, "master, newer\n");
        if (!Exists(outside + leaf)) WriteFile(outside + leaf, "outside\n");
      }
    }
  }

  [[nodiscard]] int outsideUntouched() const {
    int untouched = 0;
    for (const auto& file : FilesBelow(outside))
      untouched += ReadText(outside + "/" + file) == "outside\n" ? 1 : 0;
    return untouched;
  }

  // Runs the job while another thread exchanges the backup folder and the link, from the
  // run's first change in the backup to its end.
  void runWhileExchanging() {
    UniqueFd events(::inotify_init1(IN_CLOEXEC | IN_NONBLOCK));
    for (int folder = 0; folder < kExchangedFolders; ++folder) {
      const std::string path = backup + "/d" + std::to_string(10 + folder);
      ASSERT_GE(::inotify_add_watch(events.get(), path.c_str(),
                                    IN_DELETE | IN_CREATE | IN_MOVED_FROM | IN_MOVED_TO | IN_MOVE_SELF | IN_DELETE_SELF),
                0);
    }
    std::atomic<bool> stop{false};
    std::thread exchanger;
    (void)run({"--no-gui", "/X", "job.tvf"}, [&](pid_t pid, const std::string&) {
      if (!AwaitEvent(events.get(), pid)) return;
      exchanger = std::thread([&] {
        while (!stop.load()) {
          (void)::renameat2(AT_FDCWD, backup.c_str(), AT_FDCWD, evil.c_str(), RENAME_EXCHANGE);
          std::this_thread::sleep_for(std::chrono::microseconds(500));
        }
      });
      while (!Ended(pid)) std::this_thread::sleep_for(std::chrono::milliseconds(1));
      stop = true;
      exchanger.join();
    });
    struct stat st {};
    if (::lstat(backup.c_str(), &st) == 0 && S_ISLNK(st.st_mode))
      (void)::renameat2(AT_FDCWD, backup.c_str(), AT_FDCWD, evil.c_str(), RENAME_EXCHANGE);
  }
};

TEST_F(ExchangedBackupTest, NothingOutsideTheBackupIsRemovedTrashedOrOverwritten) {
  if (::symlink(outside.c_str(), evil.c_str()) != 0) GTEST_FAIL() << "cannot make the link";
  const int outsideFiles = kExchangedFolders * kExchangedFiles;
  struct Variant {
    const char* name;
    bool copies;
    const char* trashBox;
  };
  for (const Variant variant : {Variant{"removals", false, "no"},
                                Variant{"moves to the trash", false, "yes"},
                                Variant{"copies", true, "no"}}) {
    writeJob(backup, {std::string("TrashBox=") + variant.trashBox});
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(1500);
    for (int attempt = 0; attempt < 40 && std::chrono::steady_clock::now() < until; ++attempt) {
      makeTrees(variant.copies);
      runWhileExchanging();
      ASSERT_EQ(outsideUntouched(), outsideFiles) << variant.name << ", attempt " << attempt;
    }
  }
}

}  // namespace
}  // namespace tolvan::testing
