// Master files rewritten in place while the real program copies them (a database, a disk
// image): the backup never holds a copy mixing two versions.
#include <cstdint>
#include <cstring>
#include <list>

#include "ProgramRunner.h"
#include "platform/FileSystem.h"

namespace tolvan::testing {
namespace {

constexpr std::size_t kBlock = 64 * 1024;

// Rewrites the file in place until destroyed, each version in one write filling every block
// with the version's number (between two writes the file is whole); the first version is
// written before the constructor returns.
class InPlaceWriter {
 public:
  InPlaceWriter(std::string path, std::size_t blocks) : path_(std::move(path)), blocks_(blocks) {
    rewrite();
    thread_ = std::jthread([this](const std::stop_token& stop) {
      while (!stop.stop_requested()) rewrite();
    });
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
  std::jthread thread_;  // last: stopped and joined before the rest goes
};

// Whether every block of the content is of one version, and it has `blocks` blocks.
bool OneVersion(const std::string& content, std::size_t blocks) {
  if (content.size() != blocks * kBlock) return false;
  for (std::size_t offset = 0; offset < content.size(); offset += sizeof(std::uint64_t))
    if (std::memcmp(content.data(), content.data() + offset, sizeof(std::uint64_t)) != 0)
      return false;
  return true;
}

using ChangingMasterTest = ProgramTest;

// A large file the run copies itself and a small one in a new folder that a copy worker
// takes, each rewritten without pause for as long as the run lasts, so that a try of their
// copies finds them changed unless the writer is held up for a tenth of a second. A copy is
// put in place only whole; one that never held still is not, the report says so, and the run
// after the writers stopped copies it as it is.
TEST_F(ChangingMasterTest, AFileRewrittenDuringItsCopyIsNeverSavedTorn) {
  const std::pair<std::string, std::size_t> files[] = {{"/large.db", 128}, {"/new/small.db", 8}};
  ASSERT_EQ(::mkdir((master + "/new").c_str(), 0755), 0);
  std::vector<bool> refused;
  // A writer starved of the processor for a tenth of a second at a try lets that copy be
  // made: then it is one whole version, never a mix. Until a run refuses one (bounded).
  for (int attempt = 0; attempt < 3 && std::ranges::count(refused, true) == 0; ++attempt) {
    for (const auto& [name, blocks] : files) (void)::unlink((backup + name).c_str());
    std::list<InPlaceWriter> writers;
    for (const auto& [name, blocks] : files) writers.emplace_back(master + name, blocks);
    const ProgramResult first = mirror({}, KillAfter(120s));
    writers.clear();
    const Lines lines = actionLines();
    refused.clear();
    for (const auto& [name, blocks] : files) {
      SCOPED_TRACE(name);
      refused.push_back(
          AnyStartsWith(lines, "Error : " + master + name +
                                   "(Code:" + std::to_string(platform::kChangedWhileCopied) +
                                   " Tried 3 Times) changed while it was being copied"));
      EXPECT_NE(refused.back(), AnyStartsWith(lines, "New File : " + backup + name));
      EXPECT_EQ(Exists(backup + name), !refused.back());
      EXPECT_TRUE(refused.back() || OneVersion(ReadText(backup + name), blocks));
    }
    EXPECT_EQ(first.exitStatus, std::ranges::count(refused, true) > 0 ? 1 : 0) << first.err;
  }
  ASSERT_GT(std::ranges::count(refused, true), 0) << "no copy of a file never still was refused";

  const ProgramResult second = mirror({}, KillAfter(120s));
  EXPECT_EQ(second.exitStatus, 0) << second.err;
  for (std::size_t i = 0; i < std::size(files); ++i) {
    const auto& [name, blocks] = files[i];
    const std::string copy = ReadText(backup + name);
    EXPECT_TRUE(OneVersion(copy, blocks) && (!refused[i] || copy == ReadText(master + name)))
        << name;
  }
}

}  // namespace
}  // namespace tolvan::testing
