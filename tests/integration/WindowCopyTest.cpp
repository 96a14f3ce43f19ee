// The real program on a private X server, driven from outside the way a person at the
// keyboard drives it: "Copy" by its accelerator, the confirmation answered, the main window
// closed as a window manager closes it.

#include "ProgramRunner.h"

// After the others: its macros (Bool, Status, None, True, False) would meet their code.
#include <X11/Xlib.h>

namespace tolvan::testing {
namespace {

// Asks the window `windowId` (decimal, as xdotool gives it) on `display` to close, as a window
// manager's close button does: a WM_DELETE_WINDOW message. False when it could not be sent.
bool AskWindowToClose(const std::string& display, const std::string& windowId) {
  Display* connection = XOpenDisplay(display.c_str());
  if (connection == nullptr) return false;
  XEvent message{};
  message.xclient.type = ClientMessage;
  message.xclient.window = static_cast<Window>(std::stoul(windowId));
  message.xclient.message_type = XInternAtom(connection, "WM_PROTOCOLS", False);
  message.xclient.format = 32;
  message.xclient.data.l[0] = static_cast<long>(XInternAtom(connection, "WM_DELETE_WINDOW", False));
  message.xclient.data.l[1] = CurrentTime;
  const Status sent = XSendEvent(connection, message.xclient.window, False, NoEventMask, &message);
  XSync(connection, False);
  XCloseDisplay(connection);
  return sent != 0;
}

class WindowCopyTest : public ProgramTest {
 protected:
  void SetUp() override {
    if (Shell("command -v xdotool Xvfb") != 0)
      TOLVAN_CANNOT_RUN_HERE("xdotool or Xvfb is not installed (scripts/setup.sh adds them)");
    // A private X server; it writes its display number to descriptor 3 once it takes
    // connections.
    const std::string number = tmp / "display";
    if (Shell("Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp -noreset 3>'" + number +
              "' >'" + tmp / "xvfb.log" + "' 2>&1 & echo $! >'" + tmp / "xvfb.pid" + "'") != 0 ||
        !WaitFor([&] { return Contains(ReadText(number), "\n"); }, 20s))
      TOLVAN_CANNOT_RUN_HERE("no X display for the window test (see xvfb.log)");
    display = ":" + ReadText(number).substr(0, ReadText(number).find('\n'));
    environment.push_back("DISPLAY=" + display);
    // Under the leak checker: the D-Bus library that Qt loads keeps a buffer until the
    // process ends; the program's own leaks still count.
    WriteText(tmp / "leaks.supp", "leak:libdbus-1.so\n");
    environment.push_back("LSAN_OPTIONS=suppressions=" + tmp / "leaks.supp");
  }
  void TearDown() override {
    if (Exists(tmp / "xvfb.pid")) ::kill(std::stoi(ReadText(tmp / "xvfb.pid")), SIGTERM);
  }
  std::string xdotool(const std::string& arguments) const {
    std::string out;
    (void)Shell("DISPLAY=" + display + " timeout 10 xdotool " + arguments + " 2>/dev/null", &out);
    return out;  // empty when it failed
  }
  // Waits, while the program runs, for the first shown window titled exactly `title` (the
  // search itself ignores letter case); empty when it never came.
  std::string awaitWindow(const std::string& title, pid_t pid) const {
    std::string found;
    (void)WaitFor(
        [&] {
          std::istringstream ids(xdotool("search --onlyvisible --name '^" + title + "$'"));
          for (std::string id; std::getline(ids, id);)
            if (xdotool("getwindowname " + id) == title) return !(found = id).empty();
          return HasEnded(pid);
        },
        30s);
    return found;
  }
  // Gives the window the keyboard focus (there is no window manager to do it) and types.
  bool press(const std::string& window, const std::string& keys) const {
    return Shell("DISPLAY=" + display + " timeout 10 xdotool windowfocus --sync " + window +
                 " key --clearmodifiers " + keys) == 0;
  }

  std::string display;
};

TEST_F(WindowCopyTest, ClosingTheMainWindowDuringARunStopsItAndFinishesTheReport) {
  MakeFolders(master, 200, 100, "");  // many files, so that the run can be closed mid-way
  writeJob(backup);
  const auto copied = [this] {
    return std::ranges::count_if(FileLines(home + "/report.tvr"),
                                 [](auto& line) { return line.starts_with("New File : "); });
  };

  // Started without a name: the window opens with the program folder's only job loaded.
  const ProgramResult result = run({}, [&](pid_t pid, const std::string& errPath) {
    // Ends the program when a step fails, so that the run never waits for a window nobody closes.
    const std::shared_ptr<void> guard(nullptr, [pid](void*) {
      if (!HasEnded(pid)) ::kill(pid, SIGKILL);
    });
    const std::string window = awaitWindow("Tolvane", pid);
    ASSERT_FALSE(window.empty()) << ReadText(errPath);
    ASSERT_TRUE(press(window, "alt+c"));
    const std::string confirmation = awaitWindow("Tolvan32", pid);
    ASSERT_FALSE(confirmation.empty()) << "Copy asked nothing before the run";
    ASSERT_TRUE(press(confirmation, "Return"));
    ASSERT_TRUE(WaitFor([&] { return copied() >= 50; }, 60s)) << "the run never got going";

    ASSERT_TRUE(AskWindowToClose(display, window));
    const std::string question = awaitWindow("Tolvan32", pid);
    ASSERT_FALSE(question.empty()) << "closing during the run asked nothing";
    EXPECT_FALSE(HasEnded(pid));
    ASSERT_TRUE(press(question, "Return"));  // OK: stop the run and end
    EXPECT_TRUE(WaitFor([pid] { return HasEnded(pid); }, 10s))
        << "the program went on after the stop";
  });
  if (HasFatalFailure() || IsSkipped()) return;
  EXPECT_EQ(result.exitStatus, 0) << result.err;
  const std::string report = ReadText(home + "/Recent.tvr");
  const std::size_t stop = report.rfind("Stopped in the working : ");
  ASSERT_NE(stop, std::string::npos) << "the report has no stop line";
  EXPECT_EQ(report.substr(report.find("\r\n", stop)), "\r\n\r\n\r\n");
  EXPECT_EQ(report.find("Finished Time : "), std::string::npos);
  EXPECT_LT(copied(), 200 * 100);
}

}  // namespace
}  // namespace tolvan::testing
