#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <map>
#include <set>
#include <utility>

#include "engine/JobDriver.h"
#include "engine/TreeListings.h"
#include "support/EngineFixture.h"
#include "support/Messages.h"

namespace tolvan::testing {
namespace {

using platform::MessageAnswer;
using Op = platform::FakeFileSystem::Op;

const std::string kNow = "2023/11/14 22:13:20";  // the fake clock
// A run that ends before its passes start shows no elapsed time.
const Lines kFinishedBeforeStart{"Finished Time : " + kNow + "   所要時間 : 0:00:00", "", ""};
const Lines kStopped{"Stopped in the working : " + kNow, "", ""};

std::string Confirmation(const std::string& to, const std::string& from = "/m") {
  return "  Copy from   ' " + from + " '   to   ' " + to + " '  ";
}
const std::string kConfirm = Confirmation("/b");

class JobDriverTest : public PassFixture {
 protected:
  RunOutcome run(const std::string& from = "/m", const std::string& to = "/b",
                 std::int16_t timer = 0) {
    return RunJob(engine, from, to, timer);
  }
  // The last three lines of Recent.tvr: the finish line and two empty lines.
  [[nodiscard]] Lines closingLines() const {
    const auto lines = recentLines();
    return lines.size() < 3 ? lines : Lines(lines.end() - 3, lines.end());
  }
};

// Runs refused before or just after the report opens (equal or nested sides among them), and
// the two odd sides that still run.
TEST_F(JobDriverTest, RefusedRunsAndTheirMessages) {
  for (const char* folder : {"/M", "/x/backup", "/mnt/usb", "/bound/master"})
    fs.addDirectory(folder);
  fs.addFile("/b/master/keep.txt", "precious");
  fs.mountPoints.insert("/mnt/usb");
  fs.failOn(Op::List, "/mnt/usb", EACCES);
  fs.shareIdentity("/bound", "/b");  // /bound is the backup /b itself, bind-mounted
  using enum RunEnd;
  const std::string kFromError = "Error : " + kFromText, kToError = "Error : " + kToText;
  // From, to, timer, MissingPath, how the run ends, its boxes and its action lines.
  using Case =
      std::tuple<std::string, std::string, std::int16_t, std::int16_t, RunEnd, Lines, Lines>;
  const Case cases[] = {
      {"/m", "/m", 1, 0, Refused, {kSame}, {}},
      {"/b/master", "/b", 0, 0, Refused, {kSame}, {}},
      {"/x", "/x/backup", 0, 0, Refused, {kSame}, {}},
      {"/b/master", "/", 0, 0, Refused, {kSame}, {}},
      {"/bound/master", "/b", 0, 0, Refused, {kSame}, {}},
      {"/m", "/b", 0, -1, Refused, {kMissingPath}, {}},
      {"/m", "/b", 0, 0, Abandoned, {kConfirm}, {}},  // the confirmation cancelled
      {"/nowhere", "/b", 0, 0, Refused, {Confirmation("/b", "/nowhere"), kFromText}, {kFromError}},
      {"/m", "/nowhere", 1, 0, Refused, {}, {kToError}},
      {"/m", "/nowhere", 0, 0, Refused, {Confirmation("/nowhere"), kToText}, {kToError}},
      {"/m", "/M", 0, 0, Finished, {Confirmation("/M")}, {"New File : /M/f"}},
      {"/m", "/mnt/usb", 0, 0, Finished, {Confirmation("/mnt/usb")}, {"New File : /mnt/usb/f"}}};
  for (const auto& [from, to, timer, missingPath, end, boxes, actions] : cases) {
    SCOPED_TRACE(from + " -> " + to);
    for (const char* path : {"/app/report.tvr", "/app/Recent.tvr"}) (void)fs.removeEntry(path);
    addFiles({"/m/f"});
    ui.boxes.clear();
    ui.answers = {end == Abandoned ? MessageAnswer::Cancel : MessageAnswer::Ok};
    engine.run.MissingPath = missingPath;
    engine.run.StartTime = 1.5;  // left by an earlier run
    const RunEnd ended = run(from, to, timer).end;
    // A refusal keeps the MissingPath flag.
    EXPECT_EQ(std::tuple(ended, boxTexts(), engine.run.MissingPath, actionLines()),
              std::tuple(end, boxes, missingPath, actions));
    EXPECT_EQ(fs.exists("/app/report.tvr"), !actions.empty());
    const bool refusedWithReport = end == Refused && !actions.empty();
    EXPECT_EQ(refusedWithReport ? closingLines() : kFinishedBeforeStart, kFinishedBeforeStart);
    EXPECT_FALSE(fs.exists("/nowhere") || fs.exists("/b/f"));
  }
  EXPECT_EQ(fs.contentOf("/b/master/keep.txt"), "precious");
}

// Short of room, a cancelled question closes the report; exactly enough room asks nothing.
TEST_F(JobDriverTest, RoomQuestionCancelClosesTheReportAndExactRoomAsksNothing) {
  fs.addFile("/m/f", "12345", kT);
  fs.addFile("/b/g", "12", kT);
  fs.freeBytes = 2;
  ui.answers = {MessageAnswer::Ok, MessageAnswer::Cancel};
  EXPECT_EQ(run().end, RunEnd::Abandoned);
  EXPECT_EQ(boxTexts(), (Lines{kConfirm,
                               " バックアップ用ディスクの空き容量を確認して下さい．\n "
                               " 継続してもよろしいですか？"}));
  EXPECT_EQ(std::tuple(engine.report.isOpen(), actionLines(), closingLines()),
            std::tuple(false, Lines{}, kFinishedBeforeStart));
  fs.freeBytes = 3;
  ui.boxes.clear();
  EXPECT_EQ(run().end, RunEnd::Finished);
  EXPECT_EQ(std::pair(boxTexts(), actionLines()),
            std::pair(Lines{kConfirm}, Lines{"New File : /b/f"}));
  EXPECT_EQ(reportLines().size(), 2 * recentLines().size() - 1) << "a block of its own";
}

// A stop in either size walk ends it at its next entry: no further entry, no room question,
// no pass. A stop in the passes ends every enclosing level at its next entry. The next run
// starts afresh.
TEST_F(JobDriverTest, AStopEndsTheRunAtTheNextEntry) {
  engine.job.NomalMode = -1;
  constexpr long kEntries = 40;
  for (long i = 0; i < kEntries; ++i)
    addFiles({"/m/f" + std::to_string(i), "/b/o" + std::to_string(i)});
  fs.freeBytes = 0;  // short of room: the question would come after the backup walk
  for (const long stopAt : {3L, kEntries + 3}) {
    SCOPED_TRACE(stopAt);
    ui.boxes.clear();
    ui.eventCount = 0;
    ui.onEvents = [&](long n) {
      if (n == stopAt) engine.run.StopFlag = -1;
    };
    const RunEnd end = run().end;
    EXPECT_EQ(std::tuple(end, ui.eventCount, boxTexts(), closingLines()),
              std::tuple(RunEnd::Stopped, stopAt, Lines{kConfirm}, kStopped));
    EXPECT_TRUE(fs.copied.empty() && fs.removed.empty());
  }
  EXPECT_EQ(ui.progressWindow.status, "Finished!!");
  fs.freeBytes = 1ULL << 40;
  addFiles({"/m/d0/a", "/m/d0/z", "/m/d0/d1/a", "/m/d0/d1/z", "/m/d0/d1/d2/a", "/m/d0/d1/d2/z"});
  ui.onEvents = [&](long) {
    if (fs.exists("/b/d0/d1/a")) engine.run.StopFlag = -1;
  };
  EXPECT_EQ(run().end, RunEnd::Stopped);
  EXPECT_EQ(closingLines(), kStopped);
  EXPECT_FALSE(fs.exists("/b/d0/d1/d2") || fs.exists("/b/d0/d1/z") || fs.exists("/b/d0/z") ||
               engine.report.isOpen());
  ui.onEvents = nullptr;
  EXPECT_EQ(run().end, RunEnd::Finished);
  EXPECT_EQ(tree("/b"), tree("/m"));
}

// A side whose root is gone from its path once the passes start: nothing is removed or copied
// after that, the report says which side, and the next run starts whole.
TEST_F(JobDriverTest, ASideGoneFromItsPathStopsTheRunAndTheNextRunIsWhole) {
  engine.job.NomalMode = -1;
  for (const platform::Side side : {platform::Side::Master, platform::Side::Backup}) {
    const bool master = side == platform::Side::Master;
    addFiles({"/m/d0/a", "/b/gone"});
    ui.onEvents = [&](long) {
      if (engine.run.StartTime != 0) fs.heldRootError[static_cast<int>(side)] = ENODEV;
    };
    EXPECT_EQ(run().end, RunEnd::Lost);
    EXPECT_EQ(actionLines(),
              Lines{error(master ? "/m" : "/b", ENODEV) + " The " + (master ? "master" : "backup") +
                    " folder is no longer at its path (unplugged or unmounted?): the run "
                    "stopped, nothing more was removed or copied"});
    EXPECT_EQ(closingLines(), kStopped);
    EXPECT_TRUE(fs.exists("/b/gone") && fs.copied.empty());
    ui.onEvents = nullptr;
    fs.heldRootError[static_cast<int>(side)] = 0;
    EXPECT_EQ(run().end, RunEnd::Finished);
    EXPECT_FALSE(fs.exists("/b/gone"));
    fs.copied.clear();
  }
}

// A side exchanged while the run waits for its report files (another instance holds them),
// after its sides were checked: the run stops on the folders it checked, whichever folder the
// path leads to now, and removes, trashes and copies nothing.
TEST_F(JobDriverTest, ASideExchangedAfterTheCheckStopsTheRunBeforeAnyChange) {
  engine.job.NomalMode = -1;
  // The path moved away, where it went (empty: the path with ".old"), what takes its place (a
  // link to it, or that folder renamed to it), how the run ends, and two files whose content is
  // their name, where they are after the exchange.
  using enum RunEnd;
  using Case =
      std::tuple<std::string, std::string, std::string, bool, RunEnd, std::string, std::string>;
  const Case cases[] = {
      {"/D/backup", "", "/D/P", true, Lost, "/D/P/master/keep", "/D/backup.old/in/old"},
      {"/D/backup", "", "/D/other", false, Lost, "/D/backup/f", "/D/backup.old/in/old"},
      {"/D/P/master", "", "/D/empty", false, Lost, "/D/P/master.old/keep", "/D/backup/in/old"},
      // The master moved into the backup, its path a link to it there.
      {"/D/P/master", "/D/backup/in/master", "/D/backup/in/master", true, Refused,
       "/D/backup/in/master/keep", "/D/backup/in/old"}};
  for (const std::int16_t trashBox : {0, -1}) {
    for (const auto& [path, movedTo, with, link, end, keptA, keptB] : cases) {
      SCOPED_TRACE(path + " for " + with + (trashBox != 0 ? ", trash" : ""));
      for (const char* old : {"/D", "/app/report.tvr", "/app/Recent.tvr"}) (void)fs.removeTree(old);
      addFiles({"/D/P/master/keep", "/D/backup/in/old", "/D/other/f"});
      fs.addDirectory("/D/empty");
      fs.removed.clear();
      engine.job.TrashBox = trashBox;
      fs.lockByOtherProcess("/app/Recent.tvr");
      bool exchanged = false;
      ui.onWaitPoll = [&](int) {
        if (!std::exchange(exchanged, true)) {
          ASSERT_EQ(fs.renameEntry(path, movedTo.empty() ? path + ".old" : movedTo), 0);
          ASSERT_EQ(link ? 0 : fs.renameEntry(with, path), 0);
          if (link) fs.addLink(path, with);
        }
        fs.unlockByOtherProcess("/app/Recent.tvr");
      };
      EXPECT_EQ(run("/D/P/master", "/D/backup", 1).end, end);
      EXPECT_TRUE(exchanged && fs.removed.empty() && trash.trashed.empty() && fs.copied.empty());
      for (const std::string& file : {keptA, keptB})
        EXPECT_EQ(fs.contentOf(file), file.substr(file.rfind('/') + 1)) << file;
    }
  }
}

// The bar counts what the passes walk, and only the backup tree is writable while they run. A
// killed copy's leftover on the backup goes even in Backup mode, with its line. In a mirror the
// removal pass deletes one the room check could not reach (its folder unreadable for a
// moment), never to the trash.
TEST_F(JobDriverTest, ProgressWindowFollowsTheRun) {
  const std::string leftover = "/b/.tolvan32-partial-0123456789abcdef";
  addFiles({"/m/a", "/m/d/b"});
  std::set<std::string> writeRoots;
  ui.onEvents = [&](long) { writeRoots.insert(fs.writeRoot); };
  for (const std::int16_t mode : {-1, 0}) {
    engine.job.NomalMode = mode;
    addFiles({"/b/c", leftover});
    EXPECT_EQ(run().end, RunEnd::Finished);
    EXPECT_EQ(ui.progressWindow.barMaximum, mode == 0 ? 3 : 4);  // the backup's file in a mirror
    EXPECT_EQ(std::ranges::count(actionLines(), "Delete File : " + leftover), 1);
    EXPECT_FALSE(fs.exists(leftover));
  }
  EXPECT_EQ(std::tuple(writeRoots, fs.writeRoot, ui.restoreCount),
            std::tuple(std::set<std::string>{"/b"}, "", 2));
  const std::string inFolder = "/b/d" + leftover.substr(2);
  addFiles({inFolder});
  engine.job.NomalMode = engine.job.TrashBox = -1;
  fs.failOn(Op::List, "/b/d", EIO, 1);
  EXPECT_EQ(run().end, RunEnd::Finished);
  EXPECT_EQ(actionLines(), (Lines{"Delete File : /b/c", "Delete File : " + inFolder}));
  EXPECT_EQ(trash.trashed, Lines{"/b/c"});
}

TEST_F(JobDriverTest, ErrorSummaryOnlyWhenNotUnattended) {
  addFiles({"/m/f"});
  fs.failOn(Op::Copy, "/b/f", ENOSPC);
  const std::string summary =
      "バックアップ中にエラーが 1 件発生しました。レポートファイルを参照して下さい。";
  // XOption, Report, timer, the boxes shown.
  const std::tuple<std::int16_t, std::int16_t, std::int16_t, Lines> cases[] = {
      {0, -1, 0, {kConfirm, summary}},
      {0, -1, 1, {summary}},
      {0, 0, 0, {kConfirm, summary}},
      {1, -1, 0, {}}};
  for (const auto& [xOption, report, timer, boxes] : cases) {
    SCOPED_TRACE("XOption " + std::to_string(xOption) + " Report " + std::to_string(report));
    ui.boxes.clear();
    ui.restoreCount = 0;
    engine.job.XOption = xOption, engine.job.Report = report;
    const RunOutcome outcome = run("/m", "/b", timer);
    EXPECT_EQ(std::tuple(outcome.end, outcome.errors, boxTexts(), ui.restoreCount),
              std::tuple(RunEnd::Finished, 1, boxes, xOption == 0 ? 1 : 0));
  }
}

// The passes walk the folders as the room check listed them, unless a master folder is also a
// backup folder (a bind mount), which the passes change under it. They look again where the
// removal pass changed a backup folder (something else may have changed there too) and at
// what they would remove: an entry gone since, or now a folder the master also has, stays.
TEST_F(JobDriverTest, ThePassesWalkTheRoomChecksListingsAndLookAgainWhereTheyMayBeStale) {
  engine.job.NomalMode = -1, engine.job.XOption = 1;
  addFiles({"/m/a", "/m/sub/b", "/b/sub/gone", "/b/kept/k", "/m/d/f", "/b/d/f", "/b/d/gone",
            "/m/e/g", "/b/e/g", "/b/a_gone", "/b/c", "/b/cc", "/m/c/keep"});
  std::map<std::string, int> listed, looked;
  fs.beforeOp = [&](Op op, const std::string& path) {
    listed[path] += op == Op::List;
    looked[path] += op == Op::Stat;
    if (op == Op::Remove && path == "/b/d/gone") fs.addFile("/b/d/f", "older", kT - 100);
    if (op != Op::Remove || path != "/b/a_gone") return;
    (void)fs.removeEntry("/b/cc");
    (void)fs.removeEntry("/b/c");
    addFiles({"/b/c/keep"});
  };
  EXPECT_EQ(run().end, RunEnd::Finished);
  EXPECT_EQ(actionLines(),
            (Lines{"Delete File : /b/a_gone", "Delete File : /b/d/gone",
                   "Remove Directory: /b/kept", "Delete File : /b/sub/gone", "New File : /b/a",
                   "UpDate File : /b/d/f  " + when(kT - 100) + " -> " + when(kT),
                   "New File : /b/sub/b"}));
  EXPECT_EQ(tree("/b"), tree("/m"));
  // Listed by the size walks only; looked up in their listing.
  EXPECT_EQ(std::pair(listed["/m/sub"] + listed["/b/sub"], looked["/b/e/g"]), std::pair(2, 0));
  EXPECT_TRUE(engine.masterListings.empty() && engine.backupListings.empty())
      << "nothing kept after the run";
  addFiles({"/b/kept/k"});
  fs.addDirectory("/m/kept");
  fs.shareIdentity("/m/kept", "/b/kept");
  listed.clear();
  EXPECT_EQ(run().end, RunEnd::Finished);
  // Listed again by the removal and copy passes, and the backup's by the removal pass.
  EXPECT_EQ(std::pair(listed["/m/sub"], listed["/b/sub"]), std::pair(3, 2));
}

// Where the listings do not fit their budget, a folder whose digest agrees with its backup's
// is walked for its folders only; one that differs, or holds an entry reported every run (a
// time no date can show), is walked entry by entry.
TEST_F(JobDriverTest, FoldersWhoseDigestsAgreeAreWalkedForTheirFoldersOnly) {
  engine.job.NomalMode = -1;
  engine.masterListings = TreeListings(0, std::size_t{1} << 20);
  engine.backupListings = TreeListings(0, std::size_t{1} << 20);
  addFiles({"/m/d/a", "/b/d/a", "/m/d/sub/c", "/b/d/sub/c", "/m/e/x", "/m/f/y", "/b/f/y",
            "/b/f/gone", "/m/g/y", "/b/g/y"});
  fs.addFile("/b/e/x", "x", kT - 100);
  constexpr std::int64_t kPastAnyYear = std::int64_t{1} << 60;
  for (const char* path : {"/m/g/far", "/b/g/far"}) fs.addFile(path, "far", kPastAnyYear);
  std::map<std::string, int> looked, listed;
  fs.beforeOp = [&](Op op, const std::string& path) {
    looked[path] += op == Op::Stat;
    listed[path] += op == Op::List;
  };
  EXPECT_EQ(run().end, RunEnd::Finished);
  EXPECT_EQ(actionLines(), (Lines{"Delete File : /b/f/gone",
                                  "UpDate File : /b/e/x  " + when(kT - 100) + " -> " + when(kT),
                                  "Error : " + TimeFailureText("/m/g/far", EOVERFLOW)}));
  EXPECT_EQ(tree("/b"), tree("/m"));
  // Files taken as up to date; /m/d listed by the size walk and the copy pass for its folder
  // sub, /m/e by the size walk, the removal and the copy pass.
  EXPECT_EQ(std::tuple(looked["/b/d/a"] + looked["/b/d/sub/c"], listed["/m/d"], listed["/m/e"]),
            std::tuple(0, 2, 3));
}

// Lines are written to the report together, not one by one, but all of them before a copy
// that may take long, so that a run killed during it leaves them; a file that appears in a
// folder the run has just made is neither looked for first nor replaced by the copy.
TEST_F(JobDriverTest, ReportLinesGoTogetherBeforeALongCopyWhichNeverReplacesWhatCameMeanwhile) {
  constexpr int kFiles = 200;
  for (int i = 0; i < kFiles; ++i) addFiles({"/m/f" + std::to_string(1000 + i)});
  fs.addFile("/m/zz/long", std::string(std::size_t{1} << 20, 'x'), kT);
  addFiles({"/m/zz/z"});
  int writes = 0;
  std::size_t linesBeforeLongCopy = 0;
  fs.beforeOp = [&](Op op, const std::string& path) {
    if (op == Op::Stat && path.rfind("/b/zz/", 0) == 0) ADD_FAILURE() << "looked up " << path;
    writes += op == Op::Write && path == "/app/Recent.tvr";
    if (op != Op::Copy || path != "/b/zz/long") return;
    linesBeforeLongCopy = actionLines().size();
    fs.addFile("/b/zz/long", "theirs", kT);
  };
  EXPECT_EQ(run().end, RunEnd::Finished);
  EXPECT_EQ(linesBeforeLongCopy, std::size_t{kFiles + 1});
  const Lines actions = actionLines();
  ASSERT_EQ(actions.size(), std::size_t{kFiles + 3});
  EXPECT_EQ(Lines(actions.begin() + kFiles, actions.end()),
            (Lines{"Make Directory : /b/zz", error("/b/zz/long", EEXIST), "New File : /b/zz/z"}));
  EXPECT_EQ(fs.contentOf("/b/zz/long"), "theirs");
  EXPECT_LT(writes, kFiles / 2);
}

// Every kind of copy and removal has one case: what the full simulation lists, and nothing
// else, is what a real run then does; the mirror then ends equal, permissions, links and empty
// folders included, and a second run has nothing to do.
TEST_F(JobDriverTest, TheSimulationPredictsTheRealRunAfterWhichTheTreesAreEqual) {
  engine.job.NomalMode = -1, engine.job.UpDate = engine.job.Size = 1;
  addFiles({"/m/new", "/m/same", "/b/same", "/b/sub/gone"});
  addPair("sub/newer", kT + 100, kT);
  addPair("older", kT, kT + 100);
  addPair("size", kT, kT, "longer", "short");
  fs.addFile("/m/a.txt", "alpha", kT, 0600);
  fs.addFile("/b/a.txt", "stale", kT - 100);
  fs.addFile("/m/d1/d2/deep", "deep", kT - 5000, 0640);
  fs.addFile("/b/d1/d2/deep", "deep", kT - 5000, 0640);
  fs.addDirectory("/m/d1/empty", kT, 0700);
  fs.addLink("/m/d1/link", "../a.txt", kT);
  fs.addDirectory("/m/y");
  addFiles(
      {"/m/kind", "/b/kind/inner", "/b/.tolvan32-partial-fedcba9876543210", "/b/only/z", "/b/y"});
  RecordingSink sink;
  // Every kind but the files that are the same.
  engine.dryRun = &sink, engine.run.DryRunMode = 63 - 16;
  EXPECT_EQ(CopyTree(engine, "/m", "/b") + RemovalPass(engine, "/m", "/b"), 0);
  engine.run.DryRunMode = 0, engine.dryRun = nullptr;
  EXPECT_TRUE(fs.created.empty() && fs.removed.empty() && !fs.exists("/app/report.tvr"));
  std::sort(sink.simulated.begin(), sink.simulated.end());
  EXPECT_EQ(sink.simulated, (Lines{"/b/a.txt 1", "/b/d1/link 8", "/b/kind 32", "/b/kind 8",
                                   "/b/new 8", "/b/older 2", "/b/only 32", "/b/size 4",
                                   "/b/sub/gone 32", "/b/sub/newer 1", "/b/y 32"}));
  // The run does just that, every removal before the first copy; folders are not simulated.
  ASSERT_EQ(run().end, RunEnd::Finished);
  EXPECT_EQ(
      actionLines(),
      (Lines{"Delete File : /b/.tolvan32-partial-fedcba9876543210", "Remove Directory: /b/kind",
             "Remove Directory: /b/only", "Delete File : /b/sub/gone", "Delete File : /b/y",
             "UpDate File : /b/a.txt  " + when(kT - 100) + " -> " + when(kT),
             "Make Directory : /b/d1/empty", "New File : /b/d1/link", "New File : /b/kind",
             "New File : /b/new", "All Files : /b/older  " + when(kT + 100) + " -> " + when(kT),
             "Size : /b/size  5byte -> 6byte",
             "UpDate File : /b/sub/newer  " + when(kT) + " -> " + when(kT + 100),
             "Make Directory : /b/y"}));
  EXPECT_EQ(tree("/b"), tree("/m"));
  EXPECT_EQ(run().errors, 0);
  EXPECT_EQ(std::pair(actionLines(), ui.boxes.size()), std::pair(Lines{}, std::size_t{2}))
      << "nothing to do; two confirmations, no summary";
}

}  // namespace
}  // namespace tolvan::testing
