#include "app/SignalAwareWindowSystem.h"

#include "app/StopSignals.h"

namespace tolvan::app {

void SignalAwareWindowSystem::letEventsRun() {
  if (run_ != nullptr && StopSignalCount() > 0 && run_->StopFlag.load() == 0) {
    run_->StopFlag.store(1);
  }
  inner_.letEventsRun();
}

}  // namespace tolvan::app
