// The progress window's placement, status colour and stop button.
#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <atomic>

#include "platform/fake/FakeSettingsStore.h"
#include "ui/ProcessWindow.h"
#include "ui/QtWindowSystem.h"

namespace tolvan::ui::testing {
namespace {

using Stored = std::map<std::pair<std::string, std::string>, std::string>;

Stored Placement(const std::string& top, const std::string& left, const std::string& height,
                 const std::string& width) {
  return {{{"ProcessForm", "Top"}, top},
          {{"ProcessForm", "Left"}, left},
          {{"ProcessForm", "Height"}, height},
          {{"ProcessForm", "Width"}, width}};
}

TEST(ProcessWindowTest, PlacementInTwipsOnlyOnScreenStopButtonAndStatusColour) {
  platform::FakeSettingsStore settings;
  settings.values = Placement("-15", "1500", "3000", "7500");
  QtWindowSystem ws(settings);
  std::atomic<std::int16_t> stopFlag{0};
  ws.watchStopFlag(&stopFlag);
  ProcessWindow& window = ws.processWindow();

  ws.progress().show();
  EXPECT_EQ(window.pos(), QPoint(100, 60));  // the negative top became 900 twips
  EXPECT_EQ(window.size(), QSize(500, 200));
  window.move(30, 45);
  window.resize(520, 210);
  ws.progress().close();
  EXPECT_EQ(settings.values, Placement("675", "450", "3150", "7800"));

  ws.progress().show();
  EXPECT_EQ(window.pos(), QPoint(30, 45));
  EXPECT_EQ(window.size(), QSize(520, 210));
  window.move(-20, 45);  // partly off the screen: not stored
  ws.progress().close();
  EXPECT_EQ(settings.values, Placement("675", "450", "3150", "7800"));

  const QSize screen = QGuiApplication::primaryScreen()->geometry().size();
  settings.values = Placement(std::to_string(screen.height() * 15), "450", "3150", "7800");
  ws.progress().show();
  EXPECT_EQ(window.pos(), QPoint(30, 60));
  // Closing from the frame hides the window but never stops the run; "中断" does.
  window.close();
  EXPECT_EQ(stopFlag.load(), 0);
  ws.progress().show();
  QTest::mouseClick(window.findChild<QPushButton*>(QStringLiteral("Command1")), Qt::LeftButton);
  EXPECT_EQ(stopFlag.load(), -1);
  ws.progress().close();

  // The status takes its colour, and every showing starts as designed.
  auto* status = window.findChild<QLabel*>(QStringLiteral("Label7"));
  auto* heading = window.findChild<QLabel*>(QStringLiteral("Label5"));
  platform::ProgressWindow& progress = ws.progress();
  progress.show();
  progress.setStatus("バックアップドライブ　チェック中!!", platform::kColourRed);
  progress.setEstimateHeadingVisible(true);
  progress.setStopButtonVisible(false);
  EXPECT_EQ(status->palette().color(QPalette::WindowText), QColor(Qt::red));
  EXPECT_TRUE(status->font().bold());
  progress.close();

  progress.show();
  EXPECT_TRUE(status->text().isEmpty());
  EXPECT_FALSE(heading->isVisible());
  EXPECT_TRUE(window.findChild<QPushButton*>(QStringLiteral("Command1"))->isVisible());
  progress.close();
}

}  // namespace
}  // namespace tolvan::ui::testing
