#pragma once

#include <QDialog>
#include <optional>
#include <string>

#include "conditions/Session.h"
#include "ui/FileChooser.h"

class QLineEdit;

namespace tolvan::ui {

// The editor settings dialog: the program that shows reports and the report's size limit.
// "OK" stores both and they take effect at once; "Cancel" stores nothing.
class EditorSettingsDialog : public QDialog {
  Q_OBJECT

 public:
  EditorSettingsDialog(Session& session, QWidget* parent);
  void setFileChooser(FileChooser chooser) { chooseFile_ = std::move(chooser); }

 private:
  void buildControls();
  void Form_Load();
  void Command1_Click();
  void Command2_Click();

  Session& session_;
  FileChooser chooseFile_ = SystemFileChooser();
  QLineEdit* editorField_ = nullptr;
  QLineEdit* sizeField_ = nullptr;
};

// The size field's text as a report size in KB: a number from 1 to 32767 (the range start-up
// can read back), in the C or the user's locale; nothing for any other text.
[[nodiscard]] std::optional<float> ReportSizeFromField(const QString& text);

// The shortest decimal text that reads back as `size`: 512, 100.5.
[[nodiscard]] std::string ReportSizeText(float size);

}  // namespace tolvan::ui
