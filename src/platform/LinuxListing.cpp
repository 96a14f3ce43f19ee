#include "platform/LinuxListing.h"

#include <fcntl.h>

#include <cerrno>
#include <cstring>
#include <utility>

namespace tolvan::platform {
namespace {

EntryKind KindOf(mode_t mode) {
  if (S_ISREG(mode)) return EntryKind::File;
  if (S_ISDIR(mode)) return EntryKind::Directory;
  if (S_ISLNK(mode)) return EntryKind::Symlink;
  return EntryKind::Special;  // FIFOs, sockets and devices are never opened
}

bool IsDotOrDotDot(const char* name) {
  return name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0'));
}

}  // namespace

FileStat FileStatFrom(const struct stat& st, std::string_view name) {
  FileStat out;
  out.kind = KindOf(st.st_mode);
  if (out.kind == EntryKind::Directory) out.attributes |= kAttrDirectory;
  if (out.kind == EntryKind::Symlink) out.attributes |= kAttrLink;
  if ((st.st_mode & S_IWUSR) == 0) out.attributes |= kAttrReadOnly;
  if (!name.empty() && name.front() == '.') out.attributes |= kAttrHidden;
  out.size = static_cast<std::int64_t>(st.st_size);
  out.mtimeSeconds = static_cast<std::int64_t>(st.st_mtim.tv_sec);
  out.mtimeNanoseconds = static_cast<std::int32_t>(st.st_mtim.tv_nsec);
  out.mode = static_cast<std::uint32_t>(st.st_mode & 07777);
  out.device = static_cast<std::uint64_t>(st.st_dev);
  out.inode = static_cast<std::uint64_t>(st.st_ino);
  return out;
}

LinuxListing::LinuxListing(UniqueFd folder, int& error) : folder_(std::move(folder)) {
  error = folder_.valid() ? 0 : EBADF;
}

const char* LinuxListing::nextName(int& error) {
  error = 0;
  if (position_ >= filled_) {
    ssize_t n = 0;
    do {
      n = ::getdents64(folder_.get(), buffer_, sizeof buffer_);
    } while (n < 0 && errno == EINTR);
    if (n <= 0) {
      // A folder removed while it is read ends its listing (ENOENT), as with readdir.
      if (n < 0 && errno != ENOENT) error = errno;
      return nullptr;
    }
    position_ = 0;
    filled_ = static_cast<std::size_t>(n);
  }
  const auto* entry = reinterpret_cast<const struct dirent64*>(buffer_ + position_);
  position_ += entry->d_reclen;
  return entry->d_name;
}

int LinuxListing::next(std::string_view& name, FileStat& stat) {
  if (!folder_.valid()) return EBADF;
  struct stat st {};
  for (;;) {
    int error = 0;
    const char* entry = nextName(error);
    if (entry == nullptr) return error == 0 ? -1 : error;
    if (IsDotOrDotDot(entry)) continue;
    if (::fstatat(folder_.get(), entry, &st, AT_SYMLINK_NOFOLLOW) != 0) {
      if (errno == ENOENT) continue;  // removed since the folder was read
      return errno;
    }
    name = std::string_view(entry, std::strlen(entry));
    stat = FileStatFrom(st, name);
    return 0;
  }
}

}  // namespace tolvan::platform
