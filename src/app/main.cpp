#include <cstdlib>
#include <iostream>
#include <string>
#include <vector>

#include "app/Frontend.h"
#include "app/HeadlessProgram.h"
#include "app/Usage.h"
#include "conditions/CommandLine.h"
#include "engine/ExitStatus.h"
#include "engine/Paths.h"
#include "platform/OpenFileLimit.h"
#include "ui/WindowedProgram.h"

namespace {

std::string EnvironmentValue(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr ? value : "";
}

}  // namespace

int main(int argc, char** argv) {
  using namespace tolvan;
  // Without the raise a deep tree fails with EMFILE; failing to raise it changes nothing else.
  (void)platform::RaiseOpenFileLimit();
  const std::vector<std::string> args(argv + (argc > 0 ? 1 : 0), argv + argc);
  const CommandLine commandLine = ParseCommandLine(args);
  if (commandLine.help) {
    std::cout << app::UsageText();
    return kExitSuccess;
  }
  if (commandLine.version) {
    std::cout << app::VersionLine() << '\n';
    return kExitSuccess;
  }
  if (commandLine.usageError()) {
    std::cerr << "tolvan32: " << DisplayText(commandLine.usageProblem) << "\n\n"
              << app::UsageText();
    return kExitRefused;
  }
  platform::DisplaySockets sockets;
  sockets.runtimeFolder = EnvironmentValue("XDG_RUNTIME_DIR");
  switch (app::ChooseFrontend(commandLine.noGui, EnvironmentValue("DISPLAY"),
                              EnvironmentValue("WAYLAND_DISPLAY"), sockets)) {
    case app::Frontend::Window:
      return ui::RunWindowed(args, commandLine);
    case app::Frontend::HeadlessDisplayGone:
      std::cerr << "tolvan32: the display does not answer; running without a window\n";
      return app::RunHeadless(args, commandLine);
    case app::Frontend::Headless:
      return app::RunHeadless(args, commandLine);
  }
  return kExitRefused;
}
