#pragma once

#include <dirent.h>
#include <sys/stat.h>

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "platform/FileSystem.h"
#include "platform/UniqueFd.h"

namespace tolvan::platform {

// Attributes, kind, size, time and permission bits of one lstat result.
[[nodiscard]] FileStat FileStatFrom(const struct stat& st, std::string_view name);

// How much a listing tells of an entry that is not a folder.
enum class ListingDetail : std::uint8_t {
  Full,   // lstat of every entry
  Kinds,  // the kind the folder lists (d_type); lstat only of folders and of untyped entries
};

// Reads one open folder entry by entry; each entry is examined with fstatat relative to the
// folder, never following a link. Nothing is allocated per entry. The folder is read with
// getdents64 into the listing's own buffer: a DIR stream would cost three more system calls
// per folder (fstat and two fcntl), and the walks open every folder several times.
class LinuxListing : public DirectoryListing {
 public:
  // Takes a descriptor opened with O_RDONLY | O_DIRECTORY. 0 or an errno in `error`.
  LinuxListing(UniqueFd folder, int& error, ListingDetail detail = ListingDetail::Full);
  LinuxListing(const LinuxListing&) = delete;
  LinuxListing& operator=(const LinuxListing&) = delete;

  int next(std::string_view& name, FileStat& stat) override;

 private:
  // The next raw entry of the folder, "." and ".." included; nullptr with `error` set to 0 at
  // the end, or to the errno of a failed read.
  [[nodiscard]] const char* nextName(int& error, unsigned char& type);

  UniqueFd folder_;
  ListingDetail detail_;
  std::size_t position_ = 0;
  std::size_t filled_ = 0;
  alignas(8) char buffer_[32768];  // as much as a DIR stream reads at once
};

}  // namespace tolvan::platform
