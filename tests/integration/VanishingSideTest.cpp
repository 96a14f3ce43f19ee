// A side that goes away while a run is on (a volume unmounted, a backup folder exchanged for a
// link) costs no backup entry and touches nothing outside the job: the real program on real
// loop-mounted volumes and real trees.
#include <poll.h>
#include <sys/inotify.h>

#include <atomic>

#include "ProgramRunner.h"
#include "platform/UniqueFd.h"

namespace tolvan::testing {
namespace {

using platform::UniqueFd;

constexpr int kFolders = 100;
constexpr int kFiles = 8;  // per folder, on both sides
constexpr long kNow = 1700000000;

// The files named f<n> below `root`, as the trees below have them.
long FilesKept(const std::string& root) {
  return std::ranges::count_if(stdfs::recursive_directory_iterator(root), [](auto& entry) {
    return entry.path().filename().string().starts_with("f");
  });
}

// When the run reached the watched moment, seen from the test: while it still ran, only after
// it had ended (the test was not scheduled in time), or never.
enum class Moment { WhileRunning, AfterTheEnd, Never };

// Waits for an event in any watched folder while `pid` runs.
Moment AwaitEvent(int inotifyFd, pid_t pid) {
  pollfd poller{inotifyFd, POLLIN, 0};
  while (!HasEnded(pid))
    if (::poll(&poller, 1, 5) > 0) return Moment::WhileRunning;
  return ::poll(&poller, 1, 0) > 0 ? Moment::AfterTheEnd : Moment::Never;
}

// Watches `root`/d<n> for `mask`: the run's walk reaching those folders marks the moment.
UniqueFd WatchFolders(const std::string& root, std::uint32_t mask) {
  UniqueFd events(::inotify_init1(IN_CLOEXEC | IN_NONBLOCK));
  for (int folder = 0; folder < kFolders; ++folder)
    (void)::inotify_add_watch(events.get(), (root + "/d" + std::to_string(folder)).c_str(), mask);
  return events;
}

// The backup's files, and one in every folder that the master lacks; the master one that the
// backup lacks, and the backup's files the same or, when `newer`, newer.
void MakeTrees(const std::string& from, const std::string& to, bool newer = false) {
  for (int folder = 0; folder < kFolders; ++folder) {
    const std::string name = "/d" + std::to_string(folder);
    for (int file = 0; file < kFiles; ++file) {
      const std::string leaf = name + "/f" + std::to_string(file);
      MakeFile(to + leaf, "backup copy\n", kNow);
      MakeFile(from + leaf, newer ? "new on the master\n" : "backup copy\n",
               newer ? 1800000000 : kNow);
    }
    MakeFile(to + name + "/backup-only", "gone from the master\n", kNow);
    MakeFile(from + name + "/new", "new on the master\n", kNow);
  }
}

struct Vanishing {
  const char* name;
  bool backupVanishes;   // else the master does
  std::uint32_t moment;  // the events of the room check's, the removal's or the copy's walk
  bool trashBox;
};

class VanishingSideTest : public ProgramTest, public ::testing::WithParamInterface<Vanishing> {};

// The run holds both sides from its start: a lazily unmounted volume (a desktop's "eject" of a
// busy volume) is still read or written through what it holds, so nothing is taken for
// missing; the run notices that the side is gone from its path, stops, and says why.
TEST_P(VanishingSideTest, NoBackupEntryIsLostAndTheReportSaysWhy) {
  const Vanishing& row = GetParam();
  const std::string image = tmp / "volume.img", volume = tmp / "volume";
  const auto mount = [&] { return Shell("mount -o loop '" + image + "' '" + volume + "'") == 0; };
  stdfs::create_directory(volume);
  if (::geteuid() != 0) TOLVAN_CANNOT_RUN_HERE("mounting a loop device needs root");
  if (Shell("truncate -s 64M '" + image + "' && mkfs.ext4 -q -F '" + image + "'") != 0 || !mount())
    TOLVAN_CANNOT_RUN_HERE("cannot make and mount an ext4 loop volume here");
  const std::string from = row.backupVanishes ? master : volume + "/master";
  const std::string to = row.backupVanishes ? volume + "/backup" : backup;
  MakeTrees(from, to);
  writeJob(to, {"DriveA=" + from, std::string("TrashBox=") + (row.trashBox ? "yes" : "no")});
  const UniqueFd events = WatchFolders(row.moment == IN_OPEN ? from : to, row.moment);
  Moment moment = Moment::Never;
  const auto result = run({"--no-gui", "/X", "job.tvf"}, [&](pid_t pid, const std::string&) {
    moment = AwaitEvent(events.get(), pid);
    if (moment == Moment::WhileRunning) {
      ASSERT_EQ(::umount2(volume.c_str(), MNT_DETACH), 0);
    }
  });
  if (moment != Moment::WhileRunning) {
    (void)::umount2(volume.c_str(), MNT_DETACH);
    ASSERT_NE(moment, Moment::Never) << "the run never came to the moment\n" << result.err;
    GTEST_SKIP() << "the run ended before the test saw the moment (a starved test process)";
  }
  EXPECT_EQ(result.exitStatus, 2) << result.err;
  const std::string why = row.backupVanishes ? "The backup " : "The master ";
  EXPECT_TRUE(Contains(ReadText(home + "/Recent.tvr"), why + "folder is no longer at its path"))
      << ReadText(home + "/Recent.tvr");
  EXPECT_TRUE(platform::testing::NamesIn(volume).empty()) << "written to the bare mount point";
  // A vanished backup is mounted again once the run lets go of the volume.
  ASSERT_TRUE(!row.backupVanishes || WaitFor(mount, 10s)) << "the volume is still held";
  EXPECT_EQ(FilesKept(to), kFolders * kFiles);
  if (row.backupVanishes) (void)::umount2(volume.c_str(), MNT_DETACH);
}

INSTANTIATE_TEST_SUITE_P(
    Moments, VanishingSideTest,
    ::testing::Values(Vanishing{"MasterDuringTheRoomCheck", false, IN_OPEN, false},
                      Vanishing{"MasterDuringTheRemovalPass", false, IN_DELETE, false},
                      Vanishing{"MasterDuringTheRemovalPassToTheTrash", false, IN_MOVED_FROM, true},
                      Vanishing{"MasterDuringTheCopyPass", false, IN_CREATE, false},
                      Vanishing{"BackupDuringTheRemovalPass", true, IN_DELETE, false},
                      Vanishing{"BackupDuringTheCopyPassToTheTrash", true, IN_CREATE, true}),
    [](const ::testing::TestParamInfo<Vanishing>& row) { return std::string(row.param.name); });

// The backup folder exchanged again and again with a link to a folder outside the job (anyone
// who may write the backup's parent can do it), from the run's first change in the backup to
// its end: every removal, move to the trash and copy stays in the folder the run started with.
TEST_F(ProgramTest, NothingOutsideAnExchangedBackupIsRemovedTrashedOrOverwritten) {
  const std::string outside = tmp / "outside", evil = tmp / "backup-evil";
  MakeTrees(tmp / "unused", outside);
  const long outsideFiles = FilesKept(outside);
  ASSERT_EQ(::symlink(outside.c_str(), evil.c_str()), 0);
  const auto exchange = [&] {
    (void)::renameat2(AT_FDCWD, backup.c_str(), AT_FDCWD, evil.c_str(), RENAME_EXCHANGE);
  };
  for (const char* trashBox : {"no", "yes"}) {
    writeJob(backup, {std::string("TrashBox=") + trashBox});
    const auto until = std::chrono::steady_clock::now() + 1500ms;
    int exchanged = 0;  // runs that met the exchanges
    for (int attempt = 0;
         attempt < 30 && (exchanged == 0 || std::chrono::steady_clock::now() < until); ++attempt) {
      for (const auto& side : {backup, master}) stdfs::remove_all(side);
      // Half the backup's folders go whole; in the other half every file is replaced.
      MakeTrees(master, backup, true);
      for (int folder = 1; folder < kFolders; folder += 2)
        stdfs::remove_all(master + "/d" + std::to_string(folder));
      const UniqueFd events =
          WatchFolders(backup, IN_DELETE | IN_MOVED_FROM | IN_CREATE | IN_MOVED_TO | IN_MOVE_SELF);
      std::atomic<bool> ended{false};
      (void)run({"--no-gui", "/X", "job.tvf"}, [&](pid_t pid, const std::string&) {
        if (AwaitEvent(events.get(), pid) != Moment::WhileRunning) return;
        ++exchanged;
        std::thread exchanger([&] {
          while (!ended.load()) exchange();
        });
        (void)WaitFor([pid] { return HasEnded(pid); }, 600s);
        ended = true;
        exchanger.join();
      });
      if (S_ISLNK(StatOf(backup).st_mode)) exchange();
      ASSERT_EQ(FilesKept(outside), outsideFiles) << "trash " << trashBox << ", try " << attempt;
      for (const auto& file : stdfs::recursive_directory_iterator(outside))
        ASSERT_NE(ReadText(file.path()), "new on the master\n") << file.path();
    }
    EXPECT_GT(exchanged, 0) << "no run met an exchange: nothing was tried";
  }
}

}  // namespace
}  // namespace tolvan::testing
