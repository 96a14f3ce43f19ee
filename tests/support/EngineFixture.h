#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/Engine.h"
#include "platform/fake/FakeFileSystem.h"
#include "platform/fake/FakeSystemInfo.h"
#include "platform/fake/FakeTrash.h"
#include "platform/fake/FakeWindowSystem.h"

namespace tolvan::testing {

// An engine on the in-memory fakes: program folder /app, master /m, backup /b.
class EngineFixture : public ::testing::Test {
 protected:
  EngineFixture();

  // The lines of a file of the fake file system (CR+LF removed).
  [[nodiscard]] std::vector<std::string> linesOf(const std::string& path) const;
  [[nodiscard]] std::vector<std::string> reportLines() const { return linesOf("/app/report.tvr"); }
  [[nodiscard]] std::vector<std::string> recentLines() const { return linesOf("/app/Recent.tvr"); }
  // The action lines between the two separators of the last block of Recent.tvr.
  [[nodiscard]] std::vector<std::string> actionLines() const;
  // The texts of the message boxes shown so far.
  [[nodiscard]] std::vector<std::string> boxTexts() const {
    std::vector<std::string> texts;
    for (const auto& box : ui.boxes) texts.push_back(box.text);
    return texts;
  }

  platform::FakeFileSystem fs;
  platform::FakeTrash trash{fs};
  platform::FakeWindowSystem ui;
  platform::FakeSystemInfo sys;
  Engine engine{Services{fs, trash, ui, sys}};
};

inline const std::string kSeparator(63, '-');

}  // namespace tolvan::testing
