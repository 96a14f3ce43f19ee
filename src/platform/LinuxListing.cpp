#include "platform/LinuxListing.h"

#include <fcntl.h>

#include <cerrno>
#include <cstring>

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
  return out;
}

LinuxListing::LinuxListing(UniqueFd folder, int& error) {
  dir_ = ::fdopendir(folder.get());
  if (dir_ == nullptr) {
    error = errno;
    return;
  }
  (void)folder.release();  // the DIR owns it now
  error = 0;
}

LinuxListing::~LinuxListing() {
  if (dir_ != nullptr) ::closedir(dir_);
}

int LinuxListing::next(std::string_view& name, FileStat& stat) {
  if (dir_ == nullptr) return EBADF;
  struct stat st {};
  for (;;) {
    errno = 0;
    const dirent* entry = ::readdir(dir_);
    if (entry == nullptr) return errno == 0 ? -1 : errno;
    if (IsDotOrDotDot(entry->d_name)) continue;
    if (::fstatat(::dirfd(dir_), entry->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0) {
      if (errno == ENOENT) continue;  // removed since the folder was read
      return errno;
    }
    name = std::string_view(entry->d_name, std::strlen(entry->d_name));
    stat = FileStatFrom(st, name);
    return 0;
  }
}

}  // namespace tolvan::platform
