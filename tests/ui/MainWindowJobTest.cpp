// The main window's job controls: options, the job shown after a read, the path fields, the
// saved-job list and the File menu.
#include <QAction>
#include <QComboBox>
#include <QFileSystemModel>
#include <QLabel>
#include <QScrollBar>
#include <QTreeView>

#include "MainWindowFixture.h"
#include "RealEngine.h"
#include "conditions/Tvf.h"

namespace tolvan::testing {
namespace {

TEST_F(MainWindowTest, OptionControlsWriteTheJobConditions) {
  start();
  click("Option1_1");
  EXPECT_EQ(engine.job.NomalMode, 0);
  click("Option1_0");
  EXPECT_EQ(engine.job.NomalMode, -1);
  click("Check3");
  EXPECT_EQ(engine.job.Size, 1);  // a check box writes 1, not -1
  click("Option2_1");
  click("Check1");
  click("Check5");
  click("Option3_1");
  click("Option5_1");
  EXPECT_EQ(engine.job.UpDate, 1);
  EXPECT_EQ(engine.job.MatchCase, 1);
  EXPECT_EQ(engine.job.TrashBox, 1);
  EXPECT_EQ(engine.job.Report, 0);
  EXPECT_EQ(engine.job.ChildDir, 0);
  click("Check3");
  EXPECT_EQ(engine.job.Size, 0);
}

TEST_F(MainWindowTest, AJobReadFromItsFileIsShownInEveryControl) {
  writeFile("app/job.tvf", JobFile(tmp / "master", tmp / "backup",
                                   {{"NomalMode", "no"},
                                    {"UpDate", " 1 "},
                                    {"Size", "yes"},
                                    {"MatchCase", "yes"},
                                    {"Report", "no"},
                                    {"ChildDir", "no"},
                                    {"Timer", "yes"},
                                    {"DateMode", "1"},
                                    {"Time", "07:05"},
                                    {"Once", "yes"}}));
  start();
  EXPECT_EQ(find<QComboBox>("Combo1")->currentText().toStdString(), "job.tvf");
  EXPECT_EQ(text("Text1"), tmp / "master");
  EXPECT_EQ(text("Text2"), tmp / "backup");
  EXPECT_EQ(find<QTreeView>("Dir1")->currentIndex().data().toString().toStdString(), "master");
  for (const char* on : {"Option1_1", "Option2_1", "Check3", "Check1", "Option3_1", "Option5_1",
                         "Check2", "Check4", "Option7_1"}) {
    EXPECT_TRUE(checked(on)) << on;
  }
  EXPECT_EQ(text("Text4_0") + ":" + text("Text4_1"), "07:05");
  EXPECT_EQ(find<QScrollBar>("VScroll2")->value(), 425);
  EXPECT_TRUE(find<QLabel>("Label8")->isVisibleTo(window.get()));
  EXPECT_FALSE(find<QAbstractButton>("Command1")->isEnabled());
  auto* timer = find<QTimer>("Timer1");
  ASSERT_NE(timer, nullptr);
  EXPECT_TRUE(timer->isActive());
  EXPECT_EQ(timer->interval(), 58000);
}

TEST_F(MainWindowTest, SwapExchangesThePathFieldsAndFolderListsButNotTheJob) {
  writeFile("app/job.tvf", JobFile(tmp / "master", tmp / "backup", {{"NomalMode", "no"}}));
  start();
  click("Command4");
  EXPECT_EQ(text("Text1"), tmp / "backup");
  EXPECT_EQ(text("Text2"), tmp / "master");
  EXPECT_EQ(find<QTreeView>("Dir1")->currentIndex().data().toString().toStdString(), "backup");
  EXPECT_EQ(find<QTreeView>("Dir2")->currentIndex().data().toString().toStdString(), "master");
  EXPECT_EQ(engine.job.NomalMode, 0);
  EXPECT_EQ(session.window.from.text, tmp / "backup");  // the next run takes the swapped sides
}

TEST_F(MainWindowTest, EditingAPathOrOpeningAFolderAfterAMissingPathAllowsRunsAgain) {
  writeFile("app/job.tvf", JobFile(tmp / "gone", tmp / "backup"));
  start();
  ASSERT_EQ(engine.run.MissingPath, -1);
  QTest::keyClicks(find<QLineEdit>("Text1"), "x");
  EXPECT_EQ(engine.run.MissingPath, 0);
  EXPECT_EQ(session.window.from.text, text("Text1"));

  tvfRead(session);  // the missing path again; now the folder list picks another folder
  ASSERT_EQ(engine.run.MissingPath, -1);
  auto* folders = find<QTreeView>("Dir1");
  auto* model = folders->model();
  const QModelIndex sub =
      static_cast<QFileSystemModel*>(model)->index(QString::fromStdString(tmp / "master/sub"));
  ASSERT_TRUE(sub.isValid());
  folders->scrollTo(sub);
  QTest::mouseClick(folders->viewport(), Qt::LeftButton, {}, folders->visualRect(sub).center());
  EXPECT_EQ(text("Text1"), tmp / "master/sub");
  EXPECT_EQ(engine.run.MissingPath, 0);
}

TEST_F(MainWindowTest, ListAndFileMenuOpenSaveAsAndSaveInTheProgramFolderAndAFailedSaveIsSaid) {
  writeFile("app/a.tvf", JobFile(tmp / "master", tmp / "backup"));
  writeFile("app/b.tvf", JobFile(tmp / "backup", tmp / "master", {{"NomalMode", "no"}}));
  writeFile("app/TvfSet.txt", "a.tvf\r\nb.tvf\r\n\r\n");
  start();
  auto* list = find<QComboBox>("Combo1");
  ASSERT_EQ(list->count(), 2);
  list->activated(1);  // the user picks b.tvf
  EXPECT_EQ(engine.shared.TvfFileName, "b.tvf");
  EXPECT_TRUE(checked("Option1_1"));
  EXPECT_EQ(text("Text1"), tmp / "backup");

  dialogAnswers = {std::string("/elsewhere/a.tvf")};  // only the name counts
  find<QAction>("mnuOpen")->trigger();
  EXPECT_EQ(list->itemText(0).toStdString(), "a.tvf");
  EXPECT_EQ(text("Text1"), tmp / "master");

  click("Option1_1");
  dialogAnswers = {std::string("/elsewhere/new")};
  find<QAction>("mnuSaveAs")->trigger();
  EXPECT_NE(ui::testing::ReadFile(tmp / "app/new.tvf").find("NomalMode=no"), std::string::npos);
  EXPECT_EQ(list->itemText(0).toStdString(), "new.tvf");
  EXPECT_EQ(ui::testing::ReadFile(tmp / "app/TvfSet.txt").substr(0, 9), "new.tvf\r\n");

  click("Check3");
  find<QAction>("mnuSave")->trigger();
  EXPECT_NE(ui::testing::ReadFile(tmp / "app/new.tvf").find("Size=yes"), std::string::npos);

  dialogAnswers = {std::nullopt};  // a cancelled Open leaves no current name...
  find<QAction>("mnuOpen")->trigger();
  EXPECT_EQ(engine.shared.TvfFileName, "");
  find<QAction>("mnuSave")->trigger();  // ...so Save asks for one
  using Kind = ui::MainWindow::FileDialogKind;
  EXPECT_EQ(dialogsShown, (std::vector<Kind>{Kind::Open, Kind::Save, Kind::Open, Kind::Save}));
  EXPECT_TRUE(ui.boxes.empty());

  list->activated(
      list->findText("a.tvf"));  // a.tvf again, whose place a folder then takes: the save fails
  ASSERT_EQ(engine.shared.TvfFileName, "a.tvf");
  stdfs::remove(tmp / "app/a.tvf");
  stdfs::create_directory(tmp / "app/a.tvf");
  find<QAction>("mnuSave")->trigger();
  ASSERT_EQ(ui.boxes.size(), 1U);
  EXPECT_EQ(ui.boxes[0].text, "a.tvf を保存できませんでした。");
  EXPECT_EQ(ui.boxes[0].icon, platform::MessageIcon::Critical);
}

}  // namespace
}  // namespace tolvan::testing
