#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "engine/Engine.h"
#include "platform/FileSystem.h"

namespace tolvan {

inline constexpr const char* kSimulationListName = "simulate.csv";

// Difference kinds as bit values: the copy pass finds 1 to 16, the removal pass 32.
inline constexpr std::int16_t kAllDifferenceKinds = 63;

// The simulation list: a comma-separated file of the differences between both trees.
class SimulationList {
 public:
  explicit SimulationList(Engine& engine) : engine_(engine) {}

  std::string SimulateFileName;

  // -1 creates the file and writes its opening lines; -2 writes the closing lines and closes
  // it; a kind's bit value writes one line for `fileName` in `dirFrom` / `dirTo` with the side
  // details. Any other code writes nothing. Always 0.
  std::int16_t SimulateWrite(std::int16_t code, const std::string& dirFrom = {},
                             const std::string& dirTo = {}, const std::string& fileName = {},
                             const DryRunSink::Sides& sides = {});

  [[nodiscard]] bool isOpen() const { return SimulateFile != nullptr; }
  // The file was created by this simulation (there is a list to look at).
  [[nodiscard]] bool created() const { return created_; }
  // A failure was asked about or written into the list.
  [[nodiscard]] bool hadErrors() const { return errors_ > 0; }

 private:
  void open(const std::string& from, const std::string& to);
  void close();
  void writeLine(const std::string& line);
  void flush();
  void failed(int code);
  [[nodiscard]] std::string dataLine(std::int16_t code, const std::string& dirFrom,
                                     const std::string& dirTo, const std::string& fileName,
                                     const DryRunSink::Sides& sides);

  Engine& engine_;
  std::unique_ptr<platform::LockedFile> SimulateFile;
  int errors_ = 0;
  // Lines not written yet: one write per block instead of one per line.
  std::string pending_;
  bool created_ = false;
};

// The data line's kind number: the base-2 logarithm of the bit value, plus 1; 0 for a value
// that is not one kind's bit.
[[nodiscard]] int DifferenceKind(std::int16_t code);

}  // namespace tolvan
