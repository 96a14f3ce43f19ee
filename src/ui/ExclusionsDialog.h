#pragma once

#include <QDialog>

#include "conditions/Session.h"
#include "ui/FileChooser.h"

class QLabel;
class QLineEdit;
class QPlainTextEdit;

namespace tolvan::ui {

// "Exclude...": the job's exclusion patterns, one a line, with a short help and a "try" field
// that tells whether a path is left out and by which line. "OK" makes the patterns the job's
// (saved with it like any other setting) unless a line cannot be used: the dialog then says
// which and stays open. "Cancel" changes nothing.
class ExclusionsDialog : public QDialog {
  Q_OBJECT

 public:
  ExclusionsDialog(Session& session, QWidget* parent);
  void setFileChooser(FileChooser chooser) { chooseFile_ = std::move(chooser); }

 private:
  void buildControls();
  void tryPath();
  void pickPath();
  void accept() override;
  void selectLine(std::size_t line);

  Session& session_;
  FileChooser chooseFile_ = SystemFileChooser();
  QPlainTextEdit* patterns_ = nullptr;
  QLineEdit* tryField_ = nullptr;
  QLabel* tryResult_ = nullptr;
};

}  // namespace tolvan::ui
