// Another process holds the report files: the wait dialog, and the run that follows by itself.
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QApplication>
#include <QPushButton>
#include <QTest>

#include "RealEngine.h"
#include "ui/WorkerRun.h"

namespace tolvan::ui::testing {
namespace {

// A child process that holds both report files the way a running instance does, until it is
// told to let go.
class OtherInstance {
 public:
  explicit OtherInstance(const std::string& app) {
    int ready[2];
    int release[2];
    if (::pipe(ready) != 0 || ::pipe(release) != 0) return;
    const std::string report = app + "/report.tvr";
    const std::string recent = app + "/Recent.tvr";
    pid_ = ::fork();
    if (pid_ == 0) {
      ::close(ready[0]);
      ::close(release[1]);  // else the child's own copy keeps its read from ever ending
      Hold(report.c_str(), recent.c_str(), ready[1], release[0]);
    }
    ::close(ready[1]);
    ::close(release[0]);
    releaseFd_ = release[1];
    char byte = 0;
    holding_ = pid_ > 0 && ::read(ready[0], &byte, 1) == 1 && byte == 'y';
    ::close(ready[0]);
  }
  ~OtherInstance() { letGo(); }
  OtherInstance(const OtherInstance&) = delete;
  OtherInstance& operator=(const OtherInstance&) = delete;

  [[nodiscard]] bool holding() const { return holding_; }

  void letGo() {
    if (releaseFd_ >= 0) ::close(releaseFd_);
    releaseFd_ = -1;
    int status = 0;
    if (pid_ > 0) ::waitpid(pid_, &status, 0);
    pid_ = -1;
  }

 private:
  // In the child: system calls only, then _exit.
  [[noreturn]] static void Hold(const char* report, const char* recent, int ready, int release) {
    bool held = true;
    for (const char* path : {report, recent}) {
      const int fd = ::open(path, O_WRONLY | O_CREAT | O_APPEND, 0644);
      struct flock lock {};
      lock.l_type = F_WRLCK;
      lock.l_whence = SEEK_SET;
      held = held && fd >= 0 && ::fcntl(fd, F_OFD_SETLK, &lock) == 0;
    }
    const char answer = held ? 'y' : 'n';
    (void)::write(ready, &answer, 1);
    char byte = 0;
    (void)::read(release, &byte, 1);  // returns when the parent closes its end
    ::_exit(0);
  }

  pid_t pid_ = -1;
  int releaseFd_ = -1;
  bool holding_ = false;
};

QWidget* WaitDialog() {
  QWidget* modal = QApplication::activeModalWidget();
  return modal != nullptr && modal->objectName() == QStringLiteral("TlvWait") ? modal : nullptr;
}

using WaitDialogTest = RealEngineTest;

TEST_F(WaitDialogTest, TheRunWaitsForTheOtherInstanceAndGoesOnByItselfOrIsCancelled) {
  MakeFile(master + "/first.txt", "first");
  OtherInstance other(app);
  ASSERT_TRUE(other.holding());

  int ticksSeen = 0;
  QString caption;
  everyTick([&] {
    QWidget* dialog = WaitDialog();
    if (dialog == nullptr) return false;
    caption = dialog->windowTitle();
    // The dialog keeps waiting while the files are held; then the other instance ends.
    if (++ticksSeen < 20) return false;
    other.letGo();
    return true;
  });
  RunOutcome outcome;
  ASSERT_TRUE(RunOnWorker([&] { outcome = runJob(); }));
  EXPECT_EQ(ticksSeen, 20);
  EXPECT_EQ(caption, QStringLiteral("job.tvf  Waiting"));
  EXPECT_EQ(outcome.end, RunEnd::Finished);
  EXPECT_EQ(ReadFile(backup + "/first.txt"), "first");
  EXPECT_NE(ReadFile(app + "/Recent.tvr").find("New File : " + backup + "/first.txt"),
            std::string::npos);
  ws.progress().close();

  // Cancel gives the run up before anything is copied or written.
  MakeFile(master + "/second.txt", "second");
  OtherInstance again(app);
  ASSERT_TRUE(again.holding());
  const std::string reportBefore = ReadFile(app + "/report.tvr");
  everyTick([&] {
    QWidget* dialog = WaitDialog();
    if (dialog == nullptr) return false;
    QTest::mouseClick(dialog->findChild<QPushButton*>(QStringLiteral("Command1")), Qt::LeftButton);
    return true;
  });
  ASSERT_TRUE(RunOnWorker([&] { outcome = runJob(); }));
  EXPECT_EQ(outcome.end, RunEnd::Abandoned);
  EXPECT_FALSE(std::filesystem::exists(backup + "/second.txt"));
  again.letGo();
  EXPECT_EQ(ReadFile(app + "/report.tvr"), reportBefore);
}

}  // namespace
}  // namespace tolvan::ui::testing
