#pragma once

#include "conditions/Session.h"
#include "engine/Engine.h"
#include "platform/LinuxFileSystem.h"
#include "platform/LinuxTrash.h"
#include "platform/TempFolder.h"
#include "platform/fake/FakeSettingsStore.h"
#include "platform/fake/FakeSystemInfo.h"
#include "platform/fake/FakeWindowSystem.h"

namespace tolvan::testing {

// A session over the real file system in a temporary folder, with fakes for the windows,
// the clock and the settings store.
struct RealFolderSession {
  platform::testing::TempFolder tmp;
  platform::LinuxFileSystem fs;
  platform::LinuxTrash trash{fs};
  platform::FakeWindowSystem ui;
  platform::FakeSystemInfo sys;
  Engine engine{Services{fs, trash, ui, sys}};
  platform::FakeSettingsStore settings;
  Session session{engine, settings};
};

}  // namespace tolvan::testing
