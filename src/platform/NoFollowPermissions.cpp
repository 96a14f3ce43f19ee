#include "platform/NoFollowPermissions.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstdio>

#include "platform/UniqueFd.h"

namespace tolvan::platform {

int ChangePermissionsNoFollow(int folderFd, const char* name, mode_t bits) {
  UniqueFd entry(::openat(folderFd, name, O_PATH | O_NOFOLLOW | O_CLOEXEC));
  if (!entry.valid()) return errno;
  return ChangeOpenedPermissions(entry.get(), bits);
}

int ChangeOpenedPermissions(int entryFd, mode_t bits) {
  struct stat st {};
  if (::fstat(entryFd, &st) != 0) return errno;
  if (S_ISLNK(st.st_mode)) return 0;
  // fchmod refuses an O_PATH descriptor, and reopening it for reading needs read permission
  // the entry may not give. Its /proc name leads to the opened inode itself, whatever its
  // path leads to now.
  char own[32];
  std::snprintf(own, sizeof own, "/proc/self/fd/%d", entryFd);
  if (::fchmodat(AT_FDCWD, own, bits & 07777, 0) == 0) return 0;
  return errno == ENOENT ? EOPNOTSUPP : errno;  // ENOENT: /proc is not mounted
}

}  // namespace tolvan::platform
