#include "platform/TreeRemoval.h"

#include <dirent.h>
#include <fcntl.h>
#include <linux/openat2.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>

#include "platform/WidenedFolder.h"

namespace tolvan::platform {
namespace {

bool IsDotOrDotDot(const char* name) {
  return name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0'));
}

bool IsFolder(int folderFd, const dirent& entry) {
  if (entry.d_type != DT_UNKNOWN) return entry.d_type == DT_DIR;
  struct stat st {};
  return ::fstatat(folderFd, entry.d_name, &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISDIR(st.st_mode);
}

constexpr int kSubfolderFlags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;

// Without openat2 a mount of another file system still shows by its device.
int OpenOnSameDevice(int folderFd, const char* name, UniqueFd& out) {
  struct stat parent {};
  struct stat child {};
  UniqueFd opened(::openat(folderFd, name, kSubfolderFlags));
  if (!opened.valid()) return errno;
  if (::fstat(folderFd, &parent) != 0 || ::fstat(opened.get(), &child) != 0) return errno;
  if (parent.st_dev != child.st_dev) return EXDEV;
  out = std::move(opened);
  return 0;
}

int RemoveSubfolder(int folderFd, const char* name) {
  UniqueFd child;
  if (int e = OpenSubfolderToEmpty(folderFd, name, child); e != 0) return e;
  if (int e = RemoveFolderContents(std::move(child)); e != 0) return e;
  return ::unlinkat(folderFd, name, AT_REMOVEDIR) == 0 ? 0 : errno;
}

int RemoveOne(int folderFd, const dirent& entry) {
  if (IsFolder(folderFd, entry)) return RemoveSubfolder(folderFd, entry.d_name);
  if (::unlinkat(folderFd, entry.d_name, 0) == 0 || errno == ENOENT) return 0;
  // The entry became a folder since it was listed.
  return errno == EISDIR ? RemoveSubfolder(folderFd, entry.d_name) : errno;
}

}  // namespace

int OpenSubfolderToEmpty(int folderFd, const char* name, UniqueFd& out) {
  open_how how{};
  how.flags = static_cast<std::uint64_t>(kSubfolderFlags);
  how.resolve = RESOLVE_BENEATH | RESOLVE_NO_SYMLINKS | RESOLVE_NO_MAGICLINKS | RESOLVE_NO_XDEV;
  UniqueFd opened(static_cast<int>(::syscall(SYS_openat2, folderFd, name, &how, sizeof how)));
  if (opened.valid()) {
    out = std::move(opened);
    return 0;
  }
  if (errno != ENOSYS && errno != EPERM && errno != E2BIG) return errno;
  return OpenOnSameDevice(folderFd, name, out);
}

int RemoveFolderContents(UniqueFd folder) {
  // The user's own read-only folders are emptied too; a folder that stays gets its bits back.
  WidenedFolder widened;
  (void)widened.widen(folder.get());
  DIR* dir = ::fdopendir(folder.get());
  if (dir == nullptr) return errno;
  (void)folder.release();
  int result = 0;
  for (;;) {
    errno = 0;
    const dirent* entry = ::readdir(dir);
    if (entry == nullptr) {
      result = errno;
      break;
    }
    if (IsDotOrDotDot(entry->d_name)) continue;
    result = RemoveOne(::dirfd(dir), *entry);
    if (result != 0) break;
  }
  ::closedir(dir);
  return result;
}

}  // namespace tolvan::platform
