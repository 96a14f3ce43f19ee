// Questions asked by the engine's worker thread are shown and answered on the GUI thread.
#include <gtest/gtest.h>

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QThread>
#include <QTimer>
#include <vector>

#include "platform/fake/FakeSettingsStore.h"
#include "ui/QtWindowSystem.h"
#include "ui/WorkerRun.h"

namespace tolvan::ui::testing {
namespace {

using platform::MessageAnswer;
using platform::MessageButtons;
using platform::MessageIcon;

// What the GUI thread saw of one box.
struct SeenBox {
  QMessageBox::Icon icon;
  QString title;
  QString text;
  QWidget* owner;
  bool mainEnabled;
  bool waitCursor;
  bool secondRunStarted;
};

TEST(WorkerCallsTest, BoxesAskedByTheWorkerAreAnsweredOnTheGuiThreadWhileASecondRunIsRefused) {
  platform::FakeSettingsStore settings;
  QtWindowSystem ws(settings);
  QWidget mainWindow;
  ws.setMainWindow(&mainWindow);
  mainWindow.show();

  std::vector<SeenBox> seen;
  const std::vector<QMessageBox::StandardButton> presses{QMessageBox::Cancel, QMessageBox::No};
  bool secondRan = false;
  QTimer answerer;
  QObject::connect(&answerer, &QTimer::timeout, [&] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (box == nullptr || !box->isVisible() || seen.size() == presses.size()) return;
    ASSERT_EQ(box->thread(), QThread::currentThread());
    const bool started = RunOnWorker([&] { secondRan = true; });
    const QCursor* cursor = QApplication::overrideCursor();
    seen.push_back({box->icon(), box->windowTitle(), box->text(), box->parentWidget(),
                    mainWindow.isEnabled(), cursor != nullptr && cursor->shape() == Qt::WaitCursor,
                    started});
    QTest::mouseClick(box->button(presses[seen.size() - 1]), Qt::LeftButton);
  });
  answerer.start(5);

  std::vector<MessageAnswer> answers;
  bool workerOffGuiThread = false;
  ASSERT_TRUE(RunOnWorker([&] {
    workerOffGuiThread = QThread::currentThread() != qApp->thread();
    answers.push_back(ws.messageBox("  Copy from   ' a '   to   ' b '  ", "Tolvan32",
                                    MessageIcon::Exclamation, MessageButtons::OkCancel));
    ws.setBusy(true);
    answers.push_back(
        ws.messageBox("続けますか？", "Question", MessageIcon::Question, MessageButtons::YesNo));
    ws.setBusy(false);
  }));

  EXPECT_TRUE(workerOffGuiThread);
  EXPECT_EQ(answers, (std::vector<MessageAnswer>{MessageAnswer::Cancel, MessageAnswer::No}));
  ASSERT_EQ(seen.size(), 2U);
  EXPECT_EQ(seen[0].icon, QMessageBox::Warning);
  EXPECT_EQ(seen[0].title, QStringLiteral("Tolvan32"));
  EXPECT_EQ(seen[0].text, QStringLiteral("  Copy from   ' a '   to   ' b '  "));
  EXPECT_EQ(seen[0].owner, &mainWindow);
  EXPECT_TRUE(seen[0].mainEnabled);
  EXPECT_FALSE(seen[0].waitCursor);
  // Busy: the main window is disabled, so it cannot own the box (which would be disabled too).
  EXPECT_EQ(seen[1].icon, QMessageBox::Question);
  EXPECT_EQ(seen[1].text, QStringLiteral("続けますか？"));
  EXPECT_EQ(seen[1].owner, nullptr);
  EXPECT_FALSE(seen[1].mainEnabled);
  EXPECT_TRUE(seen[1].waitCursor);
  for (const SeenBox& box : seen) EXPECT_FALSE(box.secondRunStarted);
  EXPECT_FALSE(secondRan);
  EXPECT_TRUE(mainWindow.isEnabled());
  EXPECT_EQ(QApplication::overrideCursor(), nullptr);
  EXPECT_FALSE(RunInProgress());
}

}  // namespace
}  // namespace tolvan::ui::testing
