#include "RealEngine.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "engine/JobDriver.h"

namespace tolvan::ui::testing {

TemporaryFolder::TemporaryFolder() {
  std::string pattern = std::filesystem::temp_directory_path() / "tolvan-ui-XXXXXX";
  if (::mkdtemp(pattern.data()) == nullptr) ADD_FAILURE() << "cannot make a temporary folder";
  path_ = pattern;
}

TemporaryFolder::~TemporaryFolder() {
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

void MakeFolder(const std::string& path) {
  ASSERT_EQ(::mkdir(path.c_str(), 0755), 0) << path;
}

void MakeFile(const std::string& path, const std::string& content) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  ASSERT_GE(fd, 0) << path;
  if (!content.empty()) {
    EXPECT_EQ(::write(fd, content.data(), content.size()), static_cast<ssize_t>(content.size()));
  }
  ::close(fd);
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

bool Exists(const std::string& path) {
  struct stat st {};
  return ::lstat(path.c_str(), &st) == 0;
}

RealEngineTest::RealEngineTest() {
  for (const auto& folder : {app, master, backup}) MakeFolder(folder);
  engine.shared.AppPath = app;
  engine.shared.TvfFileName = "job.tvf";
  engine.job.NomalMode = 0;
  engine.job.Report = -1;
  engine.job.XOption = 1;
  ws.watchStopFlag(&engine.run.StopFlag);
  ticker.setInterval(2);
}

RunOutcome RealEngineTest::runJob() {
  std::int16_t timer = 0;
  return RunJob(engine, master, backup, timer);
}

void RealEngineTest::everyTick(std::function<bool()> check) {
  ticker.disconnect();
  QObject::connect(&ticker, &QTimer::timeout, [this, check = std::move(check)] {
    if (check()) ticker.stop();
  });
  ticker.start();
}

}  // namespace tolvan::ui::testing
