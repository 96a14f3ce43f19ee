#pragma once

#include <QString>
#include <functional>
#include <optional>

class QWidget;

namespace tolvan::ui {

// What a dialog asks the system's file dialog.
struct FileQuestion {
  QString caption;
  QString initialPath;  // the file name the dialog starts with
  QString filter;       // Qt form: "CSV File(*.csv);;All Files(*)"
  bool save = false;    // a save dialog rather than an open dialog
};

// Shows a file dialog; the chosen full path, or nothing when the user cancelled. Dialogs take
// one so that tests can answer without a real file dialog.
using FileChooser = std::function<std::optional<QString>(QWidget* parent, const FileQuestion&)>;

// The system's own file dialogs.
[[nodiscard]] FileChooser SystemFileChooser();

}  // namespace tolvan::ui
