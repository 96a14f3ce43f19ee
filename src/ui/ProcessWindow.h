#pragma once

#include <QWidget>
#include <atomic>
#include <cstdint>

#include "platform/SettingsStore.h"

class QLabel;
class QProgressBar;
class QPushButton;

namespace tolvan::ui {

inline constexpr int kTwipsPerPixel = 15;

// The progress window: what the engine is doing, the two sides, the bar, the remaining-time
// estimate and the stop button. Shown without a parent, so that it stays usable while the
// main window is disabled during a run. GUI thread only.
class ProcessWindow final : public QWidget {
  Q_OBJECT

 public:
  explicit ProcessWindow(platform::SettingsStore& settings);

  // "中断" stores -1 here.
  void setStopFlag(std::atomic<std::int16_t>* flag) { stopFlag_ = flag; }

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
  // Closing from the frame only hides the window: the run goes on.
  void closeEvent(QCloseEvent* event) override;

 private:
  void Command1_Click();
  [[nodiscard]] int storedTwips(const char* key, const char* fallback) const;

  platform::SettingsStore& settings_;
  std::atomic<std::int16_t>* stopFlag_ = nullptr;
  QLabel* Label7_;
  QLabel* Label1_;
  QProgressBar* ProgressBar1_;
  QLabel* Label5_;
  QLabel* Label6_;
  QPushButton* Command1_;
};

}  // namespace tolvan::ui
