#pragma once

#include <sys/stat.h>
#include <sys/types.h>

#include <cstdint>
#include <string>
#include <string_view>

namespace tolvan::platform {

// `name` with its ASCII letters' case swapped; false when it has no ASCII letter.
[[nodiscard]] bool SwapAsciiCase(std::string_view name, std::string& swapped);

// Whether the folder (any descriptor of it) lists both names exactly as given.
[[nodiscard]] bool FolderListsBoth(int folderFd, std::string_view one, std::string_view other);

// Reads the folder (any descriptor of it, O_PATH included) for the entry that a case-blind
// lookup of `name` found (inode `inode`, or the only name of that spelling) and puts the spelling
// the folder stores in `stored`. Leaves `stored` alone when the exact name is stored or nothing
// matches. False when the folder, read to its end, stores no spelling of `name` at all: the
// lookup was answered from a cache that outlived the entry (a FUSE volume keeps a name looked
// up for a while after the entry is removed under another spelling). A folder that cannot be
// read says nothing of the kind.
[[nodiscard]] bool FindStoredSpelling(int folderFd, std::string_view name, ino_t inode,
                                      std::string& stored);

// Whether the folder (any descriptor of it) answers a lookup of `name` (the entry `st`) with
// its letter case swapped by that same entry; `swapped` is a buffer for that spelling. Unknown
// for a name without ASCII letters; Gone when `name` itself was answered from a cache that
// outlived the entry, so the folder's rule is still unknown.
enum class CaseLookup : std::uint8_t { Unknown, Sensitive, Blind, Gone };
[[nodiscard]] CaseLookup CaseLookupFor(int folderFd, std::string_view name, const struct stat& st,
                                       std::string& swapped);

// FindStoredSpelling where the folder (any descriptor of it) is case-blind for `name`, the
// entry `st`: it finds the name with its letter case swapped as the same entry. Leaves
// `stored` alone in a case-sensitive folder, without reading it unless both spellings exist.
void FindStoredSpellingWhereCaseBlind(int folderFd, const std::string& name, const struct stat& st,
                                      std::string& stored);

}  // namespace tolvan::platform
