#pragma once

#include <atomic>
#include <csignal>
#include <cstdint>

#include "platform/HeadlessWindowSystem.h"

namespace tolvan::app {

// SIGINT and SIGTERM ask a run to stop as the progress window's stop button does: the
// handler sets the engine's StopFlag and the run ends at its next entry. A second signal
// during the same work ends the process at once (status 3), after removing the temporary
// file of a copy in progress and writing the report lines held back; with copies on the copy
// workers' hands (`copiesOnTheirWay`), it sets kStopAtOnce and the run ends the process once
// the lines of those copies are held (the workers start no more). While the scheduler
// waits between runs, a signal only ends the wait.
// The window services keep the request in force for a run that starts after it.
void InstallStopSignals(std::atomic<std::int16_t>& stopFlag,
                        const std::atomic<std::int32_t>& copiesOnTheirWay,
                        platform::HeadlessWindowSystem& ui);

// Number of stop signals received so far.
[[nodiscard]] int StopSignalCount();

// Sleeps up to `milliseconds`; true when a stop signal has arrived (before or during the
// wait). Signals are taken only inside the wait itself, so none is lost between the test and
// the sleep.
[[nodiscard]] bool WaitForStopSignal(long milliseconds);

}  // namespace tolvan::app
