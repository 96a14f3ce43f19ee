#pragma once

#include <functional>

namespace tolvan::ui {

// Runs `work` (engine work: a run, a simulation, a batch file) on a worker thread while the
// GUI thread keeps handling events (nested event loop); returns when `work` has ended and
// everything it queued for the GUI thread has been shown. Returns false without running
// anything when a run is already in progress: a schedule check must never start a second
// run inside a running one. Called from the GUI thread; anywhere else `work` runs in place.
[[nodiscard]] bool RunOnWorker(const std::function<void()>& work);

[[nodiscard]] bool RunInProgress();

}  // namespace tolvan::ui
