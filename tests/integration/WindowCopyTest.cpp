// The real program on a private X server, driven from outside the way a person at the
// keyboard drives it: "Copy" by its accelerator, the confirmation answered, File > Quit.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>

#include <algorithm>
#include <sstream>
#include <thread>

#include "ProgramRunner.h"
#include "XDisplay.h"

namespace tolvan::testing {
namespace {

using namespace std::chrono_literals;
using Lines = std::vector<std::string>;

// Ends the program when a step fails, so that the run never waits for a window nobody closes.
class KillUnlessEnded {
 public:
  explicit KillUnlessEnded(pid_t pid) : pid_(pid) {}
  ~KillUnlessEnded() {
    if (!HasEnded(pid_)) ::kill(pid_, SIGKILL);
  }
  KillUnlessEnded(const KillUnlessEnded&) = delete;
  KillUnlessEnded& operator=(const KillUnlessEnded&) = delete;

 private:
  pid_t pid_;
};

class WindowCopyTest : public ProgramTest {
 protected:
  void SetUp() override {
    xdotool = InstalledProgram("xdotool");
    if (xdotool.empty()) GTEST_SKIP() << "xdotool is not installed (scripts/setup.sh adds it)";
    const std::string problem = display.start(tmp / "xvfb.log");
    if (!problem.empty()) GTEST_SKIP() << "no X display for the window test: " << problem;
    environment.push_back("DISPLAY=" + display.name());
    // Under the leak checker: the D-Bus library that Qt loads keeps a buffer until the
    // process ends; the program's own leaks still count.
    WriteText(tmp / "leaks.supp", "leak:libdbus-1.so\n");
    environment.push_back("LSAN_OPTIONS=suppressions=" + tmp / "leaks.supp");
  }

  // The first shown window titled exactly `title` (the search itself ignores letter case);
  // empty when there is none.
  std::string shownWindow(const std::string& title) const {
    const ToolResult found =
        RunXTool(display.name(), {xdotool, "search", "--onlyvisible", "--name", "^" + title + "$"});
    std::istringstream ids(found.exitStatus == 0 ? found.out : std::string());
    for (std::string id; std::getline(ids, id);) {
      if (RunXTool(display.name(), {xdotool, "getwindowname", id}).out == title + "\n") return id;
    }
    return {};
  }

  // Waits for such a window while the program runs; empty when it never came.
  std::string awaitWindow(const std::string& title, pid_t pid) const {
    std::string id;
    (void)WaitFor([&] { return !(id = shownWindow(title)).empty() || HasEnded(pid); }, 30s);
    return id;
  }

  // Gives the window the keyboard focus (there is no window manager to do it) and types.
  bool press(const std::string& window, const std::string& keys) const {
    return RunXTool(display.name(), {xdotool, "windowfocus", "--sync", window}).exitStatus == 0 &&
           type(keys);
  }
  // Types into whatever has the focus (an open menu holds it).
  bool type(const std::string& keys) const {
    return RunXTool(display.name(), {xdotool, "key", "--clearmodifiers", keys}).exitStatus == 0;
  }

  // File > Quit: the menu opens on its first item, and Up goes round to the last one.
  bool quitFromMenu(const std::string& window) const {
    if (!press(window, "alt+f")) return false;
    std::this_thread::sleep_for(500ms);
    return type("Up") && type("Return");
  }

  bool reportFinished() const {
    return ReadText(home + "/report.tvr").find("Finished Time : ") != std::string::npos;
  }

  // `errPath`: the program's standard error, shown when a window does not come.
  void copyAndQuit(pid_t pid, const std::string& errPath) {
    const KillUnlessEnded guard(pid);
    const std::string window = awaitWindow("Tolvane", pid);
    ASSERT_FALSE(window.empty()) << (HasEnded(pid) ? "tolvan32 ended without its window \"Tolvane\""
                                                   : "no window \"Tolvane\" within 30 s")
                                 << "; the program wrote:\n"
                                 << ReadText(errPath);
    ASSERT_TRUE(press(window, "alt+c"));
    std::string question;
    ASSERT_TRUE(WaitFor(
        [&] { return !(question = shownWindow("Tolvan32")).empty() || reportFinished(); }, 30s))
        << "\"Copy\" started nothing; the program wrote:\n"
        << ReadText(errPath);
    if (question.empty()) {
      // Asked on standard error by the text stand-in of the windowless program.
      questionInText = ReadText(errPath).find("   [answered OK]") != std::string::npos;
      ASSERT_TRUE(questionInText) << "\"Copy\" ran without asking; the program wrote:\n"
                                  << ReadText(errPath);
    } else {
      ASSERT_TRUE(press(question, "Return"));
    }
    ASSERT_TRUE(WaitFor([this] { return reportFinished(); }, 60s)) << "the run never finished";
    // The window may take a moment to be usable again after the run's last report line.
    const bool ended = WaitFor(
        [&] { return quitFromMenu(window) && WaitFor([pid] { return HasEnded(pid); }, 3s); }, 30s);
    EXPECT_TRUE(ended) << "File > Quit did not end the program";
  }

  std::string xdotool;
  XvfbDisplay display;
  bool questionInText = false;
};

TEST_F(WindowCopyTest, CopyFromTheKeyboardMirrorsTheTreeAndReportsEveryCopy) {
  ASSERT_EQ(::mkdir((master + "/文書").c_str(), 0755), 0);
  ASSERT_EQ(::mkdir((master + "/sub").c_str(), 0700), 0);
  ASSERT_EQ(::mkdir((master + "/sub/deep").c_str(), 0755), 0);
  WriteText(master + "/a.txt", "alpha");
  WriteText(master + "/文書/報告書.txt", "report", 0600);
  WriteText(master + "/sub/deep/b.bin", std::string(200000, '\x5a'));
  writeJob(backup);

  // Started without a name: the window opens with the program folder's only job loaded
  // (a name on the command line would run that job at once).
  const ProgramResult result =
      run({}, [this](pid_t pid, const std::string& err) { copyAndQuit(pid, err); });
  if (HasFatalFailure()) return;
  EXPECT_EQ(result.exitStatus, 0) << result.err;
  EXPECT_EQ(Tree(master), Tree(backup));
  Lines expected{
      "Make Directory : " + backup + "/sub",      "Make Directory : " + backup + "/sub/deep",
      "Make Directory : " + backup + "/文書",     "New File : " + backup + "/a.txt",
      "New File : " + backup + "/sub/deep/b.bin", "New File : " + backup + "/文書/報告書.txt"};
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(actionLines(), expected);
  if (questionInText)
    GTEST_SKIP() << "all but the question checked: it went to standard error, not to a message "
                    "box window, so the window program's message boxes are not in this build";
}

// A master of many empty files, so that a run lasts long enough to be closed while it goes.
void MakeLargeMaster(const std::string& master, int folders, int filesPerFolder) {
  for (int f = 0; f < folders; ++f) {
    const std::string folder = master + "/d" + std::to_string(f);
    ASSERT_EQ(::mkdir(folder.c_str(), 0755), 0) << folder;
    for (int i = 0; i < filesPerFolder; ++i) {
      const std::string file = folder + "/f" + std::to_string(i);
      ASSERT_EQ(::mknod(file.c_str(), S_IFREG | 0644, 0), 0) << file;
    }
  }
}

std::size_t Count(const std::string& text, const std::string& what) {
  std::size_t count = 0;
  for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1))
    ++count;
  return count;
}

TEST_F(WindowCopyTest, ClosingTheMainWindowDuringARunStopsItAndFinishesTheReport) {
  constexpr int kFiles = 200 * 100;
  MakeLargeMaster(master, 200, 100);
  if (HasFatalFailure()) return;
  writeJob(backup);
  const auto copied = [this] { return Count(ReadText(home + "/report.tvr"), "New File : "); };

  std::chrono::steady_clock::time_point answered;
  const ProgramResult result = run({}, [&](pid_t pid, const std::string& errPath) {
    const KillUnlessEnded guard(pid);
    const std::string window = awaitWindow("Tolvane", pid);
    ASSERT_FALSE(window.empty()) << ReadText(errPath);
    ASSERT_TRUE(press(window, "alt+c"));
    const std::string confirmation = awaitWindow("Tolvan32", pid);
    if (confirmation.empty()) GTEST_SKIP() << "no message box windows in this build";
    ASSERT_TRUE(press(confirmation, "Return"));
    ASSERT_TRUE(WaitFor([&] { return copied() >= 50; }, 60s)) << "the run never got going";

    ASSERT_TRUE(AskWindowToClose(display.name(), window));
    const std::string question = awaitWindow("Tolvan32", pid);
    ASSERT_FALSE(question.empty()) << "closing during the run asked nothing";
    EXPECT_FALSE(HasEnded(pid));
    ASSERT_TRUE(press(question, "Return"));  // OK: stop the run and end
    answered = std::chrono::steady_clock::now();
    EXPECT_TRUE(WaitFor([pid] { return HasEnded(pid); }, 10s))
        << "the program went on after the stop";
  });
  if (HasFatalFailure() || IsSkipped()) return;
  const auto took = std::chrono::steady_clock::now() - answered;
  EXPECT_LT(took, 10s);
  EXPECT_EQ(result.exitStatus, 0) << result.err;
  const std::string report = ReadText(home + "/Recent.tvr");
  const std::size_t stop = report.rfind("Stopped in the working : ");
  ASSERT_NE(stop, std::string::npos) << "the report has no stop line";
  EXPECT_EQ(report.substr(report.find("\r\n", stop)), "\r\n\r\n\r\n");
  EXPECT_EQ(report.find("Finished Time : "), std::string::npos);
  EXPECT_LT(copied(), static_cast<std::size_t>(kFiles));
}

}  // namespace
}  // namespace tolvan::testing
