#include "ui/ExclusionsDialog.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTextBlock>
#include <QTextCursor>
#include <QVBoxLayout>

#include "conditions/ExclusionEditing.h"
#include "engine/Paths.h"
#include "ui/FontSetup.h"
#include "ui/NamedControl.h"
#include "ui/Translation.h"

namespace tolvan::ui {
namespace {

constexpr const char* kContext = "ExclusionsDialog";

QString Text(const char* text) {
  return Translated(kContext, text);
}

QString FromStd(const std::string& text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

QString ProblemText(const ExclusionProblem& problem) {
  return Text(QT_TRANSLATE_NOOP("ExclusionsDialog", "%1 行目のパターンは使えません（%2）: %3"))
      .arg(problem.line)
      .arg(FromStd(problem.reason), FromStd(DisplayText(problem.pattern)));
}

}  // namespace

ExclusionsDialog::ExclusionsDialog(Session& session, QWidget* parent)
    : QDialog(parent), session_(session) {
  setObjectName(QStringLiteral("Exclusions"));
  setWindowTitle(Text(QT_TRANSLATE_NOOP("ExclusionsDialog", "除外")));
  buildControls();
  patterns_->setPlainText(FromStd(PatternsText(session_.engine.job.Exclude)));
  FontSetup(this);
}

void ExclusionsDialog::buildControls() {
  auto* layout = new QVBoxLayout(this);
  const QString listCaption =
      Text(QT_TRANSLATE_NOOP("ExclusionsDialog", "除外するパターン（1 行に 1 つ）"));
  auto* listLabel = Named(new QLabel(listCaption, this), "Label1", listCaption);
  patterns_ = Named(new QPlainTextEdit(this), "Text1", listCaption);
  patterns_->setTabChangesFocus(true);
  patterns_->setMinimumSize(360, 140);
  listLabel->setBuddy(patterns_);
  const QString help = Text(QT_TRANSLATE_NOOP(
      "ExclusionsDialog",
      "*.tmp、Thumbs.db　… どの階層でもこの名前\n"
      "node_modules/　… 末尾の / はフォルダーだけ\n"
      "/photos/raw、docs/**/draft*　… マスターフォルダーからのパス（** は任意の数のフォルダー）\n"
      "!keep.tmp　… 前の行で除外したものを戻す（除外したフォルダーの中は戻せません）\n"
      "大文字と小文字は区別します（exFAT・FAT のマスターでは区別しません）。\n"
      "ミラーリングでも、パターンに当たるバックアップ側の項目は削除しません。"));
  auto* helpLabel = Named(new QLabel(help, this), "Label2", help);
  layout->addWidget(listLabel);
  layout->addWidget(patterns_, 1);
  layout->addWidget(helpLabel);

  const QString tryCaption =
      Text(QT_TRANSLATE_NOOP("ExclusionsDialog", "試す（マスターフォルダー内のパス）"));
  auto* tryLabel = Named(new QLabel(tryCaption, this), "Label3", tryCaption);
  tryField_ = Named(new QLineEdit(this), "Text2", tryCaption);
  tryLabel->setBuddy(tryField_);
  QPushButton* pick =
      MakeButton("Command1", Text(QT_TRANSLATE_NOOP("ExclusionsDialog", "参照")), this);
  pick->setAutoDefault(false);
  auto* tryRow = new QHBoxLayout();
  tryRow->addWidget(tryField_, 1);
  tryRow->addWidget(pick);
  const QString resultCaption = Text(QT_TRANSLATE_NOOP("ExclusionsDialog", "結果"));
  tryResult_ = Named(new QLabel(this), "Label4", resultCaption);
  layout->addWidget(tryLabel);
  layout->addLayout(tryRow);
  layout->addWidget(tryResult_);

  const auto [ok, cancel, buttons] = MakeOkCancelRow(this);
  layout->addLayout(buttons);
  setTabOrder(patterns_, tryField_);
  setTabOrder(tryField_, pick);
  setTabOrder(pick, ok);
  setTabOrder(ok, cancel);

  connect(tryField_, &QLineEdit::textChanged, this, &ExclusionsDialog::tryPath);
  connect(patterns_, &QPlainTextEdit::textChanged, this, &ExclusionsDialog::tryPath);
  connect(pick, &QPushButton::clicked, this, &ExclusionsDialog::pickPath);
  connect(ok, &QPushButton::clicked, this, &ExclusionsDialog::accept);
  connect(cancel, &QPushButton::clicked, this, &ExclusionsDialog::reject);
}

void ExclusionsDialog::tryPath() {
  const std::string text = patterns_->toPlainText().toStdString();
  const std::string path = tryField_->text().toStdString();
  QString answer;
  if (path.empty()) {
    answer.clear();
  } else if (const std::optional<TriedPath> tried = TryPath(session_, text, path); !tried) {
    answer = ProblemText(*ReadPatternsText(text).problem);
  } else if (tried->line == 0) {
    answer = Text(QT_TRANSLATE_NOOP("ExclusionsDialog", "除外されません"));
  } else {
    const QString pattern = FromStd(DisplayText(PatternLines(text, false)[tried->line - 1]));
    answer = (tried->excluded
                  ? Text(QT_TRANSLATE_NOOP("ExclusionsDialog", "%1 行目で除外されます: %2"))
                  : Text(QT_TRANSLATE_NOOP("ExclusionsDialog", "%1 行目で除外から戻されます: %2")))
                 .arg(tried->line)
                 .arg(pattern);
  }
  ShowValue(tryResult_, answer);
}

void ExclusionsDialog::pickPath() {
  const std::string master = StripOneTrailingSeparator(TrimBlanks(session_.window.from.text));
  const FileQuestion question{Text(QT_TRANSLATE_NOOP("ExclusionsDialog", "ファイルを選択")),
                              FromStd(master + "/"), QStringLiteral("All Files(*)"), false};
  if (const std::optional<QString> chosen = chooseFile_(this, question))
    tryField_->setText(*chosen);
}

void ExclusionsDialog::selectLine(std::size_t line) {
  const QTextBlock block = patterns_->document()->findBlockByNumber(static_cast<int>(line) - 1);
  QTextCursor cursor(block);
  cursor.movePosition(QTextCursor::EndOfBlock, QTextCursor::KeepAnchor);
  patterns_->setTextCursor(cursor);
  patterns_->setFocus();
}

// A line that cannot be used keeps the dialog open on that line, with the job unchanged.
void ExclusionsDialog::accept() {
  PatternsFromText read = ReadPatternsText(patterns_->toPlainText().toStdString());
  if (read.problem) {
    (void)session_.engine.ui().messageBox(ProblemText(*read.problem).toStdString(), kProgramTitle,
                                          platform::MessageIcon::Exclamation,
                                          platform::MessageButtons::Ok);
    selectLine(read.problem->line);
    return;
  }
  session_.engine.job.Exclude = std::move(read.patterns);
  QDialog::accept();
}

}  // namespace tolvan::ui
