#include "conditions/Startup.h"

#include <charconv>
#include <filesystem>
#include <system_error>

#include "conditions/PathFields.h"
#include "conditions/Tvf.h"
#include "conditions/TvfList.h"
#include "engine/ExclusionRules.h"
#include "engine/ExitStatus.h"
#include "engine/FileOps.h"
#include "engine/NumberText.h"
#include "engine/Paths.h"
#include "engine/Report.h"
#include "platform/PartialCopy.h"

namespace tolvan {
namespace {

constexpr const char* kProgramFolderName = "Tolvan32";
constexpr const char* kSameFolderMessage = "Can't do it.  Check your setting file!";

// A stored window position; a text that is not a whole number, or a position off the
// screen, gives the default.
int ReadPosition(platform::SettingsStore& store, const SettingKey& key, int screenExtent) {
  int fallback = 0;
  const std::string_view fallbackText = key.defaultValue;
  (void)std::from_chars(fallbackText.data(), fallbackText.data() + fallbackText.size(), fallback);
  const std::string text = TrimBlanks(ReadSetting(store, key));
  int value = 0;
  const auto parsed = std::from_chars(text.data(), text.data() + text.size(), value);
  if (parsed.ec != std::errc() || parsed.ptr != text.data() + text.size()) return fallback;
  if (value < 0 || (screenExtent > 0 && value >= screenExtent)) return fallback;
  return value;
}

bool IsOldNT(const OsVersionInfo& os) {
  const std::optional<double> version = ReadNumber(os.OsVersionText, NumberStyle::Leading);
  return os.PlatformId == 2 && version && *version < 4.0;
}

std::string CurrentFolder() {
  std::error_code error;
  const auto folder = std::filesystem::current_path(error);
  return error ? std::string("/") : folder.string();
}

// Without a conditions file both fields show the current folder.
void SetDefaultPaths(Session& session) {
  for (const Side side : {Side::From, Side::To}) {
    SideOf(session, side).folder = session.workingFolder;
    SetPathText(session, side, session.workingFolder);
  }
}

// A run killed while saving a conditions file or the list file leaves its temporary file in
// the program folder, where no walk ever comes.
void RemoveLeftoverCopies(Engine& engine, const std::string& folder) {
  int error = 0;
  const auto listing = engine.fs().openListing(folder, error);
  if (listing == nullptr) return;
  std::string_view name;
  platform::FileStat stat;
  while (listing->next(name, stat) == 0) {
    if (platform::IsPartialCopyLeftover(name, stat.kind))
      (void)engine.fs().removeEntry(ChildPath(folder, name));
  }
}

void SetSharedValues(Session& session) {
  Engine& engine = session.engine;
  if (session.workingFolder.empty()) session.workingFolder = CurrentFolder();
  engine.shared.WinDir = engine.sys().environment("windir");
  engine.shared.TempPath = TempFolder(engine);
  if (engine.shared.AppPath.empty()) {
    engine.shared.AppPath = ResolveAppPath(engine.sys(), session.workingFolder);
  }
  // A folder that cannot be made shows up as a missing conditions file.
  (void)engine.fs().makeDirectories(engine.shared.AppPath);
  RemoveLeftoverCopies(engine, engine.shared.AppPath);
}

// The command line's patterns after the job's, an --exclude-from file read as the program's
// own files are (a regular file of at most 1 MiB). False after a message naming a file that
// cannot be read.
bool TakeCommandLineExclusions(Session& session, const CommandLine& line) {
  Engine& engine = session.engine;
  std::vector<std::string>& patterns = engine.job.CommandLineExclude;
  patterns.clear();
  for (const ExcludeArgument& argument : line.exclude) {
    if (!argument.fromFile) {
      patterns.push_back(argument.text);
      continue;
    }
    const std::string path = AbsolutePath(session.workingFolder, argument.text);
    std::string bytes;
    if (const int error = engine.fs().readFile(path, bytes); error != 0) {
      (void)engine.ui().messageBox(
          "--exclude-from " + DisplayText(path) + "(Code:" + std::to_string(error) + " " +
              ErrorDescription(error) + ")",
          kProgramTitle, platform::MessageIcon::Critical, platform::MessageButtons::Ok);
      return false;
    }
    for (std::string& pattern : PatternLines(bytes, true)) patterns.push_back(std::move(pattern));
  }
  return true;
}

void ReadStoredSettings(Session& session) {
  platform::SettingsStore& store = session.settings;
  session.window.top = ReadPosition(store, kMainFormTop, session.window.screenHeight);
  session.window.left = ReadPosition(store, kMainFormLeft, session.window.screenWidth);
  session.engine.shared.EditorPath = ReadSetting(store, kEditorFileName);
  session.engine.shared.ReportSize = ReportSizeFromText(ReadSetting(store, kEditorReportSize));
}

// An unattended run never falls back on another saved job: a named conditions file that is
// missing is read all the same, and the read reports the failure.
bool NamedFileMissingUnattended(Session& session) {
  const Engine& engine = session.engine;
  return engine.job.XOption == 1 && engine.job.CommandLineFile != 0 &&
         !ConditionsFileExists(session, engine.shared.TvfFileName);
}

void RunFromCommandLine(Session& session, StartupOutcome& outcome) {
  Engine& engine = session.engine;
  const std::string from = StripOneTrailingSeparator(TrimBlanks(session.window.from.text));
  const std::string to = StripOneTrailingSeparator(TrimBlanks(session.window.to.text));
  if (from == to) {
    (void)engine.ui().messageBox(kSameFolderMessage, kProgramTitle, platform::MessageIcon::Critical,
                                 platform::MessageButtons::Ok);
    outcome.refused = true;
    outcome.exitStatus = kExitRefused;
    return;
  }
  session.window.runActive = true;
  outcome.run = RunJob(engine, from, to, engine.job.Timer);
  session.window.runActive = false;
  outcome.ranJob = true;
  outcome.exitStatus = ExitStatusFor(outcome.run);
  engine.ui().progress().close();
  if (engine.job.XOption == 1 || engine.run.EndRequested) {
    mnuQuit_Click(session, outcome.exitStatus);
  }
}

}  // namespace

std::string ReadSetting(platform::SettingsStore& store, const SettingKey& key) {
  return store.get(key.section, key.key, key.defaultValue);
}

void WriteSetting(platform::SettingsStore& store, const SettingKey& key, const std::string& value) {
  store.set(key.section, key.key, value);
}

std::string MakeVersionText(int major, int minor) {
  const std::string minorText = std::to_string(minor + 100);
  return std::to_string(major) + "." + minorText.substr(minorText.size() - 2);
}

std::string ProgramVersionText() {
  return MakeVersionText(TOLVAN_VERSION_MAJOR, TOLVAN_VERSION_MINOR);
}

std::string ResolveAppPath(platform::SystemInfo& sys, const std::string& workingFolder) {
  const std::string base = workingFolder.empty() ? "/" : workingFolder;
  if (const std::string home = sys.environment("TOLVAN32_HOME"); !home.empty()) {
    return AbsolutePath(base, home);
  }
  // A relative XDG_DATA_HOME is invalid and ignored.
  if (const std::string data = sys.environment("XDG_DATA_HOME");
      !data.empty() && data.front() == '/') {
    return ChildPath(AbsolutePath("/", data), kProgramFolderName);
  }
  if (const std::string userHome = sys.environment("HOME"); !userHome.empty()) {
    return ChildPath(AbsolutePath(base, userHome + "/.local/share"), kProgramFolderName);
  }
  // No home at all (some service managers): keep the files in the temporary folder.
  return ChildPath(StripOneTrailingSeparator(sys.tempPath()), kProgramFolderName);
}

float ReportSizeFromText(const std::string& text) {
  const std::int16_t size = TextToInteger(text);
  return size == 0 ? 512.0F : static_cast<float>(size);
}

StartupOutcome FormLoad(Session& session, const std::vector<std::string>& args) {
  StartupOutcome outcome;
  Engine& engine = session.engine;
  engine.shared.VersionText = ProgramVersionText();
  engine.shared.TvfFileName = tvfGet(engine.job, args, &outcome.commandLine);
  engine.run.AllowBigChange = outcome.commandLine.allowBigChange;
  if (outcome.commandLine.usageError()) {
    session.requestEnd(kExitRefused);
  } else {
    SetSharedValues(session);
    if (!TakeCommandLineExclusions(session, outcome.commandLine)) session.requestEnd(kExitRefused);
    ReadStoredSettings(session);
    engine.job.Windows95 = GetOSVersion(engine, engine.os);
    engine.job.OldNT = IsOldNT(engine.os) ? -1 : 0;
    SetDefaultPaths(session);
    // After an unreadable --exclude-from file nothing is read or run.
    if (!session.endRequested && NamedFileMissingUnattended(session)) {
      tvfRead(session);
    } else if (!session.endRequested) {
      GetTvfCombo(session, engine.shared.TvfFileName);
    }
    if (!session.endRequested) {
      outcome.scheduleArmed = engine.job.Timer == 1;
      if (engine.job.Timer == 0 && engine.job.CommandLineFile != 0 &&
          !outcome.commandLine.dryRun()) {
        RunFromCommandLine(session, outcome);
      }
    }
  }
  outcome.endRequested = session.endRequested;
  if (session.endRequested) outcome.exitStatus = session.endStatus;
  return outcome;
}

void mnuQuit_Click(Session& session, int status) {
  session.window.timerEnabled = false;
  session.engine.ui().progress().close();
  session.requestEnd(status);
}

void FormUnload(Session& session) {
  Engine& engine = session.engine;
  if (engine.report.ReportFile != nullptr || engine.report.RecentFile != nullptr) {
    CloseReportFiles(engine);
  }
  engine.ui().progress().close();
  const WindowModel& window = session.window;
  // Without a window (a headless run) there is no position to keep.
  if (window.shown && !window.minimized && window.top >= 0 && window.left >= 0) {
    WriteSetting(session.settings, kMainFormTop, std::to_string(window.top));
    WriteSetting(session.settings, kMainFormLeft, std::to_string(window.left));
  }
}

}  // namespace tolvan
