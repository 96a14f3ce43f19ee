#pragma once

#include <QPointer>
#include <QWidget>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <thread>

#include "platform/SettingsStore.h"
#include "platform/WindowSystem.h"
#include "ui/ProcessWindowFeed.h"

namespace tolvan::ui {

class ProcessWindow;

// The window system of the desktop program. Made on the GUI thread; every call may come
// from the engine's worker thread, and is then carried to the GUI thread: the progress
// window's changes queued, message boxes, the wait dialog, the busy state, the main window's
// return and document opening waited for.
class QtWindowSystem final : public platform::WindowSystem {
 public:
  explicit QtWindowSystem(platform::SettingsStore& settings);
  ~QtWindowSystem() override;
  QtWindowSystem(const QtWindowSystem&) = delete;
  QtWindowSystem& operator=(const QtWindowSystem&) = delete;

  // Owner of the message boxes and the wait dialog; the window setBusy disables.
  void setMainWindow(QWidget* window);
  // Run on the GUI thread by restoreMainWindow (the main window refreshes itself). Without
  // one, the main window is shown again unless it is minimized.
  void setRestoreHandler(std::function<void()> handler);
  // "中断" stores -1 there.
  void watchStopFlag(std::atomic<std::int16_t>* flag);
  // The progress window (GUI thread only), made on first use.
  [[nodiscard]] ProcessWindow& processWindow();

  platform::MessageAnswer messageBox(const std::string& text, const std::string& title,
                                     platform::MessageIcon icon,
                                     platform::MessageButtons buttons) override;
  // On the worker nothing: the stop flag is atomic and the GUI thread runs by itself. On the
  // GUI thread it handles pending events at most every 50 ms.
  void letEventsRun() override;
  bool runWaitDialog(const std::string& caption, const std::string& label1,
                     const std::string& label2, const std::function<bool()>& poll) override;
  platform::ProgressWindow& progress() override { return feed_; }
  void setBusy(bool busy) override;
  void restoreMainWindow() override;
  bool openDocument(const std::string& path) override;

 private:
  // The main window when it can own a dialog: a disabled owner would disable the dialog too.
  [[nodiscard]] QWidget* dialogOwner() const;

  platform::SettingsStore& settings_;
  ProcessWindowFeed feed_;
  // GUI thread only from here on.
  std::unique_ptr<ProcessWindow> processWindow_;
  QPointer<QWidget> mainWindow_;
  std::function<void()> restoreHandler_;
  std::atomic<std::int16_t>* stopFlag_ = nullptr;
  bool busy_ = false;
  const std::thread::id guiThread_;
  std::chrono::steady_clock::time_point lastEvents_{};
};

}  // namespace tolvan::ui
