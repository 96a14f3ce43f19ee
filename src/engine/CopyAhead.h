#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <unordered_set>
#include <vector>

#include "engine/JobConditions.h"
#include "engine/Report.h"
#include "platform/FileSystem.h"

namespace tolvan {

// How many copy workers, and how many copies of one folder go to one worker together.
struct CopyWorkers {
  unsigned count = 0;
  std::size_t batch = 1;
};
// Every core on a local disk, a folder's copies together (two workers writing in one folder
// wait on each other); more workers where a lookup of the backup volume, taking `lookupNs`,
// is a round trip to another machine.
[[nodiscard]] CopyWorkers CopyWorkersFor(std::int64_t lookupNs);

// Equal for paths that a case-blind folder may take for one; paths with different keys are
// never the same there (some with one key are).
[[nodiscard]] std::string CaseBlindKey(std::string_view path);

// Small copies made on worker threads while the walk goes on, each with a file system object
// of its own: new files, and replacements of old copies the walk has decided on. Nothing that
// needs a folder widened or an old copy moved to the trash is handed over (the walk makes
// those copies itself). A folder's copies go to one worker together. The results, and the
// report lines written meanwhile, are taken back in the order they were handed over, so the
// report keeps the order of the walk.
class CopyAhead final : public LineHold {
 public:
  // `workers` threads (none, and every copy refused, when `fs` cannot give objects for other
  // threads). With `run`, its CopiesOnTheirWay follows the copies and lines not taken back,
  // and the workers start no more copies from kStopAtOnce on, or once a side is lost.
  CopyAhead(platform::FileSystem& fs, CopyWorkers workers, RunState* run = nullptr);
  // Waits for the copies handed over; their results are dropped.
  ~CopyAhead();
  CopyAhead(const CopyAhead&) = delete;
  CopyAhead& operator=(const CopyAhead&) = delete;

  // What a copy is, and the report line it earns when made.
  struct Job {
    bool replace = false;  // an old copy is replaced; else the target was found missing
    ReportLineKind kind = ReportLineKind::NewFile;
    std::string text;  // the line's text; empty: the target
  };
  // A copy made, or a report line written while copies were on their way (`line` set).
  struct Finished {
    std::string source;
    std::string target;
    Job job;
    // kNotTaken: a worker cannot make this copy, the walk's thread must; kNotMade: it was
    // not begun, the run is ending at once or has lost a side
    int code = 0;
    std::int16_t line = -1;  // the line's kind (ReportLineKind); its text is in `target`
  };
  static constexpr int kNotTaken = -1;
  static constexpr int kNotMade = -2;

  [[nodiscard]] bool working() const { return !workers_.empty(); }
  // Hands a copy over (with the others of its folder; see release); first waits for the
  // oldest to finish when many are on their way.
  void handOver(std::string source, std::string target, Job job);
  // Whether copies are on their way, or finished but not taken back.
  [[nodiscard]] bool busy() const { return !order_.empty(); }
  // Whether a new file's copy not taken back has a target that a case-blind folder may take for
  // `target` (its name but for letter case). Where the rename cannot refuse to replace, a
  // copy of `target` made meanwhile would pass the check before it as well.
  [[nodiscard]] bool holdsNewCopyNamedLike(const std::string& target) const {
    return newCopies_.contains(CaseBlindKey(target));
  }
  // Keeps a report line for its place after the copies handed over so far.
  void addLine(std::int16_t kind, std::string text);
  [[nodiscard]] bool holdLine(std::int16_t kind, const std::string& text) override {
    if (!busy()) return false;
    addLine(kind, text);
    return true;
  }
  // The copies finished so far (or, with `all`, every copy handed over), oldest first, up to
  // the first that has not finished.
  [[nodiscard]] std::vector<Finished> takeFinished(bool all);
  // Tells the run how many copies and lines are not taken back; after takeFinished, once the
  // report holds the lines of those taken.
  void countOnTheirWay();

 private:
  struct Copy {
    Finished result;
    bool finished = false;
    std::string caseBlindKey;  // a new file's (CaseBlindKey); empty for any other
  };

  void work(platform::FileSystem& fs);
  // Lets the workers have the copies handed over since the last release.
  void release();
  // Waits (the lock held) until the `count` oldest copies have finished.
  void waitForOldest(std::unique_lock<std::mutex>& lock, std::size_t count);

  RunState* run_;
  std::size_t batch_;
  std::vector<std::unique_ptr<platform::FileSystem>> systems_;
  std::mutex mutex_;
  std::condition_variable waiting_;          // a copy was handed over, or the workers are to end
  std::condition_variable finished_;         // a copy finished
  std::deque<std::unique_ptr<Copy>> order_;  // every copy not yet taken back, oldest first
  std::vector<Copy*> open_;                  // handed over, not yet released (caller's thread)
  std::unordered_multiset<std::string> newCopies_;  // keys of new files not taken back (caller's)
  std::deque<std::vector<Copy*>> queued_;           // released batches no worker has begun
  bool ending_ = false;
  Copy* awaited_ = nullptr;  // the copy the caller waits for, if it waits
  std::vector<std::thread> workers_;
};

}  // namespace tolvan
