#include "ui/MainWindow.h"

#include <QAbstractButton>
#include <QButtonGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QFile>
#include <QFileSystemModel>
#include <QGroupBox>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QSpinBox>
#include <QStyle>
#include <QTreeView>

#include "conditions/Startup.h"
#include "scheduler/ChangeLimitControl.h"
#include "ui/AccessibleControls.h"
#include "ui/FontSetup.h"
#include "ui/NamedControl.h"
#include "ui/ProgramIcon.h"

namespace tolvan::ui {
namespace {

constexpr int kTwipsPerPixel = 15;
const char* const kCaption = "Tolvane";

QString FromPath(const std::string& path) {
  return QFile::decodeName(QByteArray::fromStdString(path));
}

void SetChecked(QAbstractButton* button, int value) {
  if (button->isChecked() != (value != 0)) button->setChecked(value != 0);
}

void SelectOption(QButtonGroup* group, int index) {
  if (QAbstractButton* button = group->button(index)) SetChecked(button, 1);
}

void SetText(QLineEdit* field, const QString& text) {
  if (field->text() != text) field->setText(text);
}

// The focus going to another control of the window; a popup, the menu bar or another window
// taking it leaves the control's value as it is.
bool IsFocusMove(Qt::FocusReason reason) {
  return reason != Qt::PopupFocusReason && reason != Qt::MenuBarFocusReason &&
         reason != Qt::ActiveWindowFocusReason;
}

}  // namespace

MainWindow::MainWindow(Session& session, MainWindowServices services, QWidget* parent)
    : QMainWindow(parent),
      session_(session),
      services_(WithDefaults(std::move(services))),
      trayAvailable_([] { return QSystemTrayIcon::isSystemTrayAvailable(); }),
      volumeSource_([] { return platform::MountedVolumes(); }) {
  if (services_.windowSystem == nullptr) services_.windowSystem = &session.engine.ui();
  setObjectName(QStringLiteral("Tolvan"));
  setWindowTitle(QString::fromLatin1(kCaption));
  setWindowIcon(ProgramIcon(style()));
  setAccessibleName(QString::fromLatin1(kCaption));
  scale_ = std::max(1.0, logicalDpiX() / 96.0);
  InstallAccessibleControls();
  buildControls();
  volumes_ = volumeSource_();
  connectControls();
  tray_ = std::make_unique<TrayIcon>(windowIcon(),
                                     TrayIcon::Actions{.show = [this] { Form_MouseMove(513); },
                                                       .runNow = [this] { runNow(); },
                                                       .lastReport = [this] { Command6_Click(); },
                                                       .quit = [this] { mnuQuit_Click(); }},
                                     this);
  timer1_.setObjectName(QStringLiteral("Timer1"));
  connect(&timer1_, &QTimer::timeout, this, &MainWindow::Timer1_Timer);
  refreshFromModel();
  adjustSize();
  setFixedSize(size());
}

MainWindow::~MainWindow() = default;

void MainWindow::setVolumeSource(VolumeSource source) {
  volumeSource_ = std::move(source);
  volumes_ = volumeSource_();
  refreshFromModel();
}

void MainWindow::connectControls() {
  connectSide(from_);
  connectSide(to_);
  connect(swap_, &QPushButton::clicked, this, &MainWindow::Command4_Click);
  connect(copy_, &QPushButton::clicked, this, &MainWindow::Command1_Click);
  connect(quit_, &QPushButton::clicked, this, &MainWindow::Command2_Click);
  connect(simulation_, &QPushButton::clicked, this, &MainWindow::Command3_Click);
  connect(reportFile_, &QPushButton::clicked, this, &MainWindow::Command5_Click);
  connect(recent_, &QPushButton::clicked, this, &MainWindow::Command6_Click);
  connect(exclude_, &QPushButton::clicked, this, &MainWindow::Command7_Click);
  connect(jobList_, &QComboBox::activated, this, &MainWindow::Combo1_Click);
  connect(jobList_->lineEdit(), &QLineEdit::textEdited, this, &MainWindow::Combo1_Change);
  jobList_->installEventFilter(this);
  // Options follow whatever changed them (a click, a key, a screen reader, code); the
  // window's own refreshes are quiet.
  const auto onSelected = [this](QButtonGroup* group, void (MainWindow::*handler)(int)) {
    connect(group, &QButtonGroup::idToggled, this, [this, handler](int id, bool checked) {
      if (checked && !updating_) (this->*handler)(id);
    });
  };
  onSelected(mode_, &MainWindow::Option1_Click);
  onSelected(upDate_, &MainWindow::Option2_Click);
  onSelected(report_, &MainWindow::Option3_Click);
  onSelected(childDir_, &MainWindow::Option5_Click);
  onSelected(dateMode_, &MainWindow::Option7_Click);
  const auto onToggled = [this](QCheckBox* box, void (MainWindow::*handler)()) {
    connect(box, &QCheckBox::toggled, this, [this, handler] {
      if (!updating_) (this->*handler)();
    });
  };
  onToggled(matchCase_, &MainWindow::Check1_Click);
  onToggled(timerCheck_, &MainWindow::Check2_Click);
  onToggled(sizeCheck_, &MainWindow::Check3_Click);
  onToggled(onceCheck_, &MainWindow::Check4_Click);
  onToggled(trashBox_, &MainWindow::Check5_Click);
  onToggled(changeLimit_, &MainWindow::ChangeLimit_Change);
  connect(changeLimitPercent_, &QSpinBox::valueChanged, this, [this] {
    if (!updating_) ChangeLimit_Change();
  });
  for (int index = 0; index < 2; ++index) {
    connect(timeBoxes_[index], &QLineEdit::textChanged, this,
            [this, index] { Text4_Change(index); });
    timeBoxes_[index]->installEventFilter(this);
  }
  connect(spin_, &QScrollBar::valueChanged, this, &MainWindow::VScroll2_Change);
}

void MainWindow::connectSide(SideControls& side) {
  const Side which = side.side;
  connect(side.path, &QLineEdit::textChanged, this, [this, which] { TextChange(which); });
  connect(side.drive, &QComboBox::activated, this, [this, which] { DriveChange(which); });
  side.drive->installEventFilter(this);
  // The folder list learns a folder's entries later: once they are there, the current folder
  // is shown again.
  connect(side.model, &QFileSystemModel::directoryLoaded, this,
          [this, which](const QString& loaded) {
            SideControls& controls = controlsOf(which);
            const QString folder = FromPath(SideOf(session_, which).folder);
            if (loaded == controls.model->rootPath() && loaded != controls.root) {
              controls.model->setRootPath(controls.root);
            }
            if (folder == loaded ||
                folder.startsWith(loaded.endsWith(QLatin1Char('/')) ? loaded
                                                                    : loaded + QLatin1Char('/'))) {
              showCurrentFolder(controls);
            }
          });
  // Entries coming in above the current folder would push it out of view.
  const auto keepFolderInView = [this, which] {
    const SideControls& controls = controlsOf(which);
    const QModelIndex current = controls.folders->currentIndex();
    if (controls.followFolder && current.isValid()) {
      controls.folders->scrollTo(current, QAbstractItemView::PositionAtCenter);
    }
  };
  connect(side.model, &QAbstractItemModel::layoutChanged, this, keepFolderInView);
  connect(side.model, &QAbstractItemModel::rowsInserted, this, keepFolderInView);
  connect(side.folders->verticalScrollBar(), &QAbstractSlider::actionTriggered, this,
          [this, which] { controlsOf(which).followFolder = false; });
  connect(side.folders, &QTreeView::clicked, this,
          [this, which](const QModelIndex& entry) { DirClick(which, entry); });
  connect(side.folders, &QTreeView::activated, this,
          [this, which](const QModelIndex& entry) { DirClick(which, entry); });
}

void MainWindow::finishLoading() {
  const WindowModel& window = session_.window;
  move(window.left / kTwipsPerPixel, window.top / kTwipsPerPixel);
  FontSetup(this);
}

void MainWindow::refreshFromModel() {
  const bool wasUpdating = updating_;
  updating_ = true;
  refreshSide(from_);
  refreshSide(to_);
  refreshJobList();
  refreshOptions();
  refreshTimerFrame();
  tabToSelectedOptions();
  updating_ = wasUpdating;
  const WindowModel& window = session_.window;
  if (window.minimized && isVisible() && !isMinimized()) {
    setWindowState(windowState() | Qt::WindowMinimized);
  }
}

void MainWindow::refreshSide(SideControls& side) {
  const PathSide& model = SideOf(session_, side.side);
  SetText(side.path, FromPath(model.text));
  refreshDriveItems(side);
  const int volume = platform::VolumeIndexOf(volumes_, model.folder);
  if (side.drive->currentIndex() != volume) side.drive->setCurrentIndex(volume);
  if (volume >= 0) {
    const QString root = FromPath(volumes_[static_cast<std::size_t>(volume)].mountPoint);
    if (root != side.root) {
      // The chosen folder is read first, so that it shows at once; the list takes on the
      // whole volume (and puts it in order) once that folder is there.
      side.root = root;
      side.model->setRootPath(FromPath(model.folder));
      side.folders->setRootIndex(side.model->index(root));
    }
    if (side.folders->currentIndex() != side.model->index(FromPath(model.folder))) {
      showCurrentFolder(side);
    }
  }
  refreshUsage(side);
}

void MainWindow::showCurrentFolder(SideControls& side) {
  const QModelIndex folder = side.model->index(FromPath(SideOf(session_, side.side).folder));
  if (!folder.isValid()) return;
  const bool wasUpdating = updating_;
  updating_ = true;
  side.folders->setCurrentIndex(folder);
  side.folders->scrollTo(folder, QAbstractItemView::PositionAtCenter);
  side.folders->expand(folder);
  side.followFolder = true;
  updating_ = wasUpdating;
}

void MainWindow::refreshDriveItems(SideControls& side) {
  QStringList names;
  for (const auto& volume : volumes_) names << FromPath(platform::VolumeDisplayName(volume));
  QStringList shown;
  for (int i = 0; i < side.drive->count(); ++i) shown << side.drive->itemText(i);
  if (names == shown) return;
  side.drive->clear();
  side.drive->addItems(names);
}

void MainWindow::refreshUsage(SideControls& side) {
  QString usage = QString::fromStdString(
      Disk_use_total(session_, side.side == Side::From ? std::int16_t{0} : std::int16_t{1}));
  usage.replace(QLatin1Char('.'), QLocale::system().decimalPoint());
  ShowValue(side.usage, usage);
}

void MainWindow::refreshJobList() {
  const WindowModel& window = session_.window;
  QStringList names;
  for (const auto& name : window.tvfList) names << FromPath(name);
  QStringList shown;
  for (int i = 0; i < jobList_->count(); ++i) shown << jobList_->itemText(i);
  if (names != shown) {
    jobList_->clear();
    jobList_->addItems(names);
  }
  if (jobList_->currentIndex() != window.selectedEntry)
    jobList_->setCurrentIndex(window.selectedEntry);
  if (jobList_->currentText() != FromPath(window.tvfComboText)) {
    jobList_->setEditText(FromPath(window.tvfComboText));
  }
}

void MainWindow::refreshOptions() {
  const WindowModel& window = session_.window;
  SelectOption(mode_, window.modeOption);
  SelectOption(upDate_, window.upDateOption);
  SelectOption(report_, window.reportOption);
  SelectOption(childDir_, window.childDirOption);
  SetChecked(sizeCheck_, window.sizeCheck);
  SetChecked(matchCase_, window.matchCaseCheck);
  SetChecked(trashBox_, window.trashBoxCheck);
  trashBox_->setEnabled(window.trashBoxEnabled);
  trashBox_->setVisible(window.trashBoxVisible);
  const ChangeLimitShown limit = ShowChangeLimit(session_);
  changeLimit_->setChecked(limit.on);
  changeLimitPercent_->setValue(limit.percent);
  changeLimitPercent_->setEnabled(limit.on);
}

void MainWindow::refreshTimerFrame() {
  const WindowModel& window = session_.window;
  SetChecked(timerCheck_, window.timerCheck);
  SetChecked(onceCheck_, window.onceCheck);
  SelectOption(dateMode_, window.dateModeOption);
  SetText(timeBoxes_[0], FromPath(window.hourText));
  SetText(timeBoxes_[1], FromPath(window.minuteText));
  if (spin_->value() != window.spinValue) spin_->setValue(window.spinValue);
  timerWorking_->setVisible(window.timerWorkingShown);
  copy_->setEnabled(window.copyEnabled);
  if (!window.timerEnabled) {
    timer1_.stop();
  } else if (!timer1_.isActive() || timer1_.interval() != window.timerIntervalMs) {
    timer1_.start(window.timerIntervalMs);
  }
}

void MainWindow::changeEvent(QEvent* event) {
  QMainWindow::changeEvent(event);
  if (event->type() == QEvent::WindowStateChange) Form_Resize();
}

void MainWindow::closeEvent(QCloseEvent* event) {
  const auto* app = qobject_cast<QGuiApplication*>(QCoreApplication::instance());
  const UnloadMode mode =
      app != nullptr && app->isSavingSession() ? UnloadMode::SessionEnd : UnloadMode::User;
  if (!unloaded_ && !Form_QueryUnload(mode)) {
    event->ignore();
    return;
  }
  if (!unloaded_) {
    unloaded_ = true;
    WindowModel& window = session_.window;
    window.minimized = isMinimized() || hiddenInTray_;
    if (!window.minimized) {
      window.top = y() * kTwipsPerPixel;
      window.left = x() * kTwipsPerPixel;
    }
    timer1_.stop();
    FormUnload(session_);
    tray_->hide();
    emit closed();
  }
  event->accept();
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
  const bool focusIn = event->type() == QEvent::FocusIn;
  const bool focusOut =
      event->type() == QEvent::FocusOut && IsFocusMove(static_cast<QFocusEvent*>(event)->reason());
  if (!updating_ && (focusIn || focusOut)) {
    if (focusIn && watched == from_.drive) Drive1_GotFocus();
    if (focusIn && watched == to_.drive) Drive2_GotFocus();
    if (focusOut && watched == timeBoxes_[0]) Text4_LostFocus(0);
    if (focusOut && watched == timeBoxes_[1]) Text4_LostFocus(1);
    if (focusOut && watched == jobList_) Combo1_LostFocus();
  }
  return QMainWindow::eventFilter(watched, event);
}

}  // namespace tolvan::ui
