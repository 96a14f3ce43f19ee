// The desktop window system: the progress window, the run's question, the worker's questions.
#include "UiTest.h"
#include "ui/ProcessWindow.h"
#include "ui/QtWindowSystem.h"
#include "ui/WorkerRun.h"

namespace tolvan::testing {
namespace {

using platform::MessageAnswer;
using platform::MessageButtons;
using platform::MessageIcon;

class QtWindowSystemTest : public ::testing::Test {
 protected:
  platform::FakeSettingsStore settings;
  ui::QtWindowSystem ws{settings};
  ui::ProcessWindow& window = ws.processWindow();
  platform::ProgressWindow& progress = ws.progress();
};

// The stored placement, in twips: top, left, height, width.
std::vector<std::string> Placement(platform::FakeSettingsStore& settings) {
  std::vector<std::string> values;
  for (const char* key : {"Top", "Left", "Height", "Width"})
    values.push_back(settings.get("ProcessForm", key, "-"));
  return values;
}

TEST_F(QtWindowSystemTest, ProgressPlacementInTwipsOnlyOnScreenStopButtonAndStatusColour) {
  const std::vector<std::string> stored{"675", "450", "3150", "7800"};
  for (const auto& [key, value] :
       {std::pair{"Top", "-15"}, {"Left", "1500"}, {"Height", "3000"}, {"Width", "7500"}})
    settings.set("ProcessForm", key, value);
  std::atomic<std::int16_t> stopFlag{0};
  ws.watchStopFlag(&stopFlag);
  progress.show();
  EXPECT_EQ(QRect(window.pos(), window.size()), QRect(100, 60, 500, 200));  // top: 900 twips
  window.move(30, 45);
  window.resize(520, 210);
  progress.close();
  EXPECT_EQ(Placement(settings), stored);
  progress.show();
  EXPECT_EQ(QRect(window.pos(), window.size()), QRect(30, 45, 520, 210));
  window.move(-20, 45);  // partly off the screen: not stored
  progress.close();
  EXPECT_EQ(Placement(settings), stored);
  const int screenHeight = QGuiApplication::primaryScreen()->geometry().height();
  settings.set("ProcessForm", "Top", std::to_string(screenHeight * 15));
  progress.show();
  EXPECT_EQ(window.pos(), QPoint(30, 60));
  window.close();  // from the frame: hides the window but never stops the run; "中断" does
  EXPECT_EQ(stopFlag.load(), 0);

  // The status takes its colour, and every showing starts as designed.
  auto* status = Find<QLabel>(window, "Label7");
  progress.show();
  progress.setStatus("バックアップドライブ　チェック中!!", platform::kColourRed);
  progress.setEstimateHeadingVisible(true);
  progress.setStopButtonVisible(false);
  EXPECT_TRUE(status->palette().color(QPalette::WindowText) == Qt::red && status->font().bold());
  progress.close();
  progress.show();
  EXPECT_TRUE(status->text().isEmpty());
  EXPECT_TRUE(!Find(window, "Label5")->isVisible() && Find(window, "Command1")->isVisible());
  QTest::mouseClick(Find<QPushButton>(window, "Command1"), Qt::LeftButton);
  EXPECT_EQ(stopFlag.load(), -1);
}

// The run's question shows each side's path on a line of its own, shortened in its middle
// when it is too long, with the whole paths in the details; no line is wrapped.
TEST_F(QtWindowSystemTest, EachPathOnItsOwnLineShortenedInTheMiddleWithTheWholeInTheDetails) {
  const QString longPath = "/srv/archive/" + QString(30, 'x') + "/" + QString(40, 'y') +
                           "/photos/2024/summer/end-of-path";
  for (const QString& from : {QStringLiteral("/home/a/master"), longPath}) {
    SCOPED_TRACE(from.toStdString());
    QStringList lines;
    QString details;
    bool fits = false;
    QTimer::singleShot(0, [&] {
      auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
      const auto* label = Find<QLabel>(*box, "qt_msgbox_label");
      lines = box->text().split('\n');
      details = box->detailedText();
      fits = std::ranges::all_of(lines, [label](const QString& line) {
        return label->fontMetrics().horizontalAdvance(line) <= label->contentsRect().width();
      });
      box->reject();
    });
    (void)ws.messageBox("  Copy from   ' " + from.toStdString() + " '   to   ' /mnt/b/backup '  ",
                        "Tolvan32", MessageIcon::Exclamation, MessageButtons::OkCancel);
    ASSERT_EQ(lines.size(), 4) << lines.join('|');
    EXPECT_EQ(lines[0] + "|" + lines[2] + "|" + lines[3], "Copy from|to|/mnt/b/backup");
    EXPECT_TRUE(fits);
    if (from == longPath)
      EXPECT_TRUE(lines[1].startsWith("/srv/archive/") && lines[1].endsWith("end-of-path") &&
                  details.split('\n').contains(from));
    else
      EXPECT_EQ(lines[1] + details, from);
  }
}

TEST_F(QtWindowSystemTest, TheWorkersBoxesAreAnsweredOnTheGuiThreadWhileASecondRunIsRefused) {
  QWidget mainWindow;
  ws.setMainWindow(&mainWindow);
  mainWindow.show();
  std::vector<std::string> seen;  // what the GUI thread saw of each box
  const QMessageBox::StandardButton presses[] = {QMessageBox::Cancel, QMessageBox::No};
  bool secondRan = false;
  QTimer answerer;
  QObject::connect(&answerer, &QTimer::timeout, [&] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (box == nullptr || !box->isVisible() || seen.size() == 2) return;
    const QCursor* cursor = QApplication::overrideCursor();
    const bool secondStarted = ui::RunOnWorker([&] { secondRan = true; });
    seen.push_back(std::to_string(box->icon()) + (secondStarted ? " second run started" : "") +
                   (box->parentWidget() == &mainWindow ? " owned" : " unowned") +
                   (mainWindow.isEnabled() ? "" : ", main window disabled") +
                   (cursor != nullptr && cursor->shape() == Qt::WaitCursor ? ", busy: " : ": ") +
                   box->text().toStdString());
    QTest::mouseClick(box->button(presses[seen.size() - 1]), Qt::LeftButton);
  });
  answerer.start(5);
  std::vector<MessageAnswer> answers;
  bool workerOffGuiThread = false;
  ASSERT_TRUE(ui::RunOnWorker([&] {
    workerOffGuiThread = QThread::currentThread() != qApp->thread();
    answers.push_back(
        ws.messageBox("a to b", "Tolvan32", MessageIcon::Exclamation, MessageButtons::OkCancel));
    ws.setBusy(true);
    answers.push_back(
        ws.messageBox("続けますか？", "Question", MessageIcon::Question, MessageButtons::YesNo));
    ws.setBusy(false);
  }));
  EXPECT_TRUE(workerOffGuiThread);
  EXPECT_EQ(answers, (std::vector<MessageAnswer>{MessageAnswer::Cancel, MessageAnswer::No}));
  // Busy: the main window is disabled, so it cannot own the box (which would be disabled too).
  // The icons: 2 is a warning, 4 a question. A box made on the worker would not be seen at all.
  EXPECT_EQ(seen, (std::vector<std::string>{
                      "2 owned: a to b", "4 unowned, main window disabled, busy: 続けますか？"}));
  EXPECT_FALSE(secondRan || ui::RunInProgress());
  EXPECT_TRUE(mainWindow.isEnabled() && QApplication::overrideCursor() == nullptr);
}

}  // namespace
}  // namespace tolvan::testing
