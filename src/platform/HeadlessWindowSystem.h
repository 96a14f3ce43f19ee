#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <string>

#include "platform/HeadlessProgressWindow.h"
#include "platform/WindowSystem.h"

namespace tolvan::platform {

// Window-system services for runs without a display: message boxes become one line each on
// standard error, a question takes the answer that lets the run go on without losing data
// and says so, the wait dialog polls until the files are free or a stop is requested.
class HeadlessWindowSystem : public WindowSystem {
 public:
  // The progress display draws one updating line when `out` is a terminal.
  explicit HeadlessWindowSystem(std::FILE* out = stderr);
  HeadlessWindowSystem(std::FILE* out, HeadlessProgressWindow::Style style);

  MessageAnswer messageBox(const std::string& text, const std::string& title, MessageIcon icon,
                           MessageButtons buttons) override;
  void letEventsRun() override;
  bool runWaitDialog(const std::string& caption, const std::string& label1,
                     const std::string& label2, const std::function<bool()>& poll) override;
  ProgressWindow& progress() override { return progress_; }
  void setBusy(bool) override {}
  void restoreMainWindow() override {}
  // Nobody could look at it: the document's path goes to standard output instead.
  bool openDocument(const std::string& path) override;

  // A stop request (async-signal-safe): a waiting dialog returns "cancelled".
  void requestStop() { stopRequested_.store(true); }
  // Also treats a non-zero value of this flag (the run state's stop flag) as a stop request,
  // and sets it again at the next entry when a stop was requested: a run clears the flag as it
  // begins, and a stop asked for just before must not be lost.
  void watchStopFlag(std::atomic<std::int16_t>* flag) { stopFlag_ = flag; }
  [[nodiscard]] bool stopRequested() const;
  // Time between two polls of the wait dialog.
  void setWaitInterval(std::chrono::milliseconds interval) { waitInterval_ = interval; }

 private:
  void writeLine(const std::string& text);

  std::FILE* out_;
  HeadlessProgressWindow progress_;
  std::atomic<bool> stopRequested_{false};
  std::atomic<std::int16_t>* stopFlag_ = nullptr;
  std::chrono::milliseconds waitInterval_{200};
  std::uint32_t eventCalls_ = 0;
  std::chrono::steady_clock::time_point lastPump_{};
};

// "title: text" on one line; line breaks inside the text become blanks.
[[nodiscard]] std::string MessageLine(const std::string& title, const std::string& text);

}  // namespace tolvan::platform
