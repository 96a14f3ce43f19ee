#pragma once

#include <QHBoxLayout>
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

// Marks a label that shows a value (see InstallAccessibleControls).
inline constexpr const char* kShowsValue = "showsValue";

// Made before it is named, so that a screen reader's first look already finds it a value.
inline QLabel* AsValueLabel(QLabel* label) {
  label->setProperty(kShowsValue, true);
  return label;
}

// A label that shows a value keeps its caption as its accessible name; a screen reader reads
// the value as its text, and from its description, which follows the text.
inline void ShowValue(QLabel* label, const QString& text) {
  label->setProperty(kShowsValue, true);
  label->setText(text);
  label->setAccessibleDescription(text);
}

inline QPushButton* MakeButton(const char* name, const QString& caption, QWidget* parent) {
  return Named(new QPushButton(caption, parent), name, caption);
}

inline QPushButton* MakeButton(const char* name, const char* caption, QWidget* parent) {
  return MakeButton(name, QString::fromUtf8(caption), parent);
}

// A dialog's OK (Command2, the default) and Cancel (Command3) buttons on a row of their own,
// to the left.
struct OkCancel {
  QPushButton* ok;
  QPushButton* cancel;
  QHBoxLayout* row;
};
inline OkCancel MakeOkCancelRow(QWidget* parent) {
  OkCancel buttons{MakeButton("Command2", "OK", parent), MakeButton("Command3", "Cancel", parent),
                   new QHBoxLayout()};
  buttons.ok->setDefault(true);
  buttons.cancel->setAutoDefault(false);
  buttons.row->addWidget(buttons.ok);
  buttons.row->addWidget(buttons.cancel);
  buttons.row->addStretch(1);
  return buttons;
}

}  // namespace tolvan::ui
