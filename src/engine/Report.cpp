#include "engine/Report.h"

#include <cerrno>
#include <cstdio>

#include "engine/DateTime.h"
#include "engine/Engine.h"
#include "engine/JobDescription.h"
#include "engine/Paths.h"
#include "engine/RunLock.h"

namespace tolvan {
namespace {

using platform::LockedFile;
using platform::MessageAnswer;
using platform::MessageButtons;
using platform::MessageIcon;
using platform::OpenMode;

constexpr const char* kLineEnd = "\r\n";

// How long a line may wait to be written, and how many bytes of lines.
constexpr std::chrono::milliseconds kLineDelay{100};
constexpr std::size_t kPendingLimit = std::size_t{64} << 10;

const char* PrefixOf(std::int16_t kind) {
  static constexpr const char* kPrefixes[] = {
      "Remove Directory: ", "Delete File : ", "Make Directory : ", "New File : ",
      "UpDate File : ",     "All Files : ",   "Attribute : ",      "Skipped : ",
      "Disk Full : ",       "Error : ",       "Size : ",           "Scan Error : ",
      "Copy Directory : "};
  return kind >= 0 && kind <= 12 ? kPrefixes[kind] : "";
}

std::string Separator() {
  return std::string(63, '-');
}

std::string CodeAndText(int code) {
  return std::to_string(code) + "  " + ErrorDescription(code);
}

// The writer's failure handling. While report.tvr is open a failure becomes a line in the
// report; before that the user decides whether the program goes on.
class ReportWriter {
 public:
  explicit ReportWriter(Engine& engine) : engine_(engine), files_(engine.report) {}

  void open(const std::string& from, const std::string& to);
  void close();
  // Holds one whole line (line end added) for report.tvr, then Recent.tvr.
  void writeLine(const std::string& line) { hold(DisplayText(line) + kLineEnd); }
  // Writes what is held back: always, or only when it is due.
  void flush();
  void flushIfDue();

 private:
  void failed(int code);
  void hold(const std::string& bytes);
  void writeToBoth(const std::string& bytes);
  void writeTo(LockedFile* file, const char* name, const std::string& bytes);
  // Says a write, hold or writeHeld of the file `name` that failed with `error`.
  void check(int error, const char* name);
  // The "Report File Error Code" line into whichever files are still open.
  void writeErrorLine(int code);
  [[nodiscard]] int rotate();
  void closeFile(std::unique_ptr<LockedFile>& file, const char* name);
  void sayIncomplete();
  [[nodiscard]] std::string headerLine();
  [[nodiscard]] std::string finishLine();

  Engine& engine_;
  ReportFiles& files_;
};

void ReportWriter::writeErrorLine(int code) {
  flush();  // the lines before it first (none while their own write is what failed)
  const std::string line = DisplayText("Report File Error Code : " + CodeAndText(code)) + kLineEnd;
  // A failure of the error line itself is dropped: there is nowhere left to say it.
  if (files_.ReportFile) (void)files_.ReportFile->write(line);
  if (files_.RecentFile) (void)files_.RecentFile->write(line);
}

void ReportWriter::failed(int code) {
  if (files_.isOpen()) {
    writeErrorLine(code);
    return;
  }
  const MessageAnswer answer =
      engine_.ui().messageBox("継続しますか？  Error Code : " + CodeAndText(code), "Error",
                              MessageIcon::Critical, MessageButtons::YesNo);
  if (answer == MessageAnswer::No) engine_.run.EndRequested = true;
}

void ReportWriter::check(int error, const char* name) {
  if (error == 0) return;
  files_.noteLoss(error, ChildPath(engine_.shared.AppPath, name));
  failed(error);
}

void ReportWriter::writeTo(LockedFile* file, const char* name, const std::string& bytes) {
  if (file != nullptr) check(file->write(bytes), name);
}

void ReportWriter::hold(const std::string& bytes) {
  if (!files_.isOpen()) {
    writeToBoth(bytes);  // failures before the opening are asked about at once
    return;
  }
  files_.Pending += bytes.size();
  if (files_.ReportFile) check(files_.ReportFile->hold(bytes), kReportFileName);
  if (files_.RecentFile) check(files_.RecentFile->hold(bytes), kRecentFileName);
  flushIfDue();
}

void ReportWriter::flushIfDue() {
  if (files_.Pending == 0) return;
  if (files_.Pending < kPendingLimit &&
      std::chrono::steady_clock::now() - files_.LastWrite < kLineDelay)
    return;
  flush();
}

void ReportWriter::flush() {
  files_.LastWrite = std::chrono::steady_clock::now();
  if (files_.Pending == 0) return;
  files_.Pending = 0;
  if (files_.ReportFile) check(files_.ReportFile->writeHeld(), kReportFileName);
  if (files_.RecentFile) check(files_.RecentFile->writeHeld(), kRecentFileName);
}

void ReportWriter::writeToBoth(const std::string& bytes) {
  writeTo(files_.ReportFile.get(), kReportFileName, bytes);
  writeTo(files_.RecentFile.get(), kRecentFileName, bytes);
}

std::string ReportWriter::headerLine() {
  const OsVersionInfo& os = engine_.os;
  return "** File Mirroring Report **   Ver." + engine_.shared.VersionText + "    " +
         engine_.shared.TvfFileName + SystemText(engine_) + os.OsVersionText + " " +
         os.OsExtraText + " " + std::to_string(os.BuildHigh) + " " + std::to_string(os.BuildLow);
}

// Runs with both files held (Recent.tvr too, which every instance takes first), so no other
// instance can take the new report.tvr between the rename and its opening here. 0 or the
// errno of the failed step.
int ReportWriter::rotate() {
  bool renamed = false;
  if (const int error = RotateReport(engine_, renamed); !renamed) return error;
  int error = 0;
  auto fresh = engine_.fs().openLocked(ReportPath(engine_), OpenMode::Append, error);
  if (fresh == nullptr) {
    // The run's lines go on into the file under its dated name.
    if (error == 0) error = EIO;
    files_.noteLoss(error, ReportPath(engine_));
    return error;
  }
  // Only lets go of the renamed file: nothing of this run was written to it.
  (void)files_.ReportFile->close();
  files_.ReportFile = std::move(fresh);
  return 0;
}

void ReportWriter::open(const std::string& from, const std::string& to) {
  // Files this process already holds are kept: reopening would drop its own lock.
  if (!files_.isOpen()) {
    if (const ReportTaking taking = TakeReportFiles(engine_); !taking.held()) {
      failed(taking.error);
      return;
    }
  }
  const int rotation = rotate();
  writeLine(headerLine());
  std::string sides;
  std::string failedPath;
  if (const int error = SidesLine(engine_, from, to, sides, failedPath); error != 0) {
    // An unreadable drive ends the program; nothing more is written.
    ShowUnreadableVolume(engine_, failedPath, error);
    engine_.run.EndRequested = true;
    CloseReportFiles(engine_);
    return;
  }
  writeLine(sides);
  for (const std::string& line : ConditionsLines(engine_.job)) writeLine(line);
  writeLine(Separator());
  flush();
  // Said as the block's first action line, not before its header.
  if (rotation != 0) failed(rotation);
}

std::string ReportWriter::finishLine() {
  const RunState& run = engine_.run;
  const std::string finished = FormatDateTime(engine_.sys(), run.FinishTime);
  if (run.StopFlag.load() != 0 || run.LostSide != kNoSideLost)
    return "Stopped in the working : " + finished;
  // A run that never started its passes has no StartTime of its own.
  const DateTime elapsed = run.StartTime == 0 ? 0 : run.FinishTime - run.StartTime;
  return "Finished Time : " + finished + "   所要時間 : " + FormatElapsed(elapsed);
}

// A failed close may have lost what was written; it is said in the file still open.
void ReportWriter::closeFile(std::unique_ptr<LockedFile>& file, const char* name) {
  if (!file) return;
  const int error = file->close();
  file.reset();
  if (error == 0) return;
  files_.noteLoss(error, ChildPath(engine_.shared.AppPath, name));
  writeErrorLine(error);
}

void ReportWriter::sayIncomplete() {
  (void)engine_.ui().messageBox(
      "The report file " + DisplayText(files_.LostFile) +
          " could not be written completely: " + ErrorDescription(files_.LostCode),
      kProgramTitle, MessageIcon::Critical, MessageButtons::Ok);
}

void ReportWriter::close() {
  writeLine(Separator());
  hold(DisplayText(finishLine()) + kLineEnd + kLineEnd + kLineEnd);
  flush();
  closeFile(files_.ReportFile, kReportFileName);
  closeFile(files_.RecentFile, kRecentFileName);
  // The report is the only record of an unattended run: a gap in it must not go unnoticed.
  if (files_.incomplete()) sayIncomplete();
}

// "report" + yymmdd + NN + ".tvr" for the first NN from 00 that is free; empty when all are
// taken.
std::string FreeRotatedName(Engine& engine) {
  const platform::LocalTime today = engine.sys().now();
  char day[8];
  std::snprintf(day, sizeof day, "%02d%02d%02d", today.year % 100, today.month, today.day);
  for (int counter = 0; counter < 100; ++counter) {
    char name[32];
    std::snprintf(name, sizeof name, "report%s%02d.tvr", day, counter);
    const std::string path = ChildPath(engine.shared.AppPath, name);
    platform::FileStat st;
    const int lookup = engine.fs().statEntry(path, st);
    if (lookup == ENOENT || lookup == ENOTDIR) return path;
  }
  return {};
}

}  // namespace

std::string ReportPath(const Engine& engine) {
  return ChildPath(engine.shared.AppPath, kReportFileName);
}

std::string RecentPath(const Engine& engine) {
  return ChildPath(engine.shared.AppPath, kRecentFileName);
}

void CloseReportFiles(Engine& engine) {
  if (engine.report.isOpen()) FlushReport(engine);
  if (engine.report.ReportFile) (void)engine.report.ReportFile->close();
  if (engine.report.RecentFile) (void)engine.report.RecentFile->close();
  engine.report.ReportFile.reset();
  engine.report.RecentFile.reset();
}

void FlushReport(Engine& engine) {
  ReportWriter(engine).flush();
}

void FlushReportIfDue(Engine& engine) {
  ReportWriter(engine).flushIfDue();
}

int RotateReport(Engine& engine, bool& renamed) {
  renamed = false;
  platform::FileStat st;
  const std::string report = ReportPath(engine);
  const int error = engine.fs().statEntry(report, st);
  // A report that does not exist has nothing to rotate.
  if (error == ENOENT) return 0;
  if (error != 0) return error;
  if (static_cast<double>(st.size) <= static_cast<double>(engine.shared.ReportSize) * 1024.0) {
    return 0;
  }
  const std::string rotated = FreeRotatedName(engine);
  if (rotated.empty()) return EEXIST;
  if (const int failed = engine.fs().renameEntry(report, rotated); failed != 0) return failed;
  renamed = true;
  return 0;
}

namespace {

// The run's own figures (the last-run status) follow its lines, written or not (a line held
// behind copies on their way counts when it is written in its place).
void CountLine(RunState& run, ReportLineKind kind) {
  if (run.DryRunMode != 0) return;
  switch (kind) {
    case ReportLineKind::MakeDirectory:
      ++run.FoldersMade;
      break;
    case ReportLineKind::NewFile:
    case ReportLineKind::UpDateFile:
    case ReportLineKind::AllFiles:
    case ReportLineKind::SizeChange:
      ++run.FilesCopied;
      break;
    case ReportLineKind::RemoveDirectory:
    case ReportLineKind::DeleteFile:
      ++run.EntriesRemoved;
      break;
    default:
      break;
  }
}

}  // namespace

std::int16_t WriteReport(Engine& engine, ReportLineKind kind, const std::string& text,
                         std::int16_t report, const std::string& from, const std::string& to) {
  const auto code = static_cast<std::int16_t>(kind);
  ReportWriter writer(engine);
  // A report that was opened is always finished and released, even when Report was
  // switched off during the run: otherwise the lock would outlive the run.
  if (kind == ReportLineKind::CloseReport && engine.report.isOpen()) {
    writer.close();
    return 0;
  }
  if (engine.run.DryRunMode != 0 || report != -1 || engine.run.EndRequested) {
    if (report != -1) CountLine(engine.run, kind);
    return 0;
  }
  if (kind == ReportLineKind::OpenReport) {
    writer.open(from, to);
  } else if (kind == ReportLineKind::Error && !engine.report.isOpen()) {
    writer.open(from, to);
  }
  if (code < 0 || engine.run.EndRequested) return 0;
  LineHold* const hold = engine.report.HeldBehind;
  if (hold != nullptr && hold->holdLine(code, text)) return 0;  // written in its place later
  CountLine(engine.run, kind);
  // Lines of other kinds only belong between the opening and the closing of a run.
  writer.writeLine(PrefixOf(code) + text);
  return 0;
}

}  // namespace tolvan
