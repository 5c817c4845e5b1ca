#include "cli/settings_check.h"

#include "app/integer_text.h"
#include "app/settings_keys.h"

#include <filesystem>

namespace cli {

std::string settingsFileText(const app::SettingsStore& store, const std::string& profile) {
    std::string text = "settings file " + store.path().string();
    std::error_code ec;
    if (!std::filesystem::exists(store.path(), ec))
        return text + " (it does not exist)";
    const std::string section = app::settingSection(app::Setting::ProtocolPath, profile);
    if (!store.find(section, app::settingKeyName(app::Setting::ProtocolPath)))
        return text + " (it holds no profile '" + profile + "')";
    return text;
}

std::optional<std::string> unconvertibleSetting(const app::SettingsStore& store, const std::string& profile) {
    for (const app::SettingKey& k : app::kSettingKeys) {
        if (k.type == app::SettingType::String || k.numbered)
            continue;
        const std::string section = app::settingSection(k.id, profile);
        const std::optional<std::string> value = store.find(section, k.key);
        if (value && !value->empty() && !app::parseInteger(*value))
            return "device: settings file " + store.path().string() + ": [" + section + "] " +
                   std::string(k.key) + "=" + *value + " is not a number";
    }
    return std::nullopt;
}

bool settingsNameNoPort(const app::SettingsStore& store) {
    const auto device = store.find(app::settingSection(app::Setting::PortDevice),
                                   app::settingKeyName(app::Setting::PortDevice));
    const auto number = store.find(app::settingSection(app::Setting::PortIndex),
                                   app::settingKeyName(app::Setting::PortIndex));
    return (!device || device->empty()) && !number;
}

} // namespace cli
