#include "ui/HelpWindow.h"

#include <QGuiApplication>
#include <QKeySequence>
#include <QPointer>
#include <QScreen>
#include <QShortcut>
#include <QStyle>
#include <QTextBrowser>
#include <QUrl>

#include "ui/Translation.h"

// The help page lives in a static library: its resource must be registered by hand.
static void RegisterHelpResource() {
  Q_INIT_RESOURCE(help);
}

namespace tolvan::ui {
namespace {

constexpr QSize kPreferredSize(680, 600);
constexpr double kLargestShareOfScreen = 0.9;

// The preferred size, but never larger than the screen the window opens on (high scale factors
// leave little room), centred there.
void FitToScreen(QWidget* window, const QWidget* parent) {
  const QScreen* screen = parent != nullptr ? parent->screen() : QGuiApplication::primaryScreen();
  if (screen == nullptr) {
    window->resize(kPreferredSize);
    return;
  }
  const QRect room = screen->availableGeometry();
  const QSize largest(static_cast<int>(room.width() * kLargestShareOfScreen),
                      static_cast<int>(room.height() * kLargestShareOfScreen));
  window->setGeometry(QStyle::alignedRect(Qt::LeftToRight, Qt::AlignCenter,
                                          kPreferredSize.boundedTo(largest), room));
}

QTextBrowser* MakeHelpWindow(QWidget* parent) {
  auto* browser = new QTextBrowser(parent);
  browser->setWindowFlag(Qt::Window);
  browser->setAttribute(Qt::WA_DeleteOnClose);
  browser->setObjectName(QStringLiteral("HelpWindow"));
  browser->setWindowTitle(QStringLiteral("Tolvane Help"));
  browser->setAccessibleName(browser->windowTitle());
  browser->setOpenExternalLinks(true);
  FitToScreen(browser, parent);
  auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), browser);
  QObject::connect(escape, &QShortcut::activated, browser, &QWidget::close);
  browser->setSource(QUrl(HelpPage()));
  return browser;
}

}  // namespace

QString HelpPage() {
  static const bool registered = [] {
    RegisterHelpResource();
    return true;
  }();
  (void)registered;
  return Translated("HelpWindow", QT_TRANSLATE_NOOP("HelpWindow", "qrc:/help/Tolvan32.html"));
}

void ShowHelpTopics(QWidget* parent) {
  static QPointer<QTextBrowser> window;
  if (window == nullptr) window = MakeHelpWindow(parent);
  window->show();
  window->raise();
  window->activateWindow();
}

}  // namespace tolvan::ui
