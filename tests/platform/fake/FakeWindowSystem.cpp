#include "platform/fake/FakeWindowSystem.h"

namespace tolvan::platform {

MessageAnswer FakeWindowSystem::messageBox(const std::string& text, const std::string& title,
                                           MessageIcon icon, MessageButtons buttons) {
  boxes.push_back(Box{text, title, icon, buttons});
  if (!answers.empty()) {
    const MessageAnswer answer = answers.front();
    answers.pop_front();
    return answer;
  }
  return buttons == MessageButtons::YesNo ? MessageAnswer::Yes : MessageAnswer::Ok;
}

void FakeWindowSystem::letEventsRun() {
  ++eventCount;
  if (onEvents) onEvents(eventCount);
}

bool FakeWindowSystem::runWaitDialog(const std::string& caption, const std::string&,
                                     const std::string&, const std::function<bool()>& poll) {
  ++waitDialogsShown;
  waitCaption = caption;
  for (int n = 1; n <= waitPollLimit; ++n) {
    if (cancelWaitAfterPolls >= 0 && n > cancelWaitAfterPolls) return true;
    if (onWaitPoll) onWaitPoll(n);
    if (poll()) return false;
  }
  return true;
}

}  // namespace tolvan::platform
