#pragma once

// The fixtures of the engine, pass and conditions tests on the in-memory fakes, and a session
// on a real temporary folder for the tests that need real trees.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <initializer_list>
#include <map>
#include <string>
#include <vector>

#include "conditions/Session.h"
#include "engine/CopyPass.h"
#include "engine/DateTime.h"
#include "engine/Engine.h"
#include "engine/RemovalPass.h"
#include "engine/Report.h"
#include "engine/WalkSupport.h"
#include "platform/LinuxFileSystem.h"
#include "platform/LinuxTrash.h"
#include "platform/TempFolder.h"
#include "platform/fake/FakeFileSystem.h"
#include "platform/fake/FakeSettingsStore.h"
#include "platform/fake/FakeSystemInfo.h"
#include "platform/fake/FakeWindowSystem.h"
#include "support/ReportLines.h"

namespace tolvan::testing {

// An engine on the in-memory fakes: program folder /app, master /m, backup /b.
class EngineFixture : public ::testing::Test {
 protected:
  EngineFixture() {
    for (const char* folder : {"/app", "/m", "/b"}) fs.addDirectory(folder);
    engine.shared.AppPath = "/app";
    engine.shared.VersionText = "1.00";
    engine.shared.TvfFileName = "job.tvf";
    engine.shared.TempPath = "/tmp";
    engine.os.OsVersionText = "6.01";
    engine.os.OsExtraText = "Debian GNU/Linux";
  }

  // The lines of a file of the fake file system (CR+LF removed).
  [[nodiscard]] Lines linesOf(const std::string& path) const {
    return SplitLines(fs.contentOf(path));
  }
  [[nodiscard]] Lines reportLines() const { return linesOf("/app/report.tvr"); }
  [[nodiscard]] Lines recentLines() const { return linesOf("/app/Recent.tvr"); }
  // The action lines between the two separators of the last block of Recent.tvr.
  [[nodiscard]] Lines actionLines() const { return ActionLinesOf(recentLines()); }
  // The texts of the message boxes shown so far.
  [[nodiscard]] Lines boxTexts() const {
    Lines texts;
    for (const auto& box : ui.boxes) texts.push_back(box.text);
    return texts;
  }

  platform::FakeFileSystem fs;
  platform::FakeTrash trash{fs};
  platform::FakeWindowSystem ui;
  platform::FakeSystemInfo sys;
  Engine engine{Services{fs, trash, ui, sys}};
};

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
      const platform::FakeFileSystem::Node* node = fs.find(child);
      if (node == nullptr) continue;  // listed children always exist
      const auto& n = *node;
      const bool folder = n.kind == platform::EntryKind::Directory;
      out[child.substr(root.size())] =
          std::to_string(static_cast<int>(n.kind)) + " " + std::to_string(n.mode) + " " +
          (folder ? "-" : std::to_string(n.mtime)) + " '" + n.content + "'";
      if (folder) collect(root, child, out);
    }
  }
};

// A session on the in-memory fakes; formSet records the timer values it is called with.
class ConditionsFixture : public EngineFixture {
 protected:
  ConditionsFixture() {
    fs.addDirectory("/tmp");
    fs.addDirectory("/work");
    session.workingFolder = "/work";
    session.formSet = [this](std::int16_t timer) { formSetCalls.push_back(timer); };
  }

  // Writes /app/<name> from lines.
  void writeTvf(const Lines& lines, const std::string& name = "job.tvf") {
    std::string text;
    for (const auto& line : lines) text += line + "\r\n";
    fs.addFile("/app/" + name, text);
  }

  platform::FakeSettingsStore settings;
  Session session{engine, settings};
  std::vector<std::int16_t> formSetCalls;
};

// The real file system and trash under an engine whose other services are fakes.
struct RealTreeEngine {
  explicit RealTreeEngine(platform::VolumeSources volumes = {}) : fs(std::move(volumes)) {}
  platform::LinuxFileSystem fs;
  platform::LinuxTrash trash{fs};
  platform::FakeWindowSystem ui;
  platform::FakeSystemInfo sys;
  Engine engine{Services{fs, trash, ui, sys}};
};

// A session over the real file system in a temporary folder, with fakes for the windows,
// the clock and the settings store.
struct RealFolderSession : RealTreeEngine {
  platform::testing::TempFolder tmp;
  platform::FakeSettingsStore settings;
  Session session{engine, settings};
};

}  // namespace tolvan::testing
