#include "support/EngineFixture.h"

#include <algorithm>

namespace tolvan::testing {

EngineFixture::EngineFixture() {
  fs.addDirectory("/app");
  fs.addDirectory("/m");
  fs.addDirectory("/b");
  engine.shared.AppPath = "/app";
  engine.shared.VersionText = "1.00";
  engine.shared.TvfFileName = "job.tvf";
  engine.shared.TempPath = "/tmp";
  engine.os.OsVersionText = "6.01";
  engine.os.OsExtraText = "Debian GNU/Linux";
  engine.os.BuildHigh = 0;
  engine.os.BuildLow = 0;
}

std::vector<std::string> EngineFixture::linesOf(const std::string& path) const {
  std::vector<std::string> lines;
  const std::string content = fs.contentOf(path);
  for (std::size_t start = 0; start < content.size();) {
    const std::size_t end = std::min(content.find("\r\n", start), content.size());
    lines.push_back(content.substr(start, end - start));
    start = end + 2;
  }
  return lines;
}

std::vector<std::string> EngineFixture::actionLines() const {
  const auto lines = recentLines();
  const auto first = std::find(lines.begin(), lines.end(), kSeparator);
  if (first == lines.end()) return {};
  return {first + 1, std::find(first + 1, lines.end(), kSeparator)};
}

}  // namespace tolvan::testing
