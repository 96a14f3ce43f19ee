#include "ui/QtWindowSystem.h"

#include <algorithm>

#include <QApplication>
#include <QDesktopServices>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QUrl>

#include "engine/Engine.h"
#include "ui/GuiThread.h"
#include "ui/MessageText.h"
#include "ui/ProcessWindow.h"
#include "ui/Translation.h"
#include "ui/WaitDialog.h"

namespace tolvan::ui {
namespace {

using platform::MessageAnswer;
using platform::MessageButtons;
using platform::MessageIcon;

constexpr auto kEventsInterval = std::chrono::milliseconds(50);
constexpr const char* kStopTheRun =
    "実行中の処理を中断しますか？\n\n"
    "OK: 次の項目で中断し、レポートを閉じます。\n"
    "Cancel: 処理を続けます。";

// How wide a line of a message box may be: the box keeps its text narrower than half the
// screen, beside its icon.
int LongestLine(const QWidget& box) {
  constexpr int kLongestLine = 400;
  const QScreen* screen = box.screen();
  return screen == nullptr ? kLongestLine
                           : std::min(kLongestLine, screen->availableGeometry().width() / 3);
}

QMessageBox::Icon BoxIcon(MessageIcon icon) {
  switch (icon) {
    case MessageIcon::Critical:
      return QMessageBox::Critical;
    case MessageIcon::Exclamation:
      return QMessageBox::Warning;
    case MessageIcon::Question:
      return QMessageBox::Question;
    case MessageIcon::Information:
      return QMessageBox::Information;
    case MessageIcon::None:
      break;
  }
  return QMessageBox::NoIcon;
}

QMessageBox::StandardButtons BoxButtons(MessageButtons buttons) {
  switch (buttons) {
    case MessageButtons::OkCancel:
      return QMessageBox::Ok | QMessageBox::Cancel;
    case MessageButtons::YesNo:
    case MessageButtons::ContinueStop:
      return QMessageBox::Yes | QMessageBox::No;
    case MessageButtons::Ok:
      break;
  }
  return QMessageBox::Ok;
}

// A box closed without a button (Escape, the frame) gives the answer that goes no further.
MessageAnswer BoxAnswer(int clicked, MessageButtons buttons) {
  switch (clicked) {
    case QMessageBox::Ok:
      return MessageAnswer::Ok;
    case QMessageBox::Yes:
      return MessageAnswer::Yes;
    case QMessageBox::No:
      return MessageAnswer::No;
    case QMessageBox::Cancel:
      return MessageAnswer::Cancel;
    default:
      break;
  }
  if (buttons == MessageButtons::YesNo || buttons == MessageButtons::ContinueStop)
    return MessageAnswer::No;
  return buttons == MessageButtons::OkCancel ? MessageAnswer::Cancel : MessageAnswer::Ok;
}

// The question whether to go on names its two answers.
void NameAnswers(QMessageBox& box, MessageButtons buttons) {
  if (buttons != MessageButtons::ContinueStop) return;
  box.button(QMessageBox::Yes)->setText(QCoreApplication::translate("MessageBox", "続行"));
  box.button(QMessageBox::No)->setText(QCoreApplication::translate("MessageBox", "中止"));
  box.setDefaultButton(QMessageBox::No);
}

}  // namespace

QtWindowSystem::QtWindowSystem(platform::SettingsStore& settings)
    : settings_(settings),
      feed_([this]() -> ProcessWindow& { return processWindow(); }),
      guiThread_(std::this_thread::get_id()) {
  RunQueuedGuiCalls();  // from now on calls of a worker reach this thread
}

QtWindowSystem::~QtWindowSystem() = default;

void QtWindowSystem::setMainWindow(QWidget* window) {
  mainWindow_ = window;
  if (processWindow_ != nullptr) processWindow_->setAnchorWindow(window);
}

void QtWindowSystem::setRestoreHandler(std::function<void()> handler) {
  restoreHandler_ = std::move(handler);
}

void QtWindowSystem::watchStopFlag(std::atomic<std::int16_t>* flag) {
  stopFlag_ = flag;
  if (processWindow_ != nullptr) processWindow_->setStopFlag(flag);
}

ProcessWindow& QtWindowSystem::processWindow() {
  if (processWindow_ == nullptr) {
    processWindow_ = std::make_unique<ProcessWindow>(settings_);
    processWindow_->setStopFlag(stopFlag_);
    processWindow_->setAnchorWindow(mainWindow_);
    processWindow_->setStopQuestion([this] {
      return messageBox(kStopTheRun, kProgramTitle, MessageIcon::Exclamation,
                        MessageButtons::OkCancel) == MessageAnswer::Ok;
    });
  }
  return *processWindow_;
}

QWidget* QtWindowSystem::dialogOwner() const {
  QWidget* owner = mainWindow_.data();
  return owner != nullptr && owner->isEnabled() ? owner : nullptr;
}

MessageAnswer QtWindowSystem::messageBox(const std::string& text, const std::string& title,
                                         MessageIcon icon, MessageButtons buttons) {
  MessageAnswer answer = MessageAnswer::Cancel;
  CallOnGuiThread([&] {
    QMessageBox box(BoxIcon(icon), QString::fromStdString(title), {}, BoxButtons(buttons),
                    dialogOwner());
    const MessageLayout layout =
        LayOutMessage(TranslatedMessage(text), box.fontMetrics(), LongestLine(box));
    box.setTextFormat(Qt::PlainText);
    box.setText(layout.shown);
    if (!layout.details.isEmpty()) box.setDetailedText(layout.details);
    box.setObjectName(QStringLiteral("MessageBox"));
    box.setAccessibleName(box.windowTitle());
    NameAnswers(box, buttons);
    answer = BoxAnswer(box.exec(), buttons);
  });
  return answer;
}

void QtWindowSystem::letEventsRun() {
  if (std::this_thread::get_id() != guiThread_) return;
  const auto now = std::chrono::steady_clock::now();
  if (now - lastEvents_ < kEventsInterval) return;
  lastEvents_ = now;
  QCoreApplication::processEvents(QEventLoop::AllEvents);
}

bool QtWindowSystem::runWaitDialog(const std::string& caption, const std::string& label1,
                                   const std::string& label2, const std::function<bool()>& poll) {
  bool cancelled = false;
  CallOnGuiThread([&] {
    WaitDialog dialog(dialogOwner(), QString::fromStdString(caption), TranslatedMessage(label1),
                      TranslatedMessage(label2), poll);
    cancelled = dialog.RunWait();
  });
  return cancelled;
}

void QtWindowSystem::setBusy(bool busy) {
  CallOnGuiThread([&] {
    if (busy == busy_) return;
    busy_ = busy;
    if (mainWindow_ != nullptr) mainWindow_->setEnabled(!busy);
    if (busy) {
      QApplication::setOverrideCursor(Qt::WaitCursor);
    } else {
      QApplication::restoreOverrideCursor();
    }
  });
}

void QtWindowSystem::restoreMainWindow() {
  CallOnGuiThread([&] {
    if (restoreHandler_) {
      restoreHandler_();
    } else if (mainWindow_ != nullptr && !mainWindow_->isMinimized()) {
      mainWindow_->show();
    }
  });
}

bool QtWindowSystem::openDocument(const std::string& path) {
  bool opened = false;
  CallOnGuiThread([&] {
    opened = QDesktopServices::openUrl(QUrl::fromLocalFile(QString::fromStdString(path)));
  });
  return opened;
}

}  // namespace tolvan::ui
