// A re-run of the real program over a generated tree after changes of every sort: the report
// and the backup it leaves are fixed, whatever way the walks gather what they decide on.
#include "ProgramRunner.h"

#include <ctime>
#include <random>

namespace tolvan::testing {
namespace {

// Four folders of three subfolders of ten files: d<i>/s<j>/f<k>.
void Generate(const std::string& root) {
  for (int i = 0; i < 4; ++i)
    for (int j = 0; j < 3; ++j)
      for (int k = 0; k < 10; ++k)
        MakeFile(
            root + "/d" + std::to_string(i) + "/s" + std::to_string(j) + "/f" + std::to_string(k),
            std::string(static_cast<std::size_t>(k * 7), 'x'));
}

bool IsRemovalLine(const std::string& line) {
  return line.starts_with("Delete File : ") || line.starts_with("Remove Directory: ");
}

class ReRunDifferentialTest : public ProgramTest {
 protected:
  // Every sort of difference a re-run meets, on both sides.
  void Change() {
    const std::string& m = master;
    MakeFile(m + "/d0/s0/f1", "changed content", 1700000000);  // newer
    MakeFile(m + "/d0/s0/f2", "older content", 1500000000);    // older: left alone
    stdfs::remove(m + "/d1/s1/f2");                            // deleted
    stdfs::remove_all(m + "/d2/s2");                           // folder deleted
    MakeFile(m + "/d3/new.txt", "added");                      // added
    MakeFile(m + "/d3/newdir/x", "x");                         // folder added
    stdfs::remove(m + "/d0/s1/f3");                            // file -> folder
    MakeFile(m + "/d0/s1/f3/inside", "inside");
    stdfs::remove_all(m + "/d1/s0");  // folder -> file
    MakeFile(m + "/d1/s0", "was a folder");
    stdfs::remove(m + "/d2/s0/f4");  // file -> link
    MakeLink(m + "/d2/s0/f4", "f5", 1650000000);
    MakeLink(m + "/d3/s0/link", "f0");                          // link added
    MakeFile(m + "/d1/s2/f6", "unreadable", 1700000000, 0000);  // an error
    ChangeBackup(backup);
  }
  void ChangeBackup(const std::string& b) {
    // Backup only: another letter case of a master name, and a killed copy's leftover.
    MakeFile(b + "/d0/s0/F0", "case twin");
    MakeFile(b + "/d0/.tolvan32-partial-0123456789abcdef", "left by a kill");
    // Links in the backup are removed as links, never followed out of it.
    MakeFile(outside + "/keep", "keep");
    MakeLink(b + "/d3/newdir", outside);  // where the master now has a folder
    MakeLink(b + "/d3/escape", outside + "/keep");
  }
  const std::string outside = tmp / "outside";
};

// The lines a first copy of `folder` gives, in the order the folder lists its entries.
void FirstCopyLines(const std::string& master, const std::string& backup,
                    const std::string& relative, const std::string& unreadable, Lines& lines) {
  for (const auto& entry : stdfs::directory_iterator(master + relative)) {  // readdir's order
    const std::string path = relative + "/" + entry.path().filename().string(), to = backup + path;
    const bool folder = stdfs::is_directory(entry.symlink_status());
    lines.push_back(folder               ? "Make Directory : " + to
                    : path == unreadable ? "Error : " + to + "(Code:13 Permission denied)"
                                         : "New File : " + to);
    if (folder) FirstCopyLines(master, backup, path, unreadable, lines);
  }
}

// A first copy, then a re-run after every sort of change, then one after none. Copies into new
// folders may be made side by side; their lines still follow the walk, and a folder gets its
// read-only bits only once everything is in it.
TEST_F(ReRunDifferentialTest, ReportAndBackupOfAFirstCopyAndOfReRunsAreFixed) {
  Generate(master);
  for (int k = 0; k < 40; ++k) MakeFile(master + "/d0/ro/r" + std::to_string(k), "r");
  MakeFile(master + "/d1/s1/unreadable", "secret", kTime, 0000);
  MakeFile(master + "/d2/big", std::string(std::size_t{2} << 20, 'b'));
  MakeLink(master + "/d3/s2/link", "f0");
  ASSERT_EQ(::chmod((master + "/d0/ro").c_str(), 0555), 0);
  const int first = mirrorAsNobody();
  if (first == 126) TOLVAN_CANNOT_RUN_HERE("cannot run as an unprivileged user here");
  EXPECT_EQ(first, 1) << "one error";
  Lines expected;
  FirstCopyLines(master, backup, "", "/d1/s1/unreadable", expected);
  EXPECT_EQ(actionLines(false), expected);
  auto wanted = Tree(master);
  wanted.erase("/d1/s1/unreadable");
  EXPECT_EQ(Tree(backup), wanted);

  Change();
  EXPECT_EQ(mirrorAsNobody(), 1);
  const std::string& b = backup;
  const Lines lines = actionLines(false);
  EXPECT_TRUE(std::ranges::is_partitioned(lines, IsRemovalLine)) << "a removal after a copy";
  // A new folder's line comes before the lines of what is copied into it.
  const auto at = [&](const std::string& line) {
    return std::find(lines.begin(), lines.end(), line) - lines.begin();
  };
  EXPECT_LT(at("Make Directory : " + b + "/d3/newdir"), at("New File : " + b + "/d3/newdir/x"));
  EXPECT_LT(at("Make Directory : " + b + "/d0/s1/f3"), at("New File : " + b + "/d0/s1/f3/inside"));

  EXPECT_EQ(
      actionLines(),
      (Lines{"Delete File : " + b + "/d0/.tolvan32-partial-0123456789abcdef",
             "Delete File : " + b + "/d0/s0/F0", "Delete File : " + b + "/d0/s1/f3",
             "Delete File : " + b + "/d1/s1/f2", "Delete File : " + b + "/d3/escape",
             "Delete File : " + b + "/d3/newdir",
             "Error : " + b + "/d1/s1/unreadable(Code:13 Permission denied)",
             "Error : " + b + "/d1/s2/f6(Code:13 Permission denied)",
             "Make Directory : " + b + "/d0/s1/f3", "Make Directory : " + b + "/d3/newdir",
             "New File : " + b + "/d0/s1/f3/inside", "New File : " + b + "/d1/s0",
             "New File : " + b + "/d3/new.txt", "New File : " + b + "/d3/newdir/x",
             "New File : " + b + "/d3/s0/link", "Remove Directory: " + b + "/d1/s0",
             "Remove Directory: " + b + "/d2/s2",
             "UpDate File : " + b + "/d0/s0/f1  2020/09/13 12:26:40 -> 2023/11/14 22:13:20",
             "UpDate File : " + b + "/d2/s0/f4  2020/09/13 12:26:40 -> 2022/04/15 05:20:00"}));

  // The backup is the master but for the files that could not be read and the newer copy of
  // a master file that went back in time.
  wanted = Tree(master);
  wanted.erase("/d1/s1/unreadable");
  wanted["/d1/s2/f6"] = "file '" + std::string(42, 'x') + "' mode 420 mtime 1600000000.0";
  wanted["/d0/s0/f2"] = "file '" + std::string(14, 'x') + "' mode 420 mtime 1600000000.0";
  EXPECT_EQ(Tree(backup), wanted);
  EXPECT_EQ(
      Tree(outside),
      (std::map<std::string, std::string>{{"/keep", "file 'keep' mode 420 mtime 1600000000.0"}}));

  // Nothing changed since: only the unreadable files again.
  EXPECT_EQ(mirrorAsNobody(), 1);
  EXPECT_EQ(actionLines(), (Lines{"Error : " + b + "/d1/s1/unreadable(Code:13 Permission denied)",
                                  "Error : " + b + "/d1/s2/f6(Code:13 Permission denied)"}));
}

// Runs onto a local folder mounted as a network share over loopback (sshd, sshfs), open to
// every user; skipped where FUSE, sshd or sshfs cannot start.
class ShareReRunTest : public ReRunDifferentialTest {
 protected:
  void SetUp() override {
    for (const std::string& folder : {exported, share}) stdfs::create_directories(folder);
    std::string output;
    const int status = Shell(
        script + "start '" + exported + "' '" + share + "' -o allow_other --delay-ms 0" + state,
        &output);
    if (status == 77) TOLVAN_CANNOT_RUN_HERE(output);
    ASSERT_EQ(status, 0) << output;
  }
  void TearDown() override { (void)Shell(script + "stop '" + share + "'" + state); }
  // The action lines of the last run with the backup folder's path taken out, sorted: copies
  // on a share finish in another order than on a local disk.
  [[nodiscard]] Lines linesOnto(const std::string& to) const {
    Lines lines = actionLines(false);
    for (std::string& line : lines)
      for (std::size_t at; (at = line.find(to)) != std::string::npos;)
        line.replace(at, to.size(), "<backup>");
    std::ranges::sort(lines);
    return lines;
  }

  TempFolder stateFolder;  // apart from the folders handed to "nobody"
  const std::string script = "bash " TOLVAN_SOURCE_DIR "/scripts/loopback-share.sh ",
                    state = " --state '" + stateFolder.path() + "/share'";
  const std::string exported = tmp / "exported", share = tmp / "share";
};

// The tree without the times of links: a share that sets a link's time on what it points to
// is not asked to.
std::map<std::string, std::string> TreeBesideLinkTimes(const std::string& root) {
  auto tree = Tree(root);
  for (auto& [path, description] : tree)
    if (description.starts_with("link")) description.erase(description.find(" mtime"));
  return tree;
}

// A share where every call is a round trip gets the same report lines and the same backup as
// a local folder: a first copy, then a re-run after every sort of change, with an unreadable
// file and a leftover of a killed copy.
TEST_F(ShareReRunTest, AShareGetsTheSameReportAndBackupAsALocalFolder) {
  Generate(master);
  MakeFile(master + "/d1/s1/unreadable", "secret", kTime, 0000);
  const auto runOnto = [&](const std::string& to) {
    writeJob(to);
    // Not the whole temporary folder: the share is not to be changed but by the run.
    for (const std::string& folder : {master, home, backup}) GiveToNobody(folder);
    (void)::lchown(tmp.path().c_str(), kNobody, kNobody);
    return std::pair{run({"/X", "job.tvf"}, {}, true).exitStatus, linesOnto(to)};
  };
  for (const bool changed : {false, true}) {
    SCOPED_TRACE(changed ? "re-run after changes" : "first copy");
    if (changed) {
      Change();
      ChangeBackup(share);
    }
    const auto local = runOnto(backup);
    if (local.first == 126) TOLVAN_CANNOT_RUN_HERE("cannot run as an unprivileged user here");
    EXPECT_EQ(local.first, 1) << "the unreadable files are errors";
    EXPECT_EQ(runOnto(share), local);
    EXPECT_EQ(TreeBesideLinkTimes(exported), TreeBesideLinkTimes(backup));
  }
  EXPECT_EQ(Tree(outside).size(), 1u) << "nothing written through the backup's links";
}

// The report's text of a link's own time (TZ is UTC for the program).
std::string LinkTimeText(const std::string& path) {
  const std::time_t time = StatOf(path).st_mtime;
  char text[32];
  (void)std::strftime(text, sizeof text, "%Y/%m/%d %H:%M:%S", std::gmtime(&time));
  return text;
}

// A copied link on the share keeps the time of its making: with UpDate=1 a second run copies
// no link again, and the line of a link whose text changed shows the time its copy has.
TEST_F(ShareReRunTest, LinksAreComparedByTheirTextAlone) {
  MakeLink(master + "/link", "first");
  writeJob(share, {"UpDate= 1 "});
  ASSERT_EQ(run({"/X", "job.tvf"}).exitStatus, 0);
  EXPECT_EQ(actionLines(false), Lines{"New File : " + share + "/link"});
  ASSERT_EQ(run({"/X", "job.tvf"}).exitStatus, 0);
  EXPECT_EQ(actionLines(false), Lines{});
  const std::string before = LinkTimeText(share + "/link");
  stdfs::remove(master + "/link");
  MakeLink(master + "/link", "second");
  ASSERT_EQ(run({"/X", "job.tvf"}).exitStatus, 0);
  EXPECT_EQ(actionLines(false), Lines{"UpDate File : " + share + "/link  " + before + " -> " +
                                      LinkTimeText(share + "/link")});
  EXPECT_EQ(stdfs::read_symlink(share + "/link"), "second");
}

// Killed at any moment of a first copy onto a share, a run leaves no partial copy behind
// once the next run is over, and that run makes the backup whole.
TEST_F(ShareReRunTest, AKilledFirstCopyOntoAShareIsMadeWholeByTheNextRun) {
  MakeFolders(master, 12, 40, std::string(3000, 'c'));
  writeJob(share, {"NomalMode=no"});  // no removal pass to take leftovers away by chance
  std::size_t made = 0;
  bool killed = false;
  // A kill that comes after the run ended checks nothing: again from an empty share, earlier.
  for (std::size_t killAt = 1 + std::random_device()() % 300; !killed && killAt > 0; killAt /= 4) {
    for (const auto& entry : stdfs::directory_iterator(exported)) stdfs::remove_all(entry);
    killed = run({"/X", "job.tvf"}, [&](pid_t pid, const std::string&) {
               (void)WaitFor(
                   [&] { return HasEnded(pid) || (made = Tree(exported).size()) >= killAt; }, 60s);
               ::kill(pid, SIGKILL);
             }).exitStatus == -1;
  }
  ASSERT_TRUE(killed) << "every run ended before its kill";
  SCOPED_TRACE("killed after " + std::to_string(made) + " entries");
  EXPECT_EQ(run({"/X", "job.tvf"}).exitStatus, 0);
  EXPECT_EQ(Tree(exported), Tree(master)) << "a partial copy is left, or a copy is missing";
}

}  // namespace
}  // namespace tolvan::testing
