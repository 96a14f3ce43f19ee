#include "ui/QuitSignals.h"

#include <fcntl.h>
#include <unistd.h>

#include <QSocketNotifier>

namespace tolvan::ui {
namespace {

static_assert(std::atomic<std::int16_t>::is_always_lock_free,
              "the stop flag is set from a signal handler");

int g_pipe[2] = {-1, -1};
std::atomic<std::int16_t>* g_stopFlag = nullptr;

extern "C" void OnQuitSignal(int /*signal*/) {
  if (g_stopFlag != nullptr) g_stopFlag->store(1, std::memory_order_relaxed);
  const char byte = 1;
  (void)!::write(g_pipe[1], &byte, 1);
}

constexpr int kIdleCheckMs = 100;

}  // namespace

QuitSignals::QuitSignals(std::atomic<std::int16_t>& stopFlag, std::function<bool()> runActive,
                         std::function<void()> closeWindow, QObject* parent)
    : QObject(parent), runActive_(std::move(runActive)), closeWindow_(std::move(closeWindow)) {
  if (::pipe2(g_pipe, O_CLOEXEC | O_NONBLOCK) != 0) return;
  g_stopFlag = &stopFlag;
  notifier_ = new QSocketNotifier(g_pipe[0], QSocketNotifier::Read, this);
  connect(notifier_, &QSocketNotifier::activated, this, &QuitSignals::onSignal);
  idleCheck_.setInterval(kIdleCheckMs);
  connect(&idleCheck_, &QTimer::timeout, this, &QuitSignals::closeWhenIdle);
  struct sigaction action {};
  action.sa_handler = OnQuitSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  sigaction(SIGINT, &action, &previousInt_);
  sigaction(SIGTERM, &action, &previousTerm_);
}

QuitSignals::~QuitSignals() {
  if (notifier_ == nullptr) return;
  sigaction(SIGINT, &previousInt_, nullptr);
  sigaction(SIGTERM, &previousTerm_, nullptr);
  g_stopFlag = nullptr;
  delete notifier_;
  ::close(g_pipe[0]);
  ::close(g_pipe[1]);
  g_pipe[0] = g_pipe[1] = -1;
}

void QuitSignals::onSignal() {
  char bytes[16];
  while (::read(g_pipe[0], bytes, sizeof bytes) > 0) {
  }
  closeWhenIdle();
  if (!idleCheck_.isActive() && runActive_()) idleCheck_.start();
}

void QuitSignals::closeWhenIdle() {
  if (runActive_()) return;
  idleCheck_.stop();
  closeWindow_();
}

}  // namespace tolvan::ui
