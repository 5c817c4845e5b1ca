// Any bytes as a settings file: reading never fails, and a write afterwards always reads back, from the
// same store and from a fresh one, while the keys the file had in other sections keep their values.

#include "app/settings_store.h"

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

namespace {

std::filesystem::path scratchFile() {
    static const std::filesystem::path path = [] {
        std::string pattern = (std::filesystem::temp_directory_path() / "velmora-fuzz-XXXXXX").string();
        if (!mkdtemp(pattern.data()))
            std::abort();
        return std::filesystem::path(pattern) / "prog.ini";
    }();
    return path;
}

void check(bool ok) {
    if (!ok)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::filesystem::path file = scratchFile();
    {
        std::ofstream out(file, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    }
    app::SettingsStore store(file);
    const std::int32_t baud = store.readInteger(app::Setting::BaudRateIndex);
    const std::string active = store.readString(app::Setting::ActiveProfile);
    const std::string password = store.readString(app::Setting::Password, active);

    check(store.writeString("Fuzz\\Section", "Key", " written value "));
    check(store.readString("fuzz\\section", "KEY", "") == " written value ");
    app::SettingsStore fresh(file);
    check(fresh.readString("Fuzz\\Section", "Key", "") == " written value ");
    check(fresh.readInteger(app::Setting::BaudRateIndex) == baud);
    check(fresh.readString(app::Setting::ActiveProfile) == active);
    check(fresh.readString(app::Setting::Password, active) == password);
    return 0;
}
