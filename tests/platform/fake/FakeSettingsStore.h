#pragma once

#include <map>
#include <string>
#include <utility>

#include "platform/SettingsStore.h"

namespace tolvan::platform {

class FakeSettingsStore : public SettingsStore {
 public:
  std::string get(const std::string& section, const std::string& key,
                  const std::string& defaultValue) override {
    auto it = values.find({section, key});
    return it == values.end() ? defaultValue : it->second;
  }
  void set(const std::string& section, const std::string& key, const std::string& value) override {
    values[{section, key}] = value;
  }
  std::map<std::pair<std::string, std::string>, std::string> values;
};

}  // namespace tolvan::platform
