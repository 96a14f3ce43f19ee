#pragma once

#include <dirent.h>
#include <fcntl.h>

#include <cerrno>

#include <string_view>

#include "platform/UniqueFd.h"

namespace tolvan::platform {

// Calls `visit(dir, name)` with each name of the folder (any descriptor of it, O_PATH
// included) until it returns false. The folder's own descriptor is left open. False when the
// folder could not be read to its end (or to where `visit` stopped): a name not visited may
// still be there.
template <typename Visit>
bool ForEachName(int folderFd, Visit visit) {
  UniqueFd readable(::openat(folderFd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (!readable.valid()) return false;
  DIR* dir = ::fdopendir(readable.get());
  if (dir == nullptr) return false;
  (void)readable.release();
  bool whole = true;
  for (;;) {
    errno = 0;
    const dirent* entry = ::readdir(dir);
    if (entry == nullptr) {
      whole = errno == 0;
      break;
    }
    if (!visit(dir, std::string_view(entry->d_name))) break;
  }
  ::closedir(dir);
  return whole;
}

}  // namespace tolvan::platform
