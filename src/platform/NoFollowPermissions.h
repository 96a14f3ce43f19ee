#pragma once

#include <sys/types.h>

namespace tolvan::platform {

// Changes the permission bits of entry `name` of the folder `folderFd` (O_PATH will do)
// without ever following a link: the entry is opened as it is at that moment and the change
// goes to what was opened. A link is left as it is (Linux keeps no bits of its own for one).
// 0 or an errno; EOPNOTSUPP without /proc.
[[nodiscard]] int ChangePermissionsNoFollow(int folderFd, const char* name, mode_t bits);

// The same for an entry already open (O_PATH | O_NOFOLLOW will do): the change reaches that
// entry even when its name has since been given to something else.
[[nodiscard]] int ChangeOpenedPermissions(int entryFd, mode_t bits);

}  // namespace tolvan::platform
