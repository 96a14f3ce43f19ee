#include "engine/SideBySideSizeWalk.h"

#include <chrono>
#include <system_error>
#include <utility>

#include "engine/Engine.h"
#include "engine/FileOps.h"
#include "platform/ThreadSignals.h"

namespace tolvan {
namespace {

// How often the waiting caller lets events run and looks for a stop request.
constexpr std::chrono::milliseconds kEventInterval{20};

}  // namespace

SideBySideSizeWalk::SideBySideSizeWalk(Engine& engine, std::string folder, std::int16_t childDir,
                                       SizeWalkRecords records)
    : engine_(engine), folder_(std::move(folder)), childDir_(childDir), records_(records) {
  fs_ = engine.fs().forAnotherThread();
  if (fs_ != nullptr) {
    try {
      thread_ = std::thread([this] {
        platform::KeepStopSignalsAway();
        walk();
      });
      return;
    } catch (const std::system_error&) {
      // no thread to be had: the walks take turns
    }
  }
  bytes_ = TreeSize(engine_, folder_, childDir_, folders_, files_, LeftoverCopies::Keep, records_);
}

SideBySideSizeWalk::~SideBySideSizeWalk() {
  cancelled_ = true;
  if (thread_.joinable()) thread_.join();
}

// Only the stop flag is read here: the rest of the run state belongs to the caller's thread,
// which passes an end request on through `cancelled_`.
void SideBySideSizeWalk::walk() {
  const SizeWalkHooks hooks{
      [this] { return cancelled_.load() || engine_.run.StopFlag.load() != 0; }, [] {}, {}};
  const double bytes =
      TreeSizeWith(*fs_, folder_, childDir_, folders_, files_, hooks, false, records_);
  const std::lock_guard lock(mutex_);
  bytes_ = bytes;
  done_ = true;
  ended_.notify_one();
}

double SideBySideSizeWalk::finish(std::int64_t& folders, std::int64_t& files) {
  while (thread_.joinable()) {
    {
      std::unique_lock lock(mutex_);
      if (ended_.wait_for(lock, kEventInterval, [this] { return done_; })) {
        lock.unlock();
        thread_.join();
        break;
      }
    }
    engine_.ui().letEventsRun();
    if (engine_.run.stopRequested()) cancelled_ = true;
  }
  folders += folders_;
  files += files_;
  return bytes_;
}

}  // namespace tolvan
