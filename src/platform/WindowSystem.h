#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace tolvan::platform {

enum class MessageIcon : std::uint8_t { Critical, Exclamation, Question, Information, None };
// ContinueStop: "続行" answers Yes, "中止" No.
enum class MessageButtons : std::uint8_t { Ok, OkCancel, YesNo, ContinueStop };
enum class MessageAnswer : std::uint8_t { Ok, Cancel, Yes, No };

// Colours in red-green-blue order.
inline constexpr std::uint32_t kColourBlue = 0x0000FF;
inline constexpr std::uint32_t kColourRed = 0xFF0000;

// The progress window as the engine drives it; the counting logic lives in the engine.
class ProgressWindow {
 public:
  virtual ~ProgressWindow() = default;
  virtual void show() = 0;
  virtual void close() = 0;
  virtual void setStatus(const std::string& text, std::uint32_t colour) = 0;
  virtual void setPaths(const std::string& text) = 0;
  virtual void setStopButtonVisible(bool visible) = 0;
  virtual void setBarVisible(bool visible) = 0;
  virtual void setBarRange(std::int64_t minimum, std::int64_t maximum) = 0;
  virtual void setBarValue(std::int64_t value) = 0;
  virtual void setEstimateHeadingVisible(bool visible) = 0;
  virtual void setEstimate(const std::string& text) = 0;
};

// Message boxes, the progress window, the wait dialog and the main window's state, for the
// GUI and for headless runs alike.
class WindowSystem {
 public:
  virtual ~WindowSystem() = default;
  [[nodiscard]] virtual MessageAnswer messageBox(const std::string& text, const std::string& title,
                                                 MessageIcon icon, MessageButtons buttons) = 0;
  // Lets pending window events run (the stop button, repaints). Called at every entry of a
  // walk; implementations do real work at most every few tens of milliseconds.
  virtual void letEventsRun() = 0;
  // Shows the wait dialog and calls `poll` on every tick until it returns true. Returns true
  // when the user cancelled, false when `poll` succeeded or the dialog was closed otherwise.
  [[nodiscard]] virtual bool runWaitDialog(const std::string& caption, const std::string& label1,
                                           const std::string& label2,
                                           const std::function<bool()>& poll) = 0;
  [[nodiscard]] virtual ProgressWindow& progress() = 0;
  // Hourglass pointer and disabled main window while the engine works.
  virtual void setBusy(bool busy) = 0;
  // Brings the main window back after a run (when it is not minimized) and refreshes it.
  virtual void restoreMainWindow() = 0;
  // Opens a document with the program the desktop associates with it, without waiting for
  // it; false when no such program could be started.
  [[nodiscard]] virtual bool openDocument(const std::string& path) = 0;
};

}  // namespace tolvan::platform
