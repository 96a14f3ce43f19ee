#include "ui/FileChooser.h"

#include <QFileDialog>

namespace tolvan::ui {

FileChooser SystemFileChooser() {
  return [](QWidget* parent, const FileQuestion& question) -> std::optional<QString> {
    const QString chosen =
        question.save ? QFileDialog::getSaveFileName(parent, question.caption, question.initialPath,
                                                     question.filter)
                      : QFileDialog::getOpenFileName(parent, question.caption, question.initialPath,
                                                     question.filter);
    if (chosen.isEmpty()) return std::nullopt;
    return chosen;
  };
}

}  // namespace tolvan::ui
