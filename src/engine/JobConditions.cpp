#include "engine/JobConditions.h"

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
}

}  // namespace tolvan
