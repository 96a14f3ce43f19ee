#include "app/Frontend.h"

namespace tolvan::app {
Frontend ChooseFrontend(bool noGui, const std::string& display, const std::string& waylandDisplay) {
  const bool hasDisplay = !display.empty() || !waylandDisplay.empty();
  if (noGui || !hasDisplay) return Frontend::Headless;
  return Frontend::Window;
}

}  // namespace tolvan::app
