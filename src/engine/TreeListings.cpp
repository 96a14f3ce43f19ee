#include "engine/TreeListings.h"

#include <limits>
#include <utility>

namespace tolvan {
namespace {

// What one held entry costs besides its name: the entry, and the map's share of its folder.
constexpr std::size_t kEntryCost = sizeof(TreeListings::Entry);
constexpr std::size_t kFolderCost = sizeof(TreeListings::Folder) + 64;

}  // namespace

void FolderIdentities::add(const platform::FileStat& folder) {
  if (overflowed_) return;
  if (folders_.size() >= limit_) {
    overflowed_ = true;
    folders_.clear();
    return;
  }
  folders_.insert({folder.device, folder.inode});
}

bool FolderIdentities::mayHold(std::uint64_t device, std::uint64_t inode) const {
  return overflowed_ || folders_.count({device, inode}) != 0;
}

TreeListings::Recorder::Recorder(TreeListings* listings, std::string folder, std::uint64_t device,
                                 std::uint64_t inode)
    : listings_(listings), path_(std::move(folder)) {
  folder_.device = device;
  folder_.inode = inode;
  if (listings_ != nullptr && !listings_->reserve(kFolderCost + path_.size())) listings_ = nullptr;
  if (listings_ != nullptr) taken_ = kFolderCost + path_.size();
}

TreeListings::Recorder::~Recorder() {
  drop();
}

void TreeListings::Recorder::drop() {
  if (listings_ != nullptr) listings_->giveBack(taken_);
  listings_ = nullptr;
  folder_ = Folder();
}

void TreeListings::Recorder::add(std::string_view name, const platform::FileStat& stat) {
  if (listings_ == nullptr) return;
  const std::size_t cost = name.size() + kEntryCost;
  if (folder_.names.size() + name.size() > std::numeric_limits<std::uint32_t>::max() ||
      name.size() > std::numeric_limits<std::uint16_t>::max() || !listings_->reserve(cost)) {
    drop();
    return;
  }
  taken_ += cost;
  folder_.entries.push_back({static_cast<std::uint32_t>(folder_.names.size()),
                             static_cast<std::uint16_t>(name.size()), stat});
  folder_.names.append(name);
}

void TreeListings::Recorder::finish() {
  if (listings_ == nullptr) return;
  // Held for a while: without the slack of growth, what is held is what is counted.
  folder_.entries.shrink_to_fit();
  folder_.names.shrink_to_fit();
  listings_->folders_.insert_or_assign(path_, std::move(folder_));
  listings_ = nullptr;  // the bytes stay taken until the folder is taken out
}

bool TreeListings::reserve(std::size_t bytes) {
  if (bytes > budget_ - used_) return false;
  used_ += bytes;
  return true;
}

bool TreeListings::take(const std::string& path, Folder& out) {
  const auto found = folders_.find(path);
  if (found == folders_.end()) return false;
  out = std::move(found->second);
  giveBack(costOf(path, out));
  folders_.erase(found);
  return true;
}

const TreeListings::Folder* TreeListings::find(const std::string& path) const {
  const auto found = folders_.find(path);
  return found == folders_.end() ? nullptr : &found->second;
}

std::size_t TreeListings::costOf(const std::string& path, const Folder& folder) const {
  return kFolderCost + path.size() + folder.names.size() + folder.entries.size() * kEntryCost;
}

void TreeListings::drop(const std::string& path) {
  const auto found = folders_.find(path);
  if (found == folders_.end()) return;
  giveBack(costOf(found->first, found->second));
  folders_.erase(found);
}

void TreeListings::dropFrom(const std::string& path) {
  drop(path);
  // The paths below `path` all begin with `path` + "/", and "0" is the character after "/".
  const std::string base = path == "/" ? std::string() : path;
  const auto first = folders_.lower_bound(base + "/");
  const auto last = folders_.lower_bound(base + "0");
  for (auto it = first; it != last; ++it) giveBack(costOf(it->first, it->second));
  folders_.erase(first, last);
}

void TreeListings::clear() {
  folders_.clear();
  used_ = 0;
}

bool TreeListings::overlaps(const FolderIdentities& others) const {
  for (const auto& [path, folder] : folders_) {
    if (others.mayHold(folder.device, folder.inode)) return true;
  }
  return false;
}

}  // namespace tolvan
