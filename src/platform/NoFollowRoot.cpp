#include "platform/NoFollowRoot.h"

#include <fcntl.h>
#include <linux/openat2.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>

#include "platform/PathText.h"

namespace tolvan::platform {
namespace {

constexpr int kFolderFlags = O_DIRECTORY | O_CLOEXEC;

int OpenAt2(int dirFd, const char* path, int flags, NoFollowRoot::Mounts mounts) {
  open_how how{};
  how.flags = static_cast<std::uint64_t>(flags);
  how.resolve = RESOLVE_NO_SYMLINKS | RESOLVE_BENEATH | RESOLVE_NO_MAGICLINKS;
  // Nothing below a mount inside the backup is the backup's to change: it may be the master.
  if (mounts == NoFollowRoot::Mounts::StayOnRootVolume) how.resolve |= RESOLVE_NO_XDEV;
  return static_cast<int>(::syscall(SYS_openat2, dirFd, path, &how, sizeof how));
}

// A link met where a folder was expected reads as ELOOP whichever way it was opened.
int ComponentError(int dirFd, const char* name, int error) {
  struct stat st {};
  if (error == ENOTDIR && ::fstatat(dirFd, name, &st, AT_SYMLINK_NOFOLLOW) == 0 &&
      S_ISLNK(st.st_mode))
    return ELOOP;
  return error;
}

}  // namespace

void NoFollowRoot::setRoot(const std::string& root) {
  root_ = root;
  rootFd_.reset();
  rootError_ = 0;
  if (root.empty()) return;
  rootFd_.reset(::open(root_.c_str(), O_PATH | kFolderFlags));
  struct stat st {};
  if (!rootFd_.valid() || ::fstat(rootFd_.get(), &st) != 0) {
    rootError_ = errno;
    rootFd_.reset();
    return;
  }
  rootDevice_ = st.st_dev;
  rootInode_ = st.st_ino;
}

void NoFollowRoot::holdSameRootAs(const NoFollowRoot& other) {
  root_ = other.root_;
  rootError_ = other.rootError_;
  rootDevice_ = other.rootDevice_;
  rootInode_ = other.rootInode_;
  rootFd_.reset(other.rootFd_.valid() ? ::fcntl(other.rootFd_.get(), F_DUPFD_CLOEXEC, 0) : -1);
  if (other.rootFd_.valid() && !rootFd_.valid()) rootError_ = errno;
}

bool NoFollowRoot::covers(std::string_view path) const {
  return !root_.empty() && IsAtOrBelow(path, root_);
}

int NoFollowRoot::stillAtPath() const {
  if (root_.empty()) return 0;
  if (!rootFd_.valid()) return rootError_;
  struct stat st {};
  if (::stat(root_.c_str(), &st) != 0) return errno;
  return st.st_dev == rootDevice_ && st.st_ino == rootInode_ ? 0 : ENODEV;
}

int NoFollowRoot::identity(EntryIdentity& out) const {
  if (root_.empty()) return ENOENT;
  if (!rootFd_.valid()) return rootError_ != 0 ? rootError_ : EBADF;
  out = {rootDevice_, rootInode_};
  return 0;
}

int NoFollowRoot::openFolder(std::string_view dir, int flags, UniqueFd& out) {
  if (!covers(dir)) {
    component_.assign(dir);
    out.reset(::open(component_.c_str(), flags | kFolderFlags));
    return out.valid() ? 0 : errno;
  }
  if (!rootFd_.valid()) return rootError_ != 0 ? rootError_ : EBADF;
  if (dir.size() == root_.size()) {
    out.reset(::openat(rootFd_.get(), ".", flags | kFolderFlags));
    return out.valid() ? 0 : errno;
  }
  const std::size_t skip = root_ == "/" ? 1 : root_.size() + 1;
  return openBelowRoot(dir.substr(skip), flags, out);
}

int NoFollowRoot::openBelowRoot(std::string_view relative, int flags, UniqueFd& out) {
  if (useKernelResolve_) {
    component_.assign(relative);
    out.reset(OpenAt2(rootFd_.get(), component_.c_str(), flags | kFolderFlags, mounts_));
    if (out.valid()) return 0;
    // Kernels before 5.6 and some sandboxes lack openat2.
    if (errno != ENOSYS && errno != EPERM && errno != E2BIG) return errno;
    useKernelResolve_ = false;
  }
  return openStepByStep(relative, flags, out);
}

int NoFollowRoot::openStepByStep(std::string_view relative, int flags, UniqueFd& out) {
  const int base = rootFd_.get();
  UniqueFd current;
  int at = base;
  while (!relative.empty()) {
    const auto slash = relative.find('/');
    const bool last = slash == std::string_view::npos;
    component_.assign(relative.substr(0, last ? relative.size() : slash));
    relative = last ? std::string_view() : relative.substr(slash + 1);
    if (component_.empty() || component_ == ".") continue;
    if (component_ == "..") return EXDEV;  // never climb out of the tree
    const int stepFlags = (last ? flags : O_PATH) | kFolderFlags | O_NOFOLLOW;
    UniqueFd next(::openat(at, component_.c_str(), stepFlags));
    if (!next.valid()) return ComponentError(at, component_.c_str(), errno);
    current = std::move(next);
    at = current.get();
  }
  if (!current.valid()) {
    out.reset(::openat(base, ".", flags | kFolderFlags));
    return out.valid() ? 0 : errno;
  }
  out = std::move(current);
  return 0;
}

}  // namespace tolvan::platform
