#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/FileSystem.h"

namespace tolvan {

// Copies of new small files made on worker threads while the walk goes on, each with a file
// system object of its own. Only files of a backup folder the run has just made are handed
// over: nothing else can be there, and nothing there needs its folder widened. The results
// are taken back in the order the copies were handed over, so report lines keep the order
// of the walk.
class CopyAhead {
 public:
  // No workers (and every copy refused) when `fs` cannot give objects for other threads.
  explicit CopyAhead(platform::FileSystem& fs);
  // Waits for the copies handed over; their results are dropped.
  ~CopyAhead();
  CopyAhead(const CopyAhead&) = delete;
  CopyAhead& operator=(const CopyAhead&) = delete;

  struct Finished {
    std::string source;
    std::string target;
    int code = 0;  // kNotTaken: the file system cannot make this copy without a named temporary
  };
  static constexpr int kNotTaken = -1;

  [[nodiscard]] bool working() const { return !workers_.empty(); }
  // Hands a copy over; first waits for the oldest to finish when many are on their way.
  void handOver(std::string source, std::string target);
  // The copies finished so far (or, with `all`, every copy handed over), oldest first, up to
  // the first that has not finished.
  [[nodiscard]] std::vector<Finished> takeFinished(bool all);
  [[nodiscard]] bool empty();

 private:
  struct Copy {
    Finished result;
    bool finished = false;
  };
  void work(platform::FileSystem& fs);

  std::vector<std::unique_ptr<platform::FileSystem>> systems_;
  std::mutex mutex_;
  std::condition_variable waiting_;          // a copy was handed over, or the workers are to end
  std::condition_variable finished_;         // a copy finished
  std::deque<std::unique_ptr<Copy>> order_;  // every copy not yet taken back, oldest first
  std::deque<Copy*> queued_;                 // those no worker has begun
  bool ending_ = false;
  std::vector<std::thread> workers_;
};

}  // namespace tolvan
