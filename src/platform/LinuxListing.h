#pragma once

#include <dirent.h>
#include <sys/stat.h>

#include <string_view>

#include "platform/FileSystem.h"
#include "platform/UniqueFd.h"

namespace tolvan::platform {

// Attributes, kind, size, time and permission bits of one lstat result.
[[nodiscard]] FileStat FileStatFrom(const struct stat& st, std::string_view name);

// Reads one open folder entry by entry; each entry is examined with fstatat relative to the
// folder, never following a link. Nothing is allocated per entry.
class LinuxListing : public DirectoryListing {
 public:
  // Takes a descriptor opened with O_RDONLY | O_DIRECTORY. 0 or an errno in `error`.
  LinuxListing(UniqueFd folder, int& error);
  ~LinuxListing() override;
  LinuxListing(const LinuxListing&) = delete;
  LinuxListing& operator=(const LinuxListing&) = delete;

  int next(std::string_view& name, FileStat& stat) override;

 private:
  DIR* dir_ = nullptr;
};

}  // namespace tolvan::platform
