#pragma once

#include "engine/JobDriver.h"

namespace tolvan {

// The process's exit status after a run started without a window (documented in --help).
enum ExitStatus : int {
  kExitSuccess = 0,  // the run finished without errors
  kExitErrors = 1,   // the run finished with errors counted, or with its report incomplete
  kExitRefused = 2,  // refused or could not start (also usage errors), or a side went away
  kExitStopped = 3,  // stopped by request (a signal)
};

[[nodiscard]] inline int ExitStatusFor(const RunOutcome& outcome) {
  switch (outcome.end) {
    case RunEnd::Finished:
      return outcome.errors > 0 || outcome.reportIncomplete ? kExitErrors : kExitSuccess;
    case RunEnd::Stopped:
      return kExitStopped;
    case RunEnd::Refused:
    case RunEnd::Abandoned:
    case RunEnd::Lost:
      break;
  }
  return kExitRefused;
}

}  // namespace tolvan
