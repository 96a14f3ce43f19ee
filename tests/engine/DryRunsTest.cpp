// The two dry runs on the in-memory fakes: the simulation list and the restore batch file
// line for line, the selection of kinds, a stop, and the failures of the list.
#include <gtest/gtest.h>

#include "engine/DryRuns.h"
#include "support/EngineFixture.h"

namespace tolvan::testing {
namespace {

const std::string kNow = "2023/11/14 22:13:20";
const std::string kHeading =
    "属性,FileName,DirFrom,TimeFrom,SizeFrom,AttrFrom,DirTo,TimeTo,SizeTo,AttrTo";

struct FixedDialog : SimulationDialog {
  void show(std::int16_t& dryRunMode, std::string& fileName) override {
    dryRunMode = kinds;
    fileName = "/app/simulate.csv";
  }
  std::int16_t kinds = 0;
};

class DryRunsTest : public PassFixture {
 protected:
  DryRunsTest() {
    addPair("newer.txt", kT, kT - 3600, "12345", "123");
    fs.addFile("/m/new,name.txt", "1", kT);
    fs.addFile("/b/gone.txt", "22", kT);
    // A dry run leaves even a killed copy's leftover in the backup.
    fs.addFile("/b/.tolvan32-partial-0123456789abcdef", "killed copy", kT);
  }
  SimulationOutcome simulate(std::int16_t kinds) {
    FixedDialog dialog;
    dialog.kinds = kinds;
    return SimulateRun(engine, "/m", "/b", dialog);
  }
  // The data lines of the list: the lines between the heading and the closing separator.
  Lines dataLines() {
    const Lines lines = linesOf("/app/simulate.csv");
    const auto heading = std::find(lines.begin(), lines.end(), kHeading);
    return heading == lines.end() ? Lines{}
                                  : Lines(heading + 1, std::find(heading, lines.end(), kSeparator));
  }
};

TEST_F(DryRunsTest, ListFileHoldsTheOpeningLinesEveryKindsFieldsAndTheClosingLines) {
  engine.job.NomalMode = -1;
  fs.addFile("/m/x\r\nforged", "1", kT);  // a line break must not split the list
  EXPECT_EQ(simulate(63).run.end, RunEnd::Finished);
  const Lines lines = linesOf("/app/simulate.csv");
  ASSERT_GT(lines.size(), 5u);
  EXPECT_EQ(Lines(lines.begin(), lines.begin() + 2),
            (Lines{"** File Mirroring Simulate **   Ver.1.00    job.tvf   Linux Ver.6.01",
                   "Mirroring from /m to /b on 2023/11/14"}));
  EXPECT_EQ(
      dataLines(),
      (Lines{// A comma in a name shifts the fields after it: the list has never quoted.
             " 4,new,name.txt,/m," + kNow + ",1,0,/b,,,",
             " 1,newer.txt,/m," + kNow + ",5,0,/b,2023/11/14 21:13:20,3,0",
             " 4,x??forged,/m," + kNow + ",1,0,/b,,,", " 6,gone.txt,/m,,,,/b," + kNow + ",2,0"}));
  EXPECT_EQ(Lines(lines.end() - 3, lines.end()), (Lines{"Finished Time : " + kNow, "", ""}));
  EXPECT_EQ(ui.openedDocuments, Lines{"/app/simulate.csv"});
  EXPECT_TRUE(fs.removed.empty() && fs.copied.empty() && !fs.exists("/app/report.tvr"))
      << "a simulation changes nothing";
  // Only the selected kinds are listed: in a mirror too, the removal pass runs for kind 6 only.
  (void)fs.removeEntry("/m/x\r\nforged");
  engine.job.Size = 1;
  addPair("older.txt", kT - 3600, kT, "o", "s");
  addPair("same.txt", kT, kT, "s", "s");
  addPair("size.txt", kT, kT, "longer", "short");
  const std::pair<std::int16_t, Lines> kindsAndNames[] = {{32, {"gone.txt"}},
                                                          {1 | 8, {"new,name.txt", "newer.txt"}},
                                                          {2, {"older.txt"}},
                                                          {4, {"size.txt"}},
                                                          {16, {"same.txt"}}};
  for (const auto& [kinds, expected] : kindsAndNames) {
    (void)simulate(kinds);
    Lines names;
    for (const auto& line : dataLines()) names.push_back(line.substr(3, line.find(",/m") - 3));
    EXPECT_EQ(names, expected) << "kinds " << kinds;
  }
}

TEST_F(DryRunsTest, BatchFileGetsFiveThreeOrOneLinesPerFileAndSkipsTemporaryFiles) {
  // Read-only (no owner write bit) and hidden (a dot name), with and without a backup copy.
  fs.addFile("/m/.sys", "new", kT, 0444);
  fs.addFile("/b/.sys", "old", kT - 3600);
  fs.addFile("/m/.boot", "new", kT, 0444);
  for (const char* path : {"/m/Work.TMP", "/m/a b.txt", "/m/same.txt", "/b/same.txt"})
    fs.addFile(path, "x", kT);
  EXPECT_EQ(MakeBatchFile(engine, "/m", "/b").end, RunEnd::Finished);
  const Lines lines = linesOf("/app/tlvdos.bat");
  ASSERT_GT(lines.size(), 5u);
  EXPECT_EQ(lines[0], "REM /m -> /b   23/11/14 22:13");
  EXPECT_EQ(
      Lines(lines.begin() + 5, lines.end()),
      (Lines{"attrib -r -h /m/.boot", "copy /m/.boot /b/.boot", "attrib +r +h /m/.boot",
             "attrib -r -h /m/.sys", "attrib -r -h /b/.sys", "copy /m/.sys /b/.sys",
             "attrib +r +h /m/.sys", "attrib +r +h /b/.sys", "copy \"/m/a b.txt\" \"/b/a b.txt\"",
             "copy /m/new,name.txt /b/new,name.txt", "copy /m/newer.txt /b/newer.txt"}));
  EXPECT_TRUE(fs.removed.empty() && fs.copied.empty());
}

TEST_F(DryRunsTest, BatchRunWithNothingToRestoreLeavesTheOldFilesAsTheyWere) {
  fs.addFile("/app/tlvdos.bat", "old batch\r\n", kT);
  fs.addFile("/m/gone.txt", "22", kT);
  fs.addFile("/b/new,name.txt", "1", kT);
  fs.addFile("/b/newer.txt", "12345", kT);
  (void)MakeBatchFile(engine, "/m", "/b");
  EXPECT_EQ(fs.contentOf("/app/tlvdos.bat"), "old batch\r\n");
  EXPECT_FALSE(fs.exists("/app/tlvdos.sh"));
}

}  // namespace
}  // namespace tolvan::testing
