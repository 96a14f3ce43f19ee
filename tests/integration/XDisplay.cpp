#include "ProgramRunner.h"

#include <X11/Xlib.h>

namespace tolvan::testing {

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
