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
  void show() override {
    shown = true;
    ++showCount;
  }
  void close() override {
    shown = false;
    ++closeCount;
  }
  void setStatus(const std::string& text, std::uint32_t colour) override {
    status = text;
    statusColour = colour;
    statusHistory.push_back(text);
  }
  void setPaths(const std::string& text) override { paths = text; }
  void setStopButtonVisible(bool visible) override { stopVisible = visible; }
  void setBarVisible(bool visible) override { barVisible = visible; }
  void setBarRange(std::int64_t minimum, std::int64_t maximum) override {
    barMinimum = minimum;
    barMaximum = maximum;
  }
  void setBarValue(std::int64_t value) override { barValue = value; }
  void setEstimateHeadingVisible(bool visible) override { estimateHeadingVisible = visible; }
  void setEstimate(const std::string& text) override { estimate = text; }

  bool shown = false;
  int showCount = 0;
  int closeCount = 0;
  std::string status;
  std::uint32_t statusColour = 0;
  std::vector<std::string> statusHistory;
  std::string paths;
  bool stopVisible = false;
  bool barVisible = false;
  std::int64_t barMinimum = 0;
  std::int64_t barMaximum = 0;
  std::int64_t barValue = 0;
  bool estimateHeadingVisible = false;
  std::string estimate;
};

// Scripted answers for message boxes; records every box and every event pump.
class FakeWindowSystem : public WindowSystem {
 public:
  struct Box {
    std::string text;
    std::string title;
    MessageIcon icon;
    MessageButtons buttons;
  };

  MessageAnswer messageBox(const std::string& text, const std::string& title, MessageIcon icon,
                           MessageButtons buttons) override;
  void letEventsRun() override;
  bool runWaitDialog(const std::string& caption, const std::string& label1,
                     const std::string& label2, const std::function<bool()>& poll) override;
  ProgressWindow& progress() override { return progressWindow; }
  void setBusy(bool on) override { busy = on; }
  void restoreMainWindow() override { ++restoreCount; }
  bool openDocument(const std::string& path) override {
    openedDocuments.push_back(path);
    return documentsOpen;
  }

  // Answers given in order; when empty, OK or Yes.
  std::deque<MessageAnswer> answers;
  std::vector<Box> boxes;
  FakeProgressWindow progressWindow;
  // Called on every letEventsRun with its running count (from 1), e.g. to press stop.
  std::function<void(long)> onEvents;
  long eventCount = 0;
  // The wait dialog: cancel after this many unsuccessful polls (-1: never; then it gives up
  // after `waitPollLimit` polls and reports a cancel so a broken test cannot hang).
  int cancelWaitAfterPolls = -1;
  int waitPollLimit = 1000;
  std::function<void(int)> onWaitPoll;  // called before each poll with its number (from 1)
  int waitDialogsShown = 0;
  std::string waitCaption;
  bool busy = false;
  int restoreCount = 0;
  std::vector<std::string> openedDocuments;
  bool documentsOpen = true;  // what openDocument answers
};

}  // namespace tolvan::platform
