#pragma once

#include <pthread.h>

#include <csignal>

namespace tolvan::platform {

// Called first on a helper thread of a run (the size walk, a copy worker): the stop signals
// (SIGINT, SIGTERM) then always reach the thread that runs the job, so a second one ends the
// program there, and not while that thread goes on to finish a copy the report would not show.
inline void KeepStopSignalsAway() {
  sigset_t set;
  sigemptyset(&set);
  sigaddset(&set, SIGINT);
  sigaddset(&set, SIGTERM);
  (void)pthread_sigmask(SIG_BLOCK, &set, nullptr);
}

// Sends the calling thread a stop signal again: a second stop signal that had to wait for the
// copy workers then ends the program.
inline void RepeatStopSignal() {
  (void)::raise(SIGTERM);
}

}  // namespace tolvan::platform
