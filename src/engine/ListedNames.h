#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "engine/TreeListings.h"
#include "platform/FileSystem.h"

namespace tolvan {

// The names and kinds of one folder, read once with a single listing for all the lookups a
// walk makes in it. A walk holds one per folder on its path, so all of them draw on one
// budget: a folder whose names do not fit is not held, and its lookups go to the file system
// one by one as before.
class ListedNames {
 public:
  // Bytes the held names of one walk may take together.
  class Budget {
   public:
    explicit Budget(std::size_t bytes) : remaining_(bytes) {}

   private:
    friend class ListedNames;
    std::size_t remaining_;
  };

  // AsAsked: listed, of the kind of the entry asked about (sameNamesAsBackup).
  // Unreadable: the folder could not be listed to its end (see listingError()): nothing can
  // be said of any of its names, not even by lookups.
  enum class Found : std::uint8_t { Folder, Other, AsAsked, NotListed, NotHeld, Unreadable };

  // Reads `folder` at the first lookup, not before: from `listed` when given (a listing of it
  // made earlier in the run, read whole with every entry examined), else from the file system.
  ListedNames(platform::FileSystem& fs, std::string folder, Budget& budget,
              const TreeListings::Folder* listed = nullptr);
  ~ListedNames();
  ListedNames(const ListedNames&) = delete;
  ListedNames& operator=(const ListedNames&) = delete;

  // Whether the folder lists exactly `name`, and of which kind; NotHeld when it could not be
  // searched or did not fit the budget.
  [[nodiscard]] Found find(std::string_view name);
  // The folder is known to list exactly the names of the backup folder asked about, each of
  // the same kind: nothing needs to be read.
  void sameNamesAsBackup() { read_ = asBackup_ = true; }
  // The errno of the listing that failed (Found::Unreadable), else 0.
  [[nodiscard]] int listingError() const { return listingError_; }

 private:
  struct Entry {
    std::uint32_t offset;
    std::uint16_t length;
    bool folder;
  };

  void read();
  [[nodiscard]] bool readFromFileSystem();
  [[nodiscard]] bool copyListed();
  [[nodiscard]] bool add(std::string_view name, bool folder);
  [[nodiscard]] bool searchable(std::string_view someName);
  [[nodiscard]] std::string_view nameOf(const Entry& entry) const;
  void release();

  platform::FileSystem& fs_;
  std::string folder_;
  Budget& budget_;
  const TreeListings::Folder* listed_;
  bool read_ = false;
  bool asBackup_ = false;
  bool held_ = false;
  int listingError_ = 0;
  std::size_t taken_ = 0;
  std::string names_;  // every name, one after the other
  std::vector<Entry> entries_;
};

}  // namespace tolvan
