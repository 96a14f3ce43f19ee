#pragma once

#include <string>

namespace tolvan::testing {

// Asks the window `windowId` (decimal, as xdotool gives it) on `display` to close, as a window
// manager's close button does: a WM_DELETE_WINDOW message. False when it could not be sent.
[[nodiscard]] bool AskWindowToClose(const std::string& display, const std::string& windowId);

}  // namespace tolvan::testing
