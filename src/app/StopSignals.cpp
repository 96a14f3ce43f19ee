#include "app/StopSignals.h"

#include <poll.h>
#include <pthread.h>
#include <unistd.h>

#include <ctime>

#include "engine/ExitStatus.h"
#include "engine/JobConditions.h"
#include "platform/LinuxFileSystem.h"
#include "platform/LinuxLockedFile.h"

namespace tolvan::app {
namespace {

static_assert(std::atomic<std::int16_t>::is_always_lock_free,
              "the stop flag is set from a signal handler");

std::atomic<std::int16_t>* g_stopFlag = nullptr;
const std::atomic<std::int32_t>* g_copiesOnTheirWay = nullptr;
platform::HeadlessWindowSystem* g_ui = nullptr;
volatile std::sig_atomic_t g_signals = 0;
volatile std::sig_atomic_t g_waiting = 0;
pthread_t g_runThread{};

extern "C" void OnStopSignal(int signal) {
  // A signal a helper thread (the size walk, a copy worker) takes goes on to the thread that
  // runs the job: ending the program there, that thread can no longer finish a copy meanwhile
  // that the report would not show.
  if (pthread_equal(pthread_self(), g_runThread) == 0) {
    (void)pthread_kill(g_runThread, signal);
    return;
  }
  g_signals = g_signals + 1;
  if (g_waiting != 0) return;
  if (g_signals >= 2 && g_copiesOnTheirWay != nullptr && g_copiesOnTheirWay->load() > 0) {
    g_stopFlag->store(kStopAtOnce);  // the run thread signals again once their lines are held
    return;
  }
  if (g_signals >= 2) {
    platform::LinuxFileSystem::DiscardPartialCopyFromSignalHandler();
    // The report keeps every line of what was done, also those held back to be written later.
    platform::LinuxLockedFile::WriteHeldFromSignalHandler();
    _exit(kExitStopped);
  }
  if (g_stopFlag != nullptr) g_stopFlag->store(1, std::memory_order_relaxed);
  if (g_ui != nullptr) g_ui->requestStop();
}

sigset_t StopSignalSet() {
  sigset_t set;
  sigemptyset(&set);
  sigaddset(&set, SIGINT);
  sigaddset(&set, SIGTERM);
  return set;
}

}  // namespace

void InstallStopSignals(std::atomic<std::int16_t>& stopFlag,
                        const std::atomic<std::int32_t>& copiesOnTheirWay,
                        platform::HeadlessWindowSystem& ui) {
  g_stopFlag = &stopFlag;
  g_copiesOnTheirWay = &copiesOnTheirWay;
  g_ui = &ui;
  g_runThread = pthread_self();
  struct sigaction action {};
  action.sa_handler = OnStopSignal;
  sigemptyset(&action.sa_mask);
  // No SA_RESTART: a wait or a blocking read returns early, the work notices the flag.
  action.sa_flags = 0;
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);
}

int StopSignalCount() {
  return g_signals;
}

bool WaitForStopSignal(long milliseconds) {
  const sigset_t stopSignals = StopSignalSet();
  sigset_t previous;
  sigprocmask(SIG_BLOCK, &stopSignals, &previous);
  g_waiting = 1;
  const timespec timeout{static_cast<time_t>(milliseconds / 1000),
                         static_cast<long>(milliseconds % 1000) * 1000000L};
  // ppoll unblocks the signals only while it sleeps.
  if (g_signals == 0) (void)ppoll(nullptr, 0, &timeout, &previous);
  const bool signalled = g_signals != 0;
  if (!signalled) g_waiting = 0;  // a signal that slips in now stops the coming run
  sigprocmask(SIG_SETMASK, &previous, nullptr);
  return signalled;
}

}  // namespace tolvan::app
