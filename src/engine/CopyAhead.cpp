#include "engine/CopyAhead.h"

#include <algorithm>
#include <cerrno>
#include <utility>

namespace tolvan {
namespace {

// Copies on their way at most: enough to keep the workers busy, few enough that a stop
// waits only for a moment.
constexpr std::size_t kMaxOnTheirWay = 64;

unsigned WorkerCount() {
  const unsigned cores = std::thread::hardware_concurrency();
  return std::clamp(cores, 1U, 4U);
}

}  // namespace

CopyAhead::CopyAhead(platform::FileSystem& fs) {
  for (unsigned i = 0; i < WorkerCount(); ++i) {
    auto own = fs.forAnotherThread();
    if (own == nullptr) break;
    systems_.push_back(std::move(own));
  }
  for (const auto& system : systems_) {
    workers_.emplace_back([this, &system] { work(*system); });
  }
}

CopyAhead::~CopyAhead() {
  {
    const std::lock_guard lock(mutex_);
    ending_ = true;
  }
  waiting_.notify_all();
  for (std::thread& worker : workers_) worker.join();
}

void CopyAhead::work(platform::FileSystem& fs) {
  std::unique_lock lock(mutex_);
  for (;;) {
    waiting_.wait(lock, [this] { return ending_ || !queued_.empty(); });
    if (queued_.empty()) return;  // ending, with nothing left to copy
    Copy* copy = queued_.front();
    queued_.pop_front();
    lock.unlock();
    const int code = fs.copyNewFileUnnamed(copy->result.source, copy->result.target);
    lock.lock();
    copy->result.code = code == ENOTSUP ? kNotTaken : code;
    copy->finished = true;
    finished_.notify_all();
  }
}

void CopyAhead::handOver(std::string source, std::string target) {
  std::unique_lock lock(mutex_);
  finished_.wait(lock,
                 [this] { return order_.size() < kMaxOnTheirWay || order_.front()->finished; });
  auto copy = std::make_unique<Copy>();
  copy->result.source = std::move(source);
  copy->result.target = std::move(target);
  queued_.push_back(copy.get());
  order_.push_back(std::move(copy));
  lock.unlock();
  waiting_.notify_one();
}

std::vector<CopyAhead::Finished> CopyAhead::takeFinished(bool all) {
  std::vector<Finished> taken;
  std::unique_lock lock(mutex_);
  while (!order_.empty()) {
    if (!order_.front()->finished) {
      if (!all) break;
      finished_.wait(lock, [this] { return order_.front()->finished; });
    }
    taken.push_back(std::move(order_.front()->result));
    order_.pop_front();
  }
  return taken;
}

bool CopyAhead::empty() {
  const std::lock_guard lock(mutex_);
  return order_.empty();
}

}  // namespace tolvan
