#pragma once

#include <string>
#include <string_view>

namespace tolvan::platform {

// The folder part of an absolute path: "/a/b" -> "/a", "/a" -> "/", "/" -> "/".
[[nodiscard]] std::string_view ParentOf(std::string_view path);
// The last component: "/a/b" -> "b", "/" -> "".
[[nodiscard]] std::string_view NameOf(std::string_view path);
// Where the last component of an absolute path begins: "/a/b" -> 3, "/a" -> 1.
[[nodiscard]] std::size_t NameOffset(std::string_view path);
// parent + "/" + name, with the root joining as "/name".
[[nodiscard]] std::string JoinPath(std::string_view parent, std::string_view name);
// True when `path` is `folder` itself or lies below it.
[[nodiscard]] bool IsAtOrBelow(std::string_view path, std::string_view folder);
// The path with every link and "." or ".." resolved (realpath), or empty text on failure.
[[nodiscard]] std::string RealPath(const std::string& path);
// Decodes the escapes "\x20" (hex) and "\040" (octal) that udev and the mount table use.
[[nodiscard]] std::string DecodeEscapes(std::string_view text);

}  // namespace tolvan::platform
