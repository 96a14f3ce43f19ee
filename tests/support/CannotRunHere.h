#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <string_view>

namespace tolvan::testing {

// Set to 1 where every test can run (CI: root, every package of scripts/setup.sh): a test that
// cannot run there fails instead of skipping, so a missing package or right cannot hide the
// faults that only it catches.
inline bool EveryTestMustRun() {
  const char* value = std::getenv("TOLVAN32_TESTS_REQUIRE_ALL");
  return value != nullptr && std::string_view(value) == "1";
}

}  // namespace tolvan::testing

// Skips the test for a reason outside the program, or fails it where every test must run.
#define TOLVAN_CANNOT_RUN_HERE(why)                                                          \
  do {                                                                                       \
    if (::tolvan::testing::EveryTestMustRun()) GTEST_FAIL() << "cannot run here: " << (why); \
    GTEST_SKIP() << (why);                                                                   \
  } while (false)
