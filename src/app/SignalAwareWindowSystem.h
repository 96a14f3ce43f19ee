#pragma once

#include "engine/JobConditions.h"
#include "platform/WindowSystem.h"

namespace tolvan::app {

// Passes everything to the headless services, and keeps a stop signal in force: the job
// driver clears StopFlag when a run begins, so a signal that came just before would be lost;
// here it is set again at the next entry of the walk.
class SignalAwareWindowSystem : public platform::WindowSystem {
 public:
  explicit SignalAwareWindowSystem(platform::WindowSystem& inner) : inner_(inner) {}
  // The run state whose StopFlag a signal sets (the engine's, once it exists).
  void watch(RunState& run) { run_ = &run; }

  platform::MessageAnswer messageBox(const std::string& text, const std::string& title,
                                     platform::MessageIcon icon,
                                     platform::MessageButtons buttons) override {
    return inner_.messageBox(text, title, icon, buttons);
  }
  void letEventsRun() override;
  bool runWaitDialog(const std::string& caption, const std::string& label1,
                     const std::string& label2, const std::function<bool()>& poll) override {
    return inner_.runWaitDialog(caption, label1, label2, poll);
  }
  platform::ProgressWindow& progress() override { return inner_.progress(); }
  void setBusy(bool busy) override { inner_.setBusy(busy); }
  void restoreMainWindow() override { inner_.restoreMainWindow(); }

 private:
  platform::WindowSystem& inner_;
  RunState* run_ = nullptr;
};

}  // namespace tolvan::app
