#include "ui/WorkerRun.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <atomic>
#include <exception>
#include <thread>

#include "ui/GuiThread.h"

namespace tolvan::ui {
namespace {

std::atomic<bool> runInProgress{false};

// Clears the in-progress mark however the run ends.
struct RunMark {
  RunMark() = default;
  RunMark(const RunMark&) = delete;
  RunMark& operator=(const RunMark&) = delete;
  ~RunMark() { runInProgress.store(false); }
};

std::exception_ptr RunInNestedLoop(const std::function<void()>& work) {
  std::exception_ptr error;
  bool finished = false;  // GUI thread only
  QEventLoop loop;
  std::thread worker([&] {
    try {
      work();
    } catch (...) {
      error = std::current_exception();
    }
    PostToGuiThread([&] {
      finished = true;
      loop.quit();
    });
  });
  if (!finished) loop.exec();
  // The application may have been told to quit meanwhile: the worker still has to end first.
  while (!finished) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
  worker.join();
  RunQueuedGuiCalls();
  return error;
}

}  // namespace

bool RunInProgress() {
  return runInProgress.load();
}

bool RunOnWorker(const std::function<void()>& work) {
  if (runInProgress.exchange(true)) return false;
  const RunMark mark;
  if (!OnGuiThread()) {
    work();
    return true;
  }
  RunQueuedGuiCalls();  // starts watching for the worker's calls
  if (const std::exception_ptr error = RunInNestedLoop(work)) std::rethrow_exception(error);
  return true;
}

}  // namespace tolvan::ui
