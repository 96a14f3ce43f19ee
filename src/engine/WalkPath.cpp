#include "engine/WalkPath.h"

#include <algorithm>

namespace tolvan {

WalkPath::WalkPath(platform::FileSystem& fs, const std::string& root) {
  platform::FileStat stat;
  if (fs.statEntry(root, stat) == 0) folders_.push_back({stat.device, stat.inode});
}

bool WalkPath::holds(const platform::FileStat& folder) const {
  return std::any_of(folders_.begin(), folders_.end(), [&](const Identity& on) {
    return on.device == folder.device && on.inode == folder.inode;
  });
}

bool WalkPath::endsAt(const platform::FileStat& folder) const {
  return !folders_.empty() && folders_.back().device == folder.device &&
         folders_.back().inode == folder.inode;
}

WalkPath::Step::Step(WalkPath& path, const platform::FileStat& folder) : path_(path) {
  path_.folders_.push_back({folder.device, folder.inode});
}

WalkPath::Step::~Step() {
  path_.folders_.pop_back();
}

}  // namespace tolvan
