#pragma once

#include <QMainWindow>
#include <QSystemTrayIcon>
#include <QTimer>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "conditions/PathFields.h"
#include "conditions/Session.h"
#include "platform/MountedVolumes.h"
#include "ui/MainWindowServices.h"
#include "ui/TrayIcon.h"
#include "ui/TrayStatus.h"

class QButtonGroup;
class QCheckBox;
class QComboBox;
class QFileSystemModel;
class QGroupBox;
class QLabel;
class QLineEdit;
class QModelIndex;
class QPushButton;
class QSpinBox;
class QRadioButton;
class QScrollBar;
class QTreeView;

namespace tolvan::ui {

// The main window "Tolvan": the From and To sides, the saved-job list, the options, the timer
// frame and the buttons that start work. Every handler calls the conditions and scheduler
// logic on the session's window model, then shows the model again (refreshFromModel).
class MainWindow : public QMainWindow {
  Q_OBJECT

 public:
  enum class FileDialogKind { Open, Save };
  // Asks for a conditions file; nothing when cancelled.
  using FileDialog = std::function<std::optional<std::string>(
      FileDialogKind kind, const std::string& initialFolder, const QString& filter)>;
  using VolumeSource = std::function<std::vector<platform::MountedVolume>()>;

  MainWindow(Session& session, MainWindowServices services, QWidget* parent = nullptr);
  ~MainWindow() override;

  // Replaceable for tests and for desktops without a tray.
  void setFileDialog(FileDialog dialog) { fileDialog_ = std::move(dialog); }
  void setTrayAvailability(std::function<bool()> available) {
    trayAvailable_ = std::move(available);
  }
  void setVolumeSource(VolumeSource source);

  // Shows the window model in the controls; no handler runs while it does.
  void refreshFromModel();
  // The end of loading: the stored position and the window font.
  void finishLoading();
  // What the window system asks of the main window around a run.
  void restoreAfterRun();
  [[nodiscard]] QSystemTrayIcon& notificationIcon() { return tray_->icon(); }
  // The icon and its menu, for what shows the last run's status on them.
  [[nodiscard]] TrayIcon& tray() { return *tray_; }
  [[nodiscard]] bool hiddenInTray() const { return hiddenInTray_; }

  // Handlers.
  void Command1_Click();
  void Command2_Click();
  void Command3_Click();
  void Command4_Click();
  void Command5_Click();
  void Command6_Click();
  void Command7_Click();
  void Option1_Click(int index);
  void Option2_Click(int index);
  void Option3_Click(int index);
  void Option5_Click(int index);
  void Option7_Click(int index);
  void Check1_Click();
  void Check2_Click();
  void Check3_Click();
  void Check4_Click();
  void Check5_Click();
  void ChangeLimit_Change();
  void Text4_Change(int index);
  void Text4_LostFocus(int index);
  void VScroll2_Change();
  void Timer1_Timer();
  void Drive1_GotFocus() { DriveGotFocus(Side::From); }
  void Drive2_GotFocus() { DriveGotFocus(Side::To); }
  void Drive1_Change() { DriveChange(Side::From); }
  void Drive2_Change() { DriveChange(Side::To); }
  void Dir1_Click(const QModelIndex& entry) { DirClick(Side::From, entry); }
  void Dir2_Click(const QModelIndex& entry) { DirClick(Side::To, entry); }
  void Dir1_Change() { DirChange(Side::From); }
  void Dir2_Change() { DirChange(Side::To); }
  void Text1_Change() { TextChange(Side::From); }
  void Text2_Change() { TextChange(Side::To); }
  void Form_Resize();
  // The notification icon's left click (513) shows the window again; the right button (516)
  // opens the icon's menu instead.
  void Form_MouseMove(int message);
  // The tray menu's "Run now": the job once with the shown paths, the schedule left as it is.
  void runNow();
  void Combo1_Click(int index);
  void Combo1_Change();
  void Combo1_LostFocus();
  void mnuOpen_Click();
  void mnuSave_Click();
  void mnuSaveAs_Click();
  void mnuEditorSettings_Click();
  void mnuMakeBatFile_Click();
  void mnuQuit_Click();
  void mnuTopics_Click();
  void mnuAbout_Click();

  // Why the window is asked to close: by the user (its frame, the window manager) or by the
  // end of the desktop session.
  enum class UnloadMode { User, SessionEnd };
  // Whether the window may close now. During a run it may not: the user is asked whether to
  // stop the run (the session's end does not ask); a stop is requested as "中断" requests it,
  // and the window closes once the run has ended.
  [[nodiscard]] bool Form_QueryUnload(UnloadMode mode);
  // The desktop session ends: a run stops, then the window closes.
  void endSession();

 signals:
  // The closing sequence has run.
  void closed();

 protected:
  void changeEvent(QEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  struct SideControls {
    explicit SideControls(Side which) : side(which) {}
    Side side;
    QLabel* heading = nullptr;
    QLabel* usage = nullptr;
    QLineEdit* path = nullptr;
    QComboBox* drive = nullptr;
    QTreeView* folders = nullptr;
    QFileSystemModel* model = nullptr;
    std::string lastDrive;  // LastDrive1 / LastDrive2
    QString root;           // the volume the folder list shows
    // The list keeps its current folder in view while it fills, until the user scrolls it.
    bool followFolder = false;
  };

  // Building (MainWindowControls.cpp).
  void buildControls();
  void buildSide(SideControls& side, int top, const QColor& colour);
  void buildJobList();
  void buildTimerFrame();
  void buildOptionFrames();
  void buildChangeLimit();
  void buildButtons();
  void buildMenus();
  void buildTabOrder();
  void tabToSelectedOptions();
  void connectControls();
  void connectSide(SideControls& side);
  [[nodiscard]] QRect place(int x, int y, int width, int height) const;

  // Showing the model.
  void refreshSide(SideControls& side);
  void refreshDriveItems(SideControls& side);
  void showCurrentFolder(SideControls& side);
  void refreshOptions();
  void refreshTimerFrame();
  void refreshJobList();
  void refreshUsage(SideControls& side);

  // Shared steps of the handlers.
  SideControls& controlsOf(Side side) { return side == Side::From ? from_ : to_; }
  void DriveGotFocus(Side side);
  void DriveChange(Side side);
  void DirClick(Side side, const QModelIndex& entry);
  void DirChange(Side side);
  void TextChange(Side side);
  void afterLogic();
  bool runEngineWork(const std::function<void()>& work);
  void tellFolderFailure(int error);
  void tellSaveFailure();
  [[nodiscard]] std::optional<std::string> askConditionsFile(FileDialogKind kind);
  void hideIntoTray();
  void restoreFromTray();
  // The tray's account of the runs (MainWindowTray.cpp).
  [[nodiscard]] std::string lastRunText();
  void showTrayStatus();
  void runEnded(bool startedByCopy);
  void reportOpened();

  Session& session_;
  MainWindowServices services_;
  FileDialog fileDialog_;
  std::function<bool()> trayAvailable_;
  VolumeSource volumeSource_;
  std::vector<platform::MountedVolume> volumes_;
  double scale_ = 1.0;
  bool updating_ = false;  // code is setting controls: their handlers stay quiet
  bool hiddenInTray_ = false;
  bool unloaded_ = false;
  bool closeAfterRun_ = false;  // the window closes as soon as the run has ended

  SideControls from_{Side::From};
  SideControls to_{Side::To};
  QPushButton* swap_ = nullptr;
  QLabel* jobListLabel_ = nullptr;
  QComboBox* jobList_ = nullptr;
  QPushButton* copy_ = nullptr;
  QPushButton* quit_ = nullptr;
  QLabel* timerWorking_ = nullptr;
  QGroupBox* timerFrame_ = nullptr;
  QCheckBox* timerCheck_ = nullptr;
  QCheckBox* onceCheck_ = nullptr;
  QButtonGroup* dateMode_ = nullptr;
  QLineEdit* timeBoxes_[2] = {nullptr, nullptr};
  QScrollBar* spin_ = nullptr;
  QButtonGroup* mode_ = nullptr;
  QCheckBox* trashBox_ = nullptr;
  QButtonGroup* upDate_ = nullptr;
  QCheckBox* sizeCheck_ = nullptr;
  QCheckBox* matchCase_ = nullptr;
  QButtonGroup* childDir_ = nullptr;
  QButtonGroup* report_ = nullptr;
  QCheckBox* changeLimit_ = nullptr;
  QSpinBox* changeLimitPercent_ = nullptr;
  QPushButton* simulation_ = nullptr;
  QPushButton* reportFile_ = nullptr;
  QPushButton* recent_ = nullptr;
  QPushButton* exclude_ = nullptr;
  QTimer timer1_{this};
  std::unique_ptr<TrayIcon> tray_;
  TrayStatus trayStatus_;
};

}  // namespace tolvan::ui
