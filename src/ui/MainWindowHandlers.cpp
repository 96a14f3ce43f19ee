// The main window's event handlers: each hands the control's new value to the conditions and
// scheduler logic, then shows the window model again.
#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QSpinBox>

#include "conditions/DryRunCommands.h"
#include "conditions/Startup.h"
#include "conditions/Tvf.h"
#include "conditions/TvfList.h"
#include "engine/ExitStatus.h"
#include "engine/Paths.h"
#include "scheduler/ChangeLimitControl.h"
#include "scheduler/FormSet.h"
#include "scheduler/OptionControls.h"
#include "scheduler/ScheduleCheck.h"
#include "scheduler/TimeEntry.h"
#include "ui/MainWindow.h"

namespace tolvan::ui {
namespace {

constexpr const char* kDriveNotReady = "デバイスの準備ができていません。";
constexpr const char* kSaveFailed = " を保存できませんでした。";
constexpr const char* kStopToClose =
    "実行中の処理を中断して終了しますか？\n\n"
    "OK: 次の項目で中断し、レポートを閉じてから終了します。\n"
    "Cancel: 処理を続けます。";

std::string ToPath(const QString& text) {
  return QFile::encodeName(text).toStdString();
}

std::string RunPath(const std::string& field) {
  return StripOneTrailingSeparator(TrimBlanks(field));
}

int CheckValue(const QCheckBox* box) {
  return box->isChecked() ? 1 : 0;
}

// "tvf File(*.tvf)|*.tvf|All Files(*.*)|*.*" as a file dialog's filter. On Linux a name
// without a dot is a file too, so "*.*" becomes "*".
QString QtFilter(const std::string& pairs) {
  const QStringList parts = QString::fromStdString(pairs).split(QLatin1Char('|'));
  QStringList filters;
  for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
    const QString description = parts[i].section(QLatin1Char('('), 0, 0).trimmed();
    QString pattern = parts[i + 1];
    if (pattern == QStringLiteral("*.*")) pattern = QStringLiteral("*");
    filters << description + QStringLiteral(" (") + pattern + QLatin1Char(')');
  }
  return filters.join(QStringLiteral(";;"));
}

// A name typed without any extension is saved as a conditions file.
std::string WithTvfExtension(const std::string& path) {
  const std::string name = path.substr(path.rfind('/') + 1);
  return name.find('.') == std::string::npos ? path + kTvfExtension : path;
}

// The Simulation dialog, asked on the window's thread while the engine waits.
class AskingSimulationDialog : public SimulationDialog {
 public:
  explicit AskingSimulationDialog(const MainWindowServices& services) : services_(services) {}
  void show(std::int16_t& dryRunMode, std::string& simulateFileName) override {
    services_.onGuiThread([&] {
      if (!services_.askSimulation(dryRunMode, simulateFileName)) dryRunMode = 0;
    });
  }

 private:
  const MainWindowServices& services_;
};

}  // namespace

void MainWindow::afterLogic() {
  refreshFromModel();
  if (session_.endRequested || (closeAfterRun_ && !session_.window.runActive)) close();
}

bool MainWindow::runEngineWork(const std::function<void()>& work) {
  WindowModel& window = session_.window;
  if (window.runActive) return false;
  window.runActive = true;
  const bool ran = services_.runEngine(work);
  window.runActive = false;
  return ran;
}

void MainWindow::Command1_Click() {
  if (!copy_->isEnabled()) return;  // armed: runs belong to the schedule
  const std::string from = RunPath(session_.window.from.text);
  const std::string to = RunPath(session_.window.to.text);
  Engine& engine = session_.engine;
  RunOutcome outcome;
  const bool ran = runEngineWork([&] {
    outcome = RunJob(engine, from, to, engine.job.Timer);
    engine.ui().progress().close();
  });
  if (ran) runEnded(true);
  if (ran && engine.run.EndRequested) tolvan::mnuQuit_Click(session_, ExitStatusFor(outcome));
  afterLogic();
  // The window was disabled during the run and lost its focus: the keyboard starts again at
  // "Copy", where it started the run.
  if (copy_->isEnabled()) copy_->setFocus(Qt::OtherFocusReason);
}

void MainWindow::runNow() {
  if (copy_->isEnabled()) {
    Command1_Click();
    return;
  }
  // Armed: the run goes as a scheduled one would, and the timer keeps its next time.
  RunOutcome outcome;
  const bool ran = runEngineWork([&] {
    outcome = RunScheduledJob(session_, RunPath(session_.window.from.text),
                              RunPath(session_.window.to.text));
  });
  if (ran && session_.engine.run.EndRequested) {
    tolvan::mnuQuit_Click(session_, ExitStatusFor(outcome));
  }
  afterLogic();
}

void MainWindow::Command2_Click() {
  mnuQuit_Click();
}

void MainWindow::Command3_Click() {
  AskingSimulationDialog dialog(services_);
  (void)runEngineWork([&] { (void)SimulationCommand(session_, dialog); });
  afterLogic();
}

void MainWindow::Command4_Click() {
  const std::string t = session_.window.to.text;
  const std::string f = session_.window.from.text;
  // A path the folder list cannot show still changes sides in the path fields.
  if (SelectFolder(session_, Side::From, t) != 0) SetPathText(session_, Side::From, t);
  if (SelectFolder(session_, Side::To, f) != 0) SetPathText(session_, Side::To, f);
  afterLogic();
}

void MainWindow::Command5_Click() {
  services_.showReport(kReportFileName);
  reportOpened();
}

void MainWindow::Command6_Click() {
  services_.showReport(kRecentFileName);
  reportOpened();
}

void MainWindow::Command7_Click() {
  services_.exclusions();
}

void MainWindow::Option1_Click(int index) {
  SelectMode(session_, index);
  afterLogic();
}

void MainWindow::Option2_Click(int index) {
  SelectUpDate(session_, index);
  afterLogic();
}

void MainWindow::Option3_Click(int index) {
  SelectReport(session_, index);
  afterLogic();
}

void MainWindow::Option5_Click(int index) {
  SelectChildDir(session_, index);
  afterLogic();
}

void MainWindow::Option7_Click(int index) {
  SelectDateMode(session_, index);
  afterLogic();
}

void MainWindow::Check1_Click() {
  SetMatchCaseCheck(session_, CheckValue(matchCase_));
  afterLogic();
}

void MainWindow::Check2_Click() {
  SetTimerCheck(session_, CheckValue(timerCheck_));
  afterLogic();
}

void MainWindow::Check3_Click() {
  SetSizeCheck(session_, CheckValue(sizeCheck_));
  afterLogic();
}

void MainWindow::Check4_Click() {
  SetOnceCheck(session_, CheckValue(onceCheck_));
  afterLogic();
}

void MainWindow::Check5_Click() {
  SetTrashBoxCheck(session_, CheckValue(trashBox_));
  afterLogic();
}

void MainWindow::ChangeLimit_Change() {
  SetChangeLimit(session_, changeLimit_->isChecked(), changeLimitPercent_->value());
  afterLogic();
}

void MainWindow::Text4_Change(int index) {
  if (updating_) return;
  SetTimeBoxText(session_, index, ToPath(timeBoxes_[index]->text()));
}

void MainWindow::Text4_LostFocus(int index) {
  tolvan::Text4_LostFocus(session_, index);
  afterLogic();
}

void MainWindow::VScroll2_Change() {
  if (updating_) return;
  SetSpinValue(session_, spin_->value());
  afterLogic();
}

void MainWindow::Timer1_Timer() {
  const ScheduledRunner runner = [this](Session& session, const std::string& from,
                                        const std::string& to) {
    RunOutcome outcome;
    if (!services_.runEngine([&] { outcome = RunScheduledJob(session, from, to); })) {
      outcome.end = RunEnd::Abandoned;
    }
    return outcome;
  };
  RunOutcome outcome;
  const CheckResult result = tolvan::Timer1_Timer(session_, runner, &outcome);
  if (result == CheckResult::Ran) runEnded(false);
  if (result == CheckResult::Ran && session_.engine.run.EndRequested) {
    tolvan::mnuQuit_Click(session_, ExitStatusFor(outcome));
  }
  afterLogic();
}

void MainWindow::DriveGotFocus(Side side) {
  SideControls& controls = controlsOf(side);
  controls.lastDrive = SideOf(session_, side).folder;
  // Volumes come and go: the list is read again whenever it is about to be used.
  volumes_ = volumeSource_();
  const bool wasUpdating = updating_;
  updating_ = true;
  refreshSide(from_);
  refreshSide(to_);
  updating_ = wasUpdating;
}

void MainWindow::DriveChange(Side side) {
  SideControls& controls = controlsOf(side);
  const int index = controls.drive->currentIndex();
  if (updating_ || index < 0 || index >= static_cast<int>(volumes_.size())) return;
  // Choosing the volume already shown changes nothing.
  if (index == platform::VolumeIndexOf(volumes_, SideOf(session_, side).folder)) return;
  const std::string& mountPoint = volumes_[static_cast<std::size_t>(index)].mountPoint;
  if (SelectFolder(session_, side, mountPoint) != 0) {
    // The list goes back to the last good volume, whose folder stays shown.
    (void)services_.windowSystem->messageBox(kDriveNotReady, kProgramTitle,
                                             platform::MessageIcon::Critical,
                                             platform::MessageButtons::Ok);
  }
  controls.lastDrive = SideOf(session_, side).folder;
  afterLogic();
}

void MainWindow::DirClick(Side side, const QModelIndex& entry) {
  if (updating_ || !entry.isValid()) return;
  QApplication::setOverrideCursor(Qt::WaitCursor);
  const std::string path = ToPath(controlsOf(side).model->filePath(entry));
  if (const int error = SelectFolder(session_, side, path); error != 0) tellFolderFailure(error);
  DirChange(side);
  QApplication::restoreOverrideCursor();
}

void MainWindow::DirChange(Side /*side*/) {
  afterLogic();
}

void MainWindow::TextChange(Side side) {
  if (updating_) return;
  SetPathText(session_, side, ToPath(controlsOf(side).path->text()));
}

void MainWindow::tellFolderFailure(int error) {
  const bool notReady = error == kErrDeviceUnavailable || error == kErrDiskNotReady;
  (void)services_.windowSystem->messageBox(notReady ? kDriveNotReady : kPathAccessMessage,
                                           kProgramTitle, platform::MessageIcon::Critical,
                                           platform::MessageButtons::Ok);
}

void MainWindow::tellSaveFailure() {
  (void)services_.windowSystem->messageBox(
      DisplayText(session_.engine.shared.TvfFileName) + kSaveFailed, kProgramTitle,
      platform::MessageIcon::Critical, platform::MessageButtons::Ok);
}

void MainWindow::Form_Resize() {
  const Engine& engine = session_.engine;
  WindowModel& window = session_.window;
  if (!isMinimized()) {
    window.minimized = false;
    setWindowTitle(QStringLiteral("Tolvane"));
    return;
  }
  window.minimized = true;
  setWindowTitle(QFile::decodeName(QByteArray::fromStdString(engine.shared.TvfFileName)));
  if (engine.job.Timer == 1 && engine.job.OldNT == 0 && trayAvailable_()) hideIntoTray();
}

void MainWindow::hideIntoTray() {
  showTrayStatus();
  tray_->showWithTitle(windowTitle());
  hiddenInTray_ = true;
  // Hidden once the minimizing has ended: showMinimized() shows the window after its state
  // change.
  QMetaObject::invokeMethod(
      this,
      [this] {
        if (hiddenInTray_) hide();
      },
      Qt::QueuedConnection);
}

void MainWindow::Form_MouseMove(int message) {
  if (message == 513 && hiddenInTray_) restoreFromTray();
}

void MainWindow::restoreFromTray() {
  tray_->hide();
  hiddenInTray_ = false;
  setWindowState(windowState() & ~Qt::WindowMinimized);
  show();
  raise();
  activateWindow();
}

void MainWindow::Combo1_Click(int index) {
  SelectTvfEntry(session_, index);
  afterLogic();
}

void MainWindow::Combo1_Change() {
  if (updating_) return;
  tolvan::Combo1_Change(session_);
  afterLogic();
}

void MainWindow::Combo1_LostFocus() {
  tolvan::Combo1_LostFocus(session_);
  afterLogic();
}

std::optional<std::string> MainWindow::askConditionsFile(FileDialogKind kind) {
  const std::string& folder = session_.engine.shared.AppPath;
  const QString filter = QtFilter(kTvfDialogFilter);
  if (fileDialog_) return fileDialog_(kind, folder, filter);
  const QString start = QFile::decodeName(QByteArray::fromStdString(folder));
  const QString chosen =
      kind == FileDialogKind::Open
          ? QFileDialog::getOpenFileName(this, QStringLiteral("Open"), start, filter)
          : QFileDialog::getSaveFileName(this, QStringLiteral("Save as ...."), start, filter);
  if (chosen.isEmpty()) return std::nullopt;
  return ToPath(chosen);
}

void MainWindow::mnuOpen_Click() {
  if (const auto chosen = askConditionsFile(FileDialogKind::Open)) {
    OpenChosenFile(session_, *chosen);
  } else {
    FileDialogCancelled(session_);
  }
  afterLogic();
}

void MainWindow::mnuSave_Click() {
  if (SaveNeedsName(session_)) {
    mnuSaveAs_Click();
    return;
  }
  if (SaveCurrent(session_) != 0) tellSaveFailure();
}

void MainWindow::mnuSaveAs_Click() {
  const auto chosen = askConditionsFile(FileDialogKind::Save);
  if (!chosen) {
    FileDialogCancelled(session_);
    afterLogic();
    return;
  }
  const int error = SaveAs(session_, WithTvfExtension(*chosen));
  afterLogic();
  // The list is kept up to date either way; a job that was not written must not look saved.
  if (error != 0 && !session_.endRequested) tellSaveFailure();
}

void MainWindow::mnuEditorSettings_Click() {
  services_.editorSettings();
}

void MainWindow::mnuMakeBatFile_Click() {
  (void)runEngineWork([this] { (void)tolvan::mnuMakeBatFile_Click(session_); });
  afterLogic();
}

void MainWindow::mnuQuit_Click() {
  tolvan::mnuQuit_Click(session_, kExitSuccess);
  afterLogic();
}

bool MainWindow::Form_QueryUnload(UnloadMode mode) {
  if (!session_.window.runActive) return true;
  if (closeAfterRun_) return false;  // already stopping
  if (mode == UnloadMode::User &&
      services_.windowSystem->messageBox(
          kStopToClose, kProgramTitle, platform::MessageIcon::Exclamation,
          platform::MessageButtons::OkCancel) != platform::MessageAnswer::Ok) {
    return false;
  }
  closeAfterRun_ = true;
  session_.engine.run.StopFlag.store(-1);
  return false;
}

void MainWindow::endSession() {
  if (Form_QueryUnload(UnloadMode::SessionEnd)) close();
}

void MainWindow::mnuTopics_Click() {
  services_.helpTopics();
}

void MainWindow::mnuAbout_Click() {
  (void)services_.windowSystem->messageBox("Tolvane  Ver." + ProgramVersionText(), kProgramTitle,
                                           platform::MessageIcon::Question,
                                           platform::MessageButtons::Ok);
}

void MainWindow::restoreAfterRun() {
  if (!isMinimized() && !hiddenInTray_) {
    show();
    raise();
  }
  refreshFromModel();
}

}  // namespace tolvan::ui
