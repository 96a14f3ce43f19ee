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
#include "ui/ReadableColour.h"
#include "ui/Translation.h"

namespace tolvan::ui {
namespace {

constexpr int kOffScreenTwips = 900;
constexpr const char* kEstimateCaption = QT_TRANSLATE_NOOP("ProcessWindow", "推定残り時間 :");

QLabel* MakeLabel(QWidget* parent, const char* name, const QString& accessibleName) {
  return Named(new QLabel(parent), name, accessibleName);
}

QLabel* MakeValueLabel(QWidget* parent, const char* name, const QString& accessibleName) {
  return Named(AsValueLabel(new QLabel(parent)), name, accessibleName);
}

int ClampToInt(std::int64_t value) {
  return static_cast<int>(std::clamp<std::int64_t>(value, INT_MIN, INT_MAX));
}

const QString kPathArrow = QStringLiteral(" ･･･> ");

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

QString ElidedPaths(const QString& paths, const QFontMetrics& metrics, int width) {
  if (metrics.horizontalAdvance(paths) <= width) return paths;
  const qsizetype arrow = paths.indexOf(kPathArrow);
  if (arrow < 0) return metrics.elidedText(paths, Qt::ElideMiddle, width);
  const QString from = paths.left(arrow);
  const QString to = paths.mid(arrow + kPathArrow.size());
  const int room = std::max(0, width - metrics.horizontalAdvance(kPathArrow));
  // A short path stays whole and leaves the rest of the room to the other.
  const int fromWidth = metrics.horizontalAdvance(from);
  const int toWidth = metrics.horizontalAdvance(to);
  int fromRoom = room / 2;
  if (fromWidth <= room / 2) {
    fromRoom = fromWidth;
  } else if (toWidth <= room / 2) {
    fromRoom = room - toWidth;
  }
  return metrics.elidedText(from, Qt::ElideMiddle, fromRoom) + kPathArrow +
         metrics.elidedText(to, Qt::ElideMiddle, room - fromRoom);
}

ProcessWindow::ProcessWindow(platform::SettingsStore& settings)
    : QWidget(nullptr, Qt::Window),
      settings_(settings),
      Label7_(MakeValueLabel(this, "Label7", QStringLiteral("Status"))),
      Label1_(MakeValueLabel(this, "Label1", QStringLiteral("From ･･･> To"))),
      ProgressBar1_(new QProgressBar(this)),
      Label5_(MakeLabel(this, "Label5", Translated("ProcessWindow", kEstimateCaption))),
      Label6_(MakeValueLabel(
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
  // The paths never widen the window: they are shortened to what it holds.
  Label1_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
  Label1_->setMinimumWidth(1);
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
  // Every showing starts from the window as designed.
  for (QLabel* label : {Label7_, Label1_, Label6_}) ShowValue(label, {});
  paths_.clear();
  Label1_->setToolTip({});
  estimateWanted_ = false;
  Label5_->hide();
  ProgressBar1_->hide();
  Command1_->show();
  FontSetup(this);
  placeOnAnchorScreen();
}

// The stored place and size, on the screen of the main window: a top or left outside that
// screen's free area starts 900 twips into it, and the window is never wider or taller than
// that area nor reaches past it.
void ProcessWindow::placeOnAnchorScreen() {
  const QScreen* screen = anchor_ != nullptr ? anchor_->screen() : QGuiApplication::primaryScreen();
  const QRect room =
      screen != nullptr ? screen->availableGeometry() : QRect(0, 0, 1 << 20, 1 << 20);
  const auto pixels = [this](const auto& setting) {
    return storedTwips(setting.key, setting.defaultValue) / kTwipsPerPixel;
  };
  const int inset = kOffScreenTwips / kTwipsPerPixel;
  int top = pixels(kProcessFormTop);
  int left = pixels(kProcessFormLeft);
  if (top < room.top() || top > room.bottom()) top = room.top() + inset;
  if (left < room.left() || left > room.right()) left = room.left() + inset;
  setMaximumSize(room.size());
  const QSize size =
      QSize(pixels(kProcessFormWidth), pixels(kProcessFormHeight)).boundedTo(room.size());
  move(std::min(left, room.right() + 1 - size.width()),
       std::min(top, room.bottom() + 1 - size.height()));
  resize(size);
}

void ProcessWindow::closeAtRunEnd() {
  closingAtRunEnd_ = true;
  close();
  closingAtRunEnd_ = false;
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
  const bool stoppable = !closingAtRunEnd_ && isVisible() && Command1_->isVisible();
  if (stoppable) {
    event->ignore();
    const bool stopping = stopFlag_ != nullptr && stopFlag_->load() == -1;
    if (!stopping && askToStop_ && askToStop_()) Command1_Click();
    return;
  }
  if (isVisible()) Form_Unload();
  event->accept();
}

void ProcessWindow::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  showPaths();
}

void ProcessWindow::Command1_Click() {
  if (stopFlag_ != nullptr) stopFlag_->store(-1);
}

void ProcessWindow::setStatus(const QString& text, std::uint32_t rgb) {
  QPalette palette = Label7_->palette();
  palette.setColor(QPalette::WindowText, ReadableColour(QColor::fromRgb(static_cast<QRgb>(rgb)),
                                                        palette.color(QPalette::Window)));
  Label7_->setPalette(palette);
  ShowValue(Label7_, text);
}

void ProcessWindow::setPaths(const QString& text) {
  paths_ = text;
  showPaths();
}

// The label shows what fits; its tip and description keep the whole paths.
void ProcessWindow::showPaths() {
  const int width = Label1_->contentsRect().width();
  Label1_->setText(ElidedPaths(paths_, Label1_->fontMetrics(), width));
  Label1_->setToolTip(paths_);
  Label1_->setAccessibleDescription(paths_);
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

// The heading waits for its first value: no "0:00:00" before there is a pace to go by.
void ProcessWindow::setEstimateHeadingVisible(bool visible) {
  estimateWanted_ = visible;
  Label5_->setVisible(visible && !Label6_->text().isEmpty());
}

void ProcessWindow::setEstimate(const QString& text) {
  ShowValue(Label6_, text);
  Label5_->setVisible(estimateWanted_ && !text.isEmpty());
}

}  // namespace tolvan::ui
