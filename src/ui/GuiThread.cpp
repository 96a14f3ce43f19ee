#include "ui/GuiThread.h"

#include <sys/eventfd.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QSocketNotifier>
#include <QThread>
#include <atomic>
#include <condition_variable>
#include <deque>
#include <exception>
#include <memory>
#include <mutex>

namespace tolvan::ui {
namespace {

// Calls queued for the GUI thread. The queue itself is guarded by a std::mutex and the GUI
// thread is woken through an eventfd watched by a socket notifier: nothing a worker hands
// over travels through Qt's event queue, whose locks the thread checker cannot see.
class GuiCallQueue {
 public:
  GuiCallQueue() : wakeFd_(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {}
  GuiCallQueue(const GuiCallQueue&) = delete;
  GuiCallQueue& operator=(const GuiCallQueue&) = delete;

  void post(std::function<void()> call) {
    {
      const std::lock_guard lock(mutex_);
      calls_.push_back(std::move(call));
    }
    wake();
  }

  // GUI thread: runs the calls queued so far, each outside the lock (a call may open a modal
  // dialog, whose event loop comes back here for later calls).
  void runQueued() {
    clearWake();
    for (;;) {
      std::function<void()> call;
      {
        const std::lock_guard lock(mutex_);
        if (calls_.empty()) return;
        call = std::move(calls_.front());
        calls_.pop_front();
      }
      call();
    }
  }

  // GUI thread: starts watching the wake-up descriptor.
  void watch() {
    if (watching_.load() || wakeFd_ < 0) return;
    notifier_ = std::make_unique<QSocketNotifier>(wakeFd_, QSocketNotifier::Read);
    QObject::connect(notifier_.get(), &QSocketNotifier::activated, [this] { runQueued(); });
    watching_.store(true);
  }

 private:
  void wake() {
    if (watching_.load()) {
      (void)::eventfd_write(wakeFd_, 1);
      return;
    }
    // Nobody watches yet: have the GUI thread start watching and run what is queued.
    QCoreApplication* app = QCoreApplication::instance();
    if (app == nullptr) return;
    QMetaObject::invokeMethod(
        app,
        [this] {
          watch();
          runQueued();
        },
        Qt::QueuedConnection);
  }

  void clearWake() {
    eventfd_t count = 0;
    if (wakeFd_ >= 0) (void)::eventfd_read(wakeFd_, &count);
  }

  std::mutex mutex_;
  std::deque<std::function<void()>> calls_;
  const int wakeFd_;
  std::atomic<bool> watching_{false};
  std::unique_ptr<QSocketNotifier> notifier_;  // GUI thread only
};

GuiCallQueue& Queue() {
  // Never destroyed: a worker may still post while the program ends.
  static auto* queue = new GuiCallQueue;
  return *queue;
}

// What a blocked caller waits for.
struct PendingCall {
  std::mutex mutex;
  std::condition_variable finished;
  bool done = false;
  std::exception_ptr error;
};

}  // namespace

bool OnGuiThread() {
  const QCoreApplication* app = QCoreApplication::instance();
  return app == nullptr || QThread::currentThread() == app->thread();
}

void PostToGuiThread(std::function<void()> call) {
  if (OnGuiThread()) Queue().watch();
  Queue().post(std::move(call));
}

void CallOnGuiThread(const std::function<void()>& call) {
  if (OnGuiThread()) {
    call();
    return;
  }
  auto pending = std::make_shared<PendingCall>();
  Queue().post([pending, &call] {
    std::exception_ptr error;
    try {
      call();
    } catch (...) {
      error = std::current_exception();
    }
    const std::lock_guard lock(pending->mutex);
    pending->error = error;
    pending->done = true;
    pending->finished.notify_all();
  });
  std::unique_lock lock(pending->mutex);
  pending->finished.wait(lock, [&] { return pending->done; });
  if (pending->error) std::rethrow_exception(pending->error);
}

void RunQueuedGuiCalls() {
  Queue().watch();
  Queue().runQueued();
}

}  // namespace tolvan::ui
