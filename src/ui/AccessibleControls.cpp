#include "ui/AccessibleControls.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>

#include "ui/NamedControl.h"

namespace tolvan::ui {
namespace {

class NamedComboBox final : public QAccessibleWidget {
 public:
  explicit NamedComboBox(QComboBox* box) : QAccessibleWidget(box, QAccessible::ComboBox) {}

  [[nodiscard]] QString text(QAccessible::Text kind) const override {
    const auto* box = static_cast<const QComboBox*>(widget());
    if (kind == QAccessible::Name) return box->accessibleName();
    if (kind == QAccessible::Value) return box->currentText();
    return QAccessibleWidget::text(kind);
  }
  [[nodiscard]] QAccessible::State state() const override {
    QAccessible::State state = QAccessibleWidget::state();
    state.editable = static_cast<const QComboBox*>(widget())->isEditable();
    return state;
  }
};

// A read-only text: the whole value, nothing to select, no caret.
class ValueLabel final : public QAccessibleWidget, public QAccessibleTextInterface {
 public:
  explicit ValueLabel(QLabel* label) : QAccessibleWidget(label, QAccessible::StaticText) {}

  void* interface_cast(QAccessible::InterfaceType type) override {
    if (type == QAccessible::TextInterface) return static_cast<QAccessibleTextInterface*>(this);
    return QAccessibleWidget::interface_cast(type);
  }
  [[nodiscard]] QString text(QAccessible::Text kind) const override {
    if (kind == QAccessible::Value) return shown();
    return QAccessibleWidget::text(kind);
  }
  [[nodiscard]] QString text(int start, int end) const override {
    return shown().mid(start, end - start);
  }
  [[nodiscard]] int characterCount() const override { return static_cast<int>(shown().size()); }
  void selection(int, int* start, int* end) const override { *start = *end = 0; }
  [[nodiscard]] int selectionCount() const override { return 0; }
  void addSelection(int, int) override {}
  void removeSelection(int) override {}
  void setSelection(int, int, int) override {}
  [[nodiscard]] int cursorPosition() const override { return 0; }
  void setCursorPosition(int) override {}
  [[nodiscard]] QRect characterRect(int) const override { return {}; }
  [[nodiscard]] int offsetAtPoint(const QPoint&) const override { return -1; }
  void scrollToSubstring(int, int) override {}
  [[nodiscard]] QString attributes(int offset, int* start, int* end) const override {
    *start = *end = offset;
    return {};
  }

 private:
  [[nodiscard]] QString shown() const { return static_cast<const QLabel*>(widget())->text(); }
};

QAccessibleInterface* ForNamedControls(const QString& className, QObject* object) {
  if (className == QLatin1String("QComboBox")) {
    auto* box = qobject_cast<QComboBox*>(object);
    if (box != nullptr && !box->accessibleName().isEmpty()) return new NamedComboBox(box);
  }
  if (className == QLatin1String("QLabel")) {
    auto* label = qobject_cast<QLabel*>(object);
    if (label != nullptr && label->property(kShowsValue).toBool()) return new ValueLabel(label);
  }
  return nullptr;
}

}  // namespace

void InstallAccessibleControls() {
  static const bool installed = [] {
    QAccessible::installFactory(ForNamedControls);
    return true;
  }();
  (void)installed;
}

}  // namespace tolvan::ui
