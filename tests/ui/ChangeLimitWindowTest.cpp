// The change limit in the window: its controls, its question, and the tray's account of runs.

#include "UiTest.h"
#include "scheduler/ChangeLimitControl.h"
#include "ui/TrayStatus.h"

namespace tolvan::testing {
namespace {

// A backup of 60 files whose master has lost them all, beyond any limit: the question's stop
// touches nothing, its continue runs.
TEST_F(RealEngineTest, ChangeLimitQuestionsStopTouchesNothingAndContinueRuns) {
  engine.job.NomalMode = -1;
  engine.job.XOption = 0;
  engine.job.ChangeLimit = 50;
  for (int i = 0; i < 60; ++i) WriteText(backup + "/f" + std::to_string(i), "kept");
  const std::tuple<QString, RunEnd, std::size_t> answers[] = {{"中止", RunEnd::Abandoned, 60},
                                                              {"続行", RunEnd::Finished, 0}};
  for (const auto& [answer, end, left] : answers) {
    QString question;
    OnNextModalDialog([&](QDialog* confirmation) {  // the copy is confirmed first
      OnNextModalDialog([&](QDialog* dialog) {
        auto* box = qobject_cast<QMessageBox*>(dialog);
        question = box->text();
        QAbstractButton* named = nullptr;
        for (QAbstractButton* button : box->buttons())
          if (button->text() == answer) named = button;
        EXPECT_NE(named, nullptr) << "no button " << answer;
        QTest::mouseClick(named != nullptr ? named : box->button(QMessageBox::No), Qt::LeftButton);
      });
      qobject_cast<QMessageBox*>(confirmation)->button(QMessageBox::Ok)->click();
    });
    EXPECT_EQ(runJob().end, end) << answer;
    EXPECT_EQ(question,
              "この実行でバックアップの 60 件中 60 件を削除または置き換えます。続けますか？");
    EXPECT_EQ(NamesIn(backup).size(), left);
  }
}

TEST_F(WindowTest, TheCheckBoxAndPercentFollowTheJobAndSetItAScheduledRunBeyondItIsRefused) {
  start(job({"ChangeLimit=25"}));
  auto* percent = find<QSpinBox>("SpinLimit");
  EXPECT_TRUE(checked("CheckLimit") && percent->value() == 25);
  click("CheckLimit");
  EXPECT_TRUE(engine.job.ChangeLimit == 0 && !percent->isEnabled());
  click("CheckLimit");
  percent->setValue(40);
  EXPECT_EQ(engine.job.ChangeLimit, 40);
  start(job({"ChangeLimit=150"}));
  EXPECT_FALSE(checked("CheckLimit"));
  for (int time = 0; time < 2; ++time) TellUnreadableChangeLimit(session);
  EXPECT_EQ(ui.boxes.size() == 1 ? ui.boxes[0].text : "said not once",
            std::string("job.tvf") + kUnreadableChangeLimit);

  // A scheduled run over a master that lost every file removes nothing; the tray tells.
  for (int i = 0; i < 60; ++i) WriteText(tmp / ("backup/f" + std::to_string(i)), "kept");
  trayAvailable = true;
  start(job({"ChangeLimit=10", "Time=22:13"}));  // due this minute on the fake clock
  click("Check2");
  find<QTimer>("Timer1")->timeout({});
  EXPECT_EQ(engineRuns, 1);  // through the engine's hook
  EXPECT_EQ(NamesIn(tmp / "backup").size(), 60U) << "nothing removed, nothing copied";
  EXPECT_EQ(window->notificationIcon().toolTip(),
            "Tolvane\n前回: 2023-11-14 22:13 実行せず\n次回: 22:13");
}

TEST(TrayStatusTest, TipBadgeAndNotificationsFollowTheLastRun) {
  const auto json = [](const char* result) {
    return std::string(R"({"ended": "2026-12-07T03:00:12+09:00", "result": ")") + result + "\"}";
  };
  ui::TrayStatus status;
  EXPECT_EQ(status.tip("job.tvf", {}), "job.tvf");
  // The run's result, whether "Copy" started it, the notice and the badge.
  const std::tuple<const char*, bool, QString, bool> cases[] = {
      {"finished", false, "", false},
      {"errors", true, "", true},
      {"errors", false, "前回: 2026-12-07 03:00 エラーあり", true},
      {"refused", false, "前回: 2026-12-07 03:00 実行せず", false},
      {"side-lost", false, "前回: 2026-12-07 03:00 フォルダーを見失い中止", false},
      {"stopped", false, "", false},
  };
  for (const auto& [result, byCopy, notice, badge] : cases)
    EXPECT_EQ((std::pair{status.runEnded(json(result), byCopy), status.badge()}),
              std::pair(notice, badge))
        << result;
  (void)status.runEnded(json("errors"), false);
  status.reportOpened();
  EXPECT_FALSE(status.badge());
  EXPECT_EQ(status.tip("job.tvf", "14:20"),
            "job.tvf\n前回: 2026-12-07 03:00 エラーあり\n次回: 14:20");

  // An interval (a daily time is shown in the window's tests).
  JobConditions job;
  job.Timer = 1;
  job.DateMode = 1;
  job.Time = "03:15";
  job.TimerStartMs = 1000;
  // At 22:00, an hour after the interval began: 2 h 15 min left.
  EXPECT_EQ(ui::NextRunText(job, TimeOfDay(22, 0, 0), 1000 + 60 * 60000), "00:15");
  job.Timer = 0;
  EXPECT_EQ(ui::NextRunText(job, TimeOfDay(22, 0, 0), 0), "");
}

}  // namespace
}  // namespace tolvan::testing
