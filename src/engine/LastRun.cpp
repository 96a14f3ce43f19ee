#include "engine/LastRun.h"

#include <cerrno>
#include <cstdio>

#include "engine/Engine.h"
#include "engine/ExitStatus.h"
#include "engine/Paths.h"
#include "engine/WalkSupport.h"

namespace tolvan {
namespace {

// A JSON string: quotes, backslashes and control characters escaped; other bytes as they are
// (names are UTF-8).
std::string Quoted(const std::string& text) {
  std::string out = "\"";
  for (const char c : text) {
    if (c == '"' || c == '\\') {
      out += '\\';
      out += c;
    } else if (static_cast<unsigned char>(c) < 0x20) {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\u%04x", static_cast<unsigned>(c));
      out += escaped;
    } else {
      out += c;
    }
  }
  return out + "\"";
}

std::string Field(const char* key, const std::string& value, bool last = false) {
  return std::string("  \"") + key + "\": " + value + (last ? "\n" : ",\n");
}

// The own-file rules: only a regular file (or none) is replaced.
int RefusedKind(Engine& engine, const std::string& path) {
  platform::FileStat stat;
  if (engine.fs().statEntry(path, stat) != 0) return 0;
  switch (stat.kind) {
    case platform::EntryKind::File:
    case platform::EntryKind::Missing:
      return 0;
    case platform::EntryKind::Symlink:
      return ELOOP;
    case platform::EntryKind::Directory:
      return EISDIR;
    case platform::EntryKind::Special:
      break;
  }
  return EINVAL;
}

}  // namespace

const char* LastRunResultText(const RunOutcome& outcome) {
  switch (outcome.end) {
    case RunEnd::Finished:
      return outcome.errors > 0 || outcome.reportIncomplete ? "errors" : "finished";
    case RunEnd::Stopped:
    case RunEnd::Abandoned:
      return "stopped";
    case RunEnd::Refused:
      return "refused";
    case RunEnd::Lost:
      break;
  }
  return "side-lost";
}

std::string LastRunText(Engine& engine, const std::string& started, const RunOutcome& outcome) {
  const RunState& run = engine.run;
  return "{\n" + Field("version", std::to_string(kLastRunVersion)) +
         Field("job", Quoted(engine.shared.TvfFileName)) + Field("started", Quoted(started)) +
         Field("ended", Quoted(engine.sys().nowWithOffset())) +
         Field("result", Quoted(LastRunResultText(outcome))) +
         Field("folders_made", std::to_string(run.FoldersMade)) +
         Field("files_copied", std::to_string(run.FilesCopied)) +
         Field("removed", std::to_string(run.EntriesRemoved)) +
         Field("errors", std::to_string(outcome.errors)) +
         Field("exit_status", std::to_string(ExitStatusFor(outcome)), true) + "}\n";
}

void RecordLastRun(Engine& engine, const std::string& started, const RunOutcome& outcome) {
  const std::string path = ChildPath(engine.shared.AppPath, kLastRunFileName);
  int code = RefusedKind(engine, path);
  if (code == 0) code = engine.fs().writeFile(path, LastRunText(engine, started, outcome));
  if (code != 0 && engine.report.isOpen()) {
    WriteReport(engine, ReportLineKind::Error,
                FailureText(path, code) + " The last-run status could not be written",
                engine.job.Report);
  }
}

}  // namespace tolvan
