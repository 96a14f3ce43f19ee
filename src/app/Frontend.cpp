#include "app/Frontend.h"

namespace tolvan::app {

Frontend ChooseFrontend(bool noGui, const std::string& display, const std::string& waylandDisplay,
                        const platform::DisplaySockets& sockets) {
  const bool hasDisplay = !display.empty() || !waylandDisplay.empty();
  if (noGui || !hasDisplay) return Frontend::Headless;
  if (!platform::DisplayAnswers(display, waylandDisplay, sockets)) {
    return Frontend::HeadlessDisplayGone;
  }
  return Frontend::Window;
}

}  // namespace tolvan::app
