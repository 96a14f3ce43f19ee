#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "platform/FileSystem.h"

namespace tolvan {

struct Engine;

inline constexpr const char* kBatchFileName = "tlvdos.bat";
// Its twin for Linux: the same decisions as a POSIX shell script.
inline constexpr const char* kShellFileName = "tlvdos.sh";

// The restore batch file and its shell twin, created in the program folder when the first
// file needs lines, so a run that finds no differing file leaves earlier files as they were.
class RestoreBatch {
 public:
  explicit RestoreBatch(Engine& engine) : engine_(engine) {}

  // The lines for one master file `master` and its backup path `backup`.
  void WriteRestoreLines(const std::string& master, const std::string& backup);
  // Closes both files; 0 or the errno of the first failure of the whole batch run.
  [[nodiscard]] int close();
  // The name of the file that failed first (kBatchFileName or kShellFileName).
  [[nodiscard]] const char* failedFile() const { return failedFile_; }

  [[nodiscard]] bool isOpen() const { return BatchFile != nullptr; }

 private:
  void open(const std::string& master, const std::string& backup);
  void write(platform::LockedFile* file, const std::string& bytes);
  void note(int error, const platform::LockedFile* file) {
    note(error, file == shellFile_.get() ? kShellFileName : kBatchFileName);
  }
  void note(int error, const char* name) {
    if (firstError_ != 0) return;
    firstError_ = error;
    failedFile_ = name;
  }

  Engine& engine_;
  std::unique_ptr<platform::LockedFile> BatchFile;
  std::unique_ptr<platform::LockedFile> shellFile_;
  int firstError_ = 0;
  const char* failedFile_ = kBatchFileName;
};

// `text` as one shell word: in single quotes, each quote written as '\''. Every byte but
// NUL (which no path holds) stands for itself inside them.
[[nodiscard]] std::string ShellQuoted(std::string_view text);

// A batch-file operand: in double quotes when it holds a blank, so a line keeps its operands.
[[nodiscard]] std::string BatchOperand(const std::string& path);

}  // namespace tolvan
