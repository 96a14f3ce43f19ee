#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "engine/DateTime.h"
#include "engine/Engine.h"
#include "support/EngineFixture.h"

namespace tolvan::testing {

// Records what the dry runs hand over.
class RecordingSink : public DryRunSink {
 public:
  struct Call {
    int code;
    std::string from;
    std::string to;
    std::string name;
    Sides sides;
  };
  void SimulateWrite(int code, const std::string& from, const std::string& to,
                     const std::string& name, const Sides& sides) override {
    simulated.push_back(Call{code, from, to, name, sides});
  }
  void WriteRestoreLines(const std::string& source, const std::string& target) override {
    restores.emplace_back(source, target);
  }
  std::vector<Call> simulated;
  std::vector<std::pair<std::string, std::string>> restores;
};

// An engine on the fakes with the report open around each pass, so the pass's own lines can
// be read back.
class PassFixture : public EngineFixture {
 protected:
  static constexpr std::int64_t kT = 1700000000;  // 2023/11/14 22:13:20 UTC

  void openReport();
  void closeReport();
  // Runs the pass over /m and /b between an opened and a closed report; its action lines.
  std::vector<std::string> runCopy();
  std::vector<std::string> runRemoval();
  // The date-time text of a Unix time as the report writes it.
  [[nodiscard]] std::string when(std::int64_t unixSeconds);
  // Every way the tree below `b` differs from the tree below `m` (names, kinds, contents,
  // modification times, permission bits); empty when they are equal.
  [[nodiscard]] std::vector<std::string> treeDifferences(const std::string& m,
                                                         const std::string& b) const;

  std::int32_t errors = 0;
};

}  // namespace tolvan::testing
