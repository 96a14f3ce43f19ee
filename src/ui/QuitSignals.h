#pragma once

#include <QObject>
#include <QTimer>
#include <atomic>
#include <csignal>
#include <cstdint>
#include <functional>

class QSocketNotifier;

namespace tolvan::ui {

// SIGINT and SIGTERM while the window is up: a run in progress is asked to stop as the stop
// button does, and the main window closes through its closing sequence once no run is
// going. One instance at a time; the previous handlers come back when it goes.
class QuitSignals : public QObject {
  Q_OBJECT

 public:
  QuitSignals(std::atomic<std::int16_t>& stopFlag, std::function<bool()> runActive,
              std::function<void()> closeWindow, QObject* parent = nullptr);
  ~QuitSignals() override;
  QuitSignals(const QuitSignals&) = delete;
  QuitSignals& operator=(const QuitSignals&) = delete;

 private:
  void onSignal();
  void closeWhenIdle();

  std::function<bool()> runActive_;
  std::function<void()> closeWindow_;
  QSocketNotifier* notifier_ = nullptr;
  QTimer idleCheck_;
  struct sigaction previousInt_ {};
  struct sigaction previousTerm_ {};
};

}  // namespace tolvan::ui
