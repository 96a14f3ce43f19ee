#include "ui/QuitSignals.h"

#include <gtest/gtest.h>

#include <QTest>
#include <csignal>

namespace tolvan::ui {
namespace {

TEST(QuitSignalsTest, ASignalStopsTheRunAndClosesTheWindowOnceTheRunHasEnded) {
  std::atomic<std::int16_t> stopFlag{0};
  bool running = true;
  int closes = 0;
  {
    const QuitSignals quitSignals(
        stopFlag, [&running] { return running; }, [&closes] { ++closes; });
    ASSERT_EQ(std::raise(SIGTERM), 0);
    EXPECT_EQ(stopFlag.load(), 1);  // at once, even while the run keeps the window busy
    QTest::qWait(150);
    EXPECT_EQ(closes, 0);  // never in the middle of a run
    running = false;
    QTest::qWait(250);
    EXPECT_EQ(closes, 1);
    stopFlag = 0;
    ASSERT_EQ(std::raise(SIGINT), 0);
    QTest::qWait(50);
    EXPECT_EQ(closes, 2);
  }
  // The default handlers are back: a SIGTERM would end the test program now.
  struct sigaction current {};
  sigaction(SIGTERM, nullptr, &current);
  EXPECT_EQ(current.sa_handler, SIG_DFL);
}

}  // namespace
}  // namespace tolvan::ui
