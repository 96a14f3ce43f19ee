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

// The kind a listing gives without a lookup; Missing when it gives none, or a folder, which
// is always looked up (its device and inode keep a walk from going round a bind mount).
EntryKind ListedKind(unsigned char type) {
  switch (type) {
    case DT_REG:
      return EntryKind::File;
    case DT_LNK:
      return EntryKind::Symlink;
    case DT_FIFO:
    case DT_SOCK:
    case DT_CHR:
    case DT_BLK:
      return EntryKind::Special;
    default:
      return EntryKind::Missing;
  }
}

FileStat KindOnly(EntryKind kind, std::string_view name) {
  FileStat out;
  out.kind = kind;
  if (kind == EntryKind::Symlink) out.attributes |= kAttrLink;
  if (name.front() == '.') out.attributes |= kAttrHidden;
  return out;
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

LinuxListing::LinuxListing(UniqueFd folder, int& error, ListingDetail detail)
    : folder_(std::move(folder)), detail_(detail) {
  error = folder_.valid() ? 0 : EBADF;
}

const char* LinuxListing::nextName(int& error, unsigned char& type) {
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
  type = entry->d_type;
  return entry->d_name;
}

int LinuxListing::next(std::string_view& name, FileStat& stat) {
  if (!folder_.valid()) return EBADF;
  struct stat st {};
  for (;;) {
    int error = 0;
    unsigned char type = DT_UNKNOWN;
    const char* entry = nextName(error, type);
    if (entry == nullptr) return error == 0 ? -1 : error;
    if (IsDotOrDotDot(entry)) continue;
    if (const EntryKind listed = ListedKind(type);
        detail_ == ListingDetail::Kinds && listed != EntryKind::Missing) {
      name = std::string_view(entry, std::strlen(entry));
      stat = KindOnly(listed, name);
      return 0;
    }
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
