// Any bytes as a settings file: reading never fails, and a write afterwards always reads back, from the
// same store and from a fresh one, while the keys the file had in other sections keep their values.

#include "app/settings_store.h"

#include "fuzz/fuzz_check.h"

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

namespace {

// A file in a fresh folder, removed at exit. The path is never destroyed, so the exit handler can
// still use it.
const std::filesystem::path& scratchFile() {
    static const std::filesystem::path* path = [] {
        // Every write is synced to disk; in memory-backed /dev/shm that costs nothing.
        std::error_code ec;
        const std::filesystem::path base = std::filesystem::is_directory("/dev/shm", ec)
                                               ? std::filesystem::path("/dev/shm")
                                               : std::filesystem::temp_directory_path();
        std::string pattern = (base / "velmora-fuzz-XXXXXX").string();
        if (!mkdtemp(pattern.data()))
            std::abort();
        std::atexit([] {
            std::error_code ignored;
            std::filesystem::remove_all(scratchFile().parent_path(), ignored);
        });
        return new std::filesystem::path(std::filesystem::path(pattern) / "prog.ini");
    }();
    return *path;
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
