#pragma once

#include "conditions/Session.h"

namespace tolvan::app {

// Keeps the armed schedule in the foreground: one check every 58 seconds on the real clock,
// the job run when it is due. Ends after a run with "Once for all" (that run's status), after
// a run stopped by a signal (3), on a signal between runs (0), or when a conditions file read
// again switched the schedule off (0).
[[nodiscard]] int RunSchedulerLoop(Session& session);

}  // namespace tolvan::app
