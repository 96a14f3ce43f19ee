// What a screen reader hears from the windows: names, the values labels show, roles.
#include <gtest/gtest.h>

#include <QAccessible>
#include <QAccessibleValueInterface>
#include <QLabel>
#include <QProgressBar>

#include "MainWindowFixture.h"
#include "platform/fake/FakeSettingsStore.h"
#include "ui/ProcessWindow.h"

namespace tolvan::testing {
namespace {

// Name, then what is read as the value (the description, for a label).
std::pair<std::string, std::string> Heard(QObject* object) {
  QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(object);
  if (accessible == nullptr) return {"(not accessible)", {}};
  return {accessible->text(QAccessible::Name).toStdString(),
          accessible->text(QAccessible::Description).toStdString()};
}

TEST(ScreenReaderTest, TheProgressWindowIsAWindowWhoseLabelsAndBarReadTheirValues) {
  platform::FakeSettingsStore settings;
  ui::ProcessWindow window(settings);
  window.Form_Load();
  window.setStatus(QStringLiteral("Copying"), 0xFF0000);
  window.setPaths(QStringLiteral("/m ･･･> /b"));
  window.setEstimate(QStringLiteral("0:01:02"));
  window.setBarRange(0, 400);
  window.setBarValue(100);
  window.show();

  const auto label = [&](const char* name) {
    return Heard(window.findChild<QLabel*>(QString::fromLatin1(name)));
  };
  using Pair = std::pair<std::string, std::string>;
  EXPECT_EQ(label("Label7"), Pair("Status", "Copying"));
  EXPECT_EQ(label("Label1"), Pair("From ･･･> To", "/m ･･･> /b"));
  EXPECT_EQ(label("Label6"), Pair("推定残り時間", "0:01:02"));
  window.setStatus(QStringLiteral("Finished!!"), 0x0000FF);
  EXPECT_EQ(label("Label7"), Pair("Status", "Finished!!"));  // follows the text

  QAccessibleInterface* self = QAccessible::queryAccessibleInterface(&window);
  ASSERT_NE(self, nullptr);
  EXPECT_EQ(self->role(), QAccessible::Window);
  EXPECT_FALSE(window.windowIcon().isNull());
  QAccessibleInterface* bar =
      QAccessible::queryAccessibleInterface(window.findChild<QProgressBar*>("ProgressBar1"));
  ASSERT_NE(bar, nullptr);
  QAccessibleValueInterface* value = bar->valueInterface();
  ASSERT_NE(value, nullptr);
  EXPECT_EQ(value->currentValue().toInt(), 100);
}

TEST_F(MainWindowTest, TheUsageLabelsReadTheirFigures) {
  start();
  auto* usage = find<QLabel>("Label10");
  EXPECT_EQ(Heard(usage), std::make_pair(std::string("From usage"), usage->text().toStdString()));
  EXPECT_FALSE(usage->text().isEmpty());
}

}  // namespace
}  // namespace tolvan::testing
