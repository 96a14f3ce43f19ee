#include "conditions/Tvf.h"

#include <cerrno>
#include <charconv>
#include <cstdint>

#include "conditions/PathFields.h"
#include "conditions/RecordReader.h"
#include "conditions/TextEncoding.h"
#include "engine/DateTime.h"
#include "engine/FileOps.h"
#include "engine/NumberText.h"
#include "engine/Paths.h"
#include "engine/Report.h"

namespace tolvan {
namespace {

constexpr const char* kCrLf = "\r\n";
// One exclusion pattern a line after the nineteen, each line only when the job has patterns.
constexpr const char* kExcludeKey = "Exclude";

bool IsYes(const std::string& value) {
  std::string lowered = value;
  for (char& c : lowered) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return lowered == "yes";
}

// A number of one or two digits from `text` at `pos`, moving `pos` past it.
bool TwoDigits(const std::string& text, std::size_t& pos, int& value) {
  std::size_t digits = 0;
  value = 0;
  while (pos < text.size() && digits < 2 && text[pos] >= '0' && text[pos] <= '9') {
    value = value * 10 + (text[pos++] - '0');
    ++digits;
  }
  return digits > 0;
}

std::string TwoDigitText(int value) {
  return std::to_string(value + 100).substr(1);
}

bool IsPathFailure(int error) {
  return error == kErrDeviceUnavailable || error == kErrDiskNotReady ||
         error == kErrPathFileAccess || error == kErrPathNotFound;
}

std::string ReadErrorText(int error) {
  return "tvf File Read Error (Error Code=" + std::to_string(error) + ")";
}

// The run-time error number for a conditions file that cannot be read.
int OpenErrorNumber(int error) {
  switch (error) {
    case ENOENT:
      return kErrFileNotFound;
    case ENOTDIR:
      return kErrPathNotFound;
    case ENOMEDIUM:
    case EIO:
      return kErrDiskNotReady;
    default:
      return kErrPathFileAccess;
  }
}

// One read of the current conditions file.
class ConditionsReader {
 public:
  explicit ConditionsReader(Session& session)
      : session_(session), engine_(session.engine), job_(session.engine.job) {}

  void run() {
    std::string bytes;
    if (int error = open(bytes); error != 0) return fail(error);
    RecordReader records(DecodeConditionsFile(bytes), std::string(kExcludeKey) + "=");
    while (!records.atEnd()) {
      const std::string record = records.next();
      if (!record.empty() && (record.front() == '*' || record.front() == ';')) continue;
      const auto equals = record.find('=');
      if (equals == std::string::npos) return badRecord();
      // Every pattern adds up, blanks included.
      if (TrimBlanks(record.substr(0, equals)) == kExcludeKey) {
        job_.Exclude.push_back(record.substr(equals + 1));
        continue;
      }
      const int error =
          apply(TrimBlanks(record.substr(0, equals)), TrimBlanks(record.substr(equals + 1)));
      if (error != 0) return fail(error);
    }
    markUnnamedSides();
    callFormSet(job_.Timer);
    engine_.run.ConditionsLoaded = -1;
  }

 private:
  int open(std::string& bytes) {
    const std::string& name = engine_.shared.TvfFileName;
    if (name.empty()) return kErrFileNotFound;
    const std::string path = ChildPath(engine_.shared.AppPath, name);
    const int error = engine_.fs().readFile(path, bytes);
    if (error == 0) return 0;
    const int number = OpenErrorNumber(error);
    failedPath_ = path;
    pathUnreachable_ = number == kErrFileNotFound;
    return number;
  }

  int apply(const std::string& key, const std::string& value) {
    if (std::int16_t* flag = flagFor(key)) {
      *flag = IsYes(value) ? -1 : 0;
    } else if (key == "UpDate") {
      return applyUpDate(value);
    } else if (key == "DriveA") {
      reportFrom_ = value;
      namedFrom_ = true;
      return applyPath(Side::From, value);
    } else if (key == "DriveB") {
      reportTo_ = value;
      namedTo_ = true;
      return applyPath(Side::To, value);
    } else if (key == "Timer") {
      job_.Timer = IsYes(value) ? 1 : 0;
    } else if (key == "DateMode") {
      job_.DateMode = value == "0" ? 0 : 1;
    } else if (key == "Time") {
      std::string hhmm;
      if (!TimeOfDayText(value, hhmm)) return kErrTypeMismatch;
      job_.Time = hhmm;
    } else if (key == "ChangeLimit") {
      applyChangeLimit(value);
    }
    return 0;
  }

  // A value that is no whole number from 0 to 100 turns the limit off rather than failing the
  // file: the window tells the user when the job is loaded.
  void applyChangeLimit(const std::string& value) {
    int percent = -1;
    const auto parsed = std::from_chars(value.data(), value.data() + value.size(), percent);
    const bool whole =
        !value.empty() && parsed.ec == std::errc() && parsed.ptr == value.data() + value.size();
    const bool usable = whole && percent >= 0 && percent <= kMaxChangeLimit;
    job_.ChangeLimit = usable ? static_cast<std::int16_t>(percent) : 0;
    job_.ChangeLimitUnreadable = !usable;
  }

  std::int16_t* flagFor(const std::string& key) {
    if (key == "NomalMode") return &job_.NomalMode;
    if (key == "Report") return &job_.Report;
    if (key == "Size") return &job_.Size;
    if (key == "MatchCase") return &job_.MatchCase;
    if (key == "Once") return &job_.Once;
    if (key == "TrashBox") return &job_.TrashBox;
    if (key == "ChildDir") return &job_.ChildDir;
    return nullptr;
  }

  int applyUpDate(const std::string& value) {
    const std::optional<double> number = ReadNumber(value, NumberStyle::Leading);
    const std::optional<std::int16_t> whole = number ? RoundedToInt16(*number) : std::nullopt;
    if (!whole) return kErrOverflow;
    job_.UpDate = *whole;
    return 0;
  }

  // An unreachable folder gives way to the temporary-files folder and blocks runs until
  // the user picks a path; unattended, the failure goes to the report instead.
  int applyPath(Side side, const std::string& value) {
    const int error = SelectFolder(session_, side, value);
    if (error != 0) {
      failedPath_ = value;
      pathUnreachable_ = IsPathFailure(error);
    }
    if (error == 0 || !IsPathFailure(error) || job_.XOption == 1) return error;
    MarkPathMissing(session_, side);
    const std::string& temp = engine_.shared.TempPath;
    if (SelectFolder(session_, side, temp) != 0) {
      // Not retried: the field shows the replacement, and the run is refused anyway.
      SideOf(session_, side).folder = temp;
      SetPathText(session_, side, temp);
    }
    return 0;
  }

  // A side the file does not name keeps whatever the field showed before (for a program
  // started by cron, the home folder): it must not become a side of a run.
  void markUnnamedSides() {
    if (!namedFrom_) MarkPathMissing(session_, Side::From);
    if (!namedTo_) MarkPathMissing(session_, Side::To);
  }

  void badRecord() {
    (void)engine_.ui().messageBox(DisplayText(engine_.shared.TvfFileName) + kBadRecordMessage,
                                  kProgramTitle, platform::MessageIcon::Critical,
                                  platform::MessageButtons::Ok);
    session_.requestEnd(2);
  }

  void fail(int error) {
    if (job_.XOption == 1) {
      writeUnattendedFailure();
      tellUnattended(error);
      session_.requestEnd(2);
      return;
    }
    if (error == kErrFileNotFound) {
      callFormSet(0);
      return;
    }
    (void)engine_.ui().messageBox(ReadErrorText(error), kProgramTitle,
                                  platform::MessageIcon::Critical, platform::MessageButtons::Ok);
    session_.requestEnd(2);
  }

  void writeUnattendedFailure() {
    const std::int16_t report = job_.Report;
    (void)WriteReport(engine_, ReportLineKind::OpenReport, {}, report, reportFrom_, reportTo_);
    (void)WriteReport(engine_, ReportLineKind::Error, kPathAccessMessage, report);
    engine_.run.FinishTime = Now(engine_.sys());
    (void)WriteReport(engine_, ReportLineKind::CloseReport, {}, report);
  }

  // A path that cannot be reached names it; any other failure is the read-error box's text.
  void tellUnattended(int error) {
    if (!session_.unattendedNotice) return;
    std::string text = pathUnreachable_ ? std::string(kPathAccessMessage) +
                                              " (Error Code=" + std::to_string(error) + ")"
                                        : ReadErrorText(error);
    if (!failedPath_.empty()) text += " " + failedPath_;
    session_.unattendedNotice(text);
  }

  void callFormSet(std::int16_t timer) {
    if (session_.formSet) session_.formSet(timer);
  }

  Session& session_;
  Engine& engine_;
  JobConditions& job_;
  std::string reportFrom_;
  std::string reportTo_;
  bool namedFrom_ = false;
  bool namedTo_ = false;
  // The path behind a failure, and whether the failure is that it cannot be reached.
  std::string failedPath_;
  bool pathUnreachable_ = false;
};

// A pattern holding a comma or a double quote goes in a quoted record, its quotes doubled.
std::string ExcludeLine(const std::string& pattern) {
  const std::string line = std::string(kExcludeKey) + "=" + pattern;
  if (pattern.find_first_of(",\"") == std::string::npos) return line;
  std::string quoted = "\"";
  for (const char c : line) quoted += c == '"' ? std::string("\"\"") : std::string(1, c);
  return quoted + "\"";
}

std::string YesNo(bool on) {
  return on ? "yes" : "no";
}

// " 5 ", "-5 ", " 0 ": a blank or the sign, the digits, a blank.
std::string UpDateText(std::int16_t value) {
  return (value < 0 ? std::to_string(value) : " " + std::to_string(value)) + " ";
}

}  // namespace

void tvfRead(Session& session) {
  DefaultSet(session.engine.job);
  session.engine.run.ConditionsLoaded = 0;
  session.engine.run.MissingPath = 0;
  session.window.from.missing = false;
  session.window.to.missing = false;
  ConditionsReader(session).run();
}

std::string TvfText(const Session& session) {
  const JobConditions& job = session.engine.job;
  // A time that was never set is written as midnight so that the file reads back.
  std::string time;
  if (!TimeOfDayText(job.Time, time)) time = "00:00";
  const std::string lines[] = {
      "** File Mirroring Conditions **",
      "NomalMode=" + YesNo(job.NomalMode != 0),
      "UpDate=" + UpDateText(job.UpDate),
      "TrashBox=" + YesNo(job.TrashBox != 0),
      "Size=" + YesNo(job.Size != 0),
      "MatchCase=" + YesNo(job.MatchCase != 0),
      "Report=" + YesNo(job.Report != 0),
      "ChildDir=" + YesNo(job.ChildDir != 0),
      "DriveA=" + TrimBlanks(session.window.from.text),
      "DriveB=" + TrimBlanks(session.window.to.text),
      "** Timer ** (example)",
      "*  毎日の場合は、指定時間に実行する場合は、DateMode=0 とする",
      "*    exp. 毎日14:20に実行する場合  DateMode=0  Time=14:20",
      "*  指定時間毎に実行する場合は、DateMode=1 とする",
      "*    exp. 3時間15分毎に実行する場合  DateMode=1  Time=03:15",
      "Timer=" + YesNo(job.Timer == 1),
      std::string("DateMode=") + (job.DateMode == 0 ? "0" : "1"),
      "Once=" + YesNo(job.Once != 0),
      "Time=" + time.substr(0, 5),
  };
  std::string text;
  for (const auto& line : lines) text += line + kCrLf;
  // After the nineteen lines and only when set: a job without the limit is what it always was.
  if (job.ChangeLimit > 0) text += "ChangeLimit=" + std::to_string(job.ChangeLimit) + kCrLf;
  for (const auto& pattern : job.Exclude) text += ExcludeLine(pattern) + kCrLf;
  return text;
}

int tvfWrite(Session& session) {
  const SharedValues& shared = session.engine.shared;
  if (shared.TvfFileName.empty()) return EINVAL;
  return session.engine.fs().writeFile(ChildPath(shared.AppPath, shared.TvfFileName),
                                       TvfText(session));
}

bool TimeOfDayText(const std::string& text, std::string& hhmm) {
  std::size_t pos = 0;
  int hours = 0;
  int minutes = 0;
  int seconds = 0;
  if (!TwoDigits(text, pos, hours) || pos >= text.size() || text[pos++] != ':') return false;
  if (!TwoDigits(text, pos, minutes)) return false;
  if (pos < text.size()) {
    if (text[pos++] != ':' || !TwoDigits(text, pos, seconds) || pos != text.size()) return false;
  }
  if (hours > 23 || minutes > 59 || seconds > 59) return false;
  hhmm = TwoDigitText(hours) + ":" + TwoDigitText(minutes);
  return true;
}

}  // namespace tolvan
