#pragma once

#include <functional>

#include "platform/WindowSystem.h"

namespace tolvan::ui {

class ProcessWindow;

// The progress window as the engine drives it, from any thread: every call is queued for the
// GUI thread in order and never waits, so the engine's walk does not slow down for drawing.
class ProcessWindowFeed final : public platform::ProgressWindow {
 public:
  // `window` gives the window on the GUI thread, made on first use.
  explicit ProcessWindowFeed(std::function<ProcessWindow&()> window) : window_(std::move(window)) {}

  void show() override;
  void close() override;
  void setStatus(const std::string& text, std::uint32_t colour) override;
  void setPaths(const std::string& text) override;
  void setStopButtonVisible(bool visible) override;
  void setBarVisible(bool visible) override;
  void setBarRange(std::int64_t minimum, std::int64_t maximum) override;
  void setBarValue(std::int64_t value) override;
  void setEstimateHeadingVisible(bool visible) override;
  void setEstimate(const std::string& text) override;

 private:
  void feed(std::function<void(ProcessWindow&)> change);

  std::function<ProcessWindow&()> window_;
};

}  // namespace tolvan::ui
