#include "ui/SimulateDialog.h"
#include "ui/NamedControl.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QVBoxLayout>

#include "conditions/Startup.h"
#include "ui/FontSetup.h"
#include "ui/Translation.h"

namespace tolvan::ui {
namespace {

using Box = SimulationChoices::Box;

constexpr const char* kChooseFile = QT_TRANSLATE_NOOP("SimulateDialog", "ファイルを選択");

// The stored keys name the boxes: Check1(0) is "Check10", Check2(4) is "Check24".
struct BoxCaption {
  Box box;
  const char* caption;
};
constexpr BoxCaption kMasterSide[] = {
    {SimulationChoices::Newer, QT_TRANSLATE_NOOP("SimulateDialog", "日付の新しいファイル")},
    {SimulationChoices::Older, QT_TRANSLATE_NOOP("SimulateDialog", "日付の古いファイル")},
    {SimulationChoices::SizeDiffers,
     QT_TRANSLATE_NOOP("SimulateDialog", "日付が同じでサイズが違うファイル")},
    {SimulationChoices::MasterOnly,
     QT_TRANSLATE_NOOP("SimulateDialog", "ソース側にのみ存在するファイル")},
    {SimulationChoices::Same, QT_TRANSLATE_NOOP("SimulateDialog", "日付とサイズが同じファイル")},
    {SimulationChoices::AllFiles, QT_TRANSLATE_NOOP("SimulateDialog", "すべてのファイル")},
};
constexpr BoxCaption kBackupSide{
    SimulationChoices::BackupOnly,
    QT_TRANSLATE_NOOP("SimulateDialog", "バックアップ側にのみ存在するファイル")};

QLabel* MakeLabel(const char* name, const char* caption, QWidget* parent) {
  const QString text = Translated("SimulateDialog", caption);
  auto* label = Named(new QLabel(text, parent), name, text);
  label->setWordWrap(true);
  return label;
}

}  // namespace

SimulateDialog::SimulateDialog(Session& session, QWidget* parent)
    : QDialog(parent), session_(session) {
  setObjectName(QStringLiteral("Simulate"));
  setWindowTitle(QStringLiteral("Simulation"));
  buildControls();
  Form_Load();
}

void SimulateDialog::buildControls() {
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(MakeLabel(
      "Label1",
      QT_TRANSLATE_NOOP("SimulateDialog",
                        "テキストファイルに書き出すファイルの条件を下記から選択して下さい。"),
      this));

  auto* source = new QGroupBox(QStringLiteral("Source Directory List"), this);
  source->setObjectName(QStringLiteral("Frame1"));
  auto* sourceLayout = new QVBoxLayout(source);
  auto* backup = new QGroupBox(QStringLiteral("Backup Directory List"), this);
  backup->setObjectName(QStringLiteral("Frame2"));
  auto* backupLayout = new QVBoxLayout(backup);

  auto addBox = [this](const BoxCaption& item, QGroupBox* frame, QVBoxLayout* frameLayout) {
    auto* box = new QCheckBox(Translated("SimulateDialog", item.caption), frame);
    box->setObjectName(QString::fromUtf8(kSimulationChecks[item.box]));
    box->setAccessibleName(box->text());
    connect(box, &QCheckBox::toggled, this,
            [this, which = item.box](bool checked) { Check_Click(which, checked); });
    boxes_[item.box] = box;
    frameLayout->addWidget(box);
  };
  for (const BoxCaption& item : kMasterSide) addBox(item, source, sourceLayout);
  addBox(kBackupSide, backup, backupLayout);
  layout->addWidget(source);
  layout->addWidget(backup);

  QLabel* fieldLabel =
      MakeLabel("Label2", QT_TRANSLATE_NOOP("SimulateDialog", "出力するテキストファイル名"), this);
  layout->addWidget(fieldLabel);
  auto* fieldRow = new QHBoxLayout();
  listField_ = new QLineEdit(this);
  listField_->setObjectName(QStringLiteral("Text1"));
  listField_->setAccessibleName(fieldLabel->text());
  listField_->setMinimumWidth(380);
  fieldLabel->setBuddy(listField_);
  QPushButton* browse = MakeButton("Command1", "...", this);
  browse->setAccessibleDescription(Translated("SimulateDialog", kChooseFile));
  browse->setAutoDefault(false);
  browse->setFixedWidth(browse->fontMetrics().horizontalAdvance(QStringLiteral("....")) + 16);
  fieldRow->addWidget(listField_, 1);
  fieldRow->addWidget(browse);
  layout->addLayout(fieldRow);

  layout->addWidget(MakeLabel("Label3",
                              QT_TRANSLATE_NOOP("SimulateDialog",
                                                "上記の設定でシュミレーションを行う場合は、Ｓｔ"
                                                "ａｒｔボタンを押して下さい。このボタンではバッ"
                                                "クアップ作業は行いません。"),
                              this));
  auto* buttons = new QHBoxLayout();
  QPushButton* start = MakeButton("Command2", "Start", this);
  QPushButton* cancel = MakeButton("Command3", "Cancel", this);
  start->setDefault(true);
  cancel->setAutoDefault(false);
  buttons->addStretch(1);
  buttons->addWidget(start);
  buttons->addWidget(cancel);
  layout->addLayout(buttons);

  connect(browse, &QPushButton::clicked, this, &SimulateDialog::Command1_Click);
  connect(start, &QPushButton::clicked, this, &SimulateDialog::Command2_Click);
  connect(cancel, &QPushButton::clicked, this, &SimulateDialog::Command3_Click);
}

void SimulateDialog::Form_Load() {
  choices_.load(session_);
  listField_->setText(QString::fromStdString(choices_.listPath));
  showChoices();
  FontSetup(this);
}

// The boxes follow the choices: their states, and the master side disabled while
// "すべてのファイル" is checked.
void SimulateDialog::showChoices() {
  for (std::size_t box = 0; box < boxes_.size(); ++box) {
    const QSignalBlocker quiet(boxes_[box]);
    boxes_[box]->setChecked(choices_.checks[box] != 0);
  }
  for (const BoxCaption& item : kMasterSide) {
    if (item.box != SimulationChoices::AllFiles) {
      boxes_[item.box]->setEnabled(choices_.masterBoxesEnabled());
    }
  }
}

void SimulateDialog::Check_Click(SimulationChoices::Box box, bool checked) {
  if (box == SimulationChoices::AllFiles) {
    choices_.setAllFiles(checked ? 1 : 0);
    showChoices();
  } else {
    choices_.checks[box] = checked ? 1 : 0;
  }
}

void SimulateDialog::Command1_Click() {
  const FileQuestion question{Translated("SimulateDialog", kChooseFile), listField_->text(),
                              QStringLiteral("CSV File(*.csv);;All Files(*)"), true};
  if (const std::optional<QString> chosen = chooseFile_(this, question)) {
    listField_->setText(*chosen);
  }
}

void SimulateDialog::Command2_Click() {
  choices_.listPath = listField_->text().toStdString();
  dryRunMode_ = choices_.start(session_);
  if (dryRunMode_ == 0) {
    (void)session_.engine.ui().messageBox(kNothingSelected, kProgramTitle,
                                          platform::MessageIcon::Exclamation,
                                          platform::MessageButtons::Ok);
    return;
  }
  accept();
}

void SimulateDialog::Command3_Click() {
  dryRunMode_ = 0;
  reject();
}

bool AskSimulation(Session& session, QWidget* parent, std::int16_t& dryRunMode,
                   std::string& listPath) {
  SimulateDialog dialog(session, parent);
  const bool started = dialog.exec() == QDialog::Accepted;
  dryRunMode = started ? dialog.dryRunMode() : std::int16_t{0};
  if (started) listPath = dialog.listPath();
  return started;
}

}  // namespace tolvan::ui
