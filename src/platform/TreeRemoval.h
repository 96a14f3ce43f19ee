#pragma once

#include "platform/UniqueFd.h"

namespace tolvan::platform {

// Removes everything inside the open folder (opened O_RDONLY | O_DIRECTORY). Subfolders are
// opened with O_NOFOLLOW relative to their parent, so a link inside is removed as a link and
// nothing outside the tree is touched. Memory grows with the depth only. Stops at the first
// failure: 0 or an errno. A folder of the user's own without the owner's write or search
// permission is given both while it is emptied (WidenedFolder).
[[nodiscard]] int RemoveFolderContents(UniqueFd folder);

// Opens the subfolder `name` of `folderFd` for emptying, never through a link and never into
// another mount: a volume or bind mount inside the backup may hold anything, the master
// included, and nothing there is the backup's to delete. 0 or an errno (EXDEV for a mount).
[[nodiscard]] int OpenSubfolderToEmpty(int folderFd, const char* name, UniqueFd& out);

}  // namespace tolvan::platform
