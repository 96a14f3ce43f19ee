#pragma once

#include <cstdint>
#include <string>

#include "engine/DateTime.h"
#include "engine/JobConditions.h"
#include "platform/SystemInfo.h"
#include "platform/WindowSystem.h"

namespace tolvan {

// The progress window's counting: the bar moves in about 400 steps whatever the run's size,
// and the remaining-time estimate is redrawn only then.
class Progress {
 public:
  Progress(platform::ProgressWindow& window, platform::SystemInfo& sys, RunState& run);

  void ProcessInit();
  void BarInit(std::int64_t total);
  // Counts one entry; only the path is used (empty resets the pending count).
  void ProcessWrite(const std::string& path, std::uint32_t attributes = 0, int code = 0,
                    DateTime when = 0);

  [[nodiscard]] std::int64_t step() const { return step_; }
  [[nodiscard]] std::int64_t value() const { return value_; }
  [[nodiscard]] std::int64_t maximum() const { return maximum_; }
  [[nodiscard]] platform::ProgressWindow& window() { return window_; }

 private:
  platform::ProgressWindow& window_;
  platform::SystemInfo& sys_;
  RunState& run_;
  std::int64_t step_ = 1;
  std::int64_t pending_ = 0;
  std::int64_t value_ = 0;
  std::int64_t maximum_ = 1;
};

}  // namespace tolvan
