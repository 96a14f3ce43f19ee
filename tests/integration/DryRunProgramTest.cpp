// The dry runs of the real program on real trees: the simulation lists exactly what a real
// run then does, the batch file's shell twin restores what it lists, and neither dry run
// changes a tree or the report.
#include <set>

#include "ProgramRunner.h"

namespace tolvan::testing {
namespace {

using Paths = std::set<std::string>;

// The path of every line the run wrote of the given kinds ("New File : ", ...), its text up to
// the two blanks that begin the dates or sizes.
Paths ReportedPaths(const Lines& actions, std::initializer_list<const char*> prefixes) {
  Paths paths;
  for (const auto& line : actions)
    for (const std::string prefix : prefixes)
      if (line.starts_with(prefix))
        paths.insert(line.substr(prefix.size(), line.find("  ") - prefix.size()));
  return paths;
}

class DryRunProgramTest : public ProgramTest {
 protected:
  // One file of every kind, the 48-second window from both sides, a link, a folder only on
  // each side, and the old recycle folders that no run touches.
  void makeEveryCase() {
    const struct {
      std::string path, onMaster, onBackup;  // empty: none on that side
      long backupTime = kTime, masterTime = kTime;
    } files[] = {{"/newer.txt", "new", "old", kTime - 100},
                 {"/older.txt", "old", "new", kTime, kTime - 100},
                 {"/size.txt", "aaaa", "bb"},
                 {"/same.txt", "s", "s"},
                 {"/in-window.txt", "w", "w", kTime - 48},
                 {"/out-of-window.txt", "w", "w", kTime - 49},
                 {"/new.txt", "n", ""},
                 {"/sub/deep.txt", "d", ""},
                 {"/RECYCLER/x.txt", "x", ""},
                 {"/only.txt", "", "o"},
                 {"/only-folder/f.txt", "", "f"},
                 {"/Recycled/y.txt", "", "y"}};
    for (const auto& f : files) {
      if (!f.onMaster.empty()) MakeFile(master + f.path, f.onMaster, f.masterTime);
      if (!f.onBackup.empty()) MakeFile(backup + f.path, f.onBackup, f.backupTime);
    }
    MakeLink(master + "/link", "same.txt");
  }

  // The backup paths the list names, by kind number.
  std::map<int, Paths> listed() const {
    std::map<int, Paths> byKind;
    const Lines lines = FileLines(home + "/simulate.csv");
    auto line =
        std::find(lines.begin(), lines.end(),
                  "属性,FileName,DirFrom,TimeFrom,SizeFrom,AttrFrom,DirTo,TimeTo,SizeTo,AttrTo");
    for (++line; line < lines.end() && *line != std::string(63, '-'); ++line) {
      Lines fields;
      std::istringstream in(*line);
      for (std::string field; std::getline(in, field, ',');) fields.push_back(field);
      if (fields.size() >= 7) byKind[std::stoi(fields[0])].insert(fields[6] + "/" + fields[1]);
    }
    return byKind;
  }
};

TEST_F(DryRunProgramTest, SimulationListsExactlyWhatTheRealRunCopiesAndRemoves) {
  const struct {
    Lines options;
    std::set<int> copiedKinds;
  } cases[] = {{{"UpDate= 1 ", "Size=yes"}, {1, 2, 3, 4}}, {{"UpDate= 0 ", "Size=no"}, {1, 4}}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.options[0]);
    EmptyFolders({master, backup, home});  // each case on trees of its own
    makeEveryCase();
    writeJob(backup, c.options);
    const auto before = std::make_pair(Tree(master), Tree(backup));
    const ProgramResult simulation = run({"--simulate", "job.tvf"});
    ASSERT_EQ(simulation.exitStatus, 0) << simulation.err;
    EXPECT_EQ(simulation.out, home + "/simulate.csv\n");
    EXPECT_EQ(std::make_pair(Tree(master), Tree(backup)), before);
    EXPECT_FALSE(Exists(home + "/report.tvr") || Exists(home + "/Recent.tvr"));
    auto predicted = listed();
    ASSERT_LE(run({"/X", "job.tvf"}).exitStatus, 1);
    const Lines actions = actionLines();
    Paths expectedCopies;
    for (const int kind : c.copiedKinds) expectedCopies.merge(Paths(predicted[kind]));
    EXPECT_EQ(ReportedPaths(actions, {"New File : ", "UpDate File : ", "All Files : ", "Size : "}),
              expectedCopies);
    EXPECT_EQ(ReportedPaths(actions, {"Delete File : ", "Remove Directory: "}), predicted[6]);
    EXPECT_EQ(predicted[5], (Paths{backup + "/same.txt", backup + "/in-window.txt"}));
    EXPECT_TRUE(Exists(backup + "/Recycled/y.txt"));
  }
}

TEST_F(DryRunProgramTest, ShellTwinOfTheBatchFileRestoresHostileNamesAndNothingElse) {
  for (const std::string name : {"a b.txt", "it's.txt", "$HOME.txt", "`id`.txt", "-rf.txt",
                                 "line\nbreak.txt", "semi;colon&.txt", "read-only.txt"})
    MakeFile(master + "/" + name, "master " + name, kTime, name == "read-only.txt" ? 0444 : 0644);
  MakeFile(backup + "/a b.txt", "old", kTime - 1000);
  MakeFile(backup + "/read-only.txt", "old", kTime - 1000, 0444);
  for (const auto& side : {master, backup}) MakeFile(side + "/same.txt", "same");
  MakeFile(backup + "/backup-only.txt", "kept");
  writeJob(backup);
  const auto masterBefore = Tree(master), backupBefore = Tree(backup);
  const ProgramResult made = run({"--make-bat", "job.tvf"});
  ASSERT_EQ(made.exitStatus, 0) << made.err;
  EXPECT_EQ(Tree(backup), backupBefore) << "making the batch file changes nothing";
  EXPECT_FALSE(Exists(home + "/report.tvr"));
  ASSERT_TRUE(Exists(home + "/tlvdos.bat") && Exists(home + "/tlvdos.sh"));
  ASSERT_EQ(Shell("cd / && sh '" + home + "/tlvdos.sh'"), 0);
  auto expected = masterBefore;
  expected["/backup-only.txt"] = backupBefore.at("/backup-only.txt");
  EXPECT_EQ(Tree(backup), expected);
  EXPECT_EQ(Tree(master), masterBefore);
}

TEST_F(DryRunProgramTest, InterruptedSimulationEndsItsListAndSkipsTheRemovalPass) {
  MakeFile(backup + "/backup-only.txt", "b");
  writeJob(backup);
  const std::string list = home + "/simulate.csv";
  // The signal is sent as soon as the list exists; a simulation that may have ended before it
  // came is run again on a larger tree, so a stop that is not heard fails every try.
  ProgramResult result;
  Lines lines;
  for (int folders = 16; folders <= 64; folders *= 2) {
    MakeFolders(master, folders, 1500, "");
    result = run({"--simulate", "job.tvf"}, [&](pid_t pid, const std::string&) {
      (void)WaitFor([&] { return Exists(list); }, 10s);
      kill(pid, SIGINT);
    });
    lines = FileLines(list);
    ASSERT_GE(lines.size(), 3U) << result.err;
    if (!lines[lines.size() - 3].starts_with("Finished Time : ")) break;
  }
  EXPECT_EQ(result.exitStatus, 3) << result.err;
  EXPECT_TRUE(lines[lines.size() - 3].starts_with("Stopped in the working : "));
  EXPECT_EQ(listed().count(6), 0U) << "the removal pass must not run after a stop";
}

}  // namespace
}  // namespace tolvan::testing
