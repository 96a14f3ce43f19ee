#pragma once

#include <algorithm>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <unordered_map>
#include <vector>

#include "platform/FileSystem.h"

namespace tolvan {

// How many threads read listings ahead of a walk on a volume whose lookups take `lookupNs`:
// none where a lookup is answered faster than a thread hand-over pays back (a local disk),
// more the longer each round trip to the volume takes.
[[nodiscard]] inline unsigned ReadAheadThreads(std::int64_t lookupNs) {
  constexpr std::int64_t kWorthItNs = 50'000;
  constexpr std::int64_t kNsPerThread = 125'000;
  constexpr std::int64_t kMostThreads = 16;
  if (lookupNs < kWorthItNs) return 0;
  return static_cast<unsigned>(std::clamp<std::int64_t>(lookupNs / kNsPerThread, 2, kMostThreads));
}

// Reads the listings of folders a serial depth-first walk is going to open on threads of its
// own, whole into memory, so that on a volume where every read is a round trip many are on
// their way at once. The walk opens each folder through open() and gets exactly what the
// folder's own listing gives: the entries in their order and the same result codes. Listings
// found below a folder read ahead are read ahead too, always the one the walk comes to first,
// within a fixed budget; a listing the walk passes without opening it is dropped. The threads
// only read. Without a file system object for another thread nothing is read ahead.
class ListingPrefetch {
 public:
  struct Budget {
    std::size_t entries = 20'000;  // held across listings not yet opened (a folder counts one)
    std::size_t folders = 4'096;   // known to the read-ahead: waiting, being read or held
  };

  ListingPrefetch(platform::FileSystem& fs, unsigned threads, bool kindOnly = false)
      : ListingPrefetch(fs, threads, kindOnly, Budget{}) {}
  ListingPrefetch(platform::FileSystem& fs, unsigned threads, bool kindOnly, Budget budget);
  // Stops the threads, each at its next entry, and waits for them.
  ~ListingPrefetch();
  ListingPrefetch(const ListingPrefetch&) = delete;
  ListingPrefetch& operator=(const ListingPrefetch&) = delete;

  // A folder the walk will open later, with the folders below it; hinted folders are walked
  // in the order of the hints.
  void expect(const std::string& folder);
  // The listing of `folder` (openKindListing's with `kindOnly`), as the file system gives it.
  // Valid while this object lives; used by the walk's thread only, like the file system.
  // While a listing read ahead is still on its way, `keepWaiting` is called now and then (to
  // let events run); false: the walk reads the folder for itself.
  [[nodiscard]] std::unique_ptr<platform::DirectoryListing> open(
      const std::string& folder, bool kindOnly, int& error,
      const std::function<bool()>& keepWaiting = {});

  [[nodiscard]] unsigned threads() const { return static_cast<unsigned>(workers_.size()); }
  // Entries (a folder counting one) held now, and the most held at any time.
  [[nodiscard]] std::size_t heldEntries() const;
  [[nodiscard]] std::size_t mostEntriesHeld() const;

 private:
  // Where a folder comes in the walk: its place in each listing from the walk's root down.
  // Depth-first order is the order of these, element by element.
  using Place = std::vector<std::uint32_t>;
  struct Entry {
    std::uint32_t offset;
    std::uint32_t length;
    platform::FileStat stat;
  };
  // One folder's listing as read: its entries, then how it ended (-1 or an errno).
  struct Listing {
    int openError = 0;
    std::string names;
    std::vector<Entry> entries;
    int end = -1;
  };
  enum class State : std::uint8_t { Waiting, Reading, Read, GivenUp };
  struct Folder {
    std::string path;
    State state = State::Waiting;
    bool passed = false;  // the walk went on without it while it was being read
    Listing listing;
  };
  // A listing the walk holds open, with the place of the entry it read last.
  struct OpenFolder {
    std::string path;
    Place place;
    std::uint32_t lastEntry = 0;
  };
  class OpenListing;
  class Replay;
  class Counted;

  void work(std::unique_ptr<platform::FileSystem> fs);
  // Reads one listing with the budget taken entry by entry; false when given up.
  [[nodiscard]] bool readAhead(platform::FileSystem& fs, const std::string& path, Listing& out);
  [[nodiscard]] bool takeUnit();
  void giveBack(std::size_t units);
  // Queues the folders among `listing`'s entries that are not known yet. Lock held.
  void queueFoldersOf(const Place& place, const std::string& path, const Listing& listing);
  void queue(Place place, std::string path);  // lock held
  // Drops every folder before `place`: the walk has gone past them. Lock held.
  void dropBefore(const Place& place);
  // Forgets a folder, or marks it passed while it is being read. Lock held.
  void leave(std::map<Place, Folder>::iterator folder);
  void forget(std::map<Place, Folder>::iterator folder);  // lock held
  [[nodiscard]] bool placeOf(const std::string& folder, Place& place) const;
  [[nodiscard]] std::unique_ptr<platform::DirectoryListing> served(
      const std::string& folder, const Place& place, int& error,
      const std::function<bool()>& keepWaiting);
  // Waits until the folder at `place` is read, given up, gone or left for the walk; false
  // when `keepWaiting` said no first. Lock held.
  [[nodiscard]] bool awaitRead(std::unique_lock<std::mutex>& lock, const Place& place,
                               const std::function<bool()>& keepWaiting);

  platform::FileSystem& fs_;
  bool kindOnly_;
  Budget budget_;

  mutable std::mutex mutex_;
  std::condition_variable work_;  // a folder to read, room in the budget, or the end
  std::condition_variable read_;  // a listing the walk waits for is read or given up
  bool stopping_ = false;
  std::map<Place, Folder> folders_;
  std::unordered_map<std::string, Place> placeOf_;
  std::set<Place> waiting_;
  std::size_t held_ = 0;
  std::size_t mostHeld_ = 0;
  std::uint32_t hints_ = 0;

  // The walk's own thread only.
  std::vector<OpenFolder*> openFolders_;

  std::vector<std::thread> workers_;
};

}  // namespace tolvan
