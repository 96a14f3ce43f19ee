#include "ui/ProcessWindowFeed.h"

#include "ui/GuiThread.h"
#include "ui/ProcessWindow.h"
#include "ui/Translation.h"

namespace tolvan::ui {
namespace {

// Texts become QStrings on the GUI thread only, in the windows' language.
QString Text(const std::string& text) {
  return TranslatedMessage(text);
}

}  // namespace

void ProcessWindowFeed::feed(std::function<void(ProcessWindow&)> change) {
  if (OnGuiThread()) {
    change(window_());
    return;
  }
  PostToGuiThread([this, change = std::move(change)] { change(window_()); });
}

void ProcessWindowFeed::show() {
  feed([](ProcessWindow& window) {
    if (window.isVisible()) return;
    window.Form_Load();
    window.show();
    window.raise();
  });
}

void ProcessWindowFeed::close() {
  feed([](ProcessWindow& window) { window.closeAtRunEnd(); });
}

void ProcessWindowFeed::setStatus(const std::string& text, std::uint32_t colour) {
  feed([text, colour](ProcessWindow& window) { window.setStatus(Text(text), colour); });
}

void ProcessWindowFeed::setPaths(const std::string& text) {
  feed([text](ProcessWindow& window) { window.setPaths(Text(text)); });
}

void ProcessWindowFeed::setStopButtonVisible(bool visible) {
  feed([visible](ProcessWindow& window) { window.setStopButtonVisible(visible); });
}

void ProcessWindowFeed::setBarVisible(bool visible) {
  feed([visible](ProcessWindow& window) { window.setBarVisible(visible); });
}

void ProcessWindowFeed::setBarRange(std::int64_t minimum, std::int64_t maximum) {
  feed([minimum, maximum](ProcessWindow& window) { window.setBarRange(minimum, maximum); });
}

void ProcessWindowFeed::setBarValue(std::int64_t value) {
  feed([value](ProcessWindow& window) { window.setBarValue(value); });
}

void ProcessWindowFeed::setEstimateHeadingVisible(bool visible) {
  feed([visible](ProcessWindow& window) { window.setEstimateHeadingVisible(visible); });
}

void ProcessWindowFeed::setEstimate(const std::string& text) {
  feed([text](ProcessWindow& window) { window.setEstimate(Text(text)); });
}

}  // namespace tolvan::ui
