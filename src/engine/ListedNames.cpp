#include "engine/ListedNames.h"

#include <algorithm>
#include <limits>
#include <utility>

#include "engine/Paths.h"

namespace tolvan {

ListedNames::ListedNames(platform::FileSystem& fs, std::string folder, Budget& budget,
                         const TreeListings::Folder* listed)
    : fs_(fs), folder_(std::move(folder)), budget_(budget), listed_(listed) {}

ListedNames::~ListedNames() {
  release();
}

void ListedNames::release() {
  budget_.remaining_ += taken_;
  taken_ = 0;
  names_ = std::string();
  entries_ = std::vector<Entry>();
}

bool ListedNames::add(std::string_view name, bool folder) {
  const std::size_t cost = name.size() + sizeof(Entry);
  if (cost > budget_.remaining_ || names_.size() > std::numeric_limits<std::uint32_t>::max() ||
      name.size() > std::numeric_limits<std::uint16_t>::max())
    return false;
  budget_.remaining_ -= cost;
  taken_ += cost;
  entries_.push_back(
      {static_cast<std::uint32_t>(names_.size()), static_cast<std::uint16_t>(name.size()), folder});
  names_.append(name);
  return true;
}

// A folder that can be read but not searched lists names whose lookups all fail: those
// failures must be met as before, one by one.
bool ListedNames::searchable(std::string_view someName) {
  platform::FileStat stat;
  return fs_.statEntry(ChildPath(folder_, someName), stat) == 0;
}

std::string_view ListedNames::nameOf(const Entry& entry) const {
  return std::string_view(names_).substr(entry.offset, entry.length);
}

// Every entry of an earlier listing was examined, so its folder was searchable.
bool ListedNames::copyListed() {
  for (const TreeListings::Entry& entry : listed_->entries) {
    if (!add(listed_->nameOf(entry), entry.stat.kind == platform::EntryKind::Directory))
      return false;
  }
  return true;
}

bool ListedNames::readFromFileSystem() {
  const auto listing = fs_.openKindListing(folder_, listingError_);
  if (listing == nullptr) return false;
  std::string_view name;
  platform::FileStat stat;
  int status = 0;
  while ((status = listing->next(name, stat)) == 0) {
    if (!add(name, stat.kind == platform::EntryKind::Directory)) return false;
  }
  if (status > 0) {
    listingError_ = status;
    return false;
  }
  return entries_.empty() || searchable(nameOf(entries_.front()));
}

void ListedNames::read() {
  read_ = true;
  if (!(listed_ != nullptr ? copyListed() : readFromFileSystem())) {
    release();
    return;
  }
  std::sort(entries_.begin(), entries_.end(),
            [&](const Entry& a, const Entry& b) { return nameOf(a) < nameOf(b); });
  held_ = true;
}

ListedNames::Found ListedNames::find(std::string_view name) {
  if (asBackup_) return Found::AsAsked;
  if (!read_) read();
  if (listingError_ != 0) return Found::Unreadable;
  if (!held_) return Found::NotHeld;
  const auto at = std::lower_bound(
      entries_.begin(), entries_.end(), name,
      [&](const Entry& entry, std::string_view wanted) { return nameOf(entry) < wanted; });
  if (at == entries_.end() || nameOf(*at) != name) return Found::NotListed;
  return at->folder ? Found::Folder : Found::Other;
}

}  // namespace tolvan
