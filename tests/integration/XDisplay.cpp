#include "XDisplay.h"

// Before Xlib.h, whose macros (None, Bool) break the test framework's headers.
#include "ProgramRunner.h"

#include <signal.h>

#include <cstdlib>

#include <X11/Xlib.h>

namespace tolvan::testing {

XvfbDisplay::~XvfbDisplay() {
  if (pid_ > 0) ::kill(pid_, SIGTERM);
}

std::string XvfbDisplay::start(const std::string& folder) {
  if (Shell("command -v Xvfb") != 0) return "Xvfb is not installed";
  const std::string number = folder + "/display", pid = folder + "/xvfb.pid";
  // The server writes its display number to descriptor 3 once it takes connections.
  if (Shell("Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp -noreset 3>'" + number + "' >'" +
            folder + "/xvfb.log' 2>&1 & echo $! >'" + pid + "'") != 0)
    return "Xvfb did not start";
  pid_ = static_cast<pid_t>(std::atoi(ReadText(pid).c_str()));
  if (!WaitFor([&] { return Contains(ReadText(number), "\n"); }, 20s))
    return "Xvfb did not start (see its log)";
  name_ = ":" + ReadText(number).substr(0, ReadText(number).find('\n'));
  return {};
}

bool AskWindowToClose(const std::string& display, const std::string& windowId) {
  Display* connection = XOpenDisplay(display.c_str());
  if (connection == nullptr) return false;
  XEvent message{};
  message.xclient.type = ClientMessage;
  message.xclient.window = static_cast<Window>(std::stoul(windowId));
  message.xclient.message_type = XInternAtom(connection, "WM_PROTOCOLS", False);
  message.xclient.format = 32;
  message.xclient.data.l[0] = static_cast<long>(XInternAtom(connection, "WM_DELETE_WINDOW", False));
  message.xclient.data.l[1] = CurrentTime;
  const Status sent = XSendEvent(connection, message.xclient.window, False, NoEventMask, &message);
  XSync(connection, False);
  XCloseDisplay(connection);
  return sent != 0;
}

}  // namespace tolvan::testing
