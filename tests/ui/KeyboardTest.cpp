// The main window from the keyboard alone.
#include <QApplication>
#include <QFileSystemModel>
#include <QTreeView>

#include "MainWindowFixture.h"

namespace tolvan::testing {
namespace {

// The control that has the focus, named as the window names it (a combo box's editor by the
// combo box).
std::string FocusName() {
  for (const QWidget* widget = QApplication::focusWidget(); widget != nullptr;
       widget = widget->parentWidget()) {
    if (!widget->objectName().isEmpty() && !widget->objectName().startsWith(QLatin1String("qt_")))
      return widget->objectName().toStdString();
  }
  return {};
}

TEST_F(MainWindowTest, TabFollowsTheReadingOrderAndEntersEachOptionGroupOnItsSelectedButton) {
  writeFile("app/job.tvf", JobFile(tmp / "master", tmp / "backup",
                                   {{"NomalMode", "no"}, {"UpDate", " 1 "}, {"Report", "no"}}));
  start();
  QApplication::setActiveWindow(window.get());
  find<QWidget>("Text1")->setFocus(Qt::TabFocusReason);
  std::vector<std::string> order{FocusName()};
  for (int i = 0; i < 40 && (order.size() == 1 || order.back() != "Text1"); ++i) {
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    order.push_back(FocusName());
  }
  const std::vector<std::string> expected{
      "Text1",     "Drive1",    "Dir1",      "Command4", "Text2",     "Drive2",    "Dir2",
      "Combo1",    "Command1",  "Command2",  "Check2",   "Check4",    "Option7_0", "Text4_0",
      "Text4_1",   "VScroll2",  "Option1_1", "Check5",   "Option2_1", "Check3",    "Check1",
      "Option5_0", "Option3_1", "Command3",  "Command5", "Command6",  "Text1"};
  EXPECT_EQ(order, expected);
}

}  // namespace
}  // namespace tolvan::testing

namespace tolvan::testing {
namespace {

TEST_F(MainWindowTest, TheFolderListsReadTheChosenFolderFirstAndShowItWhollyInView) {
  // Many folders beside the chosen one, so that the list has to scroll to it.
  for (int i = 0; i < 60; ++i) stdfs::create_directories(tmp / ("master/a" + std::to_string(i)));
  const std::string chosen = tmp / "master/m/deep/chosen";
  stdfs::create_directories(chosen);
  writeFile("app/job.tvf", JobFile(chosen, tmp / "backup"));
  std::vector<std::string> loaded;
  start();
  auto* list = find<QTreeView>("Dir1");
  auto* model = qobject_cast<QFileSystemModel*>(list->model());
  ASSERT_NE(model, nullptr);
  // The folders are read on the model's own thread and reported to the window's events.
  QObject::connect(model, &QFileSystemModel::directoryLoaded,
                   [&loaded](const QString& path) { loaded.push_back(path.toStdString()); });
  EXPECT_TRUE(QTest::qWaitFor([&] { return loaded.size() >= 4; }, 5000));
  ASSERT_FALSE(loaded.empty());
  // The volume's root and the folders above come later: they take long on a large volume.
  EXPECT_EQ(loaded.front(), chosen);
  const QRect row = list->visualRect(list->currentIndex());
  EXPECT_FALSE(row.isEmpty());
  EXPECT_TRUE(list->viewport()->rect().contains(row))
      << "row " << row.y() << "+" << row.height() << " in " << list->viewport()->height();
}

}  // namespace
}  // namespace tolvan::testing
