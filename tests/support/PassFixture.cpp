#include "support/PassFixture.h"

#include <map>

#include "engine/CopyPass.h"
#include "engine/RemovalPass.h"
#include "engine/Report.h"

namespace tolvan::testing {
namespace {

void Collect(const platform::FakeFileSystem& fs, const std::string& dir, std::size_t rootLength,
             std::map<std::string, const platform::FakeFileSystem::Node*>& out) {
  for (const auto& child : fs.childrenOf(dir)) {
    const auto* node = fs.find(child);
    out[child.substr(rootLength)] = node;
    if (node->kind == platform::EntryKind::Directory) Collect(fs, child, rootLength, out);
  }
}

std::string Describe(const platform::FakeFileSystem::Node& n) {
  return "kind " + std::to_string(static_cast<int>(n.kind)) + " mode " + std::to_string(n.mode) +
         " mtime " + std::to_string(n.mtime) + " content '" + n.content + "'";
}

}  // namespace

void PassFixture::openReport() {
  WriteReport(engine, ReportLineKind::OpenReport, {}, engine.job.Report, "/m", "/b");
}

void PassFixture::closeReport() {
  WriteReport(engine, ReportLineKind::CloseReport, {}, engine.job.Report);
}

std::vector<std::string> PassFixture::runCopy() {
  openReport();
  errors = CopyTree(engine, "/m", "/b");
  closeReport();
  return actionLines();
}

std::vector<std::string> PassFixture::runRemoval() {
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

std::vector<std::string> PassFixture::treeDifferences(const std::string& m,
                                                      const std::string& b) const {
  std::map<std::string, const platform::FakeFileSystem::Node*> master;
  std::map<std::string, const platform::FakeFileSystem::Node*> backup;
  Collect(fs, m, m.size(), master);
  Collect(fs, b, b.size(), backup);
  std::vector<std::string> differences;
  for (const auto& [name, node] : master) {
    auto it = backup.find(name);
    if (it == backup.end()) {
      differences.push_back("missing in backup: " + name);
      continue;
    }
    const auto& other = *it->second;
    const bool folder = node->kind == platform::EntryKind::Directory;
    if (node->kind != other.kind || node->mode != other.mode || node->content != other.content ||
        (!folder && node->mtime != other.mtime)) {
      differences.push_back(name + ": " + Describe(*node) + " / " + Describe(other));
    }
  }
  for (const auto& [name, node] : backup) {
    if (master.count(name) == 0) differences.push_back("only in backup: " + name);
  }
  return differences;
}

}  // namespace tolvan::testing
