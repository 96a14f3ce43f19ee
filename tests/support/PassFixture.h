#pragma once

#include <cstdint>
#include <initializer_list>
#include <map>
#include <string>
#include <vector>

#include "engine/CopyPass.h"
#include "engine/DateTime.h"
#include "engine/Engine.h"
#include "engine/RemovalPass.h"
#include "engine/Report.h"
#include "engine/WalkSupport.h"
#include "support/EngineFixture.h"

namespace tolvan::testing {

using Lines = std::vector<std::string>;

// Records what the dry runs hand over: each simulated entry as its backup path and kind, and
// each restore as its source and target.
class RecordingSink : public DryRunSink {
 public:
  void SimulateWrite(int code, const std::string&, const std::string& to, const std::string& name,
                     const Sides&) override {
    simulated.push_back(to + "/" + name + " " + std::to_string(code));
  }
  void WriteRestoreLines(const std::string& source, const std::string& target) override {
    restores.push_back(source + ">" + target);
  }
  Lines simulated, restores;
};

// An engine on the fakes with the report open around each pass, so the pass's own lines can
// be read back.
class PassFixture : public EngineFixture {
 protected:
  static constexpr std::int64_t kT = 1700000000;  // 2023/11/14 22:13:20 UTC

  // Files dated kT whose content is their own name.
  void addFiles(std::initializer_list<std::string> paths) {
    for (const auto& path : paths) fs.addFile(path, path.substr(path.rfind('/') + 1), kT);
  }
  void openReport() {
    WriteReport(engine, ReportLineKind::OpenReport, {}, engine.job.Report, "/m", "/b");
  }
  void closeReport() { WriteReport(engine, ReportLineKind::CloseReport, {}, engine.job.Report); }
  // Runs a pass over /m and /b between an opened and a closed report; its action lines.
  template <typename Pass>
  Lines runPass(Pass pass) {
    openReport();
    errors = pass(engine, "/m", "/b");
    closeReport();
    return actionLines();
  }
  Lines runCopy() { return runPass(CopyTree); }
  Lines runRemoval() { return runPass(RemovalPass); }
  // The report's line for a failure of `code` at `path`.
  [[nodiscard]] static std::string error(const std::string& path, int code) {
    return "Error : " + FailureText(path, code);
  }
  // The date-time text of a Unix time as the report writes it.
  [[nodiscard]] std::string when(std::int64_t unixSeconds) {
    platform::LocalTime local;
    EXPECT_TRUE(sys.toLocalTime(unixSeconds, local));
    return FormatDateTime(sys, MakeDateTime(local));
  }
  // Every entry below `root` by its relative path: kind, permission bits, content and (but
  // for folders) modification time.
  [[nodiscard]] std::map<std::string, std::string> tree(const std::string& root) const {
    std::map<std::string, std::string> entries;
    collect(root, root, entries);
    return entries;
  }

  // The relative paths of every entry below `root`, in order.
  [[nodiscard]] Lines namesBelow(const std::string& root) const {
    Lines names;
    for (const auto& entry : tree(root)) names.push_back(entry.first);
    return names;
  }
  // A file on each side: `master` dated `masterTime`, `backup` dated `backupTime`.
  void addPair(const std::string& name, std::int64_t masterTime, std::int64_t backupTime,
               const std::string& master = "new", const std::string& backup = "old") {
    fs.addFile("/m/" + name, master, masterTime);
    fs.addFile("/b/" + name, backup, backupTime);
  }

  std::int32_t errors = 0;

 private:
  void collect(const std::string& root, const std::string& dir,
               std::map<std::string, std::string>& out) const {
    for (const auto& child : fs.childrenOf(dir)) {
      const auto& n = *fs.find(child);
      const bool folder = n.kind == platform::EntryKind::Directory;
      out[child.substr(root.size())] =
          std::to_string(static_cast<int>(n.kind)) + " " + std::to_string(n.mode) + " " +
          (folder ? "-" : std::to_string(n.mtime)) + " '" + n.content + "'";
      if (folder) collect(root, child, out);
    }
  }
};

}  // namespace tolvan::testing
