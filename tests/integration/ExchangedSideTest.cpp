// A side exchanged after the run checked it and before its first change (here while it waits
// for another instance's report lock): the real program on real trees stops on the folders it
// checked, and nothing outside the job, nor the master, is removed, trashed or written.
#include "ProgramRunner.h"
#include "platform/LinuxFileSystem.h"

namespace tolvan::testing {
namespace {

struct Exchange {
  const char* name;
  bool master;         // the master's path is exchanged, else the backup's
  const char* target;  // below the temporary folder: what the exchanged path then leads to
  bool trashBox;
};

class ExchangedSideTest : public ProgramTest, public ::testing::WithParamInterface<Exchange> {};

TEST_P(ExchangedSideTest, TheRunStopsOnTheFoldersItChecked) {
  const Exchange& row = GetParam();
  // D/P/master and D/backup, as a user might keep them; the outside folder has files of its own.
  const std::string from = tmp / "D/P/master", to = tmp / "D/backup";
  const std::string outside = tmp / "D/outside", empty = tmp / "D/empty";
  MakeFile(from + "/kept/a", "master\n");
  MakeFile(to + "/gone/b", "backup only\n");
  for (int i = 0; i < 50; ++i) MakeFile(outside + "/f" + std::to_string(i), "outside\n");
  stdfs::create_directories(empty);
  writeJob(to, {"DriveA=" + from, std::string("TrashBox=") + (row.trashBox ? "yes" : "no")});
  const auto before = Tree(tmp / "D");
  // Another instance's run holds the report files.
  platform::LinuxFileSystem fs;
  int error = 0;
  auto lock = fs.openLocked(home + "/Recent.tvr", platform::OpenMode::Append, error);
  ASSERT_NE(lock, nullptr) << error;
  const std::string side = row.master ? from : to, link = tmp / "D/link";
  ASSERT_EQ(::symlink((tmp / row.target).c_str(), link.c_str()), 0);
  bool exchanged = false;
  const auto result = run({"--no-gui", "/X", "job.tvf"}, [&](pid_t pid, const std::string& err) {
    const bool waiting = WaitFor(
        [&] { return HasEnded(pid) || Contains(ReadText(tmp / "out") + ReadText(err), "Waiting"); },
        60s);
    exchanged = waiting && !HasEnded(pid) &&
                ::renameat2(AT_FDCWD, side.c_str(), AT_FDCWD, link.c_str(), RENAME_EXCHANGE) == 0;
    lock.reset();
    KillAfter(120s)(pid, err);
  });
  ASSERT_TRUE(exchanged) << "the run never waited for the report lock: " << result.out;
  EXPECT_EQ(result.exitStatus, 2) << result.out << result.err;
  ASSERT_EQ(::renameat2(AT_FDCWD, side.c_str(), AT_FDCWD, link.c_str(), RENAME_EXCHANGE), 0);
  ASSERT_EQ(::unlink(link.c_str()), 0);
  EXPECT_EQ(Tree(tmp / "D"), before) << ReadText(home + "/Recent.tvr");
  EXPECT_FALSE(stdfs::exists(tmp / "Trash/files")) << "something was trashed";
}

INSTANTIATE_TEST_SUITE_P(
    Sides, ExchangedSideTest,
    ::testing::Values(Exchange{"BackupForTheMastersParent", false, "D/P", false},
                      Exchange{"BackupForTheMastersParentWithTrash", false, "D/P", true},
                      Exchange{"BackupForAnOutsideFolder", false, "D/outside", false},
                      Exchange{"BackupForAnOutsideFolderWithTrash", false, "D/outside", true},
                      Exchange{"MasterForAnEmptyFolder", true, "D/empty", false},
                      Exchange{"MasterForAnEmptyFolderWithTrash", true, "D/empty", true}),
    [](const ::testing::TestParamInfo<Exchange>& row) { return std::string(row.param.name); });

}  // namespace
}  // namespace tolvan::testing
