#include "engine/RestoreBatch.h"

#include <cerrno>
#include <vector>

#include "engine/DateTime.h"
#include "engine/Engine.h"
#include "engine/FileOps.h"
#include "engine/Paths.h"

namespace tolvan {
namespace {

constexpr const char* kBatchLineEnd = "\r\n";
constexpr const char* kShellLineEnd = "\n";

const char* const kRemarks[] = {
    "Ｗｉｎｄｏｗｓのリストア用のバッチファイルです。",
    "以下のファイルは、ＴＬＶ３２で書き換えることができませんでした。",
    "ＤＯＳモードで再起動し、このバッチファイルを実行してください。",
};

std::string LowerAscii(std::string text) {
  for (char& c : text) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return text;
}

// "yy/mm/dd hh:mm" of now.
std::string BatchDate(Engine& engine) {
  const platform::LocalTime now = engine.sys().now();
  const auto two = [](int value) { return std::to_string(value % 100 + 100).substr(1); };
  return two(now.year) + "/" + two(now.month) + "/" + two(now.day) + " " + two(now.hour) + ":" +
         two(now.minute);
}

// "-r -s -h " or "+r +s +h " for the bits the master file has.
std::string AttribFlags(std::uint32_t attributes, char sign) {
  std::string flags;
  if ((attributes & platform::kAttrReadOnly) != 0) flags += std::string(1, sign) + "r ";
  if ((attributes & platform::kAttrSystem) != 0) flags += std::string(1, sign) + "s ";
  if ((attributes & platform::kAttrHidden) != 0) flags += std::string(1, sign) + "h ";
  return flags;
}

struct FileLines {
  std::string shortMaster;  // S
  std::string shortBackup;  // T
  bool backupExists = false;
  std::uint32_t attributes = 0;
};

}  // namespace

std::string ShellQuoted(std::string_view text) {
  std::string quoted = "'";
  for (const char c : text) {
    if (c == '\'') {
      quoted += "'\\''";
    } else {
      quoted.push_back(c);
    }
  }
  return quoted + "'";
}

std::string BatchOperand(const std::string& path) {
  return path.find(' ') == std::string::npos ? path : "\"" + path + "\"";
}

void RestoreBatch::write(platform::LockedFile* file, const std::string& bytes) {
  if (file == nullptr) return;
  if (const int error = file->write(bytes); error != 0) note(error, file);
}

void RestoreBatch::open(const std::string& master, const std::string& backup) {
  const std::string& folder = engine_.shared.AppPath;
  int error = 0;
  BatchFile = engine_.fs().openLocked(ChildPath(folder, kBatchFileName),
                                      platform::OpenMode::Truncate, error);
  if (BatchFile == nullptr) note(error != 0 ? error : EIO, kBatchFileName);
  shellFile_ = engine_.fs().openLocked(ChildPath(folder, kShellFileName),
                                       platform::OpenMode::Truncate, error);
  if (shellFile_ == nullptr) note(error != 0 ? error : EIO, kShellFileName);
  std::string masterFolder;
  std::string backupFolder;
  (void)SplitPath(master, masterFolder);
  (void)SplitPath(backup, backupFolder);
  const std::string sides = masterFolder + " -> " + backupFolder + "   " + BatchDate(engine_);
  write(BatchFile.get(), DisplayText("REM " + sides) + kBatchLineEnd);
  write(shellFile_.get(), std::string("#!/bin/sh") + kShellLineEnd);
  write(shellFile_.get(), "# " + DisplayText(sides) + kShellLineEnd);
  for (const char* remark : kRemarks) {
    write(BatchFile.get(), std::string("REM ") + remark + kBatchLineEnd);
    write(shellFile_.get(), std::string("# ") + remark + kShellLineEnd);
  }
  write(BatchFile.get(), std::string("REM") + kBatchLineEnd);
  write(shellFile_.get(), std::string("#") + kShellLineEnd);
}

void RestoreBatch::WriteRestoreLines(const std::string& master, const std::string& backup) {
  const std::string lowered = LowerAscii(master);
  if (lowered.find(".tmp") != std::string::npos ||
      lowered.find("win386.swp") != std::string::npos) {
    return;
  }
  if (BatchFile == nullptr && shellFile_ == nullptr) open(master, backup);
  FileLines file;
  EntryInfo masterInfo;
  (void)GetEntryInfo(engine_, master, masterInfo);
  file.attributes = masterInfo.Attributes;
  file.shortMaster = ShortPathName(engine_, master);
  file.shortBackup = ShortPathName(engine_, backup);
  file.backupExists = !file.shortBackup.empty();
  if (!file.backupExists) {
    std::string backupFolder;
    std::string masterFolder;
    (void)SplitPath(backup, backupFolder);
    const std::string shortName = SplitPath(file.shortMaster, masterFolder);
    file.shortBackup = ChildPath(ShortPathName(engine_, backupFolder), shortName);
  }
  const std::string clear = AttribFlags(file.attributes, '-');
  const std::string set = AttribFlags(file.attributes, '+');
  const std::string s = BatchOperand(file.shortMaster);
  const std::string t = BatchOperand(file.shortBackup);
  std::vector<std::string> lines;
  if (!clear.empty()) {
    lines.push_back("attrib " + clear + s);
    if (file.backupExists) lines.push_back("attrib " + clear + t);
  }
  lines.push_back("copy " + s + " " + t);
  if (!set.empty()) {
    lines.push_back("attrib " + set + s);
    if (file.backupExists) lines.push_back("attrib " + set + t);
  }
  for (const auto& line : lines) write(BatchFile.get(), DisplayText(line) + kBatchLineEnd);

  // The shell twin works on the real names, byte for byte. The copy replaces the backup
  // entry itself (never what a link there points to); the owner's write bit lets a
  // read-only backup file be replaced and is taken away again afterwards.
  const bool readOnly = (file.attributes & platform::kAttrReadOnly) != 0;
  const std::string from = ShellQuoted(master);
  const std::string to = ShellQuoted(backup);
  std::string shell;
  if (readOnly && file.backupExists) shell += "chmod u+w -- " + to + kShellLineEnd;
  shell += "cp -p --remove-destination -- " + from + " " + to + kShellLineEnd;
  if (readOnly) shell += "chmod a-w -- " + to + kShellLineEnd;
  write(shellFile_.get(), shell);
}

int RestoreBatch::close() {
  for (auto* file : {&BatchFile, &shellFile_}) {
    if (*file == nullptr) continue;
    if (const int error = (*file)->close(); error != 0) note(error, file->get());
    file->reset();
  }
  return firstError_;
}

}  // namespace tolvan
