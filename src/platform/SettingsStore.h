#pragma once

#include <string>

namespace tolvan::platform {

// Per-user text values by section and key, under the application name "Tolvan32".
class SettingsStore {
 public:
  virtual ~SettingsStore() = default;
  [[nodiscard]] virtual std::string get(const std::string& section, const std::string& key,
                                        const std::string& defaultValue) = 0;
  virtual void set(const std::string& section, const std::string& key,
                   const std::string& value) = 0;
};

}  // namespace tolvan::platform
