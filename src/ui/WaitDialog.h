#pragma once

#include <QDialog>
#include <functional>

class QLabel;
class QPushButton;
class QTimer;

namespace tolvan::ui {

// The dialog shown while another process holds the report files: it retries every few
// milliseconds and closes by itself once `poll` succeeds. GUI thread only.
class WaitDialog final : public QDialog {
  Q_OBJECT

 public:
  WaitDialog(QWidget* owner, const QString& caption, const QString& label1, const QString& label2,
             std::function<bool()> poll);

  // Shows the dialog modally until `poll` succeeds, Cancel is pressed or it is closed
  // otherwise; true only for Cancel.
  [[nodiscard]] bool RunWait();

 private:
  void Form_Load();
  void fitToText();
  void Timer1_Timer();
  void Command1_Click();

  std::function<bool()> poll_;
  QString caption_;
  QLabel* Label1_;
  QLabel* Label2_;
  QPushButton* Command1_;
  QTimer* Timer1_;
  bool cancelled_ = false;
};

}  // namespace tolvan::ui
