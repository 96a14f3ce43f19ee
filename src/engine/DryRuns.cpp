#include "engine/DryRuns.h"

#include "engine/ChangeLimit.h"
#include "engine/CopyPass.h"
#include "engine/Engine.h"
#include "engine/Paths.h"
#include "engine/RemovalPass.h"
#include "engine/RestoreBatch.h"
#include "engine/SidesCheck.h"
#include "engine/SimulationList.h"

namespace tolvan {
namespace {

constexpr std::int16_t kCopyPassKinds = 1 | 2 | 4 | 8 | 16;
constexpr std::int16_t kBackupOnlyKind = 32;
constexpr std::int16_t kBatchMode = -1;

// Hands the passes' differences to the writer of the dry run under way.
class DryRunWriters : public DryRunSink {
 public:
  DryRunWriters(SimulationList* list, RestoreBatch* batch) : list_(list), batch_(batch) {}

  void SimulateWrite(int code, const std::string& from, const std::string& to,
                     const std::string& name, const Sides& sides) override {
    if (list_ != nullptr)
      (void)list_->SimulateWrite(static_cast<std::int16_t>(code), from, to, name, sides);
  }
  void WriteRestoreLines(const std::string& source, const std::string& target) override {
    if (batch_ != nullptr) batch_->WriteRestoreLines(source, target);
  }

 private:
  SimulationList* list_;
  RestoreBatch* batch_;
};

// The dry-run state for one run: the writers are attached, and DryRunMode is back to 0
// afterwards whatever way the run ends, so the next run is a real one.
class DryRunScope {
 public:
  DryRunScope(Engine& engine, DryRunSink& writers) : engine_(engine) { engine_.dryRun = &writers; }
  ~DryRunScope() {
    engine_.dryRun = nullptr;
    engine_.run.DryRunMode = 0;
  }
  DryRunScope(const DryRunScope&) = delete;
  DryRunScope& operator=(const DryRunScope&) = delete;

 private:
  Engine& engine_;
};

RunEnd EndAfterPasses(const Engine& engine) {
  if (engine.run.EndRequested) return RunEnd::Abandoned;
  return engine.run.StopFlag.load() != 0 ? RunEnd::Stopped : RunEnd::Finished;
}

// A dry run refuses what a real run refuses, with the same messages; it has no report to
// write them to.
bool Refused(Engine& engine, const std::string& from, const std::string& to) {
  const char* refusal = SidesRefusal(engine, from, to, false);
  if (refusal == nullptr) refusal = UnusableSide(engine, from, to);
  std::string problem;
  if (refusal == nullptr) problem = PrepareExclusions(engine, from, to);
  if (refusal == nullptr && problem.empty()) return false;
  (void)engine.ui().messageBox(refusal != nullptr ? std::string(refusal) : problem, kProgramTitle,
                               platform::MessageIcon::Critical, platform::MessageButtons::Ok);
  return true;
}

RunEnd EndOfChecks(const Engine& engine) {
  return engine.run.StopFlag.load() != 0 ? RunEnd::Stopped : RunEnd::Abandoned;
}

// A list that was never created cannot be opened either.
void OpenList(Engine& engine, const std::string& path, bool created) {
  if (!created || !engine.ui().openDocument(path)) {
    (void)engine.ui().messageBox(path + " を開くことができませんでした。", kProgramTitle,
                                 platform::MessageIcon::None, platform::MessageButtons::Ok);
  }
}

void ShowBatchFailure(Engine& engine, const char* file, int error) {
  (void)engine.ui().messageBox(
      engine.shared.AppPath + "/" + file + " Error (Code : " + std::to_string(error) + "  " +
          ErrorDescription(error) + " )",
      "Error", platform::MessageIcon::Critical, platform::MessageButtons::Ok);
}

}  // namespace

SimulationOutcome SimulateRun(Engine& engine, const std::string& from, const std::string& to,
                              SimulationDialog& dialog) {
  SimulationOutcome outcome;
  SimulationList list(engine);
  DryRunWriters writers(&list, nullptr);
  const DryRunScope scope(engine, writers);
  dialog.show(engine.run.DryRunMode, list.SimulateFileName);
  if (engine.run.DryRunMode == 0) {
    outcome.run.end = RunEnd::Abandoned;
    return outcome;
  }
  if (Refused(engine, from, to)) {
    outcome.run.end = RunEnd::Refused;
    return outcome;
  }
  if (CheckFreeSpace(engine, from, to, 1) != -1) {
    outcome.run.end = EndOfChecks(engine);
    return outcome;
  }
  list.SimulateWrite(-1, from, to);
  engine.run.StopFlag = 0;
  // What a real run would meet at the change limit, counted before the passes take the listings.
  ChangeCounts changes;
  if (engine.job.ChangeLimit > 0) {
    changes = CountChanges(engine, from, to);
    changes.backupEntries = engine.run.BackupEntries;
  }
  const std::int16_t kinds = engine.run.DryRunMode;
  if ((kinds & kCopyPassKinds) != 0 && !engine.run.EndRequested) (void)CopyTree(engine, from, to);
  engine.clearListings();
  if ((kinds & kBackupOnlyKind) != 0 && !engine.run.stopRequested()) {
    (void)RemovalPass(engine, from, to);
  }
  ShowFinished(engine);
  if (list.isOpen()) list.SimulateWrite(-2);
  engine.run.DryRunMode = 0;
  outcome.run.end = EndAfterPasses(engine);
  outcome.run.errors = list.hadErrors() ? 1 : 0;
  outcome.listPath = list.SimulateFileName;
  if (engine.job.ChangeLimit > 0 && outcome.run.end == RunEnd::Finished) {
    (void)engine.ui().messageBox(ChangeCountsSummary(changes, engine.job.ChangeLimit),
                                 kProgramTitle, platform::MessageIcon::Information,
                                 platform::MessageButtons::Ok);
  }
  if (outcome.run.end != RunEnd::Abandoned) OpenList(engine, list.SimulateFileName, list.created());
  return outcome;
}

RunOutcome MakeBatchFile(Engine& engine, const std::string& from, const std::string& to) {
  RestoreBatch batch(engine);
  DryRunWriters writers(nullptr, &batch);
  const DryRunScope scope(engine, writers);
  if (Refused(engine, from, to)) return {RunEnd::Refused, 0};
  // Set before the size walks, which then leave the backup tree as it is.
  engine.run.DryRunMode = kBatchMode;
  if (CheckFreeSpace(engine, from, to, 2) != -1) return {EndOfChecks(engine), 0};
  engine.run.StopFlag = 0;
  (void)CopyTree(engine, from, to);
  ShowFinished(engine);
  engine.run.DryRunMode = 0;
  RunOutcome outcome{EndAfterPasses(engine), 0};
  if (const int error = batch.close(); error != 0) {
    ShowBatchFailure(engine, batch.failedFile(), error);
    outcome.errors = 1;
  }
  return outcome;
}

}  // namespace tolvan
