#include "ConditionsFixture.h"
#include "conditions/Startup.h"
#include "engine/Report.h"

namespace tolvan::testing {
namespace {

class StartupTest : public ConditionsFixture {};

TEST_F(StartupTest, StoredReportSizeIsCheckedAndConverted) {
  const std::pair<std::string, float> cases[] = {
      {"0", 512.0F}, {"abc", 512.0F}, {"12.5", 12.0F}, {"13.5", 14.0F}};
  for (const auto& [text, size] : cases) EXPECT_EQ(ReportSizeFromText(text), size) << text;
  settings.set("Editor", "ReportSize", "12.5");
  settings.set("MainForm", "Top", "-4800");
  (void)FormLoad(session, {});
  EXPECT_EQ(engine.shared.ReportSize, 12.0F);
  EXPECT_EQ(session.window.top, 300) << "a position off the screen is not used";
}

TEST_F(StartupTest, ProgramFolderComesFromTheEnvironment) {
  sys.env["HOME"] = "/home/u";
  EXPECT_EQ(ResolveAppPath(sys, "/work"), "/home/u/.local/share/Tolvan32");
  sys.env["XDG_DATA_HOME"] = "relative";  // ignored
  EXPECT_EQ(ResolveAppPath(sys, "/work"), "/home/u/.local/share/Tolvan32");
  sys.env["XDG_DATA_HOME"] = "/data/";
  EXPECT_EQ(ResolveAppPath(sys, "/work"), "/data/Tolvan32");
  sys.env["TOLVAN32_HOME"] = "jobs/../tv";
  engine.shared.AppPath.clear();
  (void)FormLoad(session, {});
  EXPECT_EQ(engine.shared.AppPath, "/work/tv");
  EXPECT_TRUE(fs.exists("/work/tv"));
}

// A run killed while saving TvfSet.txt leaves its temporary file; only such files go.
TEST_F(StartupTest, LeftoversOfTheProgramsOwnSavesAreRemoved) {
  const std::string leftover = "/app/.tolvan32-partial-0123456789abcdef";
  fs.addFile(leftover, "half a list");
  fs.addFile("/app/.tolvan32-partial-notes", "mine");
  fs.addFile("/app/.tolvan32-partial-0123456789ABCDEF", "mine too");
  fs.addDirectory("/app/.tolvan32-partial-fedcba9876543210");
  (void)FormLoad(session, {});
  EXPECT_EQ(fs.removed, std::vector<std::string>{leftover});
}

}  // namespace
}  // namespace tolvan::testing
