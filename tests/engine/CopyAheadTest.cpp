#include "engine/CopyAhead.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "platform/fake/FakeFileSystem.h"

namespace tolvan::testing {
namespace {

// Copies that take longer the lower their number's last digit, so that they finish out of
// order; "f13" fails, and "f21" cannot be made without a named temporary.
class UnevenCopies : public platform::FakeFileSystem {
 public:
  std::unique_ptr<FileSystem> forAnotherThread() override {
    return std::make_unique<UnevenCopies>();
  }
  int copyNewFileUnnamed(const std::string&, const std::string& target) override {
    const std::string name = target.substr(target.rfind('/') + 1);
    std::this_thread::sleep_for(std::chrono::microseconds((9 - (name.back() - '0')) * 40));
    if (name == "f13") return EACCES;
    return name == "f21" ? ENOTSUP : 0;
  }
};

std::string Described(const CopyAhead::Finished& finished) {
  if (finished.line >= 0) return finished.target;
  return finished.target + " " + std::to_string(finished.code);
}

// More copies than may be on their way at once, in folders of forty, with lines among them.
TEST(CopyAheadTest, ResultsAndLinesComeBackInTheOrderHandedOver) {
  UnevenCopies fs;
  CopyAhead ahead(fs);
  ASSERT_TRUE(ahead.working());
  std::vector<std::string> expected;
  std::vector<std::string> taken;
  const auto take = [&](bool all) {
    for (const auto& finished : ahead.takeFinished(all)) taken.push_back(Described(finished));
  };
  for (int i = 0; i < 600; ++i) {
    const std::string target = "/b/d" + std::to_string(i / 40) + "/f" + std::to_string(i);
    ahead.handOver("/m/f", target);
    const int code = i == 13 ? EACCES : i == 21 ? CopyAhead::kNotTaken : 0;
    expected.push_back(target + " " + std::to_string(code));
    if (i % 50 == 7) {
      ahead.addLine(2, "line after " + std::to_string(i));
      expected.push_back("line after " + std::to_string(i));
    }
    take(false);
  }
  take(true);
  EXPECT_EQ(taken, expected);
  EXPECT_FALSE(ahead.busy());
}

}  // namespace
}  // namespace tolvan::testing
