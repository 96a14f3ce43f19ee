#include "scheduler/ScheduleCheck.h"

namespace tolvan {

RunOutcome RunScheduledJob(Session& session, const std::string& from, const std::string& to) {
  Engine& engine = session.engine;
  const RunOutcome outcome = RunJob(engine, from, to, engine.job.Timer);
  engine.ui().progress().close();
  return outcome;
}

}  // namespace tolvan
