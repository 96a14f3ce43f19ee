#pragma once

#include <string_view>

#include "platform/FileSystem.h"

namespace tolvan::platform {

// A copy in progress is written under this prefix in the target's folder and renamed into
// place when complete.
inline constexpr std::string_view kPartialCopyPrefix = ".tolvan32-partial-";
inline constexpr std::size_t kPartialCopyDigits = 16;

// Exactly the names MakeTemporaryName makes: the prefix and 16 lowercase hex digits. A user's
// own ".tolvan32-partial-notes" is not one.
[[nodiscard]] inline bool IsPartialCopyName(std::string_view name) {
  if (name.size() != kPartialCopyPrefix.size() + kPartialCopyDigits) return false;
  if (name.substr(0, kPartialCopyPrefix.size()) != kPartialCopyPrefix) return false;
  for (const char c : name.substr(kPartialCopyPrefix.size())) {
    if ((c < '0' || c > '9') && (c < 'a' || c > 'f')) return false;
  }
  return true;
}

// A leftover of a killed run: a file (or, from a link's copy, a link) under such a name. A
// folder is never one.
[[nodiscard]] inline bool IsPartialCopyLeftover(std::string_view name, EntryKind kind) {
  return (kind == EntryKind::File || kind == EntryKind::Symlink) && IsPartialCopyName(name);
}

}  // namespace tolvan::platform
