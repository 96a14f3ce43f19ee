#include "engine/SimulationList.h"

#include <cerrno>

#include "engine/DateTime.h"
#include "engine/JobDescription.h"
#include "engine/Paths.h"

namespace tolvan {
namespace {

using platform::MessageAnswer;
using platform::MessageButtons;
using platform::MessageIcon;

constexpr const char* kLineEnd = "\r\n";
constexpr int kMasterOnly = 8;
constexpr int kBackupOnly = 32;
constexpr std::size_t kWriteBlock = 64 * 1024;

const char* const kLegend[] = {
    "＜属性説明＞",
    "属性,意味",
    "1,日付の新しいファイル",
    "2,日付の古いファイル",
    "3,日付が同じでサイズが違うファイル",
    "4,ソース側にのみ存在するファイル",
    "5,日付とサイズが同じファイル",
    "6,バックアップ側にのみ存在するファイル",
};

std::string Separator() {
  return std::string(63, '-');
}

std::string CodeAndText(int code) {
  return std::to_string(code) + "  " + ErrorDescription(code);
}

}  // namespace

int DifferenceKind(std::int16_t code) {
  for (int kind = 1; kind <= 6; ++kind) {
    if (code == (1 << (kind - 1))) return kind;
  }
  return 0;
}

std::int16_t SimulationList::SimulateWrite(std::int16_t code, const std::string& dirFrom,
                                           const std::string& dirTo, const std::string& fileName,
                                           const DryRunSink::Sides& sides) {
  if (code == -1) {
    open(dirFrom, dirTo);
  } else if (code == -2) {
    close();
  } else if (DifferenceKind(code) != 0) {
    writeLine(dataLine(code, dirFrom, dirTo, fileName, sides));
  }
  return 0;
}

// While the list is open a failure becomes a line in it; before that the user decides
// whether the program goes on.
void SimulationList::failed(int code) {
  ++errors_;
  if (SimulateFile != nullptr) {
    const std::string line =
        pending_ + DisplayText("Simulate File Error Code : " + CodeAndText(code));
    pending_.clear();
    // A failure of the error line itself is dropped: there is nowhere left to say it.
    (void)SimulateFile->write(line + kLineEnd);
    return;
  }
  const MessageAnswer answer =
      engine_.ui().messageBox("継続しますか？  Error Code : " + CodeAndText(code), "Error",
                              MessageIcon::Critical, MessageButtons::YesNo);
  if (answer == MessageAnswer::No) engine_.run.EndRequested = true;
}

void SimulationList::writeLine(const std::string& line) {
  if (engine_.run.EndRequested) return;
  if (SimulateFile == nullptr) return failed(EBADF);
  pending_ += DisplayText(line);
  pending_ += kLineEnd;
  if (pending_.size() >= kWriteBlock) flush();
}

void SimulationList::flush() {
  if (SimulateFile == nullptr || pending_.empty()) return;
  const int error = SimulateFile->write(pending_);
  pending_.clear();
  if (error != 0) failed(error);
}

void SimulationList::open(const std::string& from, const std::string& to) {
  int error = 0;
  SimulateFile = engine_.fs().openLocked(SimulateFileName, platform::OpenMode::Truncate, error);
  created_ = SimulateFile != nullptr;
  if (!created_) failed(error != 0 ? error : EIO);
  const SharedValues& shared = engine_.shared;
  writeLine("** File Mirroring Simulate **   Ver." + shared.VersionText + "    " +
            shared.TvfFileName + SystemText(engine_) + engine_.os.OsVersionText);
  std::string sides;
  std::string failedPath;
  if (const int labelError = SidesLine(engine_, from, to, sides, failedPath); labelError != 0) {
    // An unreadable drive ends the program, as it does for the report.
    ShowUnreadableVolume(engine_, failedPath, labelError);
    engine_.run.EndRequested = true;
    ++errors_;
    return;
  }
  writeLine(sides);
  for (const std::string& line : ConditionsLines(engine_.job)) writeLine(line);
  writeLine("");
  for (const char* line : kLegend) writeLine(line);
  writeLine("");
  writeLine(Separator());
  writeLine("属性,FileName,DirFrom,TimeFrom,SizeFrom,AttrFrom,DirTo,TimeTo,SizeTo,AttrTo");
}

void SimulationList::close() {
  writeLine(Separator());
  const std::string finished = FormatDateTime(engine_.sys(), engine_.run.FinishTime);
  writeLine((engine_.run.StopFlag.load() != 0 ? "Stopped in the working : " : "Finished Time : ") +
            finished);
  writeLine("");
  writeLine("");
  flush();
  if (SimulateFile != nullptr) {
    const int error = SimulateFile->close();
    SimulateFile.reset();
    if (error != 0) failed(error);
  }
}

std::string SimulationList::dataLine(std::int16_t code, const std::string& dirFrom,
                                     const std::string& dirTo, const std::string& fileName,
                                     const DryRunSink::Sides& sides) {
  platform::SystemInfo& sys = engine_.sys();
  std::string line =
      " " + std::to_string(DifferenceKind(code)) + "," + fileName + "," + dirFrom + ",";
  if (code == kBackupOnly) {
    line += ",,,";
  } else {
    line += FormatDateTime(sys, sides.TimeFrom) + "," + std::to_string(sides.SizeFrom) + "," +
            std::to_string(sides.AttrFrom) + ",";
  }
  line += dirTo + ",";
  if (code == kMasterOnly) {
    line += ",,";
  } else {
    line += FormatDateTime(sys, sides.TimeTo) + "," + std::to_string(sides.SizeTo) + "," +
            std::to_string(sides.AttrTo);
  }
  return line;
}

}  // namespace tolvan
