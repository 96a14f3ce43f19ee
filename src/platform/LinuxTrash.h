#pragma once

#include <string>
#include <string_view>

#include "platform/Trash.h"

namespace tolvan::platform {

class LinuxFileSystem;

// The desktop trash of the freedesktop.org trash layout: the home trash for entries
// on the home trash's volume, otherwise the top folder's ".Trash/<uid>" or ".Trash-<uid>".
// The entry is renamed into the trash, never copied; a move that fails leaves it in place.
// Once the entry's folder is open, everything works on descriptors, never on path text: a
// folder swapped for a link meanwhile cannot send the move elsewhere.
class LinuxTrash : public Trash {
 public:
  // Opens an entry's folder the way `fs` opens every folder it changes: below its write root
  // without following any link, so a folder that turned into a link fails (ELOOP).
  explicit LinuxTrash(LinuxFileSystem& fs) : fs_(fs) {}

  int moveToTrash(const std::string& path) override;

 private:
  // Moves entry `name` out of the open folder `folderFd`. The Path= text and the volume are
  // those of the folder the descriptor leads to.
  [[nodiscard]] static int moveOutOf(int folderFd, const std::string& name);

  LinuxFileSystem& fs_;
};

// Path= text: bytes outside the unreserved set of RFC 2396 and "/" as %XX.
[[nodiscard]] std::string EncodeTrashPath(std::string_view path);
// The home trash: $XDG_DATA_HOME/Trash, by default ~/.local/share/Trash.
[[nodiscard]] std::string HomeTrashPath();

}  // namespace tolvan::platform
