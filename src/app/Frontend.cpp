#include "app/Frontend.h"

namespace tolvan::app {
namespace {

// The window comes with a later part of the program; until then every start is headless.
constexpr bool kWindowBuilt = false;

}  // namespace

Frontend ChooseFrontend(bool noGui, const std::string& display, const std::string& waylandDisplay) {
  const bool hasDisplay = !display.empty() || !waylandDisplay.empty();
  if (noGui || !hasDisplay || !kWindowBuilt) return Frontend::Headless;
  return Frontend::Window;
}

}  // namespace tolvan::app
