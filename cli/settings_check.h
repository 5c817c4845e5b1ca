#pragma once
// What a device command tells about the settings file before it trusts it: which file it is, whether
// it exists and holds the profile, numbers that do not convert (rather than using their default in
// silence), and the port opened when neither the settings nor --port name one.

#include "app/settings_store.h"

#include <optional>
#include <string>

namespace cli {

// "settings file PATH", with " (it does not exist)" or " (it holds no profile 'NAME')" when so.
std::string settingsFileText(const app::SettingsStore& store, const std::string& profile);

// The message for the first number of the profile or the global sections that does not convert.
std::optional<std::string> unconvertibleSetting(const app::SettingsStore& store, const std::string& profile);

// True when the settings name neither a port device nor a port number.
bool settingsNameNoPort(const app::SettingsStore& store);

} // namespace cli
