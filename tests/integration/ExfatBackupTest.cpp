// Whole runs of the real program onto a backup on an exFAT volume, as on a USB drive:
// case-blind names, no permission bits, no links, times in 10 ms units.

#include "ProgramRunner.h"

namespace tolvan::testing {
namespace {

std::string CollisionError(const std::string& path) {
  return "Error : " + path + "(Code:17 File exists)";
}

// The backup on a small exFAT volume, as on a USB drive: an image file on a loop device mounted
// through FUSE (the kernel may have no exFAT driver; mount.exfat-fuse needs a block device).
class ExfatBackupTest : public ProgramTest {
 protected:
  void SetUp() override {
    MakeFolder(volumeRoot);
    const std::string whyNot = mountVolume();
    if (!whyNot.empty()) TOLVAN_CANNOT_RUN_HERE("no exFAT volume to test on: " + whyNot);
    MakeFolder(target);
  }
  std::string mountVolume() {
    const std::string image = tmp / "exfat.img";
    std::string out;
    // Root, /dev/fuse, losetup, mkfs.exfat and mount.exfat-fuse (scripts/setup.sh installs them).
    if (::geteuid() != 0 || ::access("/dev/fuse", R_OK | W_OK) != 0)
      return "attaching a loop device and mounting through FUSE need root and /dev/fuse";
    if (Shell("truncate -s 16M '" + image + "' && mkfs.exfat '" + image + "'", &out) != 0)
      return "cannot make the image: " + out;
    if (Shell("losetup --find --show '" + image + "'", &out) != 0) return "losetup: " + out;
    loopDevice = out;
    if (Shell("mount.exfat-fuse " + loopDevice + " '" + volumeRoot + "'", &out) != 0)
      return "mount.exfat-fuse: " + out;
    mounted = true;  // the daemon may still be settling when the command returns
    const auto shown = [&] { return Shell("mountpoint -q '" + volumeRoot + "'") == 0; };
    return WaitFor(shown, 5s) ? "" : "the volume is not shown";
  }
  // Unmounted and detached before the temporary folder goes, whatever the test did.
  void TearDown() override {
    if (mounted && Shell("umount '" + volumeRoot + "' || fusermount -u '" + volumeRoot + "'"))
      (void)::umount2(volumeRoot.c_str(), MNT_DETACH);  // gone once no longer busy
    if (!loopDevice.empty())  // the daemon may hold the device for a moment
      (void)WaitFor([&] { return Shell("losetup -d " + loopDevice) == 0; }, 5s);
  }
  // An unattended run of the Mirroring job onto the volume; its exit status.
  int mirrorToVolume(const Lines& extra = {}) {
    writeJob(target, extra);
    return run({"/X", "job.tvf"}).exitStatus;
  }

  const std::string volumeRoot = tmp / "usb", target = volumeRoot + "/Backup";
  std::string loopDevice;
  bool mounted = false;
};

// Two master names that differ in letter case only: whichever reached the backup first (in an
// earlier run, or listed first in the same run) keeps its copy, the other is refused with an
// error on every run.
TEST_F(ExfatBackupTest, NamesDifferingInCaseOnlyCollideAndTheFirstCopyIsKept) {
  for (const auto& [first, second] :
       {std::pair{"a.txt", "A.txt"}, std::pair{"A.txt", "a.txt"}, std::pair{"", ""}}) {
    SCOPED_TRACE(std::string(first) + " first");
    EmptyFolders({master, target});
    std::string kept = first, other = second;
    if (kept.empty()) {  // both on the first run
      for (const char* name : {"/a.txt", "/A.txt"}) MakeFile(master + name, name);
      EXPECT_EQ(mirrorToVolume(), 1);
      ASSERT_EQ(NamesIn(target).size(), 1U);
      kept = NamesIn(target)[0];
      other = kept == "a.txt" ? "A.txt" : "a.txt";
      EXPECT_EQ(actionLines(),
                (Lines{CollisionError(target + "/" + other), "New File : " + target + "/" + kept}));
    } else {
      MakeFile(master + "/" + kept, "the first");
      ASSERT_EQ(mirrorToVolume(), 0);
      MakeFile(master + "/" + other, "the second", kTime + 3600);
    }
    const std::string content = ReadText(master + "/" + kept);
    for (int run = 1; run <= 2; ++run) {
      EXPECT_EQ(mirrorToVolume(), 1) << "run " << run;
      EXPECT_EQ(actionLines(), Lines{CollisionError(target + "/" + other)}) << "run " << run;
      EXPECT_EQ(NamesIn(target), Lines{kept});
      EXPECT_EQ(ReadText(target + "/" + kept), content);
    }
  }
}

// Forty pairs of new names differing in case only, in a backup folder that exists: the copy
// workers never make both copies of a pair, though the volume's rename cannot refuse to
// replace (only the check before it keeps the first copy). Repeated for the workers to overlap.
TEST_F(ExfatBackupTest, EachPairOfNewNamesDifferingInCaseGivesOneCopyAndOneError) {
  constexpr int kPairs = 40;
  for (int attempt = 1; attempt <= 20; ++attempt) {
    SCOPED_TRACE("attempt " + std::to_string(attempt));
    EmptyFolders({master, target});
    for (int i = 1; i <= kPairs; ++i)
      for (const char* name : {"/G", "/g"})
        MakeFile(master + name + std::to_string(i) + ".txt", name);
    EXPECT_EQ(mirrorToVolume(), 1);
    const Lines kept = NamesIn(target);
    ASSERT_EQ(kept.size(), std::size_t{kPairs});
    Lines expected;
    for (const std::string& name : kept) {
      const std::string other = (name[0] == 'G' ? "g" : "G") + name.substr(1);
      expected.push_back("New File : " + target + "/" + name);
      expected.push_back(CollisionError(target + "/" + other));
    }
    std::ranges::sort(expected);
    EXPECT_EQ(actionLines(), expected);
  }
}

// A backup entry whose name differs from the master's in letter case only: without MatchCase
// it is the copy; with MatchCase, turned on right after, it is replaced by a copy under the
// master's spelling, though the volume still answers that spelling from its cache for a while
// after the entry is removed. Only the link cannot be stored; bits the volume cannot hold are
// no error, and its coarser times are the same time on the second run.
TEST_F(ExfatBackupTest, MatchCaseRenamesTheBackupCopyAndWithoutItTheCopyIsKept) {
  MakeFile(target + "/README.TXT", "same");
  MakeFile(master + "/Readme.txt", "same");
  MakeFile(master + "/run.sh", "#!/bin/sh\n", kTime + 1, 0755, 999999999);
  MakeLink(master + "/link", "run.sh");
  const std::string linkError = "Error : " + target + "/link(Code:38 Function not implemented)";
  EXPECT_EQ(mirrorToVolume({"MatchCase=no"}), 1);
  EXPECT_EQ(actionLines(), (Lines{linkError, "New File : " + target + "/run.sh"}));
  EXPECT_EQ(NamesIn(target), (Lines{"README.TXT", "run.sh"}));
  EXPECT_EQ(mirrorToVolume({"MatchCase=yes", "TrashBox=yes"}), 1);
  EXPECT_EQ(actionLines(), (Lines{"Delete File : " + target + "/README.TXT", linkError,
                                  "New File : " + target + "/Readme.txt"}));
  EXPECT_EQ(NamesIn(target), (Lines{"Readme.txt", "run.sh"}));
}

// The volume gives each spelling of a name a number of its own, so only the spellings the
// folders store tell that two sides, or the program folder and the backup, are one tree.
TEST_F(ExfatBackupTest, SidesAndTheProgramFolderSpelledInAnotherCaseAreRefusedAsOneTree) {
  const std::string data = volumeRoot + "/data", spelledOtherwise = volumeRoot + "/DATA";
  const struct {
    std::string from, to;
    bool homeOnVolume;
    std::string message;
  } cases[] = {{data + "/sub", spelledOtherwise, false, kSame},  // the master inside the backup
               {spelledOtherwise, data + "/sub", false, kSame},  // the backup inside the master
               {data, spelledOtherwise, false, kSame},
               {master, spelledOtherwise, true, kProgramInside}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.from + " -> " + c.to);
    for (const auto& folder : {data, home}) stdfs::remove_all(folder);
    for (const char* file : {"/sub/one.txt", "/sub/two.txt", "/sub/deeper/three.txt"})
      MakeFile(data + file, file);
    MakeFile(master + "/m.txt", "master");
    // The runner's program folder, moved onto the volume by a link.
    MakeFolder(c.homeOnVolume ? data + "/home" : home);
    if (c.homeOnVolume) stdfs::create_directory_symlink(data + "/home", home);
    MakeFile(home + "/report.tvr", "earlier runs\r\n");
    const auto before = std::make_pair(Tree(data + "/sub"), Tree(master));
    writeJob(c.to, {"DriveA=" + c.from});
    const ProgramResult result = run({"--no-gui", "/X", "job.tvf"});
    EXPECT_EQ(result.exitStatus, 2) << result.err;
    EXPECT_TRUE(Contains(result.err + ReadText(home + "/Recent.tvr"), c.message)) << result.err;
    EXPECT_EQ(std::make_pair(Tree(data + "/sub"), Tree(master)), before);
    EXPECT_TRUE(Exists(home + "/report.tvr"));
  }
}

}  // namespace
}  // namespace tolvan::testing
