#pragma once

#include <linux/limits.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace tolvan::platform {

// The longest path text the system accepts is one byte shorter (the terminating NUL).
inline constexpr std::size_t kPathLimit = PATH_MAX;

// Which entry a path reaches, however it is spelled: two folders are the same exactly when
// their identities are, bind mounts included.
struct EntryIdentity {
  std::uint64_t device = 0;
  std::uint64_t inode = 0;
  bool operator==(const EntryIdentity&) const = default;
};

// A path with its links, "." and ".." resolved, and the identities of the entry itself
// (first) and of every folder above it, up to "/" (last).
struct ResolvedPath {
  std::string path;
  std::vector<EntryIdentity> lineage;
};

}  // namespace tolvan::platform
