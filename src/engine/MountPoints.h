#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <string_view>

namespace tolvan {

// The folders of the master tree that the room check found on another volume than the
// folder holding them (volumes mounted inside the tree), with that volume. A pass that finds
// one of them on another volume now, unmounted during the run, would list the bare folder
// below the mount: it must not take that for what the master holds.
class MountPoints {
 public:
  // Notes at most this many; a tree with more is not told apart below the others.
  static constexpr std::size_t kMostNoted = 1024;

  void note(std::string_view folder, std::uint64_t device);
  // Whether `folder` was noted, and on which volume (0 when it was not).
  [[nodiscard]] std::uint64_t deviceOf(const std::string& folder) const;
  void clear() { devices_.clear(); }

 private:
  std::map<std::string, std::uint64_t, std::less<>> devices_;
};

}  // namespace tolvan
