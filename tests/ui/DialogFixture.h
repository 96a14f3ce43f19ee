#pragma once

#include <QApplication>
#include <QCheckBox>
#include <QDialog>
#include <QLineEdit>
#include <QTest>
#include <QTimer>
#include <functional>
#include <string>

#include "conditions/Session.h"
#include "platform/fake/FakeSettingsStore.h"
#include "support/EngineFixture.h"

namespace tolvan::testing {

// A session on the fakes, for the dialogs: the program folder is /app.
class DialogFixture : public EngineFixture {
 protected:
  // The settings store's value, or "-" when nothing was stored.
  [[nodiscard]] std::string stored(const std::string& section, const std::string& key) {
    return settings.get(section, key, "-");
  }

  static QLineEdit* field(const QWidget& dialog, const char* name) {
    return dialog.findChild<QLineEdit*>(QString::fromUtf8(name));
  }
  static void retype(QLineEdit* edit, const QString& text) {
    edit->clear();
    QTest::keyClicks(edit, text);
  }
  // A check box answers clicks on its box and caption only, not on the rest of its row.
  static void click(const QWidget& dialog, const char* name) {
    auto* control = dialog.findChild<QAbstractButton*>(QString::fromUtf8(name));
    ASSERT_NE(control, nullptr) << name;
    const QPoint onCaption(qobject_cast<QCheckBox*>(control) ? 10 : control->width() / 2,
                           control->height() / 2);
    QTest::mouseClick(control, Qt::LeftButton, {}, onCaption);
  }

  platform::FakeSettingsStore settings;
  Session session{engine, settings};
};

// Acts on the next modal dialog once exec() shows it; code under test that shows a dialog
// modally would otherwise wait for a user.
inline void OnNextModalDialog(std::function<void(QDialog*)> act) {
  auto* poll = new QTimer();
  poll->setInterval(5);
  QObject::connect(poll, &QTimer::timeout, [poll, act = std::move(act)] {
    auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
    if (dialog == nullptr || !dialog->isVisible()) return;
    poll->stop();
    poll->deleteLater();
    act(dialog);
  });
  poll->start();
}

}  // namespace tolvan::testing
