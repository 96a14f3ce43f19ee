// Building the main window's controls: their names, captions, colours and places.
#include <QAction>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QFileSystemModel>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QSpinBox>
#include <QTreeView>

#include "ui/MainWindow.h"
#include "ui/NamedControl.h"
#include "ui/ReadableColour.h"
#include "ui/Translation.h"

namespace tolvan::ui {
namespace {

// The client area at 96 dots per inch.
constexpr int kClientWidth = 448;
constexpr int kClientHeight = 399;
const QColor kRed(255, 0, 0);
const QColor kBlue(0, 0, 255);
const QColor kMagenta(255, 0, 255);

// The caption's classic colour, as readable as the theme's own texts on what it is drawn on.
void SetTextColour(QWidget* control, const QColor& colour) {
  QPalette palette = control->palette();
  for (const QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive}) {
    palette.setColor(group, QPalette::WindowText,
                     ReadableColour(colour, palette.color(group, QPalette::Window)));
    palette.setColor(group, QPalette::Text,
                     ReadableColour(colour, palette.color(group, QPalette::Base)));
  }
  control->setPalette(palette);
}

QFont BoldFont(const QWidget* control) {
  QFont font = control->font();
  font.setBold(true);
  return font;
}

QButtonGroup* OptionGroup(QObject* owner) {
  auto* group = new QButtonGroup(owner);
  group->setExclusive(true);
  return group;
}

}  // namespace

QRect MainWindow::place(int x, int y, int width, int height) const {
  const auto scaled = [this](int value) { return static_cast<int>(value * scale_ + 0.5); };
  return {scaled(x), scaled(y), scaled(width), scaled(height)};
}

void MainWindow::buildControls() {
  auto* client = new QWidget(this);
  client->setObjectName(QStringLiteral("client"));
  setCentralWidget(client);
  buildSide(from_, 2, kRed);
  swap_ = Named(new QPushButton(QStringLiteral("↑Swap↓"), client), "Command4",
                QStringLiteral("↑Swap↓"));
  swap_->setGeometry(place(148, 180, 72, 22));
  buildSide(to_, 204, kBlue);
  buildJobList();
  buildTimerFrame();
  buildOptionFrames();
  buildButtons();
  client->setFixedSize(place(0, 0, kClientWidth, kClientHeight).size());
  buildMenus();
  buildTabOrder();
}

// Tab follows the reading order: the paths and their lists, the job file, "Copy" and "Quit",
// the timer, the options frame by frame, the bottom buttons.
void MainWindow::buildTabOrder() {
  const auto buttons = [](const QButtonGroup* group) {
    QList<QWidget*> widgets;
    for (QAbstractButton* button : group->buttons()) widgets << button;
    return widgets;
  };
  QList<QWidget*> order;
  for (const SideControls* side : {&from_, &to_}) {
    order << side->path << side->drive << side->folders;
    if (side == &from_) order << swap_;
  }
  order << jobList_ << copy_ << quit_ << timerCheck_ << onceCheck_ << buttons(dateMode_)
        << timeBoxes_[0] << timeBoxes_[1] << spin_ << exclude_ << buttons(mode_) << trashBox_
        << buttons(upDate_) << sizeCheck_ << matchCase_ << buttons(childDir_) << buttons(report_)
        << changeLimit_ << changeLimitPercent_ << simulation_ << reportFile_ << recent_;
  spin_->setFocusPolicy(Qt::StrongFocus);
  for (qsizetype i = 0; i + 1 < order.size(); ++i) setTabOrder(order[i], order[i + 1]);
}

// Tab enters an option group on its selected button; the arrow keys move within the group.
void MainWindow::tabToSelectedOptions() {
  for (const QButtonGroup* group : {dateMode_, mode_, upDate_, childDir_, report_}) {
    const bool anySelected = group->checkedButton() != nullptr;
    for (QAbstractButton* button : group->buttons()) {
      const bool reachable = button->isChecked() || (!anySelected && button == group->buttons()[0]);
      button->setFocusPolicy(reachable ? Qt::StrongFocus : Qt::ClickFocus);
    }
  }
}

void MainWindow::buildSide(SideControls& side, int top, const QColor& colour) {
  QWidget* client = centralWidget();
  const bool from = side.side == Side::From;
  const QString heading = from ? QStringLiteral("From") : QStringLiteral("To");
  side.heading = Named(new QLabel(heading, client), from ? "Label1" : "Label2", heading);
  side.heading->setFont(BoldFont(side.heading));
  side.heading->setGeometry(place(4, top, 40, 16));
  side.usage =
      Named(AsValueLabel(new QLabel(client)), from ? "Label10" : "Label11", heading + " usage");
  side.usage->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  side.usage->setGeometry(place(44, top, 176, 16));
  side.path = Named(new QLineEdit(client), from ? "Text1" : "Text2", heading + " path");
  side.heading->setBuddy(side.path);
  side.path->setGeometry(place(4, top + 18, 216, 21));
  side.drive = Named(new QComboBox(client), from ? "Drive1" : "Drive2", heading + " drive");
  side.drive->setGeometry(place(4, top + 41, 216, 22));
  side.model = new QFileSystemModel(this);
  side.model->setFilter(QDir::AllDirs | QDir::NoDotAndDotDot | QDir::Hidden);
  side.model->setReadOnly(true);
  side.folders = Named(new QTreeView(client), from ? "Dir1" : "Dir2", heading + " folder");
  side.folders->setModel(side.model);
  side.folders->setHeaderHidden(true);
  for (int column = 1; column < side.model->columnCount(); ++column) {
    side.folders->hideColumn(column);
  }
  side.folders->setGeometry(place(4, top + 65, 216, from ? 111 : 128));
  for (QWidget* control : {static_cast<QWidget*>(side.heading), static_cast<QWidget*>(side.usage),
                           static_cast<QWidget*>(side.path)}) {
    SetTextColour(control, colour);
  }
}

void MainWindow::buildJobList() {
  QWidget* client = centralWidget();
  jobListLabel_ =
      Named(new QLabel(QStringLiteral("tvf File"), client), "Label4", QStringLiteral("tvf File"));
  jobListLabel_->setGeometry(place(228, 2, 100, 16));
  jobList_ = Named(new QComboBox(client), "Combo1", QStringLiteral("tvf File list"));
  jobList_->setEditable(true);
  jobList_->setInsertPolicy(QComboBox::NoInsert);
  jobList_->setGeometry(place(228, 19, 216, 22));
  jobList_->lineEdit()->setObjectName(QStringLiteral("Combo1Edit"));
  jobList_->lineEdit()->setAccessibleName(QStringLiteral("tvf File name"));
  jobListLabel_->setBuddy(jobList_);
}

void MainWindow::buildTimerFrame() {
  QWidget* client = centralWidget();
  // The check box sits on the frame's top edge, over the frame's one-blank caption.
  timerFrame_ =
      Named(new QGroupBox(QStringLiteral(" "), client), "Frame7", QStringLiteral("Timer settings"));
  timerFrame_->setGeometry(place(228, 92, 216, 80));
  timerCheck_ =
      Named(new QCheckBox(QStringLiteral("Timer"), client), "Check2", QStringLiteral("Timer"));
  timerCheck_->setAutoFillBackground(true);
  timerCheck_->setGeometry(place(236, 99, 58, 16));
  onceCheck_ = Named(new QCheckBox(QStringLiteral("Once for all"), timerFrame_), "Check4",
                     QStringLiteral("Once for all"));
  onceCheck_->setGeometry(place(8, 22, 104, 18));
  dateMode_ = OptionGroup(this);
  const char* names[] = {"Option7_0", "Option7_1"};
  const QString captions[] = {QStringLiteral("Every Day"), QStringLiteral("Every Time")};
  for (int index = 0; index < 2; ++index) {
    auto* option =
        Named(new QRadioButton(captions[index], timerFrame_), names[index], captions[index]);
    option->setGeometry(place(8, 40 + index * 18, 104, 18));
    dateMode_->addButton(option, index);
  }
  auto* caption = Named(new QLabel(QStringLiteral("*Time(hh:mm)*"), timerFrame_), "Label7",
                        QStringLiteral("*Time(hh:mm)*"));
  caption->setGeometry(place(114, 22, 98, 16));
  const char* boxNames[] = {"Text4_0", "Text4_1"};
  const QString boxCaptions[] = {QStringLiteral("Time hours (hh)"),
                                 QStringLiteral("Time minutes (mm)")};
  for (int index = 0; index < 2; ++index) {
    timeBoxes_[index] = Named(new QLineEdit(timerFrame_), boxNames[index], boxCaptions[index]);
    timeBoxes_[index]->setMaxLength(2);
    timeBoxes_[index]->setAlignment(Qt::AlignCenter);
    timeBoxes_[index]->setGeometry(place(118 + index * 38, 44, 28, 22));
  }
  auto* colon =
      Named(new QLabel(QStringLiteral(":"), timerFrame_), "Label9_2", QStringLiteral(":"));
  colon->setAlignment(Qt::AlignCenter);
  colon->setGeometry(place(146, 44, 10, 22));
  // One step per arrow; the range reaches one past each end so the wrap can be seen.
  spin_ = Named(new QScrollBar(Qt::Vertical, timerFrame_), "VScroll2", QStringLiteral("Time"));
  spin_->setRange(-1, 1440);
  spin_->setSingleStep(1);
  spin_->setPageStep(1);
  spin_->setGeometry(place(190, 38, 16, 34));
  timerWorking_ = Named(new QLabel(QStringLiteral("Timer is working!!"), client), "Label8",
                        QStringLiteral("Timer is working!!"));
  SetTextColour(timerWorking_, kMagenta);
  timerWorking_->setGeometry(place(312, 58, 132, 18));
}

void MainWindow::buildOptionFrames() {
  QWidget* client = centralWidget();
  auto* options =
      Named(new QLabel(QStringLiteral("Options"), client), "Label3", QStringLiteral("Options"));
  options->setFont(BoldFont(options));
  options->setGeometry(place(228, 176, 80, 16));
  struct Frame {
    const char* name;
    const char* caption;
    QRect where;
  };
  const auto frame = [&](const Frame& f) {
    auto* box = Named(new QGroupBox(QString::fromUtf8(f.caption), client), f.name,
                      QString::fromUtf8(f.caption));
    box->setGeometry(f.where);
    return box;
  };
  // Buttons end short of the frame's right edge, so its border stays visible.
  const auto row = [&](QGroupBox* box, QAbstractButton* button, int x, int line) {
    const int frameWidth = static_cast<int>(box->width() / scale_);
    button->setGeometry(place(x, 16 + line * 18, frameWidth - x - 3, 18));
  };
  const auto option = [&](QGroupBox* box, QButtonGroup* group, const char* name,
                          const char* caption, int index, int line) {
    auto* button =
        Named(new QRadioButton(QString::fromUtf8(caption), box), name, QString::fromUtf8(caption));
    row(box, button, 8, line);
    group->addButton(button, index);
  };
  const auto check = [&](QGroupBox* box, const char* name, const char* caption, int x, int line) {
    auto* button =
        Named(new QCheckBox(QString::fromUtf8(caption), box), name, QString::fromUtf8(caption));
    row(box, button, x, line);
    return button;
  };
  QGroupBox* mode = frame({"Frame1", "Mode", place(228, 192, 114, 76)});
  mode_ = OptionGroup(this);
  option(mode, mode_, "Option1_0", "Mirroring", 0, 0);
  trashBox_ = check(mode, "Check5", "Use Trash Box", 10, 1);
  option(mode, mode_, "Option1_1", "Backup", 1, 2);
  QGroupBox* rule = frame({"Frame2", "Check", place(228, 270, 114, 94)});
  upDate_ = OptionGroup(this);
  option(rule, upDate_, "Option2_0", "Up Date", 0, 0);
  option(rule, upDate_, "Option2_1", "All Files", 1, 1);
  sizeCheck_ = check(rule, "Check3", "File Size", 8, 2);
  matchCase_ = check(rule, "Check1", "Match case", 8, 3);
  QGroupBox* child = frame({"Frame6", "Child Directory", place(345, 192, 99, 58)});
  childDir_ = OptionGroup(this);
  option(child, childDir_, "Option5_0", "Include", 0, 0);
  option(child, childDir_, "Option5_1", "Not Include", 1, 1);
  QGroupBox* report = frame({"Frame3", "Report File", place(345, 254, 99, 58)});
  report->setAccessibleName(QStringLiteral("Report File option"));
  report_ = OptionGroup(this);
  option(report, report_, "Option3_0", "Write", 0, 0);
  option(report, report_, "Option3_1", "None", 1, 1);
  buildChangeLimit();
}

// Below the options on the right: stop a run that would remove or replace more than this
// share of the backup.
void MainWindow::buildChangeLimit() {
  QWidget* client = centralWidget();
  changeLimit_ = Named(new QCheckBox(QStringLiteral("Change Limit"), client), "CheckLimit",
                       QStringLiteral("Change Limit"));
  changeLimit_->setGeometry(place(345, 316, 99, 18));
  changeLimitPercent_ =
      Named(new QSpinBox(client), "SpinLimit", QStringLiteral("Change Limit percent"));
  changeLimitPercent_->setRange(1, 100);
  changeLimitPercent_->setSuffix(QStringLiteral(" %"));
  changeLimitPercent_->setGeometry(place(361, 336, 64, 22));
  // The spin box's own text field is what a screen reader lands on.
  if (auto* field = changeLimitPercent_->findChild<QLineEdit*>())
    field->setAccessibleName(changeLimitPercent_->accessibleName());
}

void MainWindow::buildButtons() {
  QWidget* client = centralWidget();
  const auto button = [&](const char* name, const QString& caption, const QString& accessible,
                          QRect where) {
    auto* control = Named(new QPushButton(caption, client), name, accessible);
    control->setGeometry(where);
    return control;
  };
  // Alt+C presses "Copy".
  copy_ =
      button("Command1", QStringLiteral("&Copy"), QStringLiteral("Copy"), place(228, 46, 78, 23));
  quit_ =
      button("Command2", QStringLiteral("Quit"), QStringLiteral("Quit"), place(228, 71, 78, 23));
  simulation_ = button("Command3", QStringLiteral("Simulation"), QStringLiteral("Simulation"),
                       place(228, 372, 72, 24));
  reportFile_ = button("Command5", QStringLiteral("Report File"), QStringLiteral("Report File"),
                       place(302, 372, 72, 24));
  recent_ = button("Command6", QStringLiteral("Recent"), QStringLiteral("Recent"),
                   place(376, 372, 68, 24));
  // On the Options heading's line, over the frames whose job it belongs to.
  const QString exclude = Translated("MainWindow", QT_TRANSLATE_NOOP("MainWindow", "除外..."));
  exclude_ = button("Command7", exclude, exclude, place(345, 173, 99, 18));
}

void MainWindow::buildMenus() {
  // Every menu and item has its underlined letter; the common commands their usual keys.
  const auto item = [this](QMenu* menu, const char* name, const QString& caption,
                           void (MainWindow::*handler)(), const QKeySequence& keys = {}) {
    QAction* action = menu->addAction(caption);
    action->setObjectName(QString::fromLatin1(name));
    action->setShortcut(keys);
    connect(action, &QAction::triggered, this, handler);
  };
  QMenu* file = menuBar()->addMenu(QStringLiteral("&File"));
  file->setObjectName(QStringLiteral("mnuFile"));
  item(file, "mnuOpen", QStringLiteral("&Open"), &MainWindow::mnuOpen_Click, QKeySequence::Open);
  item(file, "mnuSaveAs", QStringLiteral("Save &as ...."), &MainWindow::mnuSaveAs_Click);
  item(file, "mnuSave", QStringLiteral("&Save"), &MainWindow::mnuSave_Click, QKeySequence::Save);
  file->addSeparator();
  item(file, "mnuEditorSettings", QStringLiteral("&Editor Settings"),
       &MainWindow::mnuEditorSettings_Click);
  file->addSeparator();
  item(file, "mnuMakeBatFile", QStringLiteral("&Make BAT File"), &MainWindow::mnuMakeBatFile_Click);
  file->addSeparator();
  item(file, "mnuQuit", QStringLiteral("&Quit"), &MainWindow::mnuQuit_Click,
       QKeySequence(Qt::CTRL | Qt::Key_Q));
  QMenu* help = menuBar()->addMenu(QStringLiteral("&Help"));
  help->setObjectName(QStringLiteral("mnuHelp"));
  item(help, "mnuTopics", QStringLiteral("&Topics"), &MainWindow::mnuTopics_Click,
       QKeySequence(Qt::Key_F1));
  item(help, "mnuAbout", QStringLiteral("&About..."), &MainWindow::mnuAbout_Click);
}

}  // namespace tolvan::ui
