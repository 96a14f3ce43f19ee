#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "platform/WindowSystem.h"

namespace tolvan::platform {

// Records what the progress window was told.
class FakeProgressWindow : public ProgressWindow {
 public:
  void show() override { shown = true; }
  void close() override { shown = false; }
  void setStatus(const std::string& text, std::uint32_t) override { status = text; }
  void setPaths(const std::string&) override {}
  void setStopButtonVisible(bool) override {}
  void setBarVisible(bool) override {}
  void setBarRange(std::int64_t, std::int64_t maximum) override { barMaximum = maximum; }
  void setBarValue(std::int64_t value) override { barValue = value; }
  void setEstimateHeadingVisible(bool) override {}
  void setEstimate(const std::string& text) override { estimate = text; }

  bool shown = false;
  std::string status;
  std::int64_t barMaximum = 0;
  std::int64_t barValue = 0;
  std::string estimate;
};

// Scripted answers for message boxes; records every box and every event pump.
class FakeWindowSystem : public WindowSystem {
 public:
  struct Box {
    std::string text;
    std::string title;
    MessageButtons buttons;
  };

  MessageAnswer messageBox(const std::string& text, const std::string& title, MessageIcon,
                           MessageButtons buttons) override {
    boxes.push_back(Box{text, title, buttons});
    if (answers.empty())
      return buttons == MessageButtons::YesNo ? MessageAnswer::Yes : MessageAnswer::Ok;
    const MessageAnswer answer = answers.front();
    answers.pop_front();
    return answer;
  }
  void letEventsRun() override {
    ++eventCount;
    if (onEvents) onEvents(eventCount);
  }
  // Cancels after `cancelWaitAfterPolls` unsuccessful polls; gives up after a thousand (as a
  // cancel) so that a broken test cannot hang.
  bool runWaitDialog(const std::string&, const std::string&, const std::string&,
                     const std::function<bool()>& poll) override {
    ++waitDialogsShown;
    for (int n = 1; n <= 1000 && (cancelWaitAfterPolls < 0 || n <= cancelWaitAfterPolls); ++n) {
      if (onWaitPoll) onWaitPoll(n);
      if (poll()) return false;
    }
    return true;
  }
  ProgressWindow& progress() override { return progressWindow; }
  void setBusy(bool) override {}
  void restoreMainWindow() override { ++restoreCount; }
  bool openDocument(const std::string& path) override {
    openedDocuments.push_back(path);
    return true;
  }

  std::deque<MessageAnswer> answers;  // given in order; when empty, OK or Yes
  std::vector<Box> boxes;
  FakeProgressWindow progressWindow;
  // Called on every letEventsRun with its running count (from 1), e.g. to press stop.
  std::function<void(long)> onEvents;
  long eventCount = 0;
  int cancelWaitAfterPolls = -1;        // -1: never
  std::function<void(int)> onWaitPoll;  // called before each poll with its number (from 1)
  int waitDialogsShown = 0;
  int restoreCount = 0;
  std::vector<std::string> openedDocuments;
};

}  // namespace tolvan::platform
