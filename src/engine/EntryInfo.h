#pragma once

#include <cstdint>

#include "engine/DateTime.h"
#include "platform/FileSystem.h"

namespace tolvan {

// What a listing says about one entry. A missing entry: Attributes 0, FileSize -1,
// Modified 0, ModifiedSeconds 0. Sizes are 64-bit so that a changed file of 4 GiB is never taken as
// equal.
struct EntryInfo {
  std::uint32_t Attributes = 0;
  std::int64_t FileSize = -1;
  DateTime Modified = 0;  // local time, as shown
  // The same time as a Unix time, to compare by: two local times of either side of a clock
  // change are an hour off.
  std::int64_t ModifiedSeconds = 0;
  platform::EntryKind Kind = platform::EntryKind::Missing;

  [[nodiscard]] bool isFolder() const { return (Attributes & platform::kAttrDirectory) != 0; }
  [[nodiscard]] bool missing() const { return Kind == platform::EntryKind::Missing; }
};

}  // namespace tolvan
