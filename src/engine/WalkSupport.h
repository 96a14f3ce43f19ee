#pragma once

#include <string>
#include <string_view>

#include "engine/EntryInfo.h"
#include "platform/FileSystem.h"
#include "platform/SystemInfo.h"

namespace tolvan {

// Names shared by the copy and removal walks.

// The recycle folders of the old systems ("RECYCLED", "RECYCLER" in any letter case).
[[nodiscard]] bool IsRecycleName(std::string_view name);
// A desktop trash folder: ".Trash" or ".Trash-<digits>".
[[nodiscard]] bool IsTrashFolderName(std::string_view name);
// Entries neither walk ever enters, copies or removes.
[[nodiscard]] bool IsNeverWalked(std::string_view name, platform::EntryKind kind);

// Master and backup entries of different kinds: a folder on one side, anything else on the
// other. A link facing a file is the same kind (a copy replaces the link itself).
[[nodiscard]] bool KindsDiffer(platform::EntryKind a, platform::EntryKind b);

// Fills `out` from a listing's lstat data. On a time that cannot be converted, returns
// false with `code` set; the other fields are filled all the same.
[[nodiscard]] bool EntryFromStat(platform::SystemInfo& sys, const platform::FileStat& stat,
                                 EntryInfo& out, int& code);

// path + "(Code:" + code + " " + description + ")", the form of every failure line.
[[nodiscard]] std::string FailureText(const std::string& path, int code);

}  // namespace tolvan
