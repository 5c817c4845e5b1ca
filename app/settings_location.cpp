#include "app/settings_location.h"

#include <cstdlib>
#include <pwd.h>
#include <unistd.h>

namespace app {

namespace fs = std::filesystem;

SettingsEnvironment currentSettingsEnvironment() {
    SettingsEnvironment env;
    if (const char* xdg = std::getenv("XDG_CONFIG_HOME"))
        env.xdgConfigHome = xdg;
    if (const char* home = std::getenv("HOME"); home && *home) {
        env.home = home;
    } else if (const passwd* pw = ::getpwuid(::getuid()); pw && pw->pw_dir) {
        env.home = pw->pw_dir;
    }
    return env;
}

fs::path programDirectory() {
    std::error_code ec;
    const fs::path exe = fs::read_symlink("/proc/self/exe", ec);
    return ec ? fs::path() : exe.parent_path();
}

fs::path resolveSettingsPath(std::string_view explicitPath, const fs::path& programDir,
                             const SettingsEnvironment& env) {
    if (!explicitPath.empty())
        return fs::path(explicitPath);
    if (!programDir.empty()) {
        const fs::path portable = programDir / kSettingsFileName;
        std::error_code ec;
        if (fs::is_regular_file(portable, ec))
            return portable;
    }
    // XDG base directory rules ignore a relative XDG_CONFIG_HOME.
    fs::path base;
    if (!env.xdgConfigHome.empty() && fs::path(env.xdgConfigHome).is_absolute())
        base = env.xdgConfigHome;
    else
        base = fs::path(env.home) / ".config";
    return base / "velmora" / kSettingsFileName;
}

} // namespace app
