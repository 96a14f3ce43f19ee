#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/PathIdentity.h"
#include "platform/UniqueFd.h"

namespace tolvan::platform {

// Opens folders below one root folder that is held open from the moment it is set: every
// later open starts from the root's own descriptor and never from its path, so a volume
// unmounted or a root folder exchanged during a run cannot send an open elsewhere. Below the
// root every component is opened without following symbolic links (ELOOP instead). The root
// itself may be reached through links: the user chose that path.
class NoFollowRoot {
 public:
  // Whether a folder below a mount inside the tree may be opened.
  enum class Mounts : std::uint8_t { StayOnRootVolume, Cross };

  explicit NoFollowRoot(Mounts mounts = Mounts::StayOnRootVolume) : mounts_(mounts) {}

  // Opens and holds `root`; empty text lets go. A root that cannot be opened makes every
  // open below it fail with the error of that open.
  void setRoot(const std::string& root);
  // Holds the same root as `other`, through a descriptor of its own.
  void holdSameRootAs(const NoFollowRoot& other);
  [[nodiscard]] const std::string& root() const { return root_; }
  [[nodiscard]] bool covers(std::string_view path) const;

  // 0 while the root's path still leads to the held folder; ENODEV when it leads to another
  // folder (an unmounted volume's bare mount point, an exchanged folder), or the errno of a
  // lookup of the path that failed.
  [[nodiscard]] int stillAtPath() const;
  // The held folder's identity; ENOENT while none is held, or the error of the root's open.
  [[nodiscard]] int identity(EntryIdentity& out) const;

  // Opens folder `dir` with `flags` (O_PATH or O_RDONLY; O_DIRECTORY and O_CLOEXEC are
  // added). 0 or an errno.
  [[nodiscard]] int openFolder(std::string_view dir, int flags, UniqueFd& out);

  // For tests: resolve component by component even where the kernel could do it in one call.
  void setUseKernelResolve(bool on) { useKernelResolve_ = on; }

 private:
  [[nodiscard]] int openBelowRoot(std::string_view relative, int flags, UniqueFd& out);
  [[nodiscard]] int openStepByStep(std::string_view relative, int flags, UniqueFd& out);

  Mounts mounts_;
  std::string root_;
  UniqueFd rootFd_;
  int rootError_ = 0;  // why the root could not be held
  std::uint64_t rootDevice_ = 0;
  std::uint64_t rootInode_ = 0;
  bool useKernelResolve_ = true;
  std::string component_;  // reused buffer for one path component
};

}  // namespace tolvan::platform
