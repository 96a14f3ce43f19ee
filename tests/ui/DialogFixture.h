#pragma once

#include <QApplication>
#include <QDialog>
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
