#include "ui/WaitDialog.h"
#include "ui/NamedControl.h"

#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

#include "ui/FontSetup.h"

namespace tolvan::ui {
namespace {

constexpr int kRetryMilliseconds = 5;
// How wide the texts are, in full-width characters of the window font.
constexpr int kTextWidthInCharacters = 34;

QLabel* MakeLabel(QWidget* parent, const char* name, const QString& text) {
  auto* label = Named(new QLabel(text, parent), name, text);
  label->setWordWrap(true);
  return label;
}

}  // namespace

WaitDialog::WaitDialog(QWidget* owner, const QString& caption, const QString& label1,
                       const QString& label2, std::function<bool()> poll)
    : QDialog(owner),
      poll_(std::move(poll)),
      caption_(caption),
      Label1_(MakeLabel(this, "Label1", label1)),
      Label2_(MakeLabel(this, "Label2", label2)),
      Command1_(new QPushButton(QStringLiteral("Cancel"), this)),
      Timer1_(new QTimer(this)) {
  setObjectName(QStringLiteral("TlvWait"));
  setWindowTitle(QStringLiteral("Waiting"));
  setModal(true);
  Command1_->setObjectName(QStringLiteral("Command1"));
  Command1_->setAccessibleName(Command1_->text());
  Command1_->setAutoDefault(false);
  Timer1_->setObjectName(QStringLiteral("Timer1"));
  Timer1_->setInterval(kRetryMilliseconds);
  connect(Timer1_, &QTimer::timeout, this, [this] { Timer1_Timer(); });
  connect(Command1_, &QPushButton::clicked, this, [this] { Command1_Click(); });
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(Label1_);
  layout->addWidget(Label2_);
  layout->addWidget(Command1_, 0, Qt::AlignHCenter);
  layout->setSizeConstraint(QLayout::SetFixedSize);
}

bool WaitDialog::RunWait() {
  Form_Load();
  (void)exec();
  Timer1_->stop();
  return cancelled_;
}

void WaitDialog::Form_Load() {
  FontSetup(this);
  fitToText();
  setWindowTitle(caption_);
  setAccessibleName(caption_);
  cancelled_ = false;
  Timer1_->start();
}

// A wrapped label is laid out for a width the dialog may not give it, which cut the last
// characters of a Japanese line: each text gets a set width and the height it needs at that
// width, in the font it is drawn in.
void WaitDialog::fitToText() {
  for (QLabel* label : {Label1_, Label2_}) {
    const int width =
        label->fontMetrics().horizontalAdvance(QChar(0x3042)) * kTextWidthInCharacters;
    label->setFixedWidth(width);
    label->setFixedHeight(label->heightForWidth(width));
  }
}

void WaitDialog::Timer1_Timer() {
  if (!poll_()) return;
  Timer1_->stop();
  cancelled_ = false;
  accept();
}

void WaitDialog::Command1_Click() {
  Timer1_->stop();
  cancelled_ = true;
  reject();
}

}  // namespace tolvan::ui
