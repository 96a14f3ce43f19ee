#include "ui/EditorSettingsDialog.h"
#include "ui/NamedControl.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QStandardPaths>
#include <QVBoxLayout>
#include <charconv>
#include <cmath>

#include "conditions/Startup.h"
#include "engine/NumberText.h"
#include "ui/FontSetup.h"
#include "ui/Translation.h"

namespace tolvan::ui {
namespace {

constexpr float kLargestReportSize = 32767;
constexpr const char* kSizeNotANumber =
    "レポートファイルの最大サイズ（ＫＢ）は、1 から 32767 までの数値で指定して下さい。";

QLabel* MakeLabel(const char* name, const char* caption, QWidget* parent) {
  const QString text = Translated("EditorSettingsDialog", caption);
  return Named(new QLabel(text, parent), name, text);
}

QLineEdit* MakeField(const char* name, const QLabel* label, QWidget* parent) {
  auto* field = new QLineEdit(parent);
  field->setObjectName(QString::fromUtf8(name));
  field->setAccessibleName(label->text());
  return field;
}

// The file dialog starts at the editor itself; a bare name is shown where PATH finds it.
QString InitialEditorFile(const QString& editorPath) {
  if (editorPath.contains(QLatin1Char('/'))) return editorPath;
  const QString found = QStandardPaths::findExecutable(editorPath);
  return found.isEmpty() ? editorPath : found;
}

}  // namespace

std::optional<float> ReportSizeFromField(const QString& text) {
  const QString number = text.trimmed();
  std::optional<double> value = ReadNumber(number.toStdString(), NumberStyle::GroupedDecimal);
  if (!value) {  // the user's own decimal mark and grouping
    bool ok = false;
    const double local = QLocale().toDouble(number, &ok);
    if (ok) value = local;
  }
  if (!value || !std::isfinite(*value) || *value < 1 || *value > kLargestReportSize)
    return std::nullopt;
  return static_cast<float>(*value);
}

std::string ReportSizeText(float size) {
  char text[32];
  const auto written = std::to_chars(std::begin(text), std::end(text), size);
  return std::string(text, written.ptr);
}

EditorSettingsDialog::EditorSettingsDialog(Session& session, QWidget* parent)
    : QDialog(parent), session_(session) {
  setObjectName(QStringLiteral("EditorSettings"));
  setWindowTitle(QStringLiteral("Editor Settings"));
  buildControls();
  Form_Load();
}

void EditorSettingsDialog::buildControls() {
  auto* layout = new QVBoxLayout(this);
  QLabel* pathLabel = MakeLabel(
      "Label1",
      QT_TRANSLATE_NOOP("EditorSettingsDialog", "使用するエディタをフルパスで指定して下さい。"),
      this);
  // Two fixed lines: wrapping would break "xdg-open" at its hyphen.
  QLabel* note =
      MakeLabel("Label3",
                QT_TRANSLATE_NOOP("EditorSettingsDialog",
                                  "（指定したエディタで表示できなかった場合は、xdg-open、gedit、"
                                  "mousepad 等を\nご使用下さい。パスを含まない名前は PATH から探"
                                  "します。）"),
                this);
  layout->addWidget(pathLabel);
  layout->addWidget(note);

  auto* pathRow = new QHBoxLayout();
  editorField_ = MakeField("Text1", pathLabel, this);
  editorField_->setMinimumWidth(340);
  pathLabel->setBuddy(editorField_);
  QPushButton* browse = MakeButton(
      "Command1",
      Translated("EditorSettingsDialog", QT_TRANSLATE_NOOP("EditorSettingsDialog", "参照")), this);
  browse->setAutoDefault(false);
  pathRow->addWidget(editorField_, 1);
  pathRow->addWidget(browse);
  layout->addLayout(pathRow);

  auto* sizeRow = new QHBoxLayout();
  QLabel* sizeLabel = MakeLabel(
      "Label2", QT_TRANSLATE_NOOP("EditorSettingsDialog", "レポートファイルの最大サイズ（ＫＢ）"),
      this);
  sizeField_ = MakeField("Text2", sizeLabel, this);
  sizeField_->setFixedWidth(80);
  sizeLabel->setBuddy(sizeField_);
  sizeRow->addWidget(sizeLabel);
  sizeRow->addWidget(sizeField_);
  sizeRow->addStretch(1);
  layout->addLayout(sizeRow);

  const auto [ok, cancel, buttons] = MakeOkCancelRow(this);
  layout->addSpacing(6);
  layout->addLayout(buttons);

  connect(browse, &QPushButton::clicked, this, &EditorSettingsDialog::Command1_Click);
  connect(ok, &QPushButton::clicked, this, &EditorSettingsDialog::Command2_Click);
  connect(cancel, &QPushButton::clicked, this, &EditorSettingsDialog::reject);
}

void EditorSettingsDialog::Form_Load() {
  editorField_->setText(QString::fromStdString(session_.engine.shared.EditorPath));
  sizeField_->setText(QString::fromStdString(ReportSizeText(session_.engine.shared.ReportSize)));
  FontSetup(this);
}

void EditorSettingsDialog::Command1_Click() {
  const FileQuestion question{
      Translated("EditorSettingsDialog",
                 QT_TRANSLATE_NOOP("EditorSettingsDialog", "ファイルを選択")),
      InitialEditorFile(editorField_->text()), QStringLiteral("All Files(*)"), false};
  if (const std::optional<QString> chosen = chooseFile_(this, question)) {
    editorField_->setText(*chosen);
  }
}

// A size that is not a usable number keeps the dialog open, with nothing stored, so the
// report is never rotated by a limit nobody meant.
void EditorSettingsDialog::Command2_Click() {
  const std::optional<float> size = ReportSizeFromField(sizeField_->text());
  if (!size) {
    (void)session_.engine.ui().messageBox(kSizeNotANumber, kProgramTitle,
                                          platform::MessageIcon::Exclamation,
                                          platform::MessageButtons::Ok);
    sizeField_->setFocus();
    sizeField_->selectAll();
    return;
  }
  SharedValues& shared = session_.engine.shared;
  shared.EditorPath = editorField_->text().toStdString();
  WriteSetting(session_.settings, kEditorFileName, shared.EditorPath);
  shared.ReportSize = *size;
  WriteSetting(session_.settings, kEditorReportSize, ReportSizeText(*size));
  accept();
}

}  // namespace tolvan::ui
