#pragma once

#include <string>

namespace tolvan::platform {

// Where the display servers listen: X's socket folder and the user's runtime folder (Wayland).
struct DisplaySockets {
  std::string x11Folder = "/tmp/.X11-unix";
  std::string runtimeFolder;  // $XDG_RUNTIME_DIR
};

// Whether a display named by DISPLAY or WAYLAND_DISPLAY answers a connection. A display on
// another host (a forwarded X display) is taken to answer: only a local server that is gone
// can be told apart without talking the display's protocol.
[[nodiscard]] bool DisplayAnswers(const std::string& display, const std::string& waylandDisplay,
                                  const DisplaySockets& sockets);

}  // namespace tolvan::platform
