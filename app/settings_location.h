#pragma once
// Where the settings file lives.
//
// A prog.ini next to the program makes a portable installation and is used when it exists. Otherwise
// the file is $XDG_CONFIG_HOME/velmora/prog.ini, or ~/.config/velmora/prog.ini when XDG_CONFIG_HOME is
// unset, empty or relative. A path given by the user (velmora-cli --settings FILE) wins over both.

#include <filesystem>
#include <string>
#include <string_view>

namespace app {

inline constexpr std::string_view kSettingsFileName = "prog.ini";

struct SettingsEnvironment {
    std::string xdgConfigHome; // XDG_CONFIG_HOME, possibly empty
    std::string home;          // HOME, or the user database's home folder when HOME is unset
};

// The environment of this process.
SettingsEnvironment currentSettingsEnvironment();

// The folder of the running program's executable; empty when it cannot be found.
std::filesystem::path programDirectory();

// The settings file to open: `explicitPath` when not empty, else the rules above. The result may not
// exist yet; the store creates it (and its folder) on the first write.
std::filesystem::path resolveSettingsPath(std::string_view explicitPath,
                                          const std::filesystem::path& programDir,
                                          const SettingsEnvironment& env);

} // namespace app
