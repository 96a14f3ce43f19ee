#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/UniqueFd.h"

namespace tolvan::platform {

// Opens folders for writing and deleting. Below the root folder every component is opened
// without following symbolic links, starting from the root's own descriptor, so a link
// planted anywhere inside the tree cannot lead a write outside it (ELOOP instead). The root
// itself may be reached through links: the user chose that path.
class NoFollowRoot {
 public:
  void setRoot(const std::string& root);
  [[nodiscard]] const std::string& root() const { return root_; }
  [[nodiscard]] bool covers(std::string_view path) const;

  // Opens folder `dir` with `flags` (O_PATH or O_RDONLY; O_DIRECTORY and O_CLOEXEC are
  // added). 0 or an errno.
  [[nodiscard]] int openFolder(std::string_view dir, int flags, UniqueFd& out);

  // For tests: resolve component by component even where the kernel could do it in one call.
  void setUseKernelResolve(bool on) { useKernelResolve_ = on; }

 private:
  [[nodiscard]] int rootFd(int& fd);
  [[nodiscard]] int openBelowRoot(int rootFd, std::string_view relative, int flags, UniqueFd& out);
  [[nodiscard]] int openStepByStep(int rootFd, std::string_view relative, int flags, UniqueFd& out);

  std::string root_;
  UniqueFd rootFd_;
  std::uint64_t rootGeneration_ = 0;
  bool useKernelResolve_ = true;
  std::string component_;  // reused buffer for one path component
};

}  // namespace tolvan::platform
