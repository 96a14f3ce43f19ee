#include <gtest/gtest.h>

#include <cerrno>
#include <map>
#include <set>

#include "engine/CopyPass.h"
#include "engine/JobDriver.h"
#include "engine/RemovalPass.h"
#include "support/PassFixture.h"

namespace tolvan::testing {
namespace {

using Lines = std::vector<std::string>;
using platform::MessageAnswer;
using platform::MessageButtons;
using platform::MessageIcon;
using Op = platform::FakeFileSystem::Op;

const std::string kSame =
    "指定したドライブまたはディレクトリが同じです。バックアップを中止します。";
const std::string kFromText =
    "From側に指定したドライブまたはフォルダーにアクセスできないか、ファイルが存在しません。";
const std::string kToText = "To側に指定したドライブまたはフォルダーにアクセスできません。";
const std::string kRoomQuestion =
    " バックアップ用ディスクの空き容量を確認して下さい．\n  継続してもよろしいですか？";
const std::string kNow = "2023/11/14 22:13:20";  // the fake clock
// A run that ends before its StartTime is set counts from the StartTime of program start.
const std::string kFinishedBeforeStart = "Finished Time : " + kNow + "   所要時間 : 22:13:20";

class JobDriverTest : public PassFixture {
 protected:
  RunOutcome run(const std::string& from = "/m", const std::string& to = "/b",
                 std::int16_t timer = 0) {
    return RunJob(engine, from, to, timer);
  }
  [[nodiscard]] std::vector<std::string> boxTexts() const {
    std::vector<std::string> texts;
    for (const auto& box : ui.boxes) texts.push_back(box.text);
    return texts;
  }
  // The last three lines of Recent.tvr: the finish line and two empty lines.
  [[nodiscard]] std::vector<std::string> closingLines() const {
    const auto lines = recentLines();
    if (lines.size() < 3) return lines;
    return {lines.end() - 3, lines.end()};
  }
};

TEST_F(JobDriverTest, LeftoversOfAKilledCopyGoFromTheBackupButNeverFromTheMaster) {
  engine.job.NomalMode = -1;
  fs.addFile("/m/.tolvan32-partial-m1", "someone else's half copy");
  fs.addFile("/b/sub/.tolvan32-partial-b1", "ours");
  fs.addDirectory("/m/sub");
  const RunOutcome outcome = run();
  EXPECT_EQ(outcome.end, RunEnd::Finished);
  EXPECT_EQ(outcome.errors, 0);
  EXPECT_TRUE(fs.exists("/m/.tolvan32-partial-m1"));
  EXPECT_FALSE(fs.exists("/b/.tolvan32-partial-m1"));
  EXPECT_FALSE(fs.exists("/b/sub/.tolvan32-partial-b1"));
  EXPECT_EQ(actionLines(), Lines{});
}

TEST_F(JobDriverTest, EqualSidesAreRefusedEvenForAScheduledRun) {
  const RunOutcome outcome = run("/m", "/m", 1);
  EXPECT_EQ(outcome.end, RunEnd::Refused);
  ASSERT_EQ(ui.boxes.size(), 1u);
  EXPECT_EQ(ui.boxes[0].text, kSame);
  EXPECT_EQ(ui.boxes[0].title, "Tolvan32");
  EXPECT_EQ(ui.boxes[0].icon, MessageIcon::Critical);
  EXPECT_EQ(ui.boxes[0].buttons, MessageButtons::Ok);
  EXPECT_FALSE(fs.exists("/app/report.tvr"));
}

TEST_F(JobDriverTest, SidesThatDifferOnlyInCaseAreNotEqual) {
  fs.addDirectory("/M");
  fs.addFile("/m/f", "f", kT);
  EXPECT_EQ(run("/m", "/M").end, RunEnd::Finished);
  EXPECT_TRUE(fs.exists("/M/f"));
}

TEST_F(JobDriverTest, AMissingPathOfTheConditionsFileRefusesOnce) {
  engine.run.MissingPath = -1;
  EXPECT_EQ(run().end, RunEnd::Refused);
  EXPECT_EQ(boxTexts(), (Lines{"ｔｖｆファイルで指定したドライブまたはディレクトリが存在"
                               "しません。バックアップを中止します。"}));
  EXPECT_EQ(engine.run.MissingPath, 0);
  EXPECT_FALSE(fs.exists("/app/report.tvr"));
}

TEST_F(JobDriverTest, CancelledConfirmationWritesNothing) {
  fs.addFile("/m/f", "f", kT);
  ui.answers = {MessageAnswer::Cancel};
  EXPECT_EQ(run().end, RunEnd::Abandoned);
  ASSERT_EQ(ui.boxes.size(), 1u);
  EXPECT_EQ(ui.boxes[0].text, "  Copy from   ' /m '   to   ' /b '  ");
  EXPECT_EQ(ui.boxes[0].icon, MessageIcon::Exclamation);
  EXPECT_EQ(ui.boxes[0].buttons, MessageButtons::OkCancel);
  EXPECT_FALSE(fs.exists("/app/report.tvr"));
  EXPECT_FALSE(fs.exists("/b/f"));
}

TEST_F(JobDriverTest, AnUnreadableFromSideWritesHeaderErrorAndClosing) {
  EXPECT_EQ(run("/nowhere", "/b").end, RunEnd::Refused);
  EXPECT_EQ(boxTexts(), (Lines{"  Copy from   ' /nowhere '   to   ' /b '  ", kFromText}));
  EXPECT_EQ(actionLines(), (Lines{"Error : " + kFromText}));
  EXPECT_EQ(closingLines(), (Lines{kFinishedBeforeStart, "", ""}));
  EXPECT_EQ(recentLines().size(), 11u);
  EXPECT_FALSE(engine.report.isOpen());
}

TEST_F(JobDriverTest, AMissingToSideIsRefusedWithABoxOnlyWhenNotScheduled) {
  EXPECT_EQ(run("/m", "/nowhere", 1).end, RunEnd::Refused);
  EXPECT_EQ(boxTexts(), Lines{});
  EXPECT_EQ(actionLines(), (Lines{"Error : " + kToText}));
  EXPECT_FALSE(fs.exists("/nowhere"));
  ui.boxes.clear();
  EXPECT_EQ(run("/m", "/nowhere").end, RunEnd::Refused);
  EXPECT_EQ(boxTexts(), (Lines{"  Copy from   ' /m '   to   ' /nowhere '  ", kToText}));
}

TEST_F(JobDriverTest, AMountPointThatCannotBeListedIsStillAPlaceToCopyTo) {
  fs.addDirectory("/mnt/usb");
  fs.mountPoints.insert("/mnt/usb");
  fs.failOn(Op::List, "/mnt/usb", EACCES);
  fs.addFile("/m/f", "f", kT);
  EXPECT_EQ(run("/m", "/mnt/usb").end, RunEnd::Finished);
  EXPECT_EQ(actionLines(), (Lines{"New File : /mnt/usb/f"}));
}

class RoomTest : public JobDriverTest {
 protected:
  RoomTest() {
    fs.addFile("/m/f", "12345", kT);
    fs.addFile("/b/g", "12", kT);
  }
};

TEST_F(RoomTest, ExactlyEnoughRoomAsksNothing) {
  fs.freeBytes = 3;
  EXPECT_EQ(run().end, RunEnd::Finished);
  EXPECT_EQ(ui.boxes.size(), 1u) << "only the confirmation";
}

TEST_F(RoomTest, CancelClosesTheReportWithItsClosingLines) {
  fs.freeBytes = 2;
  ui.answers = {MessageAnswer::Ok, MessageAnswer::Cancel};
  EXPECT_EQ(run().end, RunEnd::Abandoned);
  ASSERT_EQ(ui.boxes.size(), 2u);
  EXPECT_EQ(ui.boxes[1].text, kRoomQuestion);
  EXPECT_EQ(ui.boxes[1].icon, MessageIcon::Critical);
  EXPECT_EQ(ui.boxes[1].buttons, MessageButtons::OkCancel);
  EXPECT_FALSE(engine.report.isOpen());
  EXPECT_EQ(actionLines(), Lines{});
  EXPECT_EQ(closingLines(), (Lines{kFinishedBeforeStart, "", ""}));
  EXPECT_TRUE(fs.copied.empty());
  EXPECT_EQ(ui.progressWindow.status, "Finished!!");

  // The next run finds the report free and appends its own block.
  EXPECT_EQ(run().end, RunEnd::Finished);
  EXPECT_EQ(ui.waitDialogsShown, 0);
  EXPECT_EQ(actionLines(), (Lines{"New File : /b/f"}));
  EXPECT_EQ(reportLines().size(), 2 * recentLines().size() - 1);
}

TEST_F(RoomTest, AStopDuringTheSizeWalksEndsWithTheStopLine) {
  ui.onEvents = [&](long) { engine.run.StopFlag = -1; };
  EXPECT_EQ(run().end, RunEnd::Stopped);
  EXPECT_EQ(ui.progressWindow.statusHistory,
            (Lines{"マスタードライブ　チェック中!!", "バックアップドライブ　チェック中!!",
                   "Finished!!"}));
  EXPECT_EQ(closingLines(), (Lines{"Stopped in the working : " + kNow, "", ""}));
  EXPECT_FALSE(engine.report.isOpen());
  EXPECT_TRUE(fs.copied.empty());
}

TEST_F(JobDriverTest, ProgressWindowFollowsTheRun) {
  engine.job.NomalMode = -1;
  fs.addFile("/m/a", "a", kT);
  fs.addFile("/m/d/b", "b", kT);
  fs.addFile("/b/c", "c", kT);
  std::set<std::pair<std::string, std::uint32_t>> seen;
  std::set<std::string> writeRoots;
  ui.onEvents = [&](long) {
    seen.emplace(ui.progressWindow.status, ui.progressWindow.statusColour);
    writeRoots.insert(fs.writeRoot);
    EXPECT_TRUE(ui.busy);
  };
  EXPECT_EQ(run().end, RunEnd::Finished);
  const auto& window = ui.progressWindow;
  EXPECT_EQ(window.statusHistory,
            (Lines{"マスタードライブ　チェック中!!", "バックアップドライブ　チェック中!!",
                   "ミラーリング　実行中!!", "Finished!!"}));
  EXPECT_TRUE(seen.count({"マスタードライブ　チェック中!!", platform::kColourBlue}));
  EXPECT_TRUE(seen.count({"バックアップドライブ　チェック中!!", platform::kColourRed}));
  EXPECT_TRUE(seen.count({"ミラーリング　実行中!!", platform::kColourBlue}));
  EXPECT_EQ(window.paths, "/m ･･･> /b");
  EXPECT_EQ(window.barMaximum, 4);  // 1 folder + 2 files in the master, 1 file in the backup
  EXPECT_FALSE(window.stopVisible);
  EXPECT_FALSE(window.barVisible);
  EXPECT_TRUE(window.estimateHeadingVisible);
  EXPECT_FALSE(ui.busy);
  EXPECT_EQ(ui.restoreCount, 1);
  EXPECT_EQ(writeRoots, std::set<std::string>{"/b"});
  EXPECT_EQ(fs.writeRoot, "");
}

TEST_F(JobDriverTest, ABackupRunCountsOnlyTheMaster) {
  fs.addFile("/m/a", "a", kT);
  fs.addFile("/b/c", "c", kT);
  EXPECT_EQ(run().end, RunEnd::Finished);
  EXPECT_EQ(ui.progressWindow.statusHistory[2], "バックアップ　実行中!!");
  EXPECT_EQ(ui.progressWindow.barMaximum, 1);
  EXPECT_TRUE(fs.exists("/b/c"));
}

class ErrorSummaryTest : public JobDriverTest {
 protected:
  ErrorSummaryTest() {
    fs.addFile("/m/f", "f", kT);
    fs.failOn(Op::Copy, "/b/f", ENOSPC);
  }
  const std::string summary =
      "バックアップ中にエラーが 1 件発生しました。レポートファイルを参照して下さい。";
};

TEST_F(ErrorSummaryTest, IsShownAfterAnInteractiveOrScheduledRun) {
  RunOutcome outcome = run();
  EXPECT_EQ(outcome.errors, 1);
  EXPECT_EQ(outcome.end, RunEnd::Finished);
  ASSERT_EQ(ui.boxes.size(), 2u);
  EXPECT_EQ(ui.boxes[1].text, summary);
  EXPECT_EQ(ui.boxes[1].icon, MessageIcon::Critical);
  ui.boxes.clear();
  outcome = run("/m", "/b", 1);
  EXPECT_EQ(boxTexts(), (Lines{summary}));
}

TEST_F(ErrorSummaryTest, IsShownEvenWithoutAReport) {
  engine.job.Report = 0;
  EXPECT_EQ(run().errors, 1);
  EXPECT_EQ(boxTexts(), (Lines{"  Copy from   ' /m '   to   ' /b '  ", summary}));
  EXPECT_FALSE(fs.exists("/app/report.tvr"));
}

TEST_F(ErrorSummaryTest, AnUnattendedRunShowsNothingAndLeavesTheWindow) {
  engine.job.XOption = 1;
  EXPECT_EQ(run().errors, 1);
  EXPECT_EQ(boxTexts(), Lines{});
  EXPECT_EQ(ui.restoreCount, 0);
}

TEST_F(JobDriverTest, AMirrorEndsEqualAndASecondRunHasNothingToDo) {
  engine.job.NomalMode = -1;
  fs.addFile("/m/a.txt", "alpha", kT, 0600);
  fs.addFile("/m/d1/d2/deep", "deep", kT - 5000, 0640);
  fs.addDirectory("/m/d1/empty", kT, 0700);
  fs.addLink("/m/d1/link", "../a.txt", kT);
  fs.addFile("/m/x", "master has a file", kT);
  fs.addDirectory("/m/y");
  fs.addFile("/b/a.txt", "stale", kT - 100);
  fs.addFile("/b/only/z", "backup only", kT);
  fs.addFile("/b/x/inner", "backup has a folder", kT);
  fs.addFile("/b/y", "backup has a file", kT);
  fs.addFile("/b/d1/d2/deep", "deep", kT - 5000, 0640);
  const RunOutcome first = run();
  EXPECT_EQ(first.end, RunEnd::Finished);
  EXPECT_EQ(first.errors, 0);
  EXPECT_EQ(treeDifferences("/m", "/b"), Lines{});
  EXPECT_EQ(actionLines(),
            (Lines{"Remove Directory: /b/only", "Remove Directory: /b/x", "Delete File : /b/y",
                   "UpDate File : /b/a.txt  " + when(kT - 100) + " -> " + when(kT),
                   "Make Directory : /b/d1/empty", "New File : /b/d1/link", "New File : /b/x",
                   "Make Directory : /b/y"}));
  const RunOutcome second = run();
  EXPECT_EQ(second.end, RunEnd::Finished);
  EXPECT_EQ(actionLines(), Lines{});
  EXPECT_EQ(ui.boxes.size(), 2u) << "two confirmations, no summary";
}

TEST_F(JobDriverTest, AStopDuringThePassesEndsWithTheStopLine) {
  engine.job.NomalMode = -1;
  for (const char* dir : {"/m/d0", "/m/d0/d1", "/m/d0/d1/d2"}) {
    fs.addFile(std::string(dir) + "/a", "a", kT);
    fs.addFile(std::string(dir) + "/z", "z", kT);
  }
  ui.onEvents = [&](long) {
    if (fs.exists("/b/d0/d1/a")) engine.run.StopFlag = -1;
  };
  const RunOutcome outcome = run();
  EXPECT_EQ(outcome.end, RunEnd::Stopped);
  EXPECT_EQ(closingLines(), (Lines{"Stopped in the working : " + kNow, "", ""}));
  EXPECT_FALSE(fs.exists("/b/d0/d1/d2"));
  EXPECT_FALSE(engine.report.isOpen());
  EXPECT_EQ(ui.progressWindow.status, "Finished!!");
}

TEST_F(JobDriverTest, TheStopFlagOfAnEarlierRunIsCleared) {
  engine.run.StopFlag = -1;
  fs.addFile("/m/f", "f", kT);
  EXPECT_EQ(run().end, RunEnd::Finished);
  EXPECT_TRUE(fs.exists("/b/f"));
}

TEST_F(JobDriverTest, AReportFailureAnsweredNoAbandonsTheRun) {
  engine.job.XOption = 1;
  engine.shared.ReportSize = 0;
  fs.addFile("/app/report.tvr", "an old block", kT);
  fs.failOn(Op::Rename, "/app/report.tvr", EACCES);
  fs.addFile("/m/f", "f", kT);
  ui.answers = {MessageAnswer::No};
  EXPECT_EQ(run().end, RunEnd::Abandoned);
  ASSERT_EQ(ui.boxes.size(), 1u);
  EXPECT_EQ(ui.boxes[0].buttons, MessageButtons::YesNo);
  EXPECT_FALSE(fs.exists("/b/f"));
}

// What a simulation lists is what a real run with the same trees then does.
TEST_F(JobDriverTest, ASimulationPredictsTheRealRun) {
  engine.job.NomalMode = -1;
  engine.job.UpDate = 1;
  engine.job.Size = 1;
  fs.addFile("/m/new", "n", kT);
  fs.addFile("/m/sub/newer", "n", kT + 100);
  fs.addFile("/b/sub/newer", "o", kT);
  fs.addFile("/m/older", "n", kT);
  fs.addFile("/b/older", "o", kT + 100);
  fs.addFile("/m/size", "longer", kT);
  fs.addFile("/b/size", "short", kT);
  fs.addFile("/m/same", "s", kT);
  fs.addFile("/b/same", "s", kT);
  fs.addFile("/b/sub/gone", "g", kT);
  fs.addFile("/m/kind", "file", kT);
  fs.addFile("/b/kind/inner", "folder", kT);

  RecordingSink sink;
  engine.dryRun = &sink;
  engine.run.DryRunMode = 63;
  EXPECT_EQ(CopyTree(engine, "/m", "/b"), 0);
  EXPECT_EQ(RemovalPass(engine, "/m", "/b"), 0);
  engine.run.DryRunMode = 0;
  engine.dryRun = nullptr;
  EXPECT_TRUE(fs.created.empty());
  EXPECT_TRUE(fs.removed.empty());
  EXPECT_FALSE(fs.exists("/app/report.tvr"));
  std::map<std::string, int> predicted;
  for (const auto& call : sink.simulated) {
    if (call.code != 16) predicted[call.to + "/" + call.name] += call.code;
  }

  ASSERT_EQ(run().end, RunEnd::Finished);
  const std::map<std::string, int> kindOfLine{{"New File", 8},     {"UpDate File", 1},
                                              {"All Files", 2},    {"Size", 4},
                                              {"Delete File", 32}, {"Remove Directory", 32}};
  std::map<std::string, int> done;
  for (const auto& line : actionLines()) {
    const auto colon = line.find(':');
    std::string kind = line.substr(0, colon);
    while (!kind.empty() && kind.back() == ' ') kind.pop_back();
    std::string path = line.substr(colon + 2);
    path = path.substr(0, path.find("  "));
    ASSERT_TRUE(kindOfLine.count(kind)) << line;
    done[path] += kindOfLine.at(kind);
  }
  EXPECT_EQ(predicted, done);
  EXPECT_EQ(done.at("/b/kind"), 32 + 8) << "removed, then copied as a file";
}

}  // namespace
}  // namespace tolvan::testing
