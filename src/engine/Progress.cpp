#include "engine/Progress.h"

#include <algorithm>

namespace tolvan {

Progress::Progress(platform::ProgressWindow& window, platform::SystemInfo& sys, RunState& run)
    : window_(window), sys_(sys), run_(run) {}

void Progress::ProcessInit() {
  value_ = 0;
  window_.setBarRange(0, maximum_);
  window_.setBarValue(0);
  window_.setBarVisible(false);
  ProcessWrite({});
}

void Progress::BarInit(std::int64_t total) {
  maximum_ = std::max<std::int64_t>(total, 1);
  // About 400 advances whatever the size: a quarter of a percent per step.
  step_ = std::max<std::int64_t>(maximum_ / 400, 1);
  window_.setBarRange(0, maximum_);
  window_.setBarVisible(true);
}

void Progress::ProcessWrite(const std::string& path, std::uint32_t, int, DateTime) {
  if (path.empty()) {
    pending_ = 0;
    return;
  }
  if (++pending_ < step_) return;
  value_ = std::min(value_ + pending_, maximum_);
  pending_ = 0;
  window_.setBarValue(value_);
  // The entries still to come are assumed to take as long each as those done so far.
  const DateTime elapsed = Now(sys_) - run_.StartTime;
  if (elapsed <= 0) return;  // no pace yet within the first second: no estimate
  const auto remaining = static_cast<double>(maximum_ - value_);
  window_.setEstimate(FormatElapsed(elapsed * remaining / static_cast<double>(value_)));
}

}  // namespace tolvan
