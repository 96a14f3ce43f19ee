#include "ui/ProcessWindow.h"
#include "ui/NamedControl.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QCloseEvent>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>
#include <algorithm>
#include <charconv>
#include <climits>
#include <string>

#include "conditions/Startup.h"
#include "ui/FontSetup.h"
#include "ui/ProgramIcon.h"
#include "ui/Translation.h"

namespace tolvan::ui {
namespace {

constexpr int kOffScreenTwips = 900;
constexpr const char* kEstimateCaption = QT_TRANSLATE_NOOP("ProcessWindow", "推定残り時間 :");

QLabel* MakeLabel(QWidget* parent, const char* name, const QString& accessibleName) {
  return Named(new QLabel(parent), name, accessibleName);
}

int ClampToInt(std::int64_t value) {
  return static_cast<int>(std::clamp<std::int64_t>(value, INT_MIN, INT_MAX));
}

QSize ScreenSize() {
  const QScreen* screen = QGuiApplication::primaryScreen();
  return screen != nullptr ? screen->geometry().size() : QSize(INT_MAX, INT_MAX);
}

// Screen readers take a plain top-level widget for a filler: the progress window says it is a
// window.
QAccessibleInterface* WindowRole(const QString& className, QObject* object) {
  if (className != QLatin1String(ProcessWindow::staticMetaObject.className()) ||
      !object->isWidgetType()) {
    return nullptr;
  }
  return new QAccessibleWidget(static_cast<QWidget*>(object), QAccessible::Window);
}

void InstallWindowRole() {
  static const bool installed = [] {
    QAccessible::installFactory(WindowRole);
    return true;
  }();
  (void)installed;
}

}  // namespace

ProcessWindow::ProcessWindow(platform::SettingsStore& settings)
    : QWidget(nullptr, Qt::Window),
      settings_(settings),
      Label7_(MakeLabel(this, "Label7", QStringLiteral("Status"))),
      Label1_(MakeLabel(this, "Label1", QStringLiteral("From ･･･> To"))),
      ProgressBar1_(new QProgressBar(this)),
      Label5_(MakeLabel(this, "Label5", Translated("ProcessWindow", kEstimateCaption))),
      Label6_(MakeLabel(
          this, "Label6",
          Translated("ProcessWindow", QT_TRANSLATE_NOOP("ProcessWindow", "推定残り時間")))),
      Command1_(new QPushButton(
          Translated("ProcessWindow", QT_TRANSLATE_NOOP("ProcessWindow", "中断")), this)) {
  InstallWindowRole();
  setObjectName(QStringLiteral("Process"));
  setWindowTitle(QStringLiteral("Tolvane Process"));
  setAccessibleName(windowTitle());
  setWindowIcon(ProgramIcon(style()));
  QFont bold = Label7_->font();
  bold.setBold(true);
  Label7_->setFont(bold);
  Label5_->setText(Translated("ProcessWindow", kEstimateCaption));
  Label5_->hide();
  ProgressBar1_->setObjectName(QStringLiteral("ProgressBar1"));
  ProgressBar1_->setAccessibleName(QStringLiteral("Progress"));
  ProgressBar1_->setTextVisible(false);
  ProgressBar1_->hide();
  Command1_->setObjectName(QStringLiteral("Command1"));
  Command1_->setAccessibleName(Command1_->text());
  connect(Command1_, &QPushButton::clicked, this, [this] { Command1_Click(); });

  auto* estimate = new QHBoxLayout;
  estimate->addWidget(Label5_);
  estimate->addWidget(Label6_, 1);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(Label7_);
  layout->addWidget(Label1_);
  layout->addWidget(ProgressBar1_);
  layout->addLayout(estimate);
  layout->addWidget(Command1_, 0, Qt::AlignHCenter);
  layout->addStretch();
}

int ProcessWindow::storedTwips(const char* key, const char* fallback) const {
  const std::string text = settings_.get(kProcessFormTop.section, key, fallback);
  int twips = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), twips);
  if (error != std::errc() || end == text.data()) return std::stoi(fallback);
  return twips;
}

void ProcessWindow::Form_Load() {
  const QSize screen = ScreenSize();
  int top = storedTwips(kProcessFormTop.key, kProcessFormTop.defaultValue);
  int left = storedTwips(kProcessFormLeft.key, kProcessFormLeft.defaultValue);
  if (top < 0 || top / kTwipsPerPixel >= screen.height()) top = kOffScreenTwips;
  if (left < 0 || left / kTwipsPerPixel >= screen.width()) left = kOffScreenTwips;
  const int height = storedTwips(kProcessFormHeight.key, kProcessFormHeight.defaultValue);
  const int width = storedTwips(kProcessFormWidth.key, kProcessFormWidth.defaultValue);
  move(left / kTwipsPerPixel, top / kTwipsPerPixel);
  resize(width / kTwipsPerPixel, height / kTwipsPerPixel);
  // Every showing starts from the window as designed.
  for (QLabel* label : {Label7_, Label1_, Label6_}) ShowValue(label, {});
  Label5_->hide();
  ProgressBar1_->hide();
  Command1_->show();
  FontSetup(this);
}

void ProcessWindow::Form_Unload() {
  const QPoint place = pos();
  if (isMinimized() || place.y() < 0 || place.x() < 0) return;
  const auto twips = [](int pixels) { return std::to_string(pixels * kTwipsPerPixel); };
  WriteSetting(settings_, kProcessFormTop, twips(place.y()));
  WriteSetting(settings_, kProcessFormLeft, twips(place.x()));
  WriteSetting(settings_, kProcessFormHeight, twips(height()));
  WriteSetting(settings_, kProcessFormWidth, twips(width()));
}

void ProcessWindow::closeEvent(QCloseEvent* event) {
  if (isVisible()) Form_Unload();
  event->accept();
}

void ProcessWindow::Command1_Click() {
  if (stopFlag_ != nullptr) stopFlag_->store(-1);
}

void ProcessWindow::setStatus(const QString& text, std::uint32_t rgb) {
  QPalette palette = Label7_->palette();
  palette.setColor(QPalette::WindowText, QColor::fromRgb(static_cast<QRgb>(rgb)));
  Label7_->setPalette(palette);
  ShowValue(Label7_, text);
}

void ProcessWindow::setPaths(const QString& text) {
  ShowValue(Label1_, text);
}

void ProcessWindow::setStopButtonVisible(bool visible) {
  Command1_->setVisible(visible);
}

void ProcessWindow::setBarVisible(bool visible) {
  ProgressBar1_->setVisible(visible);
}

void ProcessWindow::setBarRange(std::int64_t minimum, std::int64_t maximum) {
  ProgressBar1_->setRange(ClampToInt(minimum), ClampToInt(maximum));
}

void ProcessWindow::setBarValue(std::int64_t value) {
  ProgressBar1_->setValue(ClampToInt(value));
}

void ProcessWindow::setEstimateHeadingVisible(bool visible) {
  Label5_->setVisible(visible);
}

void ProcessWindow::setEstimate(const QString& text) {
  ShowValue(Label6_, text);
}

}  // namespace tolvan::ui
