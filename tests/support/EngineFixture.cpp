#include "support/EngineFixture.h"

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
  std::size_t start = 0;
  while (start < content.size()) {
    std::size_t end = content.find("\r\n", start);
    if (end == std::string::npos) {
      lines.push_back(content.substr(start));
      break;
    }
    lines.push_back(content.substr(start, end - start));
    start = end + 2;
  }
  return lines;
}

std::vector<std::string> EngineFixture::actionLines() const {
  const auto lines = recentLines();
  std::vector<std::string> actions;
  bool inside = false;
  for (const auto& line : lines) {
    if (line == kSeparator) {
      if (inside) break;
      inside = true;
      continue;
    }
    if (inside) actions.push_back(line);
  }
  return actions;
}

}  // namespace tolvan::testing
