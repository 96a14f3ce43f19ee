#pragma once

#include <string_view>

namespace tolvan::platform {

// A copy in progress is written under this prefix in the target's folder and renamed into
// place when complete. An entry with this prefix is a leftover of a killed run.
inline constexpr std::string_view kPartialCopyPrefix = ".tolvan32-partial-";

[[nodiscard]] inline bool IsPartialCopyName(std::string_view name) {
  return name.substr(0, kPartialCopyPrefix.size()) == kPartialCopyPrefix;
}

}  // namespace tolvan::platform
