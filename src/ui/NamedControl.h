#pragma once

#include <QLabel>
#include <QPushButton>
#include <QString>
#include <QWidget>

namespace tolvan::ui {

// Tests and outside drivers find a control by its object name, screen readers by its
// accessible name: every control gets both.
template <typename Control>
Control* Named(Control* control, const char* objectName, const QString& accessibleName) {
  control->setObjectName(QString::fromUtf8(objectName));
  control->setAccessibleName(accessibleName);
  return control;
}

// A label that shows a value keeps its caption as its accessible name; a screen reader reads
// the value from its description, which follows the text.
inline void ShowValue(QLabel* label, const QString& text) {
  label->setText(text);
  label->setAccessibleDescription(text);
}

inline QPushButton* MakeButton(const char* name, const QString& caption, QWidget* parent) {
  return Named(new QPushButton(caption, parent), name, caption);
}

inline QPushButton* MakeButton(const char* name, const char* caption, QWidget* parent) {
  return MakeButton(name, QString::fromUtf8(caption), parent);
}

}  // namespace tolvan::ui
