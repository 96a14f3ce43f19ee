#include "ConditionsFixture.h"
#include "conditions/Tvf.h"
#include "conditions/TvfList.h"

namespace tolvan::testing {
namespace {

class TvfListTest : public ConditionsFixture {
 protected:
  TvfListTest() { engine.shared.TvfFileName.clear(); }
  void addJobs(const std::vector<std::string>& names) {
    for (const auto& name : names) writeTvf({"Once=yes"}, name);
  }
  void writeList(const std::string& text) { fs.addFile("/app/TvfSet.txt", text); }
  void build(const std::string& tvfFileOp = "") {
    engine.shared.TvfFileName = tvfFileOp;
    GetTvfCombo(session, engine.shared.TvfFileName);
  }
  [[nodiscard]] const std::vector<std::string>& list() const { return session.window.tvfList; }
  using Names = std::vector<std::string>;
};

TEST_F(TvfListTest, FirstStartWritesTheListFromTheFolder) {
  addJobs({"b.tvf", "a.tvf", "c.TVF"});
  fs.addFile("/app/notes.txt");
  fs.addDirectory("/app/dir.tvf");
  build();
  EXPECT_EQ(fs.contentOf("/app/TvfSet.txt"), "a.tvf\r\nb.tvf\r\n\r\n");
  EXPECT_EQ(list(), (Names{"a.tvf", "b.tvf"}));
  EXPECT_EQ(engine.shared.TvfFileName, "a.tvf");
  EXPECT_EQ(session.window.selectedEntry, 0);
  EXPECT_EQ(engine.job.Once, -1);
  EXPECT_TRUE(session.window.SkipMinimize);
}

TEST_F(TvfListTest, DeletedJobsAreDroppedAndNewOnesAppended) {
  addJobs({"a.tvf", "b.tvf", "new.tvf"});
  writeList("b.tvf\r\ngone.tvf\r\na.tvf\r\n\r\n");
  build();
  EXPECT_EQ(list(), (Names{"b.tvf", "a.tvf", "new.tvf"}));
  ASSERT_EQ(SaveTvfCombo(session), 0);
  EXPECT_EQ(fs.contentOf("/app/TvfSet.txt"), "b.tvf\r\na.tvf\r\nnew.tvf\r\n\r\n");
}

TEST_F(TvfListTest, NamesDifferingInCaseAreOneEntry) {
  addJobs({"Job.tvf", "job.tvf"});
  writeList("Job.tvf\r\nJOB.tvf\r\n\r\n");
  build();
  EXPECT_EQ(list(), (Names{"Job.tvf"}));
}

TEST_F(TvfListTest, EmptyLineEndsTheListFile) {
  addJobs({"a.tvf", "b.tvf", "c.tvf"});
  writeList("c.tvf\n\na.tvf\n");
  build();
  EXPECT_EQ(list(), (Names{"c.tvf", "a.tvf", "b.tvf"}));
}

TEST_F(TvfListTest, CommandLineFileComesFirst) {
  addJobs({"a.tvf", "b.tvf", "c.tvf"});
  writeList("a.tvf\r\nb.tvf\r\n\r\n");
  build("C.TVF");  // only in the folder, named in another case
  EXPECT_EQ(list(), (Names{"c.tvf", "a.tvf", "b.tvf"}));
  EXPECT_EQ(engine.shared.TvfFileName, "c.tvf");
  build("b.tvf");
  EXPECT_EQ(list(), (Names{"b.tvf", "a.tvf", "c.tvf"}));
  build("missing.tvf");
  EXPECT_EQ(engine.shared.TvfFileName, "a.tvf");
}

TEST_F(TvfListTest, EmptyFolderReadsTheCommandLineName) {
  build("job.tvf");
  EXPECT_TRUE(list().empty());
  EXPECT_EQ(fs.contentOf("/app/TvfSet.txt"), "\r\n");
  EXPECT_EQ(formSetCalls, std::vector<std::int16_t>{0});  // the missing file turns the timer off
}

TEST_F(TvfListTest, LosingFocusMovesTheChosenEntryToTheTop) {
  addJobs({"a.tvf", "b.tvf", "c.tvf"});
  build();
  session.window.selectedEntry = 2;
  Combo1_LostFocus(session);
  EXPECT_EQ(list(), (Names{"c.tvf", "a.tvf", "b.tvf"}));
  EXPECT_EQ(engine.shared.TvfFileName, "c.tvf");
  EXPECT_EQ(fs.contentOf("/app/TvfSet.txt"), "c.tvf\r\na.tvf\r\nb.tvf\r\n\r\n");
  session.window.tvfComboText = "typed";
  Combo1_Change(session);
  EXPECT_EQ(session.window.tvfComboText, "c.tvf");
}

TEST_F(TvfListTest, SaveAsAnExistingNameMovesItInsteadOfAddingIt) {
  addJobs({"a.tvf", "b.tvf"});
  build();
  engine.job.Size = 1;
  ASSERT_EQ(SaveAs(session, "/elsewhere/B.tvf"), 0);
  EXPECT_EQ(list(), (Names{"B.tvf", "a.tvf"}));
  EXPECT_NE(fs.contentOf("/app/B.tvf").find("\r\nSize=yes\r\n"), std::string::npos);
  EXPECT_EQ(fs.contentOf("/app/TvfSet.txt"), "B.tvf\r\na.tvf\r\n\r\n");
  EXPECT_EQ(engine.shared.TvfFileName, "B.tvf");
}

TEST_F(TvfListTest, OpenKeepsOnlyTheNameAndTheFileMustBeInTheProgramFolder) {
  addJobs({"a.tvf", "b.tvf"});
  build();
  OpenChosenFile(session, "/elsewhere/b.tvf");
  EXPECT_EQ(engine.shared.TvfFileName, "b.tvf");
  EXPECT_EQ(list(), (Names{"b.tvf", "a.tvf"}));
  OpenChosenFile(session, "/elsewhere/other.tvf");
  EXPECT_EQ(engine.shared.TvfFileName, "b.tvf");  // the first entry stays current
  FileDialogCancelled(session);
  EXPECT_TRUE(SaveNeedsName(session));
  EXPECT_NE(SaveCurrent(session), 0);
}

}  // namespace
}  // namespace tolvan::testing
