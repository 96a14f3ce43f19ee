#pragma once

#include <sys/types.h>

#include <cerrno>

#include "platform/UniqueFd.h"

namespace tolvan::platform {

// A folder of the running user's own without its owner's write or search permission (the
// copy of a read-only master folder) gets both while this object lives, so that entries can
// be made and removed in it; its bits come back when the object goes. Both changes go through
// a descriptor of the folder, never its path: they never reach what a link points to, and
// they find the folder again after it was moved (into the trash).
class WidenedFolder {
 public:
  WidenedFolder() = default;
  ~WidenedFolder();
  WidenedFolder(const WidenedFolder&) = delete;
  WidenedFolder& operator=(const WidenedFolder&) = delete;

  // `folderFd`: the folder opened for reading (not O_PATH). True when the bits were added.
  bool widen(int folderFd);

 private:
  UniqueFd folder_;
  mode_t bits_ = 0;
};

// Runs `change` (0 or an errno). When the folder refused it (EACCES) and the folder that
// `openFolder` opens could be widened, runs it once more and then gives the folder its bits
// back. The first try costs nothing extra in folders the owner may write to.
template <typename Change, typename OpenFolder>
[[nodiscard]] int RetriedInWidenedFolder(Change change, OpenFolder openFolder) {
  const int first = change();
  if (first != EACCES) return first;
  UniqueFd folder;
  if (openFolder(folder) != 0) return first;
  WidenedFolder widened;
  return widened.widen(folder.get()) ? change() : first;
}

}  // namespace tolvan::platform
