#pragma once

#include "platform/UniqueFd.h"

namespace tolvan::platform {

// Removes everything inside the open folder (opened O_RDONLY | O_DIRECTORY). Subfolders are
// opened with O_NOFOLLOW relative to their parent, so a link inside is removed as a link and
// nothing outside the tree is touched. Memory grows with the depth only. Stops at the first
// failure: 0 or an errno. A folder of the user's own without the owner's write or search
// permission is given both while it is emptied (WidenedFolder).
[[nodiscard]] int RemoveFolderContents(UniqueFd folder);

}  // namespace tolvan::platform
