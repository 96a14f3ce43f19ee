#include "ui/FontSetup.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QComboBox>
#include <QFont>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QWidget>

namespace tolvan::ui {
namespace {

void RegisterSubstitutes() {
  static const bool registered = [] {
    QFont::insertSubstitutions(QString::fromUtf8(kWindowFontFamily),
                               {QStringLiteral("IPAPGothic"), QStringLiteral("IPAGothic"),
                                QStringLiteral("Noto Sans CJK JP"), QStringLiteral("VL PGothic")});
    return true;
  }();
  (void)registered;
}

bool TakesWindowFont(const QWidget* control) {
  return qobject_cast<const QAbstractButton*>(control) != nullptr ||
         qobject_cast<const QLineEdit*>(control) != nullptr ||
         qobject_cast<const QGroupBox*>(control) != nullptr ||
         qobject_cast<const QComboBox*>(control) != nullptr ||
         qobject_cast<const QAbstractItemView*>(control) != nullptr ||
         qobject_cast<const QLabel*>(control) != nullptr ||
         qobject_cast<const QMenuBar*>(control) != nullptr;
}

}  // namespace

void FontSetup(QWidget* window) {
  RegisterSubstitutes();
  QFont font(QString::fromUtf8(kWindowFontFamily));
  font.setPointSize(kWindowFontPoints);
  for (QWidget* control : window->findChildren<QWidget*>()) {
    // A combo box's own line edit and list follow the combo box.
    if (TakesWindowFont(control) && qobject_cast<QComboBox*>(control->parentWidget()) == nullptr) {
      QFont own = font;
      own.setBold(control->font().bold());  // headings stay bold in the window font
      control->setFont(own);
    }
  }
}

}  // namespace tolvan::ui
