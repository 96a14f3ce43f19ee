#include <gtest/gtest.h>

#include "TempFolder.h"
#include "platform/QtSettingsStore.h"

namespace tolvan::platform {
namespace {

// The store's file lives under $XDG_CONFIG_HOME; the first store of the process fixes it,
// so this test sets it before any store exists.
TEST(QtSettingsStoreTest, ValuesSurviveANewStore) {
  testing::TempFolder tmp;
  ::setenv("XDG_CONFIG_HOME", tmp.path().c_str(), 1);
  {
    QtSettingsStore store;
    EXPECT_EQ(store.get("MainForm", "Left", "100"), "100");
    store.set("MainForm", "Left", "250");
    store.set("Editor", "Path", "/usr/bin/gedit, --new-window");
    store.set("Simulation", "File", "一覧.csv");
    EXPECT_EQ(store.flush(), 0);
  }
  EXPECT_TRUE(testing::Exists(tmp / "Tolvan32/Tolvan32.conf"));
  QtSettingsStore again;
  EXPECT_EQ(again.get("MainForm", "Left", "100"), "250");
  EXPECT_EQ(again.get("Editor", "Path", ""), "/usr/bin/gedit, --new-window");
  EXPECT_EQ(again.get("Simulation", "File", ""), "一覧.csv");
  EXPECT_EQ(again.get("ProcessForm", "Top", "7"), "7");
  ::unsetenv("XDG_CONFIG_HOME");
}

}  // namespace
}  // namespace tolvan::platform
