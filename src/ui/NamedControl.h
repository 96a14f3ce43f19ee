#pragma once

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

inline QPushButton* MakeButton(const char* name, const char* caption, QWidget* parent) {
  const QString text = QString::fromUtf8(caption);
  return Named(new QPushButton(text, parent), name, text);
}

}  // namespace tolvan::ui
