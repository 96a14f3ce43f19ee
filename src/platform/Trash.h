#pragma once

#include <string>

namespace tolvan::platform {

// The desktop trash: a moved entry can be restored from the file manager.
class Trash {
 public:
  virtual ~Trash() = default;
  // Moves the entry (a link as a link) into the trash of its volume. 0 or an errno; on any
  // failure the entry stays where it was. Never falls back to deleting. Below the file
  // system's write root no link on the way to the entry is followed: ELOOP, nothing moves.
  [[nodiscard]] virtual int moveToTrash(const std::string& path) = 0;
};

}  // namespace tolvan::platform
