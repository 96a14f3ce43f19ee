#include "engine/TreeListings.h"

#include <limits>
#include <utility>

namespace tolvan {
namespace {

// What one held entry costs besides its name: the entry, and the map's share of its folder.
constexpr std::size_t kEntryCost = sizeof(TreeListings::Entry);
constexpr std::size_t kFolderCost = sizeof(TreeListings::Folder) + 64;
constexpr std::size_t kDigestCost = sizeof(TreeListings::Digest) + 64;

std::uint64_t Mixed(std::uint64_t x) {
  x += 0x9e3779b97f4a7c15ULL;
  x = (x ^ (x >> 30)) * 0xbf58476d1ce4e5b9ULL;
  x = (x ^ (x >> 27)) * 0x94d049bb133111ebULL;
  return x ^ (x >> 31);
}

// One entry's share of a digest: its name and kind, and the size and time of all but a folder.
std::uint64_t EntryHash(std::uint64_t seed, std::uint64_t name, const platform::FileStat& stat) {
  std::uint64_t hash = Mixed(seed ^ name);
  hash = Mixed(hash ^ static_cast<std::uint64_t>(stat.kind));
  if (stat.kind == platform::EntryKind::Directory) return hash;
  hash = Mixed(hash ^ static_cast<std::uint64_t>(stat.size));
  hash = Mixed(hash ^ static_cast<std::uint64_t>(stat.mtimeSeconds));
  return Mixed(hash ^ static_cast<std::uint64_t>(stat.mtimeNanoseconds));
}

template <typename Map>
auto RangeBelow(Map& map, const std::string& path) {
  // The paths below `path` all begin with `path` + "/", and "0" is the character after "/".
  const std::string base = path == "/" ? std::string() : path;
  return std::make_pair(map.lower_bound(base + "/"), map.lower_bound(base + "0"));
}

}  // namespace

void TreeListings::Digest::add(std::string_view name, const platform::FileStat& stat) {
  const std::uint64_t nameHash = std::hash<std::string_view>()(name);
  sum += EntryHash(0x243f6a8885a308d3ULL, nameHash, stat);
  otherSum += EntryHash(0x13198a2e03707344ULL, Mixed(nameHash), stat);
  ++count;
}

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
    : owner_(listings), listings_(listings), path_(std::move(folder)) {
  folder_.device = device;
  folder_.inode = inode;
  digest_.device = device;
  digest_.inode = inode;
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
  if (owner_ != nullptr) digest_.add(name, stat);
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
  if (owner_ != nullptr &&
      owner_->digestBudget_ - owner_->digestsUsed_ >= kDigestCost + path_.size()) {
    owner_->digestsUsed_ += kDigestCost + path_.size();
    owner_->digests_.insert_or_assign(path_, digest_);
  }
  owner_ = nullptr;
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

const TreeListings::Digest* TreeListings::digestOf(const std::string& path) const {
  const auto found = digests_.find(path);
  return found == digests_.end() ? nullptr : &found->second;
}

std::size_t TreeListings::costOf(const std::string& path, const Folder& folder) const {
  return kFolderCost + path.size() + folder.names.size() + folder.entries.size() * kEntryCost;
}

void TreeListings::drop(const std::string& path) {
  if (const auto digest = digests_.find(path); digest != digests_.end()) {
    digestsUsed_ -= kDigestCost + path.size();
    digests_.erase(digest);
  }
  const auto found = folders_.find(path);
  if (found == folders_.end()) return;
  giveBack(costOf(found->first, found->second));
  folders_.erase(found);
}

void TreeListings::dropFrom(const std::string& path) {
  drop(path);
  const auto [first, last] = RangeBelow(folders_, path);
  for (auto it = first; it != last; ++it) giveBack(costOf(it->first, it->second));
  folders_.erase(first, last);
  const auto [firstDigest, lastDigest] = RangeBelow(digests_, path);
  for (auto it = firstDigest; it != lastDigest; ++it)
    digestsUsed_ -= kDigestCost + it->first.size();
  digests_.erase(firstDigest, lastDigest);
}

void TreeListings::clear() {
  folders_.clear();
  used_ = 0;
  digests_.clear();
  digestsUsed_ = 0;
}

bool TreeListings::overlaps(const FolderIdentities& others) const {
  for (const auto& [path, folder] : folders_) {
    if (others.mayHold(folder.device, folder.inode)) return true;
  }
  for (const auto& [path, digest] : digests_) {
    if (others.mayHold(digest.device, digest.inode)) return true;
  }
  return false;
}

}  // namespace tolvan
