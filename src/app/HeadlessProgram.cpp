#include "app/HeadlessProgram.h"

#include <filesystem>
#include <iostream>

#include "app/SchedulerLoop.h"
#include "app/StopSignals.h"
#include "app/Usage.h"
#include "conditions/DryRunCommands.h"
#include "conditions/PathFields.h"
#include "conditions/Session.h"
#include "conditions/Startup.h"
#include "conditions/Tvf.h"
#include "engine/Engine.h"
#include "engine/ExitStatus.h"
#include "engine/Paths.h"
#include "engine/SimulationList.h"
#include "platform/HeadlessWindowSystem.h"
#include "platform/LinuxFileSystem.h"
#include "platform/LinuxSystemInfo.h"
#include "platform/LinuxTrash.h"
#include "platform/QtSettingsStore.h"
#include "scheduler/FormSet.h"

namespace tolvan::app {
namespace {

// What start-up leaves to do: end with a status, or keep the schedule.
int StatusAfterStartup(const Session& session, const StartupOutcome& start) {
  if (start.ranJob && StopSignalCount() > 0) return kExitStopped;
  if (session.endRequested) return session.endStatus;
  if (start.endRequested || start.ranJob || start.refused) return start.exitStatus;
  return kExitRefused;  // a conditions file was named, yet nothing could be run
}

std::string CurrentFolder() {
  std::error_code error;
  const auto folder = std::filesystem::current_path(error);
  return error ? std::string("/") : folder.string();
}

// The saved-job list would load its first entry in place of a named file that is missing;
// without a window nobody would notice that another job ran, so the start is refused.
// Unattended, start-up reads the missing file itself and writes the failure to the report.
bool NamedFileExists(Session& session, const std::string& fileName) {
  Engine& engine = session.engine;
  session.workingFolder = CurrentFolder();
  engine.shared.AppPath = ResolveAppPath(engine.sys(), session.workingFolder);
  const std::string path = ChildPath(engine.shared.AppPath, fileName);
  platform::FileStat stat;
  if (engine.fs().statEntry(path, stat) == 0 && stat.kind != platform::EntryKind::Directory) {
    return true;
  }
  std::cerr << "tolvan32: " << DisplayText(path) << ": no such conditions file\n";
  return false;
}

// --simulate and --make-bat: the job is read as for a run, then only the dry run happens.
int RunDryRun(Session& session, const CommandLine& line) {
  if (line.makeBat) {
    (void)mnuMakeBatFile_Click(session);
    return StopSignalCount() > 0 ? kExitStopped : session.endStatus;
  }
  const std::string list = line.output.empty()
                               ? ChildPath(session.engine.shared.AppPath, kSimulationListName)
                               : AbsolutePath(session.workingFolder, line.output);
  CommandLineSimulation dialog(line.simulateKinds, list);
  const SimulationOutcome outcome = SimulationCommand(session, dialog);
  return StopSignalCount() > 0 ? kExitStopped : ExitStatusFor(outcome.run);
}

int RunSession(Session& session, const std::vector<std::string>& args) {
  const StartupOutcome start = FormLoad(session, args);
  if (start.commandLine.dryRun() && !start.endRequested && !session.endRequested) {
    const int status = RunDryRun(session, start.commandLine);
    FormUnload(session);
    return status;
  }
  const bool keepSchedule =
      start.scheduleArmed && !start.endRequested && !start.ranJob && !session.endRequested;
  const int status = keepSchedule ? RunSchedulerLoop(session) : StatusAfterStartup(session, start);
  FormUnload(session);
  return status;
}

}  // namespace

int RunHeadless(const std::vector<std::string>& args, const CommandLine& commandLine) {
  if (commandLine.fileName.empty()) {
    std::cerr << "tolvan32: a conditions file is needed when there is no window\n\n" << UsageText();
    return kExitRefused;
  }
  platform::LinuxFileSystem fs;
  platform::LinuxSystemInfo sys;
  platform::LinuxTrash trash{fs};
  platform::QtSettingsStore settings;
  platform::HeadlessWindowSystem headless;
  Engine engine{Services{fs, trash, headless, sys}};
  headless.watchStopFlag(&engine.run.StopFlag);
  Session session{engine, settings};
  InstallFormSet(session);
  session.reloadConditions = [&session] { tvfRead(session); };
  InstallStopSignals(engine.run.StopFlag, engine.run.CopiesOnTheirWay, headless);
  session.unattendedNotice = [&headless](const std::string& text) {
    (void)headless.messageBox(DisplayText(text), kProgramTitle, platform::MessageIcon::Critical,
                              platform::MessageButtons::Ok);
  };
  const bool unattended = commandLine.x || commandLine.at;
  if (!unattended && !NamedFileExists(session, commandLine.fileName)) return kExitRefused;
  return RunSession(session, args);
}

}  // namespace tolvan::app
