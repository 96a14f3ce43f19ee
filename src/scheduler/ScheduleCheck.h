#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "conditions/Session.h"
#include "engine/DateTime.h"
#include "engine/JobDriver.h"

namespace tolvan {

// Runs one scheduled job with the trimmed From and To paths and closes what the run left open.
using ScheduledRunner =
    std::function<RunOutcome(Session& session, const std::string& from, const std::string& to)>;

// Whether the schedule is due: every day at the minute of `Time` on the local clock `now`
// (time of day only), or once `Time` (00:00 meaning 24 hours) has passed since `TimerStartMs`
// on the steady clock, which reads `steadyNowMs` now: setting the local clock or a change of
// summer time neither delays nor hastens an interval.
[[nodiscard]] bool IsRunDue(const JobConditions& job, DateTime now, std::int64_t steadyNowMs);

enum class CheckResult : std::uint8_t {
  NotDue,
  Busy,  // a run is already in progress: nothing started
  Ran,
};

// One schedule check (the timer's event), on the session's clock. While a path is missing a
// due check first calls `session.reloadConditions` when set, and runs nothing when that
// switched the schedule off. After a run in interval mode the interval counts again from the
// end of the run; with `Once` the program is asked to end (`session.endRequested`, status
// from the run's outcome).
CheckResult Timer1_Timer(Session& session, const ScheduledRunner& runner, RunOutcome* outcome);

// The runner used by the program: the job driver, then the progress window is closed.
[[nodiscard]] RunOutcome RunScheduledJob(Session& session, const std::string& from,
                                         const std::string& to);

}  // namespace tolvan
