// Master files rewritten in place while the real program copies them (a database, a disk
// image): the backup never holds a copy mixing two versions.
#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <cstdint>
#include <cstring>
#include <thread>

#include "ProgramRunner.h"
#include "platform/FileSystem.h"

namespace tolvan::testing {
namespace {

constexpr std::size_t kBlock = 64 * 1024;

// Rewrites the file in place until stopped, each version in one write filling every block
// with the version's number (between two writes the file is whole); the first version is
// written before the constructor returns.
class InPlaceWriter {
 public:
  InPlaceWriter(std::string path, std::size_t blocks) : path_(std::move(path)), blocks_(blocks) {
    rewrite();
    thread_ = std::thread([this] {
      while (!stop_.load()) rewrite();
    });
  }
  ~InPlaceWriter() { stop(); }
  InPlaceWriter(const InPlaceWriter&) = delete;
  InPlaceWriter& operator=(const InPlaceWriter&) = delete;

  void stop() {
    stop_.store(true);
    if (thread_.joinable()) thread_.join();
  }

 private:
  void rewrite() {
    const int fd = ::open(path_.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
    ASSERT_GE(fd, 0) << path_;
    const std::vector<std::uint64_t> content(blocks_ * kBlock / sizeof(std::uint64_t), ++version_);
    const std::size_t bytes = blocks_ * kBlock;
    EXPECT_EQ(::pwrite(fd, content.data(), bytes, 0), static_cast<ssize_t>(bytes)) << path_;
    ::close(fd);
  }

  std::string path_;
  std::size_t blocks_;
  std::uint64_t version_ = 0;
  std::atomic<bool> stop_{false};
  std::thread thread_;
};

// Whether every block of the content is of one version, and it has `blocks` blocks.
bool OneVersion(const std::string& content, std::size_t blocks) {
  if (content.size() != blocks * kBlock) return false;
  for (std::size_t offset = 0; offset < content.size(); offset += sizeof(std::uint64_t)) {
    if (std::memcmp(content.data(), content.data() + offset, sizeof(std::uint64_t)) != 0)
      return false;
  }
  return true;
}

using ChangingMasterTest = ProgramTest;

// A large file the run copies itself and a small one in a new folder that a copy worker
// takes, each rewritten without pause for as long as the run lasts, so that a try of their
// copies finds them changed unless the writer is held up for a tenth of a second. A copy is
// put in place only whole; one that never held still is not, the report says so, and the run
// after the writers stopped copies it as it is.
TEST_F(ChangingMasterTest, AFileRewrittenDuringItsCopyIsNeverSavedTorn) {
  struct Changing {
    std::string name;
    std::size_t blocks;
  };
  const std::vector<Changing> files{{"/large.db", 128}, {"/new/small.db", 8}};
  ASSERT_EQ(::mkdir((master + "/new").c_str(), 0755), 0);
  writeJob(backup);
  std::vector<bool> refused;
  // A writer starved of the processor for a tenth of a second at a try lets that copy be
  // made: then it is one whole version, never a mix. Until a run refuses one (bounded).
  for (int attempt = 0; attempt < 3 && std::ranges::count(refused, true) == 0; ++attempt) {
    for (const Changing& file : files) (void)::unlink((backup + file.name).c_str());
    std::vector<std::unique_ptr<InPlaceWriter>> writers;
    for (const Changing& file : files)
      writers.push_back(std::make_unique<InPlaceWriter>(master + file.name, file.blocks));
    const ProgramResult first = run({"/X", "job.tvf"}, KillAfter(120s));
    for (auto& writer : writers) writer->stop();
    const Lines lines = actionLines();
    refused.clear();
    for (const Changing& file : files) {
      SCOPED_TRACE(file.name);
      refused.push_back(
          AnyStartsWith(lines, "Error : " + master + file.name +
                                   "(Code:" + std::to_string(platform::kChangedWhileCopied) +
                                   " Tried 3 Times) changed while it was being copied"));
      EXPECT_NE(refused.back(), AnyStartsWith(lines, "New File : " + backup + file.name));
      EXPECT_EQ(Exists(backup + file.name), !refused.back());
      EXPECT_TRUE(refused.back() || OneVersion(ReadText(backup + file.name), file.blocks));
    }
    EXPECT_EQ(first.exitStatus, std::ranges::count(refused, true) > 0 ? 1 : 0) << first.err;
  }
  ASSERT_GT(std::ranges::count(refused, true), 0) << "no copy of a file never still was refused";

  const ProgramResult second = run({"/X", "job.tvf"}, KillAfter(120s));
  EXPECT_EQ(second.exitStatus, 0) << second.err;
  for (std::size_t i = 0; i < files.size(); ++i) {
    const std::string copy = ReadText(backup + files[i].name);
    EXPECT_TRUE(OneVersion(copy, files[i].blocks)) << files[i].name;
    EXPECT_TRUE(!refused[i] || copy == ReadText(master + files[i].name)) << files[i].name;
  }
}

}  // namespace
}  // namespace tolvan::testing
