#include "ui/MainWindowServices.h"

namespace tolvan::ui {

MainWindowServices WithDefaults(MainWindowServices services) {
  if (!services.runEngine) {
    services.runEngine = [](const std::function<void()>& work) {
      work();
      return true;
    };
  }
  if (!services.onGuiThread)
    services.onGuiThread = [](const std::function<void()>& call) { call(); };
  if (!services.editorSettings) services.editorSettings = [] {};
  if (!services.showReport) services.showReport = [](const std::string&) {};
  if (!services.askSimulation) {
    services.askSimulation = [](std::int16_t&, std::string&) { return false; };
  }
  if (!services.helpTopics) services.helpTopics = [] {};
  if (!services.exclusions) services.exclusions = [] {};
  return services;
}

}  // namespace tolvan::ui
