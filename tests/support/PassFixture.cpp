#include "support/PassFixture.h"

#include <map>

#include "engine/CopyPass.h"
#include "engine/RemovalPass.h"
#include "engine/Report.h"

namespace tolvan::testing {
namespace {

// Every entry below `root` as "relative path" -> "kind mode mtime 'content'" (no time for
// folders).
void Collect(const platform::FakeFileSystem& fs, const std::string& root, const std::string& dir,
             std::map<std::string, std::string>& out) {
  for (const auto& child : fs.childrenOf(dir)) {
    const auto& n = *fs.find(child);
    const bool folder = n.kind == platform::EntryKind::Directory;
    out[child.substr(root.size())] =
        std::to_string(static_cast<int>(n.kind)) + " " + std::to_string(n.mode) + " " +
        (folder ? "-" : std::to_string(n.mtime)) + " '" + n.content + "'";
    if (folder) Collect(fs, root, child, out);
  }
}

}  // namespace

void PassFixture::openReport() {
  WriteReport(engine, ReportLineKind::OpenReport, {}, engine.job.Report, "/m", "/b");
}

void PassFixture::closeReport() {
  WriteReport(engine, ReportLineKind::CloseReport, {}, engine.job.Report);
}

Lines PassFixture::runCopy() {
  openReport();
  errors = CopyTree(engine, "/m", "/b");
  closeReport();
  return actionLines();
}

Lines PassFixture::runRemoval() {
  openReport();
  errors = RemovalPass(engine, "/m", "/b");
  closeReport();
  return actionLines();
}

std::string PassFixture::when(std::int64_t unixSeconds) {
  platform::LocalTime local;
  EXPECT_TRUE(sys.toLocalTime(unixSeconds, local));
  return FormatDateTime(sys, MakeDateTime(local));
}

std::map<std::string, std::string> PassFixture::tree(const std::string& root) const {
  std::map<std::string, std::string> entries;
  Collect(fs, root, root, entries);
  return entries;
}

}  // namespace tolvan::testing
