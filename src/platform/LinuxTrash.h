#pragma once

#include <string>
#include <string_view>

#include "platform/Trash.h"

namespace tolvan::platform {

// The desktop trash of the freedesktop.org trash layout: the home trash for entries
// on the home trash's volume, otherwise the top folder's ".Trash/<uid>" or ".Trash-<uid>".
// The entry is renamed into the trash, never copied; a move that fails leaves it in place.
class LinuxTrash : public Trash {
 public:
  int moveToTrash(const std::string& path) override;

 private:
  // The trash folder (holding files/ and info/) for an entry whose folder is `folder` on
  // device `device`, and the base its Path= lines are relative to (empty: absolute).
  [[nodiscard]] int trashFor(const std::string& folder, dev_t device, std::string& trash,
                             std::string& base);
};

// Path= text: bytes outside the unreserved set of RFC 2396 and "/" as %XX.
[[nodiscard]] std::string EncodeTrashPath(std::string_view path);
// The home trash: $XDG_DATA_HOME/Trash, by default ~/.local/share/Trash.
[[nodiscard]] std::string HomeTrashPath();

}  // namespace tolvan::platform
