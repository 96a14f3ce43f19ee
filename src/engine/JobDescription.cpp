#include "engine/JobDescription.h"

#include <cmath>

#include "engine/DateTime.h"
#include "engine/Engine.h"
#include "engine/Paths.h"

namespace tolvan {
namespace {

const char* OnOff(std::int16_t flag, const char* on, const char* off) {
  return flag != 0 ? on : off;
}

// "[label]path", or the path alone on a volume without a label. A side that is empty or not
// read yet (a conditions file that failed early) has no volume to ask.
int Labelled(Engine& engine, const std::string& path, std::string& text) {
  text = path;
  if (path.empty()) return 0;
  std::string label;
  if (const int error = engine.fs().volumeLabel(path, label); error != 0) return error;
  text = label.empty() ? path : "[" + label + "]" + path;
  return 0;
}

}  // namespace

std::string SystemText(const Engine& engine) {
  return engine.job.Windows95 != 0 ? "   Windows95 Ver." : "   " + engine.os.SystemName + " Ver.";
}

int SidesLine(Engine& engine, const std::string& from, const std::string& to, std::string& line,
              std::string& failedPath) {
  std::string fromText;
  std::string toText;
  for (const auto& [path, text] : {std::pair{&from, &fromText}, std::pair{&to, &toText}}) {
    if (const int error = Labelled(engine, *path, *text); error != 0) {
      failedPath = *path;
      return error;
    }
  }
  const DateTime today = std::floor(Now(engine.sys()));
  line = "Mirroring from " + fromText + " to " + toText + " on " + FormatDate(engine.sys(), today);
  return 0;
}

void ShowUnreadableVolume(Engine& engine, const std::string& path, int error) {
  (void)engine.ui().messageBox(DisplayText(path) + " Error (Code : " + std::to_string(error) +
                                   "  " + ErrorDescription(error) + " )",
                               "Error", platform::MessageIcon::Critical,
                               platform::MessageButtons::Ok);
}

std::array<std::string, 3> ConditionsLines(const JobConditions& job) {
  return {
      std::string("  Conditions  *Mode=") + OnOff(job.NomalMode, "Mirroring", "BackUp") +
          " *UpDate=" + OnOff(job.UpDate, "AllFiles", "UpDate") +
          " *Size=" + OnOff(job.Size, "Check", "NotCheck") +
          " *Report=" + OnOff(job.Report, "Write", "NotWrite"),
      std::string("              *ChildDir=") + OnOff(job.ChildDir, "Include", "NotInclude") +
          " *TrashBox=" + OnOff(job.TrashBox, "Use", "NotUse") + " *XOption=" +
          OnOff(job.XOption, "Yes", "No") + " *ATOption=" + OnOff(job.ATOption, "Yes", "No"),
      std::string("              *Timer=") + OnOff(job.Timer, "Yes", "No") +
          " *OnceForAll=" + OnOff(job.Once, "Yes", "No") +
          " *MatchCase=" + OnOff(job.MatchCase, "Check", "NotCheck") +
          " *ErrorFreeOption=" + OnOff(job.ErrorFreeOption, "Yes", "No"),
  };
}

}  // namespace tolvan
