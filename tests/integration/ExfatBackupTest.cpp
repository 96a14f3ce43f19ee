// Whole runs of the real program onto a backup on an exFAT volume, as on a USB drive:
// case-blind names, no permission bits, no links, times in 10 ms units.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <optional>
#include <utility>

#include "ExfatVolume.h"
#include "ProgramRunner.h"

namespace tolvan::testing {
namespace {

using platform::testing::NamesIn;
using platform::testing::SetTimes;
using Lines = std::vector<std::string>;

constexpr long kTime = 1600000000;

void MakeFile(const std::string& path, const std::string& content, long mtime = kTime,
              long nanoseconds = 0, mode_t mode = 0644) {
  WriteText(path, content, mode);
  SetTimes(path, mtime, nanoseconds);
}

void MakeFolder(const std::string& path, mode_t mode = 0755) {
  ASSERT_EQ(::mkdir(path.c_str(), 0700), 0) << path;
  ASSERT_EQ(::chmod(path.c_str(), mode), 0) << path;
}

std::string CollisionError(const std::string& path) {
  return "Error : " + path + "(Code:17 File exists)";
}

class ExfatBackupTest : public ProgramTest {
 protected:
  void SetUp() override {
    ::mkdir(volumeRoot.c_str(), 0755);
    volume_.emplace(tmp / "exfat.img", volumeRoot);
    if (!volume_->ready()) GTEST_SKIP() << "no exFAT volume to test on: " << volume_->whyNot();
    MakeFolder(target);
  }

  // An unattended run of the Mirroring job onto the volume; its exit status.
  int mirror(const std::vector<std::string>& extra = {}) {
    writeJob(target, extra);
    return run({"/X", "job.tvf"}).exitStatus;
  }

  const std::string volumeRoot = tmp / "usb";
  const std::string target = volumeRoot + "/Backup";

 private:
  std::optional<ExfatVolume> volume_;  // unmounted before the temporary folder goes
};

TEST_F(ExfatBackupTest, AMirrorStoresWhatTheVolumeCanAndASecondRunHasNothingToDo) {
  MakeFile(master + "/a.txt", "alpha", kTime, 123456789);
  MakeFile(master + "/odd.txt", "odd second", kTime + 1, 999999999, 0600);
  MakeFile(master + "/run.sh", "#!/bin/sh\n", kTime, 0, 0755);
  MakeFile(master + "/ro.txt", "read only", kTime, 0, 0444);
  MakeFolder(master + "/dir", 0750);
  MakeFile(master + "/dir/deep.bin", std::string(100000, '\x7f'), kTime - 86400, 0, 0600);
  MakeFolder(master + "/empty", 0700);
  ASSERT_EQ(::symlink("a.txt", (master + "/link").c_str()), 0);
  const std::string linkError = "Error : " + target + "/link(Code:38 Function not implemented)";

  // Only the link cannot be stored; bits the volume cannot hold are no error.
  EXPECT_EQ(mirror(), 1);
  EXPECT_EQ(actionLines(),
            (Lines{linkError, "Make Directory : " + target + "/dir",
                   "Make Directory : " + target + "/empty", "New File : " + target + "/a.txt",
                   "New File : " + target + "/dir/deep.bin", "New File : " + target + "/odd.txt",
                   "New File : " + target + "/ro.txt", "New File : " + target + "/run.sh"}));
  EXPECT_EQ(ReadText(target + "/dir/deep.bin"), std::string(100000, '\x7f'));
  EXPECT_EQ(NamesIn(target), (Lines{"a.txt", "dir", "empty", "odd.txt", "ro.txt", "run.sh"}));

  for (int again = 0; again < 2; ++again) {
    EXPECT_EQ(mirror(), 1);
    EXPECT_EQ(actionLines(), Lines{linkError}) << "the volume's coarser times are the same time";
  }
}

// A master holding two names that differ in letter case only: whichever reached the backup
// first keeps its copy, the other is refused with an error on every run.
TEST_F(ExfatBackupTest, NamesDifferingInCaseOnlyCollideAndTheFirstCopyIsKept) {
  for (const auto& [first, second] : {std::pair{"a.txt", "A.txt"}, std::pair{"A.txt", "a.txt"}}) {
    SCOPED_TRACE(std::string(first) + " first");
    std::filesystem::remove_all(master);
    std::filesystem::remove_all(target);
    MakeFolder(master);
    MakeFolder(target);
    MakeFile(master + "/" + first, "the first", kTime);
    ASSERT_EQ(mirror(), 0);
    MakeFile(master + "/" + second, "the second", kTime + 3600);
    for (int run = 1; run <= 2; ++run) {
      EXPECT_EQ(mirror(), 1) << "run " << run;
      EXPECT_EQ(actionLines(), Lines{CollisionError(target + "/" + second)}) << "run " << run;
      EXPECT_EQ(NamesIn(target), Lines{first});
      EXPECT_EQ(ReadText(target + "/" + first), "the first");
    }
  }
}

// Both names on the first run: the one listed first is copied, the other refused.
TEST_F(ExfatBackupTest, NamesDifferingInCaseOnlyOnTheFirstRunGiveOneCopyAndOneError) {
  MakeFile(master + "/a.txt", "lower", kTime);
  MakeFile(master + "/A.txt", "upper", kTime);
  EXPECT_EQ(mirror(), 1);
  const Lines names = NamesIn(target);
  ASSERT_EQ(names.size(), 1U);
  const std::string other = names[0] == "a.txt" ? "A.txt" : "a.txt";
  EXPECT_EQ(actionLines(),
            (Lines{CollisionError(target + "/" + other), "New File : " + target + "/" + names[0]}));
  EXPECT_EQ(ReadText(target + "/" + names[0]), ReadText(master + "/" + names[0]));
  EXPECT_EQ(mirror(), 1);
  EXPECT_EQ(actionLines(), Lines{CollisionError(target + "/" + other)});
}

// A backup entry whose name differs from the master's in letter case only.
TEST_F(ExfatBackupTest, MatchCaseRenamesTheBackupCopyAndWithoutItTheCopyIsKept) {
  for (const bool matchCase : {false, true}) {
    SCOPED_TRACE(matchCase ? "MatchCase on" : "MatchCase off");
    std::filesystem::remove_all(target);
    MakeFolder(target);
    std::filesystem::remove(master + "/Readme.txt");
    MakeFile(target + "/README.TXT", "same", kTime);
    MakeFile(master + "/Readme.txt", "same", kTime);
    EXPECT_EQ(mirror({matchCase ? "MatchCase=yes" : "MatchCase=no"}), 0);
    const Lines renamed{"Delete File : " + target + "/README.TXT",
                        "New File : " + target + "/Readme.txt"};
    EXPECT_EQ(actionLines(), matchCase ? renamed : Lines{});
    EXPECT_EQ(NamesIn(target), Lines{matchCase ? "Readme.txt" : "README.TXT"});
  }
}

// The volume has no sticky bits: its trash is .Trash-<uid> at its top.
TEST_F(ExfatBackupTest, TrashBoxKeepsTheReplacedAndTheRemovedCopiesInTheVolumesTrash) {
  MakeFile(master + "/kept.txt", "new content", kTime + 3600);
  MakeFile(target + "/kept.txt", "old content", kTime);
  MakeFolder(target + "/gone");
  MakeFile(target + "/gone/inside.txt", "only on the backup", kTime);
  EXPECT_EQ(mirror({"TrashBox=yes"}), 0);
  EXPECT_EQ(actionLines(), (Lines{"Remove Directory: " + target + "/gone",
                                  "UpDate File : " + target +
                                      "/kept.txt  2020/09/13 12:26:40 -> 2020/09/13 13:26:40"}));
  const std::string trash = volumeRoot + "/.Trash-" + std::to_string(::getuid());
  EXPECT_EQ(NamesIn(trash + "/files"), (Lines{"gone", "kept.txt"}));
  EXPECT_EQ(ReadText(trash + "/files/kept.txt"), "old content");
  EXPECT_EQ(ReadText(trash + "/files/gone/inside.txt"), "only on the backup");
  EXPECT_NE(ReadText(trash + "/info/gone.trashinfo").find("Path=Backup/gone\n"), std::string::npos);
  EXPECT_EQ(ReadText(target + "/kept.txt"), "new content");
  EXPECT_EQ(mirror({"TrashBox=yes"}), 0);
  EXPECT_EQ(actionLines(), Lines{});
}

// The volume gives each spelling of a name a number of its own, so only the spellings the
// folders store tell that two sides, or the program folder and the backup, are one tree.
TEST_F(ExfatBackupTest, SidesAndTheProgramFolderSpelledInAnotherCaseAreRefusedAsOneTree) {
  const std::string same =
      "指定したドライブまたはディレクトリが同じです。バックアップを中止します。";
  const std::string programInside =
      "プログラムのフォルダーがTo側に指定したフォルダーの中にあります。ミラーリングを中止します。";
  const std::string data = volumeRoot + "/data";
  const std::string spelledOtherwise = volumeRoot + "/DATA";
  const struct {
    std::string from, to;
    bool homeOnVolume;
    std::string message;
  } cases[] = {{data + "/sub", spelledOtherwise, false, same},  // the master inside the backup
               {spelledOtherwise, data + "/sub", false, same},  // the backup inside the master
               {data, spelledOtherwise, false, same},
               {master, spelledOtherwise, true, programInside}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.from + " -> " + c.to);
    std::filesystem::remove_all(data);
    std::filesystem::remove_all(home);
    MakeFolder(data);
    MakeFolder(data + "/sub");
    MakeFolder(data + "/sub/deeper");
    for (const char* file : {"/sub/one.txt", "/sub/two.txt", "/sub/deeper/three.txt"})
      MakeFile(data + file, file);
    MakeFile(master + "/m.txt", "master");
    // The runner's program folder, moved onto the volume by a link.
    if (c.homeOnVolume) {
      MakeFolder(data + "/home");
      std::filesystem::create_directory_symlink(data + "/home", home);
    } else {
      MakeFolder(home);
    }
    MakeFile(home + "/report.tvr", "earlier runs\r\n");
    const auto before = std::make_pair(Tree(data + "/sub"), Tree(master));
    writeJob(c.to, {"DriveA=" + c.from});
    const ProgramResult result = run({"--no-gui", "/X", "job.tvf"});
    EXPECT_EQ(result.exitStatus, 2) << result.err;
    EXPECT_NE((result.err + ReadText(home + "/Recent.tvr")).find(c.message), std::string::npos)
        << result.err;
    EXPECT_EQ(std::make_pair(Tree(data + "/sub"), Tree(master)), before);
    EXPECT_TRUE(Exists(home + "/report.tvr"));
  }
}

}  // namespace
}  // namespace tolvan::testing
