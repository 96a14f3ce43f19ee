#pragma once

#include <sys/types.h>

#include <chrono>
#include <functional>
#include <string>
#include <vector>

namespace tolvan::testing {

// The full path of an installed program, looked up in the usual system folders; empty when
// it is not installed.
[[nodiscard]] std::string InstalledProgram(const std::string& name);

// A private X server (Xvfb) on a display number it picks itself, ended with the object.
class XvfbDisplay {
 public:
  XvfbDisplay() = default;
  ~XvfbDisplay();
  XvfbDisplay(const XvfbDisplay&) = delete;
  XvfbDisplay& operator=(const XvfbDisplay&) = delete;

  // Starts the server with one 1024x768 screen, its messages going to `logPath`. Empty on
  // success, else why it could not start.
  [[nodiscard]] std::string start(const std::string& logPath);
  [[nodiscard]] const std::string& name() const { return name_; }  // ":N"

 private:
  pid_t pid_ = -1;
  std::string name_;
};

struct ToolResult {
  int exitStatus = -1;  // -1 when it did not exit normally or ran past its time
  std::string out;
};

// Runs an X client such as xdotool on `display`, ended when it runs longer than `limit`.
[[nodiscard]] ToolResult RunXTool(const std::string& display, const std::vector<std::string>& argv,
                                  std::chrono::milliseconds limit = std::chrono::seconds(10));

// Asks the window `windowId` (decimal, as xdotool gives it) on `display` to close, as a window
// manager's close button does: a WM_DELETE_WINDOW message. False when it could not be sent.
[[nodiscard]] bool AskWindowToClose(const std::string& display, const std::string& windowId);

// Calls `ready` every 100 ms until it gives true (then true) or `limit` has passed (false).
[[nodiscard]] bool WaitFor(const std::function<bool()>& ready, std::chrono::milliseconds limit);

}  // namespace tolvan::testing
