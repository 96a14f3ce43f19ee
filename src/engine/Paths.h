#pragma once

#include <string>
#include <string_view>

namespace tolvan {

// parent + "/" + name; the root joins as "/name".
[[nodiscard]] std::string ChildPath(std::string_view parent, std::string_view name);
// True when `path` is `folder` itself or lies below it (by text; "/" holds every path).
[[nodiscard]] bool IsSameOrBelow(std::string_view path, std::string_view folder);
// Removes one trailing "/" but never turns "/" into an empty path.
[[nodiscard]] std::string StripOneTrailingSeparator(std::string path);
// Leading and trailing blanks (spaces) removed.
[[nodiscard]] std::string TrimBlanks(std::string_view text);
[[nodiscard]] std::string ToUpperAscii(std::string_view text);
[[nodiscard]] bool IsValidUtf8(std::string_view bytes);
// A name or path as every text the program writes shows it: valid UTF-8 kept as it is; each
// byte that is not part of a valid sequence, and each control character, becomes "?".
[[nodiscard]] std::string DisplayText(std::string_view bytes);
// The system's text for an errno value.
[[nodiscard]] std::string ErrorDescription(int code);

}  // namespace tolvan
