#include <gtest/gtest.h>

#include "TempFolder.h"
#include "platform/QtSettingsStore.h"

namespace tolvan::platform {
namespace {

// The first store of the process fixes its file under $XDG_CONFIG_HOME: set it before any.
TEST(QtSettingsStoreTest, ValuesSurviveANewStore) {
  TempFolder tmp;
  ::setenv("XDG_CONFIG_HOME", tmp.path().c_str(), 1);
  {
    QtSettingsStore store;
    EXPECT_EQ(store.get("MainForm", "Left", "100"), "100");
    store.set("MainForm", "Left", "250");
    store.set("Editor", "Path", "/usr/bin/gedit, --new-window");
    store.set("Simulation", "File", "一覧.csv");
    EXPECT_EQ(store.flush(), 0);
  }
  EXPECT_TRUE(Exists(tmp / "Tolvan32/Tolvan32.conf"));
  QtSettingsStore again;
  EXPECT_EQ(again.get("MainForm", "Left", "100") + again.get("Editor", "Path", "") +
                again.get("Simulation", "File", "") + again.get("ProcessForm", "Top", "7"),
            "250/usr/bin/gedit, --new-window一覧.csv7");
  ::unsetenv("XDG_CONFIG_HOME");
}

}  // namespace
}  // namespace tolvan::platform
