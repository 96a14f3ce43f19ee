#include "ConditionsFixture.h"
#include "conditions/Startup.h"
#include "engine/Report.h"

namespace tolvan::testing {
namespace {

class StartupTest : public ConditionsFixture {
 protected:
  StartupTest() {
    engine.shared.TvfFileName.clear();
    fs.addFile("/m/a.txt", "data", 1600000000);
  }
  StartupOutcome load(const std::vector<std::string>& args) { return FormLoad(session, args); }
};

TEST_F(StartupTest, SharedValuesAndSettingDefaults) {
  engine.shared.ReportSize = 1;
  const StartupOutcome outcome = load({});
  EXPECT_EQ(engine.shared.VersionText, "1.00");
  EXPECT_EQ(engine.shared.TempPath, "/tmp");
  EXPECT_EQ(engine.shared.EditorPath, "xdg-open");
  EXPECT_EQ(engine.shared.ReportSize, 512.0F);
  EXPECT_EQ(session.window.top, 300);
  EXPECT_EQ(session.window.left, 1000);
  EXPECT_EQ(session.window.from.text, "/work");
  EXPECT_EQ(session.window.to.text, "/work");
  EXPECT_EQ(engine.job.OldNT, 0);
  EXPECT_FALSE(outcome.ranJob || outcome.endRequested || outcome.refused);
}

TEST_F(StartupTest, StoredValuesAreCheckedAndConverted) {
  settings.set("MainForm", "Top", "-4800");
  settings.set("MainForm", "Left", "abc");
  settings.set("Editor", "ReportSize", "12.5");
  settings.set("Editor", "FileName", "/usr/bin/mousepad");
  (void)load({});
  EXPECT_EQ(session.window.top, 300);
  EXPECT_EQ(session.window.left, 1000);
  EXPECT_EQ(engine.shared.ReportSize, 12.0F);
  EXPECT_EQ(engine.shared.EditorPath, "/usr/bin/mousepad");
  EXPECT_EQ(ReportSizeFromText("0"), 512.0F);
  EXPECT_EQ(ReportSizeFromText("abc"), 512.0F);
  EXPECT_EQ(ReportSizeFromText("13.5"), 14.0F);
  settings.set("MainForm", "Top", "2000");
  session.window.screenHeight = 1500;
  (void)load({});
  EXPECT_EQ(session.window.top, 300);
}

TEST_F(StartupTest, VersionTextAndProgramFolder) {
  EXPECT_EQ(MakeVersionText(1, 5), "1.05");
  EXPECT_EQ(MakeVersionText(2, 123), "2.23");
  sys.env["HOME"] = "/home/u";
  EXPECT_EQ(ResolveAppPath(sys, "/work"), "/home/u/.local/share/Tolvan32");
  sys.env["XDG_DATA_HOME"] = "relative";  // ignored
  EXPECT_EQ(ResolveAppPath(sys, "/work"), "/home/u/.local/share/Tolvan32");
  sys.env["XDG_DATA_HOME"] = "/data/";
  EXPECT_EQ(ResolveAppPath(sys, "/work"), "/data/Tolvan32");
  sys.env["TOLVAN32_HOME"] = "jobs/../tv";
  EXPECT_EQ(ResolveAppPath(sys, "/work"), "/work/tv");
  engine.shared.AppPath.clear();
  (void)load({});
  EXPECT_EQ(engine.shared.AppPath, "/work/tv");
  EXPECT_TRUE(fs.exists("/work/tv"));
}

TEST_F(StartupTest, UnattendedRunEndsTheProgramWithItsStatus) {
  writeTvf({"DriveA=/m/", "DriveB= /b"});
  const StartupOutcome outcome = load({"/x", "/somewhere/job"});
  EXPECT_EQ(engine.shared.TvfFileName, "job.tvf");
  ASSERT_TRUE(outcome.ranJob);
  EXPECT_EQ(outcome.run.end, RunEnd::Finished);
  EXPECT_EQ(fs.contentOf("/b/a.txt"), "data");
  EXPECT_TRUE(outcome.endRequested);
  EXPECT_EQ(outcome.exitStatus, 0);
  EXPECT_EQ(session.endStatus, 0);
  EXPECT_FALSE(ui.progressWindow.shown);
}

TEST_F(StartupTest, RunWithoutXKeepsTheProgram) {
  writeTvf({"DriveA=/m", "DriveB=/b"});
  const StartupOutcome outcome = load({"job.tvf"});
  EXPECT_TRUE(outcome.ranJob);
  EXPECT_FALSE(outcome.endRequested);
}

TEST_F(StartupTest, EqualFromAndToIsRefusedEvenWithX) {
  writeTvf({"DriveA=/m", "DriveB=/m/"});
  const StartupOutcome outcome = load({"/X", "job"});
  EXPECT_EQ(lastBoxText(), "Can't do it.  Check your setting file!");
  EXPECT_TRUE(outcome.refused);
  EXPECT_FALSE(outcome.ranJob);
  EXPECT_FALSE(outcome.endRequested);
  EXPECT_EQ(outcome.exitStatus, 2);
  EXPECT_TRUE(fs.copied.empty());
}

TEST_F(StartupTest, TimerJobWaitsForTheSchedule) {
  writeTvf({"DriveA=/m", "DriveB=/b", "Timer=yes"});
  const StartupOutcome outcome = load({"/X", "job"});
  EXPECT_FALSE(outcome.ranJob);
  EXPECT_TRUE(outcome.scheduleArmed);
  EXPECT_FALSE(outcome.endRequested);
}

TEST_F(StartupTest, UnattendedMissingBackupIsReportedAndNothingRuns) {
  writeTvf({"DriveA=/m", "DriveB=/media/user/STICK"});
  const StartupOutcome outcome = load({"/AT", "job"});
  EXPECT_TRUE(outcome.endRequested);
  EXPECT_EQ(outcome.exitStatus, 2);
  EXPECT_FALSE(outcome.ranJob);
  EXPECT_EQ(actionLines().size(), 1U);
}

TEST_F(StartupTest, UnknownOptionIsAUsageError) {
  const StartupOutcome outcome = load({"--frobnicate"});
  EXPECT_TRUE(outcome.commandLine.usageError());
  EXPECT_TRUE(outcome.endRequested);
  EXPECT_EQ(outcome.exitStatus, 2);
}

TEST_F(StartupTest, ClosingStoresThePositionOnlyWhenShown) {
  session.window.top = 120;
  session.window.left = 0;
  FormUnload(session);
  EXPECT_EQ(settings.get("MainForm", "Top", ""), "120");
  EXPECT_EQ(settings.get("MainForm", "Left", ""), "0");
  session.window.top = 500;
  session.window.minimized = true;
  FormUnload(session);
  session.window.minimized = false;
  session.window.left = -1;
  FormUnload(session);
  EXPECT_EQ(settings.get("MainForm", "Top", ""), "120");
}

TEST_F(StartupTest, ClosingReleasesReportFilesLeftOpen) {
  (void)WriteReport(engine, ReportLineKind::OpenReport, {}, -1, "/m", "/b");
  ASSERT_TRUE(engine.report.isOpen());
  FormUnload(session);
  EXPECT_FALSE(engine.report.isOpen());
  EXPECT_EQ(engine.report.RecentFile, nullptr);
}

}  // namespace
}  // namespace tolvan::testing
