#pragma once

#include <QPointer>
#include <QWidget>
#include <atomic>
#include <cstdint>
#include <functional>

#include "platform/SettingsStore.h"

class QFontMetrics;
class QLabel;
class QProgressBar;
class QPushButton;

namespace tolvan::ui {

inline constexpr int kTwipsPerPixel = 15;

// The progress window: what the engine is doing, the two sides, the bar, the remaining-time
// estimate and the stop button. Shown without a parent, so that it stays usable while the
// main window is disabled during a run. GUI thread only.
// "From ･･･> To" made to fit `width` pixels: each path loses its middle, evenly, the arrow
// stays.
[[nodiscard]] QString ElidedPaths(const QString& paths, const QFontMetrics& metrics, int width);

class ProcessWindow final : public QWidget {
  Q_OBJECT

 public:
  explicit ProcessWindow(platform::SettingsStore& settings);

  // "中断" stores -1 here.
  void setStopFlag(std::atomic<std::int16_t>* flag) { stopFlag_ = flag; }
  // The window whose screen the progress window opens on (the main window).
  void setAnchorWindow(QWidget* window) { anchor_ = window; }
  // Asks whether to stop the run when the user closes the window during it; true to stop.
  void setStopQuestion(std::function<bool()> ask) { askToStop_ = std::move(ask); }
  // The run's end closes the window without asking.
  void closeAtRunEnd();

  // Placement from the settings (a top or left off the screen becomes 900 twips), labels
  // cleared, window font. Run before each showing.
  void Form_Load();
  // Saves the placement, unless the window is minimized or its top or left is negative.
  void Form_Unload();

  void setStatus(const QString& text, std::uint32_t rgb);
  void setPaths(const QString& text);
  void setStopButtonVisible(bool visible);
  void setBarVisible(bool visible);
  void setBarRange(std::int64_t minimum, std::int64_t maximum);
  void setBarValue(std::int64_t value);
  void setEstimateHeadingVisible(bool visible);
  void setEstimate(const QString& text);

 protected:
  // Closing while the run can still be stopped asks, as the main window does, whether to stop
  // it; either way the window stays until the run has ended, so its stop button and the
  // progress are never out of reach. Once there is nothing to stop, closing hides it.
  void closeEvent(QCloseEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  void Command1_Click();
  [[nodiscard]] int storedTwips(const char* key, const char* fallback) const;
  void placeOnAnchorScreen();
  void showPaths();

  platform::SettingsStore& settings_;
  std::atomic<std::int16_t>* stopFlag_ = nullptr;
  QPointer<QWidget> anchor_;
  std::function<bool()> askToStop_;
  bool closingAtRunEnd_ = false;
  bool estimateWanted_ = false;  // the engine shows the heading; it waits for a value
  QString paths_;                // whole, as the engine gave them
  QLabel* Label7_;
  QLabel* Label1_;
  QProgressBar* ProgressBar1_;
  QLabel* Label5_;
  QLabel* Label6_;
  QPushButton* Command1_;
};

}  // namespace tolvan::ui
