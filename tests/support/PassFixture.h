#pragma once

#include <cstdint>
#include <initializer_list>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "engine/DateTime.h"
#include "engine/Engine.h"
#include "support/EngineFixture.h"

namespace tolvan::testing {

using Lines = std::vector<std::string>;

// Records what the dry runs hand over.
class RecordingSink : public DryRunSink {
 public:
  struct Call {
    int code;
    std::string from, to, name;
    Sides sides;
  };
  void SimulateWrite(int code, const std::string& from, const std::string& to,
                     const std::string& name, const Sides& sides) override {
    simulated.push_back(Call{code, from, to, name, sides});
  }
  void WriteRestoreLines(const std::string& source, const std::string& target) override {
    restores.push_back(source + ">" + target);
  }
  std::vector<Call> simulated;
  Lines restores;
};

// An engine on the fakes with the report open around each pass, so the pass's own lines can
// be read back.
class PassFixture : public EngineFixture {
 protected:
  static constexpr std::int64_t kT = 1700000000;  // 2023/11/14 22:13:20 UTC

  // Files dated kT whose content is their own name.
  void addFiles(std::initializer_list<std::string> paths) {
    for (const auto& path : paths) fs.addFile(path, path.substr(path.rfind('/') + 1), kT);
  }
  void openReport();
  void closeReport();
  // Runs the pass over /m and /b between an opened and a closed report; its action lines.
  Lines runCopy();
  Lines runRemoval();
  // The date-time text of a Unix time as the report writes it.
  [[nodiscard]] std::string when(std::int64_t unixSeconds);
  // Every entry below `root` by its relative path, with its kind, permission bits, content
  // and (but for folders) modification time.
  [[nodiscard]] std::map<std::string, std::string> tree(const std::string& root) const;

  std::int32_t errors = 0;
};

}  // namespace tolvan::testing
