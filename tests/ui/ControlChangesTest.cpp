// However a control is changed (by code, by a screen reader through the accessibility
// interface), the job follows what the control shows.
#include <QAccessible>
#include <QAccessibleActionInterface>
#include <QAccessibleEditableTextInterface>
#include <QApplication>
#include <QFocusEvent>

#include "MainWindowFixture.h"

namespace tolvan::testing {
namespace {

enum class How { Code, Accessibility };

void Toggle(QAbstractButton* button, How how) {
  if (how == How::Code) {
    button->setChecked(!button->isChecked());
    return;
  }
  QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(button);
  ASSERT_NE(accessible, nullptr);
  QAccessibleActionInterface* actions = accessible->actionInterface();
  ASSERT_NE(actions, nullptr);
  actions->doAction(QAccessibleActionInterface::toggleAction());
}

void Replace(QLineEdit* field, const std::string& text, How how) {
  if (how == How::Code) {
    field->setText(QString::fromStdString(text));
    return;
  }
  QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(field);
  ASSERT_NE(accessible, nullptr);
  QAccessibleEditableTextInterface* editable = accessible->editableTextInterface();
  ASSERT_NE(editable, nullptr);
  editable->replaceText(0, static_cast<int>(field->text().size()), QString::fromStdString(text));
}

TEST_F(MainWindowTest, ChangesByCodeOrByAScreenReaderReachTheJob) {
  struct Toggled {
    const char* control;
    std::int16_t JobConditions::*field;
    std::int16_t value;  // once toggled from the job's file
  };
  const Toggled toggled[] = {
      {"Option1_1", &JobConditions::NomalMode, 0}, {"Option1_0", &JobConditions::NomalMode, -1},
      {"Check5", &JobConditions::TrashBox, 1},     {"Option2_1", &JobConditions::UpDate, 1},
      {"Check3", &JobConditions::Size, 1},         {"Check1", &JobConditions::MatchCase, 1},
      {"Option5_1", &JobConditions::ChildDir, 0},  {"Option3_1", &JobConditions::Report, 0},
  };
  writeFile("app/job.tvf", JobFile(tmp / "master", tmp / "backup"));
  for (const How how : {How::Code, How::Accessibility}) {
    SCOPED_TRACE(how == How::Code ? "by code" : "by the accessibility interface");
    start();
    for (const Toggled& t : toggled) {
      Toggle(find<QAbstractButton>(t.control), how);
      EXPECT_TRUE(checked(t.control)) << t.control;
      EXPECT_EQ(engine.job.*t.field, t.value) << t.control;
    }
    Replace(find<QLineEdit>("Text1"), tmp / "master/sub", how);
    Replace(find<QLineEdit>("Text2"), tmp / "elsewhere", how);
    EXPECT_EQ(session.window.from.text, tmp / "master/sub");  // what "Copy" runs from
    EXPECT_EQ(session.window.to.text, tmp / "elsewhere");
    Replace(find<QLineEdit>("Text4_0"), "07", how);
    QFocusEvent leave(QEvent::FocusOut, Qt::TabFocusReason);  // leaving the box settles it
    QApplication::sendEvent(find<QLineEdit>("Text4_0"), &leave);
    EXPECT_EQ(engine.job.Time.substr(0, 2), "07");
    window.reset();
  }
}

}  // namespace
}  // namespace tolvan::testing
