#include "conditions/CommandLine.h"

#include "conditions/DryRunCommands.h"
#include "conditions/Tvf.h"
#include "engine/Paths.h"
#include "engine/SimulationList.h"

namespace tolvan {
namespace {

bool StartsWith(const std::string& text, const char* prefix) {
  return text.rfind(prefix, 0) == 0;
}

// An argument made only of the switches "/X", "/AT" and "/E" (any letter case, glued or
// separated by blanks) sets them; any other argument is left alone.
bool ReadSwitches(const std::string& argument, CommandLine& line) {
  bool x = false;
  bool at = false;
  bool errorFree = false;
  std::string rest = TrimBlanks(argument);
  while (!rest.empty()) {
    const std::string upper = ToUpperAscii(rest);
    const char* found = StartsWith(upper, "/AT")  ? "/AT"
                        : StartsWith(upper, "/X") ? "/X"
                        : StartsWith(upper, "/E") ? "/E"
                                                  : nullptr;
    if (found == nullptr) return false;
    x = x || found[1] == 'X';
    at = at || found[1] == 'A';
    errorFree = errorFree || found[1] == 'E';
    rest = SubString(rest, found);
  }
  line.x = line.x || x;
  line.at = line.at || at;
  line.errorFree = line.errorFree || errorFree;
  return true;
}

void NoteProblem(CommandLine& line, const std::string& problem) {
  if (line.usageProblem.empty()) line.usageProblem = problem;
}

// "--simulate" lists every kind; "--simulate=KINDS" the kinds named.
void ReadSimulate(const std::string& argument, CommandLine& line) {
  line.simulate = true;
  line.simulateKinds = kAllDifferenceKinds;
  if (argument.size() == std::string("--simulate").size()) return;
  line.simulateKinds = KindsFromText(argument.substr(std::string("--simulate=").size()));
  if (line.simulateKinds == 0) {
    NoteProblem(line, "invalid kinds in " + argument + " (kind numbers 1 to 6, or all)");
  }
}

// "--exclude=PATTERN" and "--exclude-from=FILE"; false for any other option.
bool ReadExcludeWithValue(const std::string& argument, CommandLine& line) {
  for (const bool fromFile : {false, true}) {
    const std::string option = fromFile ? "--exclude-from=" : "--exclude=";
    if (!StartsWith(argument, option.c_str())) continue;
    line.exclude.push_back({fromFile, argument.substr(option.size())});
    if (fromFile && line.exclude.back().text.empty())
      NoteProblem(line, "--exclude-from needs a file name");
    return true;
  }
  return false;
}

void ReadLongOption(const std::string& argument, CommandLine& line) {
  if (ReadExcludeWithValue(argument, line)) return;
  if (argument == "--simulate" || StartsWith(argument, "--simulate=")) {
    ReadSimulate(argument, line);
  } else if (StartsWith(argument, "--output=")) {
    line.output = argument.substr(std::string("--output=").size());
    if (line.output.empty()) NoteProblem(line, "--output needs a file name");
  } else if (argument == "--make-bat") {
    line.makeBat = true;
  } else if (argument == "--help") {
    line.help = true;
  } else if (argument == "--version") {
    line.version = true;
  } else if (argument == "--no-gui") {
    line.noGui = true;
  } else if (argument == "--allow-big-change") {
    line.allowBigChange = true;
  } else if (line.unknownOption.empty()) {
    line.unknownOption = argument;
    NoteProblem(line, "unknown option " + argument);
  }
}

void CheckDryRunOptions(CommandLine& line) {
  if (line.simulate && line.makeBat)
    NoteProblem(line, "--simulate and --make-bat exclude each other");
  if (!line.output.empty() && !line.simulate) NoteProblem(line, "--output goes with --simulate");
}

}  // namespace

std::string SubString(const std::string& strexp1, const std::string& strexp2) {
  const auto p = ToUpperAscii(strexp1).find(ToUpperAscii(strexp2));
  if (p == std::string::npos) return strexp1;
  return TrimBlanks(strexp1.substr(0, p) + strexp1.substr(p + strexp2.size()));
}

CommandLine ParseCommandLine(const std::vector<std::string>& args) {
  CommandLine line;
  bool optionsEnded = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& argument = args[i];
    if (TrimBlanks(argument).empty()) continue;
    if (!optionsEnded && argument == "--") {
      optionsEnded = true;
    } else if (!optionsEnded && (argument == "--exclude" || argument == "--exclude-from")) {
      if (i + 1 < args.size()) {
        line.exclude.push_back({argument == "--exclude-from", args[++i]});
      } else {
        NoteProblem(
            line, argument + (argument == "--exclude" ? " needs a pattern" : " needs a file name"));
      }
    } else if (!optionsEnded && argument == "--output") {
      if (i + 1 < args.size()) {
        line.output = args[++i];
      } else {
        NoteProblem(line, "--output needs a file name");
      }
    } else if (!optionsEnded && argument.size() > 2 && StartsWith(argument, "--")) {
      ReadLongOption(argument, line);
    } else if (optionsEnded || !ReadSwitches(argument, line)) {
      line.rawName += (line.rawName.empty() ? "" : " ") + argument;
    }
  }
  CheckDryRunOptions(line);
  std::string name = TrimBlanks(line.rawName);
  // Only the last character is looked at; a leading quote goes with the folder part.
  if (!name.empty() && name.back() == '"') name.pop_back();
  line.nameGiven = !name.empty();
  line.fileName = ConditionsFileName(name);
  return line;
}

std::string ConditionsFileName(std::string text) {
  if (text.empty()) return text;
  if (text.find('.') == std::string::npos) text += kTvfExtension;
  // The file is always looked up in the program's folder.
  return text.substr(text.rfind('/') + 1);
}

std::string tvfGet(JobConditions& job, const std::vector<std::string>& args, CommandLine* parsed) {
  const CommandLine line = ParseCommandLine(args);
  job.XOption = line.x || line.at ? 1 : 0;
  job.ATOption = line.at ? -1 : 0;
  job.ErrorFreeOption = line.errorFree ? -1 : 0;
  job.CommandLineFile = line.nameGiven ? -1 : 0;
  if (parsed != nullptr) *parsed = line;
  return line.fileName;
}

}  // namespace tolvan
