#include "app/SchedulerLoop.h"

#include <algorithm>
#include <chrono>
#include <iostream>

#include "app/StopSignals.h"
#include "engine/ExitStatus.h"
#include "scheduler/FormSet.h"
#include "scheduler/ScheduleCheck.h"

namespace tolvan::app {
namespace {

using Clock = std::chrono::steady_clock;

void AnnounceSchedule(const JobConditions& job) {
  const char* kind = job.DateMode == 0 ? "every day at " : "every ";
  std::cerr << "Tolvan32: Timer is working!! (" << kind << job.Time
            << (job.Once != 0 ? ", once" : "") << ")\n";
}

long MillisecondsUntil(Clock::time_point when) {
  const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(when - Clock::now());
  return left.count() > 0 ? static_cast<long>(left.count()) : 0;
}

}  // namespace

int RunSchedulerLoop(Session& session) {
  AnnounceSchedule(session.engine.job);
  const auto period = std::chrono::milliseconds(CheckPeriod);
  Clock::time_point next = Clock::now() + period;
  for (;;) {
    if (WaitForStopSignal(MillisecondsUntil(next))) return kExitSuccess;
    // A run that overran the period is followed by a check at once, as a window timer does.
    next = std::max(next + period, Clock::now());
    RunOutcome outcome;
    if (Timer1_Timer(session, RunScheduledJob, &outcome) == CheckResult::Ran) {
      if (StopSignalCount() > 0) return kExitStopped;
      if (session.engine.run.EndRequested) return ExitStatusFor(outcome);
    }
    if (session.endRequested) return session.endStatus;
    // A conditions file read again with its timer off leaves nothing to wait for.
    if (!session.window.timerEnabled) return kExitSuccess;
  }
}

}  // namespace tolvan::app
