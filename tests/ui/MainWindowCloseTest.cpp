// Closing the main window while a run goes on: the run is never abandoned.
#include <sstream>

#include "MainWindowFixture.h"

namespace tolvan::testing {
namespace {

std::string ReadText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

struct CloseCase {
  const char* name;
  bool sessionEnds;                // the desktop session ends instead of the user closing
  platform::MessageAnswer answer;  // to the question, when one is asked
  bool stops;                      // the run stops and the window closes after it
};

TEST_F(MainWindowTest, ClosingDuringARunAsksAndAStopEndsTheReportBeforeTheWindowCloses) {
  const CloseCase cases[] = {
      {"user, OK", false, platform::MessageAnswer::Ok, true},
      {"user, Cancel", false, platform::MessageAnswer::Cancel, false},
      {"session end", true, platform::MessageAnswer::Cancel, true},
  };
  for (int i = 0; i < 30; ++i) writeFile("master/f" + std::to_string(i), "x");
  writeFile("app/job.tvf", JobFile(tmp / "master", tmp / "backup"));
  for (const CloseCase& c : cases) {
    SCOPED_TRACE(c.name);
    stdfs::remove_all(tmp / "backup");
    stdfs::create_directory(tmp / "backup");
    // Measuring these lets window events run: the close comes then.
    for (int i = 0; i < 10; ++i) writeFile("backup/old" + std::to_string(i), "x");
    ui.boxes.clear();
    ui.answers = {platform::MessageAnswer::Ok, c.answer};  // the run's confirmation first
    start();
    bool closed = false;
    QObject::connect(window.get(), &ui::MainWindow::closed, [&closed] { closed = true; });
    bool closedDuringRun = true;
    const long before = ui.eventCount;
    ui.onEvents = [&](long count) {
      if (count != before + 5) return;
      if (c.sessionEnds) {
        window->endSession();
      } else {
        window->close();  // as the window manager's close button does
      }
      closedDuringRun = closed;
    };
    click("Command1");
    ui.onEvents = nullptr;

    EXPECT_FALSE(closedDuringRun);  // never while the run goes on
    EXPECT_EQ(closed, c.stops);
    EXPECT_EQ(window->isVisible(), !c.stops);
    EXPECT_EQ(ui.boxes.size(), c.sessionEnds ? 1U : 2U);
    if (ui.boxes.size() == 2) {
      EXPECT_EQ(ui.boxes[1].buttons, platform::MessageButtons::OkCancel);
    }
    const std::string report = ReadText(tmp / "app/Recent.tvr");
    const std::string last = c.stops ? "Stopped in the working : " : "Finished Time : ";
    const std::size_t at = report.rfind(last);
    ASSERT_NE(at, std::string::npos) << report;
    EXPECT_EQ(report.substr(report.find("\r\n", at)), "\r\n\r\n\r\n") << report;
    // A whole run leaves the master's 30 files and its folder "sub", and nothing else.
    const auto entries = std::distance(stdfs::directory_iterator(tmp / "backup"), {});
    EXPECT_EQ(entries != 31, c.stops) << entries << " entries in the backup";
    window.reset();
    session.endRequested = false;
  }
}

}  // namespace
}  // namespace tolvan::testing
