#include "ConditionsFixture.h"
#include "conditions/Tvf.h"
#include "conditions/TvfList.h"

namespace tolvan::testing {
namespace {

using Names = std::vector<std::string>;

class TvfListTest : public ConditionsFixture {
 protected:
  // Job files in the program folder, the list file (unless empty), then the list built with
  // `commandLineName` as the name given at start.
  const Names& build(const Names& jobs, const std::string& listFile,
                     const std::string& commandLineName = "") {
    for (const auto& name : jobs) writeTvf({"Once=yes"}, name);
    if (!listFile.empty()) fs.addFile("/app/TvfSet.txt", listFile);
    engine.shared.TvfFileName = commandLineName;
    GetTvfCombo(session, engine.shared.TvfFileName);
    return session.window.tvfList;
  }
};

TEST_F(TvfListTest, FirstStartWritesTheListFromTheFolder) {
  fs.addFile("/app/notes.txt");
  fs.addDirectory("/app/dir.tvf");
  EXPECT_EQ(build({"b.tvf", "a.tvf", "c.TVF"}, ""), (Names{"a.tvf", "b.tvf", "c.TVF"}));
  EXPECT_EQ(fs.contentOf("/app/TvfSet.txt"), "a.tvf\r\nb.tvf\r\nc.TVF\r\n\r\n");
  EXPECT_EQ(engine.shared.TvfFileName, "a.tvf");
  EXPECT_EQ(engine.job.Once, -1) << "the first entry is read";
}

TEST_F(TvfListTest, TheListFileIsCheckedAgainstTheFolder) {
  const struct {
    Names jobs;
    std::string listFile;
    std::string commandLineName;
    Names expected;
    bool caseBlind = false;  // the program folder's file system
  } cases[] = {
      {{"a.tvf", "b.tvf", "new.tvf"},
       "b.tvf\r\ngone.tvf\r\na.tvf\r\n\r\n",
       "",
       {"b.tvf", "a.tvf", "new.tvf"}},
      {{"Job.tvf", "job.tvf"}, "Job.tvf\r\nJOB.tvf\r\n\r\n", "", {"Job.tvf", "job.tvf"}},
      {{"job.tvf"}, "Job.tvf\r\nJOB.tvf\r\n\r\n", "", {"job.tvf"}, true},
      {{"a.tvf", "night.old"}, "a.tvf\r\n\r\n", "night.old", {"night.old", "a.tvf"}},
      {{"a.tvf", "b.tvf", "c.tvf"}, "c.tvf\n\na.tvf\n", "", {"c.tvf", "a.tvf", "b.tvf"}},
      {{"a.tvf", "b.tvf", "c.tvf"}, "a.tvf\r\nb.tvf\r\n\r\n", "C.TVF", {"a.tvf", "b.tvf", "c.tvf"}},
      {{"a.tvf", "b.tvf", "c.tvf"},
       "a.tvf\r\nb.tvf\r\n\r\n",
       "C.TVF",
       {"c.tvf", "a.tvf", "b.tvf"},
       true},
      {{"a.tvf", "b.tvf", "c.tvf"}, "a.tvf\r\nb.tvf\r\n\r\n", "b.tvf", {"b.tvf", "a.tvf", "c.tvf"}},
      {{"a.tvf", "b.tvf"}, "a.tvf\r\nb.tvf\r\n\r\n", "missing.tvf", {"a.tvf", "b.tvf"}}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.listFile + " " + c.commandLineName);
    ASSERT_EQ(fs.removeTree("/app"), 0);
    fs.setCaseBlind(c.caseBlind);
    fs.addDirectory("/app");
    EXPECT_EQ(build(c.jobs, c.listFile, c.commandLineName), c.expected);
    EXPECT_EQ(engine.shared.TvfFileName, c.expected.front());
    ASSERT_EQ(SaveTvfCombo(session), 0);
    std::string saved;
    for (const auto& name : c.expected) saved += name + "\r\n";
    EXPECT_EQ(fs.contentOf("/app/TvfSet.txt"), saved + "\r\n");
  }
}

TEST_F(TvfListTest, EmptyFolderReadsTheCommandLineName) {
  EXPECT_TRUE(build({}, "", "job.tvf").empty());
  EXPECT_EQ(fs.contentOf("/app/TvfSet.txt"), "\r\n");
  EXPECT_EQ(formSetCalls, std::vector<std::int16_t>{0});  // the missing file turns the timer off
}

TEST_F(TvfListTest, ChoosingSavingAndOpeningMoveTheEntryToTheTop) {
  fs.setCaseBlind(true);
  fs.addDirectory("/app");  // under a case-blind key
  build({"a.tvf", "b.tvf", "c.tvf"}, "");
  session.window.selectedEntry = 2;
  Combo1_LostFocus(session);
  EXPECT_EQ(session.window.tvfList, (Names{"c.tvf", "a.tvf", "b.tvf"}));
  EXPECT_EQ(fs.contentOf("/app/TvfSet.txt"), "c.tvf\r\na.tvf\r\nb.tvf\r\n\r\n");
  engine.job.Size = 1;
  ASSERT_EQ(SaveAs(session, "/elsewhere/B.tvf"), 0);  // an existing name in another case
  EXPECT_EQ(session.window.tvfList, (Names{"B.tvf", "c.tvf", "a.tvf"}));
  EXPECT_NE(fs.contentOf("/app/B.tvf").find("\r\nSize=yes\r\n"), std::string::npos);
  OpenChosenFile(session, "/elsewhere/a.tvf");
  EXPECT_EQ(engine.shared.TvfFileName, "a.tvf");
  // Rebuilt, the list names B.tvf as the folder stores it.
  EXPECT_EQ(session.window.tvfList, (Names{"a.tvf", "b.tvf", "c.tvf"}));
  OpenChosenFile(session, "/elsewhere/other.tvf");  // not in the program folder
  EXPECT_EQ(engine.shared.TvfFileName, "a.tvf");
}

TEST_F(TvfListTest, SavingUnderANameInAnotherCaseKeepsTheOtherFileWhereCaseMatters) {
  build({"a.tvf", "b.tvf"}, "");
  ASSERT_EQ(SaveAs(session, "/elsewhere/B.tvf"), 0);
  EXPECT_EQ(session.window.tvfList, (Names{"B.tvf", "a.tvf", "b.tvf"}));
}

}  // namespace
}  // namespace tolvan::testing
