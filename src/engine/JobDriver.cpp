#include "engine/JobDriver.h"

#include <optional>
#include <string>

#include "engine/ChangeLimit.h"
#include "engine/CopyPass.h"
#include "engine/Engine.h"
#include "engine/FileOps.h"
#include "engine/HeldSides.h"
#include "engine/LastRun.h"
#include "engine/Paths.h"
#include "engine/RemovalPass.h"
#include "engine/Report.h"
#include "engine/RunLock.h"
#include "engine/SideBySideSizeWalk.h"
#include "engine/SideIdentity.h"
#include "engine/SidesCheck.h"

namespace tolvan {
namespace {

using platform::MessageAnswer;
using platform::MessageButtons;
using platform::MessageIcon;

constexpr const char* kCheckingMaster = "マスタードライブ　チェック中!!";
constexpr const char* kCheckingBackup = "バックアップドライブ　チェック中!!";
constexpr const char* kFinished = "Finished!!";

void ShowCritical(Engine& engine, const std::string& text) {
  (void)engine.ui().messageBox(text, kProgramTitle, MessageIcon::Critical, MessageButtons::Ok);
}

bool Confirmed(Engine& engine, const std::string& from, const std::string& to) {
  const std::string question =
      "  Copy from   ' " + DisplayText(from) + " '   to   ' " + DisplayText(to) + " '  ";
  return engine.ui().messageBox(question, kProgramTitle, MessageIcon::Exclamation,
                                MessageButtons::OkCancel) == MessageAnswer::Ok;
}

// The status file is written before the closing lines, so that a failure to write it is
// a line of the run's own report.
void CloseReportWithClosingLines(Engine& engine, const RunOutcome& outcome) {
  if (!engine.run.LastRunRecorded) {
    RecordLastRun(engine, engine.run.LastRunStarted, outcome);
    engine.run.LastRunRecorded = true;
  }
  if (engine.report.isOpen()) {
    WriteReport(engine, ReportLineKind::CloseReport, {}, engine.job.Report);
  }
}

// A side that cannot be listed ends the run with the header, one Error line and the closing.
void RefuseSide(Engine& engine, const std::string& text, std::int16_t timer,
                const std::string& from, const std::string& to) {
  WriteReport(engine, ReportLineKind::Error, text, engine.job.Report, from, to);
  engine.run.FinishTime = Now(engine.sys());
  CloseReportWithClosingLines(engine, {RunEnd::Refused, 0});
  if (timer == 0) ShowCritical(engine, text);
}

struct RunStatus {
  const char* text;
  bool countsBackup;
};

RunStatus StatusForMode(Engine& engine, std::int16_t mode) {
  switch (mode) {
    case -1:
      return {"ミラーリング　実行中!!", true};
    case 1:
      return {"シミュレーション　実行中!!", (engine.run.DryRunMode & 32) != 0};
    case 2:
      return {"TLVDOS.BAT File　作成中!!", false};
    default:
      return {"バックアップ　実行中!!", false};
  }
}

bool RoomConfirmed(Engine& engine) {
  const std::string question = std::string(" バックアップ用ディスクの空き容量を確認して下さい．") +
                               "\n" + "  継続してもよろしいですか？";
  return engine.ui().messageBox(question, kProgramTitle, MessageIcon::Critical,
                                MessageButtons::OkCancel) == MessageAnswer::Ok;
}

// Shows and resets the progress window for a new run.
void PrepareProgress(Engine& engine, const std::string& from, const std::string& to,
                     std::int16_t mode) {
  platform::ProgressWindow& window = engine.progress.window();
  window.show();
  window.setStopButtonVisible(true);
  engine.ui().setBusy(true);
  window.setPaths(mode == 2 ? std::string() : from + " ･･･> " + to);
  engine.progress.ProcessInit();
}

std::int16_t StopChecks(Engine& engine) {
  ShowFinished(engine);
  return 0;
}

RunEnd EndOfRun(const Engine& engine) {
  if (engine.run.EndRequested) return RunEnd::Abandoned;
  return engine.run.StopFlag.load() != 0 ? RunEnd::Stopped : RunEnd::Finished;
}

// Both sides' root folders are held open while this lives, from before the sides are checked
// to the run's end, and every walk, write and delete starts from them, not from their paths:
// the folders checked are the folders used, no write or delete below To follows a link (the
// size walk already removes leftovers of killed copies there), and a side that is unmounted
// or exchanged meanwhile is noticed rather than followed.
class SideRootsGuard {
 public:
  SideRootsGuard(Engine& engine, const std::string& from, const std::string& to)
      : fs_(engine.fs()), run_(engine.run) {
    run_.LostSide = kNoSideLost;
    run_.LastSidesCheck = 0;
    // Text that no system call takes whole is refused by the sides check; never opened.
    fs_.setReadRoot(IsUsablePathText(from) ? from : std::string());
    fs_.setWriteRoot(IsUsablePathText(to) ? to : std::string());
  }
  // A lost side belongs to this run: the next one, real or dry, starts without it.
  ~SideRootsGuard() {
    fs_.setWriteRoot("");
    fs_.setReadRoot("");
    run_.LostSide = kNoSideLost;
  }
  SideRootsGuard(const SideRootsGuard&) = delete;
  SideRootsGuard& operator=(const SideRootsGuard&) = delete;

 private:
  platform::FileSystem& fs_;
  RunState& run_;
};

std::int32_t RunPasses(Engine& engine, const std::string& from, const std::string& to) {
  std::int32_t errors = 0;
  if (engine.job.NomalMode != 0 && !engine.run.stopRequested()) {
    errors += RemovalPass(engine, from, to);
  }
  if (!engine.run.stopRequested()) errors += CopyTree(engine, from, to);
  engine.clearListings();
  engine.masterMounts.clear();
  return errors;
}

void ShowErrorSummary(Engine& engine, std::int32_t errors) {
  ShowCritical(engine, "バックアップ中にエラーが " + std::to_string(errors) +
                           " 件発生しました。レポートファイルを参照して下さい。");
}

// Everything that may stop a run before its report is opened.
std::optional<RunEnd> RefusedBeforeReport(Engine& engine, const std::string& from,
                                          const std::string& to, std::int16_t timer) {
  if (const char* refusal = SidesRefusal(engine, from, to, engine.job.NomalMode != 0)) {
    ShowCritical(engine, refusal);  // also for scheduled runs: nobody would learn of it
    return RunEnd::Refused;
  }
  if (timer == 0 && engine.job.XOption == 0 && !Confirmed(engine, from, to)) {
    return RunEnd::Abandoned;
  }
  if (engine.job.Report != 0 && WaitForReport(engine, ReportPath(engine)) != 0) {
    return RunEnd::Abandoned;
  }
  return std::nullopt;
}

// Opens the report and checks that the exclusion patterns can be used and both sides can be
// listed.
std::optional<RunEnd> RefusedAfterHeader(Engine& engine, const std::string& from,
                                         const std::string& to, std::int16_t timer) {
  engine.run.StopFlag = 0;
  WriteReport(engine, ReportLineKind::OpenReport, {}, engine.job.Report, from, to);
  if (engine.run.EndRequested) return RunEnd::Abandoned;
  if (const std::string problem = PrepareExclusions(engine, from, to); !problem.empty()) {
    RefuseSide(engine, problem, timer, from, to);
    return RunEnd::Refused;
  }
  if (const char* refusal = UnusableSide(engine, from, to)) {
    RefuseSide(engine, refusal, timer, from, to);
    return RunEnd::Refused;
  }
  return std::nullopt;
}

// A side went away: the finish steps, with a line that says which and why.
RunOutcome EndOnLostSide(Engine& engine, const std::string& from, const std::string& to,
                         std::int16_t timer, std::int32_t errors) {
  ShowFinished(engine);
  WriteReport(engine, ReportLineKind::Error, LostSideText(engine, from, to), engine.job.Report);
  CloseReportWithClosingLines(engine, {RunEnd::Lost, errors});
  if (engine.job.XOption != 1) engine.ui().restoreMainWindow();
  if (engine.job.XOption == 0 && timer == 0) ShowCritical(engine, LostSideMessage(engine));
  return {RunEnd::Lost, errors};
}

// Sides refused after the progress window was shown: the finish steps with the refusal.
RunOutcome EndOnRefusal(Engine& engine, const std::string& text, std::int16_t timer,
                        const std::string& from, const std::string& to) {
  ShowFinished(engine);
  RefuseSide(engine, text, timer, from, to);
  if (engine.job.XOption != 1) engine.ui().restoreMainWindow();
  return {RunEnd::Refused, 0};
}

// A run stopped at the change limit before its passes: no elapsed time, the report closed
// (after the refusal's line, when there is one), the window given back.
RunEnd EndAtChangeLimit(Engine& engine, RunEnd end, const std::string& refusal) {
  engine.clearListings();
  engine.run.StartTime = 0;
  ShowFinished(engine);
  if (!refusal.empty()) WriteReport(engine, ReportLineKind::Error, refusal, engine.job.Report);
  CloseReportWithClosingLines(engine, {end, 0});
  if (engine.job.XOption != 1) engine.ui().restoreMainWindow();
  return end;
}

// A run beyond the job's change limit: unattended it is refused with the counts in the report;
// in the window the user decides. Nothing has been removed or copied yet.
std::optional<RunEnd> StoppedByChangeLimit(Engine& engine, std::int16_t timer,
                                           const std::string& from, const std::string& to) {
  if (engine.job.ChangeLimit <= 0 || engine.run.AllowBigChange) return std::nullopt;
  ChangeCounts counts = CountChanges(engine, from, to);
  counts.backupEntries = engine.run.BackupEntries;
  // A stop during the counting ends the run as a stop during the passes would.
  if (engine.run.stopRequested() || !ExceedsChangeLimit(counts, engine.job.ChangeLimit))
    return std::nullopt;
  if (timer != 0 || engine.job.XOption != 0)
    return EndAtChangeLimit(engine, RunEnd::Refused,
                            ChangeLimitRefusal(counts, engine.job.ChangeLimit));
  if (engine.ui().messageBox(ChangeLimitQuestion(counts), kProgramTitle, MessageIcon::Exclamation,
                             MessageButtons::ContinueStop) != MessageAnswer::Yes)
    return EndAtChangeLimit(engine, RunEnd::Abandoned, {});
  engine.run.StartTime = Now(engine.sys());  // the time spent asking is not the run's
  return std::nullopt;
}

// The room check and both passes, with both sides held. Finished means the passes ran (a
// stop during them still gets the finish steps).
RunOutcome CheckAndCopy(Engine& engine, const std::string& from, const std::string& to,
                        std::int16_t timer) {
  // The room check removes leftovers of killed copies: only from the backup that was checked.
  if (!SidesStillThere(engine)) return EndOnLostSide(engine, from, to, timer, 0);
  if (CheckFreeSpace(engine, from, to, engine.job.NomalMode) != -1) {
    if (engine.run.EndRequested) return {RunEnd::Abandoned, 0};
    // Closed with their closing lines, so the next run finds the report free.
    const RunOutcome stopped{engine.run.StopFlag.load() != 0 ? RunEnd::Stopped : RunEnd::Abandoned};
    CloseReportWithClosingLines(engine, stopped);
    return stopped;
  }
  if (const auto end = StoppedByChangeLimit(engine, timer, from, to)) return {*end, 0};
  // Right before the first removal or copy, the sides are judged once more as they stand
  // now: a folder moved into the other side since the first check makes them one tree.
  if (const char* refusal = SidesRefusal(engine, from, to, engine.job.NomalMode != 0)) {
    return EndOnRefusal(engine, refusal, timer, from, to);
  }
  // The room check read both sides through the held roots: were they still the sides? And
  // did both stay to the end, or does the user need to know the run read a side that went?
  const std::int32_t errors = SidesStillThere(engine) ? RunPasses(engine, from, to) : 0;
  if (!engine.run.stopRequested()) (void)SidesStillThere(engine);
  if (engine.run.EndRequested) return {RunEnd::Abandoned, errors};
  if (engine.run.LostSide != kNoSideLost) return EndOnLostSide(engine, from, to, timer, errors);
  return {RunEnd::Finished, errors};
}

// One run from the first check to the error summary.
RunOutcome RunSteps(Engine& engine, const std::string& from, const std::string& to,
                    std::int16_t& timer) {
  engine.run.StartTime = 0;  // set when the passes start; an earlier run's must not count
  const SideRootsGuard guard(engine, from, to);
  if (const auto end = RefusedBeforeReport(engine, from, to, timer)) return {*end, 0};
  if (const auto end = RefusedAfterHeader(engine, from, to, timer)) return {*end, 0};
  const RunOutcome passes = CheckAndCopy(engine, from, to, timer);
  if (passes.end != RunEnd::Finished) return passes;
  ShowFinished(engine);
  const RunOutcome outcome{EndOfRun(engine), passes.errors, engine.report.incomplete()};
  CloseReportWithClosingLines(engine, outcome);
  if (engine.job.XOption != 1) engine.ui().restoreMainWindow();
  if (engine.job.XOption == 0 && passes.errors > 0) ShowErrorSummary(engine, passes.errors);
  return outcome;
}

}  // namespace

RunOutcome RunJob(Engine& engine, const std::string& from, const std::string& to,
                  std::int16_t& timer) {
  engine.report.forgetLosses();  // a run without report has none of an earlier one's
  StartRunFigures(engine.run, engine.sys().nowWithOffset());
  RunOutcome outcome = RunSteps(engine, from, to, timer);
  outcome.reportIncomplete = engine.report.incomplete();
  // A run that ended before its report was opened (or without one) is recorded now.
  if (!engine.run.LastRunRecorded) RecordLastRun(engine, engine.run.LastRunStarted, outcome);
  engine.run.AllowBigChange = false;  // for one run only
  return outcome;
}

namespace {

// More backup folders than this and no listings are kept for the copy pass
// (some 5 MiB of identities).
constexpr std::size_t kBackupFoldersTold = std::size_t{1} << 17;

std::int16_t CheckAndListTrees(Engine& engine, const std::string& from, const std::string& to,
                               std::int16_t mode) {
  platform::ProgressWindow& window = engine.progress.window();
  PrepareProgress(engine, from, to, mode);
  window.setStatus(kCheckingMaster, platform::kColourBlue);
  if (engine.run.stopRequested()) return StopChecks(engine);
  // The master tree is walked on a thread of its own while this one walks the backup tree;
  // the captions change as if the walks took turns.
  SideBySideSizeWalk masterWalk(
      engine, from, engine.job.ChildDir,
      {&engine.masterListings, nullptr, &engine.masterMounts, &engine.exclusions});
  window.setStatus(kCheckingBackup, platform::kColourRed);
  if (engine.run.stopRequested()) return StopChecks(engine);
  std::int64_t backupFolders = 0;
  std::int64_t backupFiles = 0;
  FolderIdentities backupFolderIds(kBackupFoldersTold);
  // Only a real run's copy pass asks the backup listings.
  TreeListings* backupListings = engine.run.DryRunMode == 0 ? &engine.backupListings : nullptr;
  const double backupSize =
      TreeSize(engine, to, engine.job.ChildDir, backupFolders, backupFiles, LeftoverCopies::Remove,
               {backupListings, &backupFolderIds, nullptr, &engine.exclusions});
  engine.run.BackupEntries = backupFolders + backupFiles;
  std::int64_t masterFolders = 0;
  std::int64_t masterFiles = 0;
  const double masterSize = masterWalk.finish(masterFolders, masterFiles);
  if (engine.run.stopRequested()) return StopChecks(engine);
  // A master folder that is also a backup folder (a bind mount) changes with the passes.
  if (engine.masterListings.overlaps(backupFolderIds)) engine.clearListings();
  const double freeBytes = DriveFreeSpace(engine, to);
  if (freeBytes + backupSize < masterSize && mode < 2 && !RoomConfirmed(engine)) {
    return StopChecks(engine);
  }
  const RunStatus status = StatusForMode(engine, mode);
  window.setStatus(status.text, platform::kColourBlue);
  const std::int64_t masterCount = masterFolders + masterFiles;
  engine.progress.BarInit(status.countsBackup ? masterCount + backupFolders + backupFiles
                                              : masterCount);
  window.setEstimateHeadingVisible(true);
  engine.run.StartTime = Now(engine.sys());
  return -1;
}

}  // namespace

// The listings the master's walk keeps serve only the passes of this run.
std::int16_t CheckFreeSpace(Engine& engine, const std::string& from, const std::string& to,
                            std::int16_t mode) {
  engine.clearListings();
  engine.masterMounts.clear();
  const std::int16_t result = CheckAndListTrees(engine, from, to, mode);
  if (result != -1) engine.clearListings();
  return result;
}

void ShowFinished(Engine& engine) {
  engine.run.FinishTime = Now(engine.sys());
  platform::ProgressWindow& window = engine.progress.window();
  window.setStatus(kFinished, platform::kColourBlue);
  window.setStopButtonVisible(false);
  window.setBarVisible(false);
  engine.ui().setBusy(false);
}

}  // namespace tolvan
