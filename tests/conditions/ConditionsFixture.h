#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "conditions/Session.h"
#include "platform/fake/FakeSettingsStore.h"
#include "support/EngineFixture.h"

namespace tolvan::testing {

// A session on the in-memory fakes; formSet records the timer values it is called with.
class ConditionsFixture : public EngineFixture {
 protected:
  ConditionsFixture() {
    fs.addDirectory("/tmp");
    fs.addDirectory("/work");
    session.workingFolder = "/work";
    session.formSet = [this](std::int16_t timer) { formSetCalls.push_back(timer); };
  }

  // Writes /app/<name> from lines.
  void writeTvf(const std::vector<std::string>& lines, const std::string& name = "job.tvf") {
    std::string text;
    for (const auto& line : lines) text += line + "\r\n";
    fs.addFile("/app/" + name, text);
  }

  platform::FakeSettingsStore settings;
  Session session{engine, settings};
  std::vector<std::int16_t> formSetCalls;
};

}  // namespace tolvan::testing
