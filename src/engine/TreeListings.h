#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "platform/FileSystem.h"

namespace tolvan {

// Folders by device and inode, up to a fixed number; beyond it the set is "overflowed" and
// answers every question with yes.
class FolderIdentities {
 public:
  explicit FolderIdentities(std::size_t limit) : limit_(limit) {}
  void add(const platform::FileStat& folder);
  [[nodiscard]] bool mayHold(std::uint64_t device, std::uint64_t inode) const;

 private:
  struct Hash {
    std::size_t operator()(const std::pair<std::uint64_t, std::uint64_t>& id) const {
      return std::hash<std::uint64_t>()(id.first * 0x9e3779b97f4a7c15ULL ^ id.second);
    }
  };
  std::size_t limit_;
  bool overflowed_ = false;
  std::unordered_set<std::pair<std::uint64_t, std::uint64_t>, Hash> folders_;
};

// The folders of the master tree as the room check's size walk listed them, for the copy
// pass to walk without listing and examining every entry again. Holds at most a fixed number
// of bytes: a folder that does not fit, or whose listing did not end cleanly, is not held and
// is read again when the copy pass comes to it.
class TreeListings {
 public:
  struct Entry {
    std::uint32_t offset;  // of the name in the folder's names
    std::uint16_t length;
    platform::FileStat stat;
  };
  // One folder's entries in the order the folder listed them.
  struct Folder {
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    std::string names;
    std::vector<Entry> entries;

    [[nodiscard]] std::string_view nameOf(const Entry& entry) const {
      return std::string_view(names).substr(entry.offset, entry.length);
    }
  };

  // What a folder's entries add up to, whatever the order of its listing. Two folders with
  // equal sums list the same names, each of the same kind, and every entry but a folder of
  // the same size and time: nothing in one is to be copied onto the other, and nothing in
  // the other is without a counterpart. Not usable when an entry would make a pass act or
  // report whatever the other side holds.
  struct Digest {
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    std::uint64_t sum = 0;
    std::uint64_t otherSum = 0;
    std::uint64_t count = 0;
    bool usable = true;

    void add(std::string_view name, const platform::FileStat& stat);
    [[nodiscard]] bool sameEntriesAs(const Digest& other) const {
      return usable && other.usable && count == other.count && sum == other.sum &&
             otherSum == other.otherSum;
    }
  };

  // Records one folder while a walk lists it; kept only when finish() is called.
  class Recorder {
   public:
    // `listings` may be null: nothing is recorded.
    Recorder(TreeListings* listings, std::string folder, std::uint64_t device, std::uint64_t inode);
    ~Recorder();
    Recorder(const Recorder&) = delete;
    Recorder& operator=(const Recorder&) = delete;
    void add(std::string_view name, const platform::FileStat& stat);
    // An entry the digest cannot stand for was listed.
    void markUnusable() { digest_.usable = false; }
    // The listing ended cleanly: the folder (if it fit) and its digest are held.
    void finish();

   private:
    void drop();
    TreeListings* owner_;
    TreeListings* listings_;  // null once the folder's entries do not fit
    std::string path_;
    Folder folder_;
    Digest digest_;
    std::size_t taken_ = 0;
  };

  // `budget` bytes of folder listings, and `digestBudget` bytes of digests.
  TreeListings(std::size_t budget, std::size_t digestBudget)
      : budget_(budget), digestBudget_(digestBudget) {}

  // The folder at `path` as listed, moved out (and its bytes given back); false when it is
  // not held.
  [[nodiscard]] bool take(const std::string& path, Folder& out);
  // The folder at `path` as listed, left in place; null when it is not held. Valid until the
  // folder is taken or dropped.
  [[nodiscard]] const Folder* find(const std::string& path) const;
  // The digest of the folder at `path`; null when it is not held.
  [[nodiscard]] const Digest* digestOf(const std::string& path) const;
  // Drops the folder at `path`: the passes changed something in it.
  void drop(const std::string& path);
  // Drops the folder at `path` and every folder below it: the passes removed or moved it.
  void dropFrom(const std::string& path);
  // Drops everything held, for instance when a walk of the other tree met one of the folders:
  // the passes' changes there would not show in what is held.
  void clear();
  // Whether a folder held is one of `others` (or the set cannot tell).
  [[nodiscard]] bool overlaps(const FolderIdentities& others) const;
  [[nodiscard]] bool empty() const { return folders_.empty(); }

 private:
  [[nodiscard]] bool reserve(std::size_t bytes);
  [[nodiscard]] std::size_t costOf(const std::string& path, const Folder& folder) const;
  void giveBack(std::size_t bytes) { used_ -= bytes; }

  std::size_t budget_;
  std::size_t used_ = 0;
  std::size_t digestBudget_;
  std::size_t digestsUsed_ = 0;
  // Ordered by path, so a folder and everything below it are one range.
  std::map<std::string, Folder> folders_;
  std::map<std::string, Digest> digests_;
};

}  // namespace tolvan
