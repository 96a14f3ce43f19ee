#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace tolvan::platform {

// The system's path limit (PATH_MAX on Linux): the longest path text it accepts is one
// byte shorter, for the terminating NUL.
inline constexpr std::size_t kPathLimit = 4096;

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
