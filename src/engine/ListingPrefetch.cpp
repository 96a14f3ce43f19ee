#include "engine/ListingPrefetch.h"

#include <chrono>
#include <string_view>
#include <system_error>
#include <utility>

#include "engine/Paths.h"
#include "platform/ThreadSignals.h"

namespace tolvan {
namespace {

std::string_view ParentOf(std::string_view path) {
  const auto slash = path.rfind('/');
  if (slash == std::string_view::npos) return {};
  return slash == 0 ? path.substr(0, 1) : path.substr(0, slash);
}

}  // namespace

// A listing the walk has open: its folder is known to the read-ahead while it is.
class ListingPrefetch::OpenListing : public platform::DirectoryListing {
 public:
  OpenListing(ListingPrefetch& owner, OpenFolder folder)
      : owner_(owner), folder_(std::move(folder)) {
    owner_.openFolders_.push_back(&folder_);
  }
  ~OpenListing() override { std::erase(owner_.openFolders_, &folder_); }
  OpenListing(const OpenListing&) = delete;
  OpenListing& operator=(const OpenListing&) = delete;

 protected:
  ListingPrefetch& owner_;
  OpenFolder folder_;
};

// A listing read ahead, given back entry by entry as the folder gave it.
class ListingPrefetch::Replay final : public OpenListing {
 public:
  Replay(ListingPrefetch& owner, OpenFolder folder, Listing listing)
      : OpenListing(owner, std::move(folder)), listing_(std::move(listing)) {}

  int next(std::string_view& name, platform::FileStat& stat) override {
    if (next_ == listing_.entries.size()) return listing_.end;
    const Entry& entry = listing_.entries[next_];
    name = std::string_view(listing_.names).substr(entry.offset, entry.length);
    stat = entry.stat;
    folder_.lastEntry = static_cast<std::uint32_t>(next_++);
    return 0;
  }

 private:
  Listing listing_;
  std::size_t next_ = 0;
};

// A listing the walk reads for itself; its entries are counted so that the folders below it
// are known by their place in the walk.
class ListingPrefetch::Counted final : public OpenListing {
 public:
  Counted(ListingPrefetch& owner, OpenFolder folder,
          std::unique_ptr<platform::DirectoryListing> listing)
      : OpenListing(owner, std::move(folder)), listing_(std::move(listing)) {}

  int next(std::string_view& name, platform::FileStat& stat) override {
    const int read = listing_->next(name, stat);
    if (read != 0) return read;
    folder_.lastEntry = read_++;
    // Read ahead below it while the walk is busy with what comes before.
    if (stat.kind == platform::EntryKind::Directory) {
      Place below = folder_.place;
      below.push_back(folder_.lastEntry);
      const std::lock_guard lock(owner_.mutex_);
      if (owner_.folders_.count(below) == 0)
        owner_.queue(std::move(below), ChildPath(folder_.path, name));
    }
    return 0;
  }

 private:
  std::unique_ptr<platform::DirectoryListing> listing_;
  std::uint32_t read_ = 0;
};

ListingPrefetch::ListingPrefetch(platform::FileSystem& fs, unsigned threads, bool kindOnly,
                                 Budget budget)
    : fs_(fs), kindOnly_(kindOnly), budget_(budget) {
  for (unsigned i = 0; i < threads; ++i) {
    std::unique_ptr<platform::FileSystem> own = fs.forAnotherThread();
    if (own == nullptr) break;
    try {
      workers_.emplace_back([this, own = std::move(own)]() mutable {
        platform::KeepStopSignalsAway();
        work(std::move(own));
      });
    } catch (const std::system_error&) {
      break;  // the threads there are read ahead; the walk needs none of them
    }
  }
}

ListingPrefetch::~ListingPrefetch() {
  {
    const std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  work_.notify_all();
  read_.notify_all();
  for (std::thread& worker : workers_) worker.join();
}

void ListingPrefetch::expect(const std::string& folder) {
  if (workers_.empty()) return;
  const std::lock_guard lock(mutex_);
  if (placeOf_.count(folder) == 0) queue(Place{hints_++}, folder);
}

std::size_t ListingPrefetch::heldEntries() const {
  const std::lock_guard lock(mutex_);
  return held_;
}

std::size_t ListingPrefetch::mostEntriesHeld() const {
  const std::lock_guard lock(mutex_);
  return mostHeld_;
}

void ListingPrefetch::work(std::unique_ptr<platform::FileSystem> fs) {
  std::unique_lock lock(mutex_);
  for (;;) {
    work_.wait(lock,
               [this] { return stopping_ || (!waiting_.empty() && held_ < budget_.entries); });
    if (stopping_) return;
    const Place place = *waiting_.begin();
    waiting_.erase(waiting_.begin());
    Folder& folder = folders_.at(place);
    folder.state = State::Reading;
    const std::string path = folder.path;
    lock.unlock();
    Listing listing;
    const bool whole = readAhead(*fs, path, listing);
    lock.lock();
    // Only the walk forgets a folder, and never one that is being read.
    const auto read = folders_.find(place);
    if (read->second.passed || !whole) {
      if (whole) giveBack(1 + listing.entries.size());
      read->second.state = State::GivenUp;
      if (read->second.passed) forget(read);
    } else {
      queueFoldersOf(place, path, listing);
      read->second.listing = std::move(listing);
      read->second.state = State::Read;
    }
    read_.notify_all();
  }
}

bool ListingPrefetch::readAhead(platform::FileSystem& fs, const std::string& path, Listing& out) {
  if (!takeUnit()) return false;
  int error = 0;
  const std::unique_ptr<platform::DirectoryListing> listing =
      kindOnly_ ? fs.openKindListing(path, error) : fs.openListing(path, error);
  if (listing == nullptr) {
    out.openError = error;
    return true;
  }
  std::string_view name;
  platform::FileStat stat;
  for (;;) {
    const int read = listing->next(name, stat);
    if (read != 0) {
      out.end = read;
      return true;
    }
    if (!takeUnit()) {
      const std::lock_guard lock(mutex_);
      giveBack(1 + out.entries.size());
      return false;
    }
    out.entries.push_back({static_cast<std::uint32_t>(out.names.size()),
                           static_cast<std::uint32_t>(name.size()), stat});
    out.names.append(name);
  }
}

bool ListingPrefetch::takeUnit() {
  const std::lock_guard lock(mutex_);
  if (stopping_ || held_ >= budget_.entries) return false;
  mostHeld_ = std::max(mostHeld_, ++held_);
  if (held_ == budget_.entries) read_.notify_all();  // the walk reads for itself now
  return true;
}

void ListingPrefetch::giveBack(std::size_t units) {
  held_ -= units;
  work_.notify_all();
}

void ListingPrefetch::queueFoldersOf(const Place& place, const std::string& path,
                                     const Listing& listing) {
  for (std::size_t i = 0; i < listing.entries.size(); ++i) {
    const Entry& entry = listing.entries[i];
    if (entry.stat.kind != platform::EntryKind::Directory) continue;
    Place below = place;
    below.push_back(static_cast<std::uint32_t>(i));
    if (folders_.count(below) != 0) continue;
    queue(std::move(below),
          ChildPath(path, std::string_view(listing.names).substr(entry.offset, entry.length)));
  }
}

void ListingPrefetch::queue(Place place, std::string path) {
  if (folders_.size() >= budget_.folders) return;
  if (!placeOf_.emplace(path, place).second) return;
  waiting_.insert(place);
  folders_.emplace(std::move(place), Folder{std::move(path), State::Waiting, false, Listing{}});
  work_.notify_one();
}

void ListingPrefetch::dropBefore(const Place& place) {
  for (auto it = folders_.begin(); it != folders_.end() && it->first < place;) leave(it++);
}

void ListingPrefetch::leave(std::map<Place, Folder>::iterator folder) {
  if (folder->second.state == State::Reading) {
    folder->second.passed = true;
  } else {
    forget(folder);
  }
}

void ListingPrefetch::forget(std::map<Place, Folder>::iterator folder) {
  if (folder->second.state == State::Waiting) waiting_.erase(folder->first);
  if (folder->second.state == State::Read) giveBack(1 + folder->second.listing.entries.size());
  placeOf_.erase(folder->second.path);
  folders_.erase(folder);
}

bool ListingPrefetch::placeOf(const std::string& folder, Place& place) const {
  {
    const std::lock_guard lock(mutex_);
    if (const auto known = placeOf_.find(folder); known != placeOf_.end()) {
      place = known->second;
      return true;
    }
  }
  // The walk's open folders only ever change on this thread.
  const std::string_view parent = ParentOf(folder);
  for (auto open = openFolders_.rbegin(); open != openFolders_.rend(); ++open) {
    if ((*open)->path != parent) continue;
    place = (*open)->place;
    place.push_back((*open)->lastEntry);
    return true;
  }
  return false;
}

std::unique_ptr<platform::DirectoryListing> ListingPrefetch::open(
    const std::string& folder, bool kindOnly, int& error,
    const std::function<bool()>& keepWaiting) {
  Place place;
  if (workers_.empty() || kindOnly != kindOnly_ || !placeOf(folder, place)) {
    return kindOnly ? fs_.openKindListing(folder, error) : fs_.openListing(folder, error);
  }
  return served(folder, place, error, keepWaiting);
}

bool ListingPrefetch::awaitRead(std::unique_lock<std::mutex>& lock, const Place& place,
                                const std::function<bool()>& keepWaiting) {
  // How often a walk waiting for a listing lets events run.
  constexpr std::chrono::milliseconds kPatience{20};
  // One waiting is read by the next free thread (it comes first now) unless the budget is
  // spent: then the walk reads it for itself.
  const auto ready = [&] {
    const auto known = folders_.find(place);
    return known == folders_.end() ||
           (known->second.state != State::Reading &&
            (known->second.state != State::Waiting || held_ >= budget_.entries));
  };
  while (!read_.wait_for(lock, kPatience, ready)) {
    if (!keepWaiting) continue;
    lock.unlock();
    const bool wait = keepWaiting();
    lock.lock();
    if (!wait) return false;
  }
  return true;
}

std::unique_ptr<platform::DirectoryListing> ListingPrefetch::served(
    const std::string& folder, const Place& place, int& error,
    const std::function<bool()>& keepWaiting) {
  std::unique_lock lock(mutex_);
  dropBefore(place);
  auto known = folders_.find(place);
  if (known != folders_.end() && known->second.path != folder) {
    // Another folder has that place (the walk went another way): not this one's listing.
    leave(known);
    known = folders_.end();
  }
  if (known != folders_.end()) {
    const bool read = awaitRead(lock, place, keepWaiting);
    // The reading thread forgets a folder the walk has passed, so look it up afresh.
    known = folders_.find(place);
    if (!read && known != folders_.end() && known->second.state != State::Read) {
      leave(known);
      known = folders_.end();
    }
  }
  if (known != folders_.end() && known->second.state == State::Read) {
    Listing listing = std::move(known->second.listing);
    known->second.state = State::GivenUp;
    forget(known);
    giveBack(1 + listing.entries.size());
    queueFoldersOf(place, folder, listing);
    lock.unlock();
    error = listing.openError;
    if (error != 0) return nullptr;
    return std::make_unique<Replay>(*this, OpenFolder{folder, place}, std::move(listing));
  }
  if (known != folders_.end()) forget(known);
  lock.unlock();
  auto listing = kindOnly_ ? fs_.openKindListing(folder, error) : fs_.openListing(folder, error);
  if (listing == nullptr) return nullptr;
  return std::make_unique<Counted>(*this, OpenFolder{folder, place}, std::move(listing));
}

}  // namespace tolvan
