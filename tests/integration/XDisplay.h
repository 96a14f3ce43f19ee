#pragma once

#include <sys/types.h>

#include <string>

namespace tolvan::testing {

// A private X server (Xvfb) on a display number it picks itself, ended with the object.
class XvfbDisplay {
 public:
  XvfbDisplay() = default;
  ~XvfbDisplay();
  XvfbDisplay(const XvfbDisplay&) = delete;
  XvfbDisplay& operator=(const XvfbDisplay&) = delete;

  // Starts the server with one 1024x768 screen, its files (log, display number) in `folder`.
  // Empty on success, else why it could not start.
  [[nodiscard]] std::string start(const std::string& folder);
  [[nodiscard]] const std::string& name() const { return name_; }  // ":N"

 private:
  pid_t pid_ = -1;
  std::string name_;
};

// Asks the window `windowId` (decimal, as xdotool gives it) on `display` to close, as a window
// manager's close button does: a WM_DELETE_WINDOW message. False when it could not be sent.
[[nodiscard]] bool AskWindowToClose(const std::string& display, const std::string& windowId);

}  // namespace tolvan::testing
