#pragma once

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <string>

#include "platform/WindowSystem.h"

namespace tolvan::platform {

// The progress window of a run without a display. On a terminal it keeps one line up to date
// ("\r<status> <value>/<max> <estimate>", redrawn at most every 100 ms); elsewhere (a log
// file, a pipe) it writes a line only when the status text changes.
class HeadlessProgressWindow : public ProgressWindow {
 public:
  enum class Style : std::uint8_t { Terminal, Lines };

  HeadlessProgressWindow(std::FILE* out, Style style) : out_(out), style_(style) {}

  void show() override { shown_ = true; }
  void close() override;
  void setStatus(const std::string& text, std::uint32_t colour) override;
  void setPaths(const std::string& text) override { paths_ = text; }
  void setStopButtonVisible(bool) override {}
  void setBarVisible(bool visible) override;
  void setBarRange(std::int64_t minimum, std::int64_t maximum) override;
  void setBarValue(std::int64_t value) override;
  void setEstimateHeadingVisible(bool) override {}
  void setEstimate(const std::string& text) override;

  // Redraws the terminal line when something changed and 100 ms have passed.
  void refresh();

  [[nodiscard]] const std::string& status() const { return status_; }
  [[nodiscard]] const std::string& paths() const { return paths_; }
  [[nodiscard]] std::int64_t value() const { return value_; }
  [[nodiscard]] std::int64_t maximum() const { return maximum_; }

 private:
  void draw();
  [[nodiscard]] std::string line() const;

  std::FILE* out_;
  Style style_;
  bool shown_ = false;
  bool barVisible_ = false;
  bool changed_ = false;
  std::string status_;
  std::string paths_;
  std::string estimate_;
  std::int64_t minimum_ = 0;
  std::int64_t maximum_ = 0;
  std::int64_t value_ = 0;
  std::size_t drawnWidth_ = 0;  // of the terminal line, so a shorter one blanks the rest
  std::chrono::steady_clock::time_point lastDraw_{};
};

}  // namespace tolvan::platform
