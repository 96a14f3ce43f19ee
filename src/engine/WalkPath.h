#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/FileSystem.h"

namespace tolvan {

// The folders from a walk's root down to the folder it is in, by device and inode. A folder
// met again below itself (a bind mount of a folder inside itself) would lead a walk round
// without end, so a walk enters no folder this path already holds. Memory grows with the
// depth only.
class WalkPath {
 public:
  // Starts empty, for a walk whose folders above are unknown.
  WalkPath() = default;
  // Starts with the walk's root; a root that cannot be looked up is left out (its listing
  // fails as well).
  WalkPath(platform::FileSystem& fs, const std::string& root);

  // True when the folder described by a listing is on the path already.
  [[nodiscard]] bool holds(const platform::FileStat& folder) const;
  // True when `folder` is the folder the walk is in.
  [[nodiscard]] bool endsAt(const platform::FileStat& folder) const;

  // The path one folder deeper while it lives.
  class Step {
   public:
    Step(WalkPath& path, const platform::FileStat& folder);
    ~Step();
    Step(const Step&) = delete;
    Step& operator=(const Step&) = delete;

   private:
    WalkPath& path_;
  };

 private:
  struct Identity {
    std::uint64_t device;
    std::uint64_t inode;
  };
  std::vector<Identity> folders_;
};

}  // namespace tolvan
