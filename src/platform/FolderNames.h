#pragma once

#include <dirent.h>
#include <fcntl.h>

#include <string_view>

#include "platform/UniqueFd.h"

namespace tolvan::platform {

// Calls `visit(dir, name)` with each name of the folder (any descriptor of it, O_PATH
// included) until it returns false. The folder's own descriptor is left open.
template <typename Visit>
void ForEachName(int folderFd, Visit visit) {
  UniqueFd readable(::openat(folderFd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (!readable.valid()) return;
  DIR* dir = ::fdopendir(readable.get());
  if (dir == nullptr) return;
  (void)readable.release();
  while (const dirent* entry = ::readdir(dir)) {
    if (!visit(dir, std::string_view(entry->d_name))) break;
  }
  ::closedir(dir);
}

}  // namespace tolvan::platform
