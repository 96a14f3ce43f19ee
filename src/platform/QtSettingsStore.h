#pragma once

#include <memory>
#include <string>

#include "platform/SettingsStore.h"

class QSettings;

namespace tolvan::platform {

// Per-user settings in ~/.config/Tolvan32/Tolvan32.conf ($XDG_CONFIG_HOME honoured), one
// INI section per settings section. Texts are UTF-8.
class QtSettingsStore : public SettingsStore {
 public:
  QtSettingsStore();
  ~QtSettingsStore() override;  // writes pending changes
  QtSettingsStore(const QtSettingsStore&) = delete;
  QtSettingsStore& operator=(const QtSettingsStore&) = delete;

  std::string get(const std::string& section, const std::string& key,
                  const std::string& defaultValue) override;
  void set(const std::string& section, const std::string& key, const std::string& value) override;
  // Writes pending changes now; 0 or EIO when the file could not be written.
  [[nodiscard]] int flush();

 private:
  std::unique_ptr<QSettings> settings_;
};

}  // namespace tolvan::platform
