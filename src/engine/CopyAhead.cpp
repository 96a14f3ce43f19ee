#include "engine/CopyAhead.h"

#include <algorithm>
#include <cerrno>
#include <string_view>
#include <utility>

#include "engine/ListingPrefetch.h"
#include "engine/SteadyCopy.h"
#include "platform/ThreadSignals.h"

namespace tolvan {
namespace {

// Copies on their way at most: enough to keep the workers busy, few enough that a stop
// waits only for a moment.
constexpr std::size_t kMaxOnTheirWay = 256;

std::string_view FolderOf(const std::string& path) {
  return std::string_view(path).substr(0, path.rfind('/'));
}

// A refused folder (EACCES) may take widening, which only the walk's thread does.
bool TakenByTheWalk(int code) {
  return code == ENOTSUP || code == EACCES;
}

// A master that changes while it is read is copied again here, as the walk would.
int CopyOnWorker(platform::FileSystem& fs, const CopyAhead::Finished& copy) {
  return CopyWhileSteady(
      [&] { return fs.copyOnWorker(copy.source, copy.target, copy.job.replace); });
}

// Code points of the scripts with letter case (Latin, Greek, Cyrillic and the others up to
// U+2DFF, those of U+A640 to U+ABFF, the fullwidth forms, and those past U+FFFF), which a
// case-blind volume's own table may map to one another.
bool MayHaveOtherCase(char32_t c) {
  return c < 0x2E00 || (c >= 0xA640 && c < 0xAC00) || (c >= 0xFF00 && c < 0xFFF0) || c > 0xFFFF;
}

// The length of the UTF-8 sequence `lead` begins, or 0 for a byte that begins none.
std::size_t SequenceLength(unsigned char lead) {
  if (lead >= 0xC0 && lead < 0xE0) return 2;
  if (lead >= 0xE0 && lead < 0xF0) return 3;
  return lead >= 0xF0 && lead < 0xF8 ? 4 : 0;
}

constexpr char kAnyCase = '\x01';

}  // namespace

// ASCII letters in one case; a character of a script with letter case, and the ASCII letters
// others fold to (I, K and S: the dotless i, the Kelvin sign, the long s), all as one mark.
std::string CaseBlindKey(std::string_view path) {
  std::string key;
  key.reserve(path.size());
  const std::size_t name = path.rfind('/') + 1;
  key.append(path.substr(0, name));
  for (std::size_t i = name; i < path.size();) {
    const auto byte = static_cast<unsigned char>(path[i]);
    if (byte < 0x80) {
      const char upper = byte >= 'a' && byte <= 'z' ? static_cast<char>(byte - 'a' + 'A')
                                                    : static_cast<char>(byte);
      key.push_back(upper == 'I' || upper == 'K' || upper == 'S' ? kAnyCase : upper);
      ++i;
      continue;
    }
    const std::size_t length = SequenceLength(byte);
    if (length == 0 || i + length > path.size()) {
      key.push_back(static_cast<char>(byte));  // not UTF-8: as it is
      ++i;
      continue;
    }
    char32_t c = byte & (0x7F >> length);
    for (std::size_t k = 1; k < length; ++k)
      c = (c << 6) | (static_cast<unsigned char>(path[i + k]) & 0x3F);
    if (MayHaveOtherCase(c))
      key.push_back(kAnyCase);
    else
      key.append(path.substr(i, length));
    i += length;
  }
  return key;
}

CopyWorkers CopyWorkersFor(std::int64_t lookupNs) {
  // Copies onto a volume where each call waits for a round trip need more of them on their
  // way than there are cores, and a folder's copies spread over several workers.
  constexpr unsigned kFewestOnAShare = 4;
  constexpr std::size_t kBatchOnAShare = 4;
  const unsigned readers = ReadAheadThreads(lookupNs);
  if (readers != 0) return {std::max(readers, kFewestOnAShare), kBatchOnAShare};
  return {std::clamp(std::thread::hardware_concurrency(), 1U, 4U), 64};
}

CopyAhead::CopyAhead(platform::FileSystem& fs, CopyWorkers workers, RunState* run)
    : run_(run), batch_(workers.batch) {
  for (unsigned i = 0; i < workers.count; ++i) {
    auto own = fs.forAnotherThread();
    if (own == nullptr) break;
    systems_.push_back(std::move(own));
  }
  countOnTheirWay();
  for (const auto& system : systems_) {
    workers_.emplace_back([this, &system] {
      platform::KeepStopSignalsAway();
      work(*system);
    });
  }
}

CopyAhead::~CopyAhead() {
  {
    const std::lock_guard lock(mutex_);
    ending_ = true;
  }
  waiting_.notify_all();
  for (std::thread& worker : workers_) worker.join();
  if (run_ != nullptr) run_->CopiesOnTheirWay.store(0);
}

void CopyAhead::work(platform::FileSystem& fs) {
  std::unique_lock lock(mutex_);
  for (;;) {
    waiting_.wait(lock, [this] { return ending_ || !queued_.empty(); });
    if (queued_.empty()) return;  // ending, with nothing left to copy
    const std::vector<Copy*> batch = std::move(queued_.front());
    queued_.pop_front();
    for (Copy* copy : batch) {
      lock.unlock();
      const int code =
          run_ != nullptr && run_->writesEnded() ? kNotMade : CopyOnWorker(fs, copy->result);
      lock.lock();
      copy->result.code = TakenByTheWalk(code) ? kNotTaken : code;
      copy->finished = true;
      if (copy == awaited_) finished_.notify_one();  // the caller waits for no other
    }
  }
}

void CopyAhead::release() {
  if (open_.empty()) return;
  {
    const std::lock_guard lock(mutex_);
    queued_.push_back(std::move(open_));
  }
  open_.clear();
  waiting_.notify_one();
}

void CopyAhead::handOver(std::string source, std::string target, Job job) {
  if (!open_.empty() &&
      (open_.size() >= batch_ || FolderOf(open_.front()->result.target) != FolderOf(target)))
    release();
  std::unique_lock lock(mutex_);
  if (order_.size() >= kMaxOnTheirWay && !order_.front()->finished) {
    lock.unlock();
    release();  // the oldest may be among them
    lock.lock();
    // A quarter at once: taken back together, they make room for many before the next wait.
    waitForOldest(lock, kMaxOnTheirWay / 4);
  }
  auto copy = std::make_unique<Copy>();
  copy->result.source = std::move(source);
  copy->result.target = std::move(target);
  copy->result.job = std::move(job);
  if (!copy->result.job.replace) {
    copy->caseBlindKey = CaseBlindKey(copy->result.target);
    newCopies_.insert(copy->caseBlindKey);
  }
  open_.push_back(copy.get());
  order_.push_back(std::move(copy));
  countOnTheirWay();
}

void CopyAhead::addLine(std::int16_t kind, std::string text) {
  auto line = std::make_unique<Copy>();
  line->result.line = kind;
  line->result.target = std::move(text);
  line->finished = true;
  const std::lock_guard lock(mutex_);
  order_.push_back(std::move(line));
  countOnTheirWay();
}

void CopyAhead::countOnTheirWay() {
  if (run_ != nullptr) run_->CopiesOnTheirWay.store(static_cast<std::int32_t>(order_.size()));
}

void CopyAhead::waitForOldest(std::unique_lock<std::mutex>& lock, std::size_t count) {
  count = std::min(count, order_.size());
  for (std::size_t i = 0; i < count; ++i) {
    Copy* const copy = order_[i].get();
    awaited_ = copy;
    finished_.wait(lock, [copy] { return copy->finished; });
  }
  awaited_ = nullptr;
}

std::vector<CopyAhead::Finished> CopyAhead::takeFinished(bool all) {
  if (all) release();
  std::vector<Finished> taken;
  std::unique_lock lock(mutex_);
  if (all) waitForOldest(lock, order_.size());
  while (!order_.empty() && order_.front()->finished) {
    const std::string& key = order_.front()->caseBlindKey;
    if (const auto noted = newCopies_.find(key); !key.empty() && noted != newCopies_.end())
      newCopies_.erase(noted);
    taken.push_back(std::move(order_.front()->result));
    order_.pop_front();
  }
  return taken;
}

}  // namespace tolvan
