#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAbstractSlider>
#include <QComboBox>
#include <QLineEdit>
#include <QMenuBar>
#include <QProgressBar>
#include <QScrollArea>
#include <string>
#include <vector>

#include "MainWindowFixture.h"
#include "platform/fake/FakeSettingsStore.h"
#include "ui/EditorSettingsDialog.h"
#include "ui/ProcessWindow.h"
#include "ui/SimulateDialog.h"
#include "ui/WaitDialog.h"

namespace tolvan::testing {
namespace {

bool IsControl(const QWidget* widget) {
  return qobject_cast<const QAbstractButton*>(widget) != nullptr ||
         qobject_cast<const QLineEdit*>(widget) != nullptr ||
         qobject_cast<const QComboBox*>(widget) != nullptr ||
         qobject_cast<const QAbstractItemView*>(widget) != nullptr ||
         qobject_cast<const QAbstractSlider*>(widget) != nullptr ||
         qobject_cast<const QProgressBar*>(widget) != nullptr;
}

// Parts Qt builds inside a control (a combo box's editor and list, a view's scroll bars)
// and the menu bar's overflow button are named through the control itself.
bool IsPartOfAnotherControl(const QWidget* widget) {
  for (const QWidget* up = widget->parentWidget(); up != nullptr; up = up->parentWidget()) {
    if (qobject_cast<const QComboBox*>(up) != nullptr ||
        qobject_cast<const QAbstractScrollArea*>(up) != nullptr ||
        qobject_cast<const QMenuBar*>(up) != nullptr) {
      return true;
    }
  }
  return false;
}

// The controls a screen reader could not name, as "window/control".
std::vector<std::string> UnnamedControls(const QWidget& window) {
  std::vector<std::string> unnamed;
  for (const QWidget* widget : window.findChildren<QWidget*>()) {
    if (!IsControl(widget) || IsPartOfAnotherControl(widget)) continue;
    if (widget->accessibleName().trimmed().isEmpty() || widget->objectName().isEmpty()) {
      unnamed.push_back(window.objectName().toStdString() + "/" +
                        widget->objectName().toStdString() + " (" +
                        widget->metaObject()->className() + ")");
    }
  }
  return unnamed;
}

TEST_F(MainWindowTest, EveryControlOfEveryWindowHasAnObjectAndAnAccessibleName) {
  const ui::MainWindow& main = start();
  ui::SimulateDialog simulate(session, window.get());
  ui::EditorSettingsDialog editor(session, window.get());
  platform::FakeSettingsStore store;
  ui::ProcessWindow process(store);
  ui::WaitDialog wait(nullptr, QStringLiteral("job.tvf  Waiting"), QStringLiteral("label 1"),
                      QStringLiteral("label 2"), [] { return false; });
  for (const QWidget* each :
       std::vector<const QWidget*>{&main, &simulate, &editor, &process, &wait}) {
    EXPECT_FALSE(each->objectName().isEmpty());
    EXPECT_EQ(UnnamedControls(*each), std::vector<std::string>{});
  }
}

}  // namespace
}  // namespace tolvan::testing
