#include "ui/HelpWindow.h"

#include <QPointer>
#include <QTextBrowser>
#include <QUrl>

// The help page lives in a static library: its resource must be registered by hand.
static void RegisterHelpResource() {
  Q_INIT_RESOURCE(help);
}

namespace tolvan::ui {
namespace {

QTextBrowser* MakeHelpWindow(QWidget* parent) {
  auto* browser = new QTextBrowser(parent);
  browser->setWindowFlag(Qt::Window);
  browser->setAttribute(Qt::WA_DeleteOnClose);
  browser->setObjectName(QStringLiteral("HelpWindow"));
  browser->setWindowTitle(QStringLiteral("Tolvane Help"));
  browser->setAccessibleName(browser->windowTitle());
  browser->setOpenExternalLinks(true);
  browser->resize(680, 600);
  browser->setSource(QUrl(QString::fromUtf8(kHelpPage)));
  return browser;
}

}  // namespace

void ShowHelpTopics(QWidget* parent) {
  static const bool registered = [] {
    RegisterHelpResource();
    return true;
  }();
  (void)registered;
  static QPointer<QTextBrowser> window;
  if (window == nullptr) window = MakeHelpWindow(parent);
  window->show();
  window->raise();
  window->activateWindow();
}

}  // namespace tolvan::ui
