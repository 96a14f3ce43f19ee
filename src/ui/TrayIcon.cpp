#include "ui/TrayIcon.h"

#include <QAction>
#include <QKeySequence>

#include "ui/Translation.h"

namespace tolvan::ui {

TrayIcon::TrayIcon(const QIcon& icon, Actions actions, QObject* parent)
    : QObject(parent), icon_(icon) {
  menu_.setObjectName(QStringLiteral("TrayMenu"));
  menu_.setAccessibleName(QStringLiteral("Tolvane"));
  statusLine_ = menu_.addAction(QString());
  statusLine_->setObjectName(QStringLiteral("mnuTrayStatus"));
  statusLine_->setEnabled(false);
  statusSeparator_ = menu_.addSeparator();
  addItem("mnuTrayShow", QT_TRANSLATE_NOOP("TrayIcon", "表示(&S)"), actions.show);
  addItem("mnuTrayRunNow", QT_TRANSLATE_NOOP("TrayIcon", "今すぐ実行(&R)"), actions.runNow);
  addItem("mnuTrayLastReport", QT_TRANSLATE_NOOP("TrayIcon", "最後のレポート(&L)"),
          actions.lastReport);
  menu_.addSeparator();
  addItem("mnuTrayQuit", QT_TRANSLATE_NOOP("TrayIcon", "終了(&Q)"), actions.quit);
  setTrayStatus({}, {});
  icon_.setContextMenu(&menu_);
  // A left click shows the window; the right button opens the menu, which Qt shows itself.
  connect(&icon_, &QSystemTrayIcon::activated, this,
          [this, show = actions.show](QSystemTrayIcon::ActivationReason reason) {
            if (reason == QSystemTrayIcon::Trigger || reason == QSystemTrayIcon::DoubleClick) {
              QMetaObject::invokeMethod(this, show, Qt::QueuedConnection);
            }
          });
}

void TrayIcon::addItem(const char* name, const char* caption, const std::function<void()>& act) {
  QAction* action = menu_.addAction(Translated("TrayIcon", caption));
  action->setObjectName(QString::fromLatin1(name));
  // Queued for the same reason as the clicks: the chosen item may hide the icon.
  connect(action, &QAction::triggered, this,
          [this, act] { QMetaObject::invokeMethod(this, act, Qt::QueuedConnection); });
}

void TrayIcon::showWithTitle(const QString& title) {
  setTitle(title);
  icon_.show();
}

void TrayIcon::setTitle(const QString& title) {
  title_ = title;
  refreshTip();
}

void TrayIcon::setTrayStatus(const QString& tip, const QString& menuLine) {
  statusTip_ = tip;
  statusLine_->setText(menuLine);
  statusLine_->setVisible(!menuLine.isEmpty());
  statusSeparator_->setVisible(!menuLine.isEmpty());
  refreshTip();
}

void TrayIcon::refreshTip() {
  icon_.setToolTip(statusTip_.isEmpty() ? title_ : title_ + QLatin1Char('\n') + statusTip_);
}

}  // namespace tolvan::ui
