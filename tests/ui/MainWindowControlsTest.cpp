// What the main window's controls show, how they reach the job, and what a screen reader and
// the keyboard find in every window.
#include "UiTest.h"
#include "ui/EditorSettingsDialog.h"
#include "ui/ProcessWindow.h"
#include "ui/SimulateDialog.h"
#include "ui/WaitDialog.h"

namespace tolvan::testing {
namespace {

bool InheritsAny(const QObject* object, std::initializer_list<const char*> classes) {
  return std::ranges::any_of(classes, [object](const char* c) { return object->inherits(c); });
}

// The window, when it has no name, and the controls a screen reader could not name, as
// "window/control". Parts Qt builds inside a control (a combo box's editor, a view's scroll
// bars, the menu bar's overflow button) are named through the control itself.
std::vector<std::string> UnnamedControls(const QWidget& window) {
  std::vector<std::string> unnamed;
  if (window.objectName().isEmpty()) unnamed.emplace_back("a window");
  for (const QWidget* widget : window.findChildren<QWidget*>()) {
    bool part = false;
    for (const QWidget* up = widget->parentWidget(); up != nullptr; up = up->parentWidget())
      part = part || InheritsAny(up, {"QComboBox", "QAbstractScrollArea", "QMenuBar"});
    if (!part &&
        InheritsAny(widget, {"QAbstractButton", "QLineEdit", "QComboBox", "QProgressBar",
                             "QAbstractItemView", "QAbstractSlider"}) &&
        (widget->accessibleName().trimmed().isEmpty() || widget->objectName().isEmpty()))
      unnamed.push_back(window.objectName().toStdString() + "/" +
                        widget->objectName().toStdString() + " (" +
                        widget->metaObject()->className() + ")");
  }
  return unnamed;
}

// "name (role)" of every shown control and label of the window as a screen reader finds it,
// parts Qt builds inside a control (named "qt_..." or not named) and plain containers left out.
QStringList AccessibleNames(const QWidget& window) {
  QStringList names;
  for (QWidget* widget : window.findChildren<QWidget*>()) {
    QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(widget);
    if (!widget->objectName().isEmpty() && !widget->objectName().startsWith("qt_") &&
        widget->isVisible() && accessible->role() != QAccessible::Client)
      names << accessible->text(QAccessible::Name) + " (" + QString::number(accessible->role()) +
                   ")";
  }
  return names;
}

// Its name, then what a screen reader reads as its value: a label's text, which its description
// repeats.
QString Heard(QObject* object) {
  QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(object);
  QAccessibleTextInterface* text = accessible->textInterface();
  const QString value = text ? text->text(0, text->characterCount()) : "(no text)";
  const QString described = accessible->text(QAccessible::Description);
  return accessible->text(QAccessible::Name) + "=" + value +
         (described == value ? "" : " described as " + described);
}

// No control of any window lacks a name; no two controls of the main window sound alike, none
// is silent; the lists are called by their captions, whatever entry they show, and value labels
// offer their value as text, also as they change.
TEST_F(WindowTest, EveryControlOfEveryWindowHasANameAndLabelsReadTheirValues) {
  start(job());
  const QStringList names = AccessibleNames(*window);
  QStringList captions;
  for (const QString& name : names) captions << name.section(" (", 0, 0).trimmed();
  EXPECT_TRUE(names.size() > 40 && !captions.contains("") &&
              QSet<QString>(captions.begin(), captions.end()).size() == captions.size())
      << names.join(", ");
  for (const char* expected :
       {"From drive (46)", "To drive (46)", "tvf File list (46)", "From path (42)",
        "tvf File name (42)", "Time hours (hh) (42)", "Time minutes (mm) (42)"})
    EXPECT_TRUE(names.contains(expected)) << expected;
  EXPECT_EQ(QAccessible::queryAccessibleInterface(find("Drive1"))->text(QAccessible::Value), "/");

  ui::SimulateDialog simulate(session, window.get());
  ui::EditorSettingsDialog editor(session, window.get());
  ui::ProcessWindow process(settings);
  ui::WaitDialog wait(nullptr, "job.tvf  Waiting", "label 1", "label 2", [] { return false; });
  for (const QWidget* each :
       std::vector<const QWidget*>{window.get(), &simulate, &editor, &process, &wait})
    EXPECT_EQ(UnnamedControls(*each), std::vector<std::string>{});

  process.Form_Load();
  process.setStatus("Copying", 0xFF0000);
  process.setPaths("/m ･･･> /b");
  process.setEstimate("0:01:02");
  process.setBarRange(0, 400);
  process.setBarValue(100);
  process.show();
  QStringList heard;
  for (QObject* label :
       {find("Label10"), Find(process, "Label7"), Find(process, "Label1"), Find(process, "Label6")})
    heard << Heard(label);
  EXPECT_EQ(heard, QStringList({"From usage=" + find<QLabel>("Label10")->text(), "Status=Copying",
                                "From ･･･> To=/m ･･･> /b", "推定残り時間=0:01:02"}));
  process.setStatus("Finished!!", 0x0000FF);
  EXPECT_EQ(Heard(Find(process, "Label7")), "Status=Finished!!");  // follows the text
  EXPECT_TRUE(QAccessible::queryAccessibleInterface(&process)->role() == QAccessible::Window &&
              !process.windowIcon().isNull());
  auto* bar = QAccessible::queryAccessibleInterface(Find(process, "ProgressBar1"));
  EXPECT_EQ(bar->valueInterface() ? bar->valueInterface()->currentValue().toInt() : -1, 100);
}

// The user clicks and types, code sets, a screen reader acts through the accessibility
// interface: however a control changed, the job follows what it shows.
enum class How { User, Code, Accessibility };

void Toggle(QAbstractButton* button, How how) {
  if (how == How::User)
    QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(8, button->height() / 2));
  else if (how == How::Code)
    button->setChecked(!button->isChecked());
  else
    QAccessible::queryAccessibleInterface(button)->actionInterface()->doAction(
        QAccessibleActionInterface::toggleAction());
}

void Replace(QLineEdit* field, const std::string& text, How how) {
  const QString value = QString::fromStdString(text);
  if (how == How::User)
    Retype(field, value);
  else if (how == How::Code)
    field->setText(value);
  else
    QAccessible::queryAccessibleInterface(field)->editableTextInterface()->replaceText(
        0, int(field->text().size()), value);
}

TEST_F(WindowTest, ChangesByTheUserByCodeOrByAScreenReaderReachTheJob) {
  struct {
    const char* control;
    std::int16_t JobConditions::*field;
    std::int16_t value;  // once toggled from the job's file; a check box writes 1, not -1
  } const toggled[] = {
      {"Option1_1", &JobConditions::NomalMode, 0}, {"Option1_0", &JobConditions::NomalMode, -1},
      {"Check5", &JobConditions::TrashBox, 1},     {"Option2_1", &JobConditions::UpDate, 1},
      {"Check3", &JobConditions::Size, 1},         {"Check3", &JobConditions::Size, 0},
      {"Check1", &JobConditions::MatchCase, 1},    {"Option5_1", &JobConditions::ChildDir, 0},
      {"Option3_1", &JobConditions::Report, 0},
  };
  for (const How how : {How::User, How::Code, How::Accessibility}) {
    SCOPED_TRACE(static_cast<int>(how));
    start(job());
    for (const auto& t : toggled) {
      Toggle(find<QAbstractButton>(t.control), how);
      EXPECT_EQ(engine.job.*t.field, t.value) << t.control;
    }
    Replace(find<QLineEdit>("Text1"), tmp / "master/sub", how);
    Replace(find<QLineEdit>("Text2"), tmp / "elsewhere", how);
    Replace(find<QLineEdit>("Text4_0"), "07", how);
    leave("Text4_0");
    // What "Copy" runs with.
    EXPECT_EQ(session.window.from.text + " " + session.window.to.text + " " +
                  engine.job.Time.substr(0, 2),
              tmp / "master/sub" + " " + tmp / "elsewhere" + " 07");
  }
}

// The control that has the focus, named as the window names it (a combo box's editor by the
// combo box).
std::string FocusName() {
  for (const QWidget* widget = QApplication::focusWidget(); widget != nullptr;
       widget = widget->parentWidget())
    if (!widget->objectName().isEmpty() && !widget->objectName().startsWith(QLatin1String("qt_")))
      return widget->objectName().toStdString();
  return {};
}

TEST_F(WindowTest, AJobReadIsShownInEveryControlTabEntersEachGroupOnItsSelectedButtonSwapSwaps) {
  start(job({"NomalMode=no", "UpDate= 1 ", "Size=yes", "MatchCase=yes", "Report=no", "ChildDir=no",
             "Timer=yes", "DateMode=1", "Time=07:05", "Once=yes"}));
  EXPECT_EQ(find<QComboBox>("Combo1")->currentText() + " " + shown("Dir1") + " " +
                QString::number(find<QScrollBar>("VScroll2")->value()) + " " +
                QString::fromStdString(text("Text4_0") + ":" + text("Text4_1")) +
                (find("Command1")->isEnabled() ? " Copy enabled" : ""),
            "job.tvf master 425 07:05");
  EXPECT_EQ(find<QTimer>("Timer1")->isActive() ? find<QTimer>("Timer1")->interval() : 0, 58000);
  for (const char* on : {"Check3", "Check1", "Check2", "Check4"}) EXPECT_TRUE(checked(on)) << on;

  QApplication::setActiveWindow(window.get());
  find("Text1")->setFocus(Qt::TabFocusReason);
  std::string order = FocusName(), last;
  for (int i = 0; i < 40 && last != "Text1"; ++i) {
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    order += " " + (last = FocusName());
  }
  // Each option group is entered on its selected button, which the job's file chose.
  EXPECT_EQ(order,
            "Text1 Drive1 Dir1 Command4 Text2 Drive2 Dir2 Combo1 Command2 Check2 Check4 Option7_1 "
            "Text4_0 Text4_1 VScroll2 Command7 Option1_1 Check5 Option2_1 Check3 Check1 Option5_1 "
            "Option3_1 CheckLimit Command3 Command5 Command6 Text1");

  // Swap exchanges the path fields and folder lists, which the next run takes, not the job.
  click("Command4");
  EXPECT_EQ(shown("Dir1") + " " + shown("Dir2"), "backup master");
  EXPECT_EQ(
      text("Text1") + " " + text("Text2") + " " + session.window.from.text + " " +
          session.window.to.text + " " + std::to_string(engine.job.NomalMode),
      tmp / "backup" + " " + tmp / "master" + " " + tmp / "backup" + " " + tmp / "master" + " 0");
}

TEST_F(WindowTest, TheFolderListsReadTheChosenFolderFirstShowItWhollyAndOpenWhatIsClicked) {
  // Many folders beside the chosen one, so that the list has to scroll to it.
  for (int i = 0; i < 60; ++i) stdfs::create_directories(tmp / ("master/a" + std::to_string(i)));
  const std::string chosen = tmp / "master/m/deep/chosen";
  stdfs::create_directories(chosen);
  std::vector<std::string> loaded;
  start(JobFile(chosen, tmp / "backup"));
  auto* list = find<QTreeView>("Dir1");
  // The folders are read on the model's own thread and reported to the window's events.
  QObject::connect(qobject_cast<QFileSystemModel*>(list->model()),
                   &QFileSystemModel::directoryLoaded,
                   [&loaded](const QString& path) { loaded.push_back(path.toStdString()); });
  ASSERT_TRUE(QTest::qWaitFor([&] { return loaded.size() >= 4; }, 5000));
  // The volume's root and the folders above come later: they take long on a large volume.
  EXPECT_EQ(loaded.front(), chosen);
  const QRect row = list->visualRect(list->currentIndex());
  EXPECT_TRUE(!row.isEmpty() && list->viewport()->rect().contains(row))
      << "row " << row.y() << "+" << row.height() << " in " << list->viewport()->height();

  // Opening a folder after a missing path allows runs again (typing in a path field reaches
  // the same path setter: see the control-change test).
  start(JobFile(tmp / "gone", tmp / "backup"));
  ASSERT_EQ(engine.run.MissingPath, -1);
  auto* folders = find<QTreeView>("Dir1");
  const QModelIndex sub = qobject_cast<QFileSystemModel*>(folders->model())
                              ->index(QString::fromStdString(tmp / "master/sub"));
  folders->scrollTo(sub);
  QTest::mouseClick(folders->viewport(), Qt::LeftButton, {}, folders->visualRect(sub).center());
  EXPECT_EQ(text("Text1") + " " + std::to_string(engine.run.MissingPath),
            tmp / "master/sub" + " 0");
}

// The spin wraps around midnight both ways, the boxes show two digits, and a typed box that is
// not a time yet is reset when left; arming by the check box locks "Copy".
TEST_F(WindowTest, TheTimerSpinWrapsItsBoxesSettleOnLeavingAndArmingLocksCopy) {
  start(job());
  auto* spin = find<QScrollBar>("VScroll2");
  const auto time = [&] {
    return text("Text4_0") + ":" + text("Text4_1") + " " + std::to_string(spin->value()) + " " +
           engine.job.Time;
  };
  spin->setValue(0);
  spin->triggerAction(QAbstractSlider::SliderSingleStepSub);
  EXPECT_EQ(time(), "23:59 1439 23:59");
  Retype(find<QLineEdit>("Text4_0"), "25");
  EXPECT_EQ(text("Text4_0"), "25");  // not corrected while typing
  leave("Text4_0");
  EXPECT_EQ(text("Text4_0") + " " + engine.job.Time, "00 00:59");
  QTest::keyClicks(find<QLineEdit>("Text4_1"), "7");  // "597" is cut to two characters
  leave("Text4_1");
  EXPECT_EQ(engine.job.Time, "00:59");
  Retype(find<QLineEdit>("Text4_0"), "3");
  Retype(find<QLineEdit>("Text4_1"), "7");
  leave("Text4_1");
  EXPECT_EQ(time(), "03:07 187 03:07");
  spin->setValue(1439);
  spin->triggerAction(QAbstractSlider::SliderSingleStepAdd);
  EXPECT_EQ(time(), "00:00 0 00:00");

  for (const bool armed : {true, false}) {
    click("Check2");  // the list's read left the window open for this arming
    // Copy, the armed schedule's caption and timer, and the window left open.
    EXPECT_EQ(std::tuple(find("Command1")->isEnabled(), find("Label8")->isVisibleTo(window.get()),
                         find<QTimer>("Timer1")->isActive(), window->isMinimized()),
              std::tuple(!armed, armed, armed, false));
  }
  click("Check2");  // arming by hand again minimizes
  EXPECT_TRUE(window->isMinimized());
}

}  // namespace
}  // namespace tolvan::testing
