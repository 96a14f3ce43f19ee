// Exclusion patterns in the real program: what a Mirroring run leaves out of the master and
// leaves alone in the backup, in the simulation, the report and a second run; and a pattern
// that cannot be used refusing the run before anything is touched.
#include "ProgramRunner.h"

namespace tolvan::testing {
namespace {

class ExclusionProgramTest : public ProgramTest {
 protected:
  void makeTrees() {
    EmptyFolders({master, backup, home});
    for (const char* path :
         {"/keep.txt", "/x.tmp", "/keep.tmp", "/debug.log", "/node_modules/lib.js",
          "/sub/node_modules/a.js", "/photos/raw/img.raw", "/photos/jpg/a.jpg"})
      MakeFile(master + path, "m");
    for (const char* path :
         {"/old.tmp", "/stale.txt", "/gone/cache.tmp", "/gone/other.txt", "/node_modules/old.js"})
      MakeFile(backup + path, "b");
  }
};

const Lines kPatterns = {"Exclude=*.tmp", "Exclude=!keep.tmp", "Exclude=node_modules/",
                         "Exclude=/photos/raw"};
const Lines kExcludedNames = {"x.tmp", "node_modules", "raw", "old.tmp", "cache.tmp", "debug.log"};

TEST_F(ExclusionProgramTest, ExcludedMasterEntriesStayOutAndExcludedBackupEntriesStay) {
  for (const char* trashBox : {"TrashBox=no", "TrashBox=yes"}) {
    SCOPED_TRACE(trashBox);
    makeTrees();
    Lines job = kPatterns;
    job.push_back(trashBox);
    writeJob(backup, job);
    ASSERT_EQ(run({"--exclude", "*.log", "--simulate", "job.tvf"}).exitStatus, 0);
    const std::string listed = ReadText(home + "/simulate.csv");
    for (const auto& name : kExcludedNames) EXPECT_FALSE(Contains(listed, name)) << name;
    EXPECT_TRUE(Contains(listed, "stale.txt") && Contains(listed, "other.txt"));

    ASSERT_EQ(run({"--exclude", "*.log", "/X", "job.tvf"}).exitStatus, 0);
    Lines present;
    for (const auto& [path, what] : Tree(backup)) present.push_back(path);
    EXPECT_EQ(present, (Lines{"/gone", "/gone/cache.tmp", "/keep.tmp", "/keep.txt", "/node_modules",
                              "/node_modules/old.js", "/old.tmp", "/photos", "/photos/jpg",
                              "/photos/jpg/a.jpg", "/sub"}));
    for (const auto& line : actionLines())
      for (const auto& name : kExcludedNames) EXPECT_FALSE(Contains(line, name)) << line;

    ASSERT_EQ(run({"--exclude", "*.log", "/X", "job.tvf"}).exitStatus, 0);
    EXPECT_EQ(actionLines(), Lines{}) << "a second run has nothing to do";
  }
}

TEST_F(ExclusionProgramTest, APatternThatCannotBeUsedRefusesTheRunBeforeAnythingIsTouched) {
  makeTrees();
  writeJob(backup, kPatterns);
  const auto before = Tree(backup);
  const ProgramResult result = run({"--exclude", "a", "--exclude=[abc", "/X", "job.tvf"});
  EXPECT_EQ(result.exitStatus, 2);
  EXPECT_TRUE(AnyStartsWith(recentLines(),
                            "Error : Exclude=[abc(Bad Exclusion Pattern : line 6 "
                            "unclosed [)"));
  EXPECT_EQ(Tree(backup), before);
}

}  // namespace
}  // namespace tolvan::testing
