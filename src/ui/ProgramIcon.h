#pragma once

#include <QIcon>
#include <QStyle>

namespace tolvan::ui {

// The program's icon from its resources; a stock drive icon when the resources are missing.
inline QIcon ProgramIcon(const QStyle* style) {
  QIcon icon(QStringLiteral(":/icons/tolvan32.png"));
  return icon.isNull() || icon.availableSizes().isEmpty()
             ? style->standardIcon(QStyle::SP_DriveHDIcon)
             : icon;
}

}  // namespace tolvan::ui
