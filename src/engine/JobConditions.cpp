#include "engine/JobConditions.h"

#include <utility>

namespace tolvan {

void DefaultSet(JobConditions& job) {
  job.Timer = 0;
  job.DateMode = 0;
  job.NomalMode = 0;
  job.UpDate = 0;
  job.Report = -1;
  job.ChildDir = -1;
  job.Size = 0;
  job.Once = 0;
  job.TrashBox = 0;
  job.MatchCase = 0;
  job.ChangeLimit = 0;
  job.ChangeLimitUnreadable = false;
  job.Exclude.clear();
}

void StartRunFigures(RunState& run, std::string startedAt) {
  run.BackupEntries = 0;
  run.FoldersMade = 0;
  run.FilesCopied = 0;
  run.EntriesRemoved = 0;
  run.LastRunStarted = std::move(startedAt);
  run.LastRunRecorded = false;
}

}  // namespace tolvan
