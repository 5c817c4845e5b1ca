// Settings are read from the store at the moment they are needed (the echo flag before every command,
// the profile values before every operation), so a read must stay far below a millisecond even in a
// settings file with many profiles. A write goes to disk at once; its time is dominated by fsync.

#include "app/settings_store.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

namespace {

namespace fs = std::filesystem;

// A settings file of `profiles` profiles with all their sections, about 25 lines each.
fs::path makeSettingsFile(int profiles) {
    static int serial = 0;
    const fs::path file = fs::temp_directory_path() / ("velmora-bench-" + std::to_string(::getpid()) + "-" +
                                                       std::to_string(serial++) + ".ini");
    std::ofstream out(file);
    out << "[Profiles]\ncount=" << profiles << "\n";
    for (int i = 1; i <= profiles; ++i)
        out << "profile" << i << "=Профиль " << i << "\n";
    out << "active=Профиль " << profiles << "\n";
    for (int i = 1; i <= profiles; ++i) {
        const std::string p = "Профиль " + std::to_string(i);
        out << "[" << p << "\\Connection]\nDev address=17\nFLASH start=0x2100\nFLASH end=0x3FFF\n"
            << "Ctrl_area=0xF00\nPassword=\nprotocolFile=\\p\\x.vpdf\n"
            << "[" << p << "\\Options]\nUse profile address=1\nCheck file update=0\nPrevent unmarked=0\n"
            << "Assign file type=0\nConfirm reload=1\n"
            << "[" << p << "\\Protocol]\nPagesize=128\n"
            << "[" << p << "\\Application]\nCRCwidth=16\nPolynom=0x8005\nInit=0xFFFF\nXORout=0\nReflect=1\n"
            << "SwapHILO=0\nFile=\n";
    }
    out << "[Port settings]\nport=0\nbaudrate=8\nStop bits=1\nEcho=0\n";
    return file;
}

void BM_ReadLastKey(benchmark::State& state) {
    const fs::path file = makeSettingsFile(static_cast<int>(state.range(0)));
    app::SettingsStore store(file);
    for (auto _ : state)
        benchmark::DoNotOptimize(store.readBool(app::Setting::Echo));
    fs::remove(file);
}
BENCHMARK(BM_ReadLastKey)->Arg(1)->Arg(10)->Arg(50);

void BM_WriteKey(benchmark::State& state) {
    const fs::path file = makeSettingsFile(static_cast<int>(state.range(0)));
    app::SettingsStore store(file);
    std::int32_t v = 0;
    for (auto _ : state)
        benchmark::DoNotOptimize(store.writeInteger(app::Setting::WindowHeight, ++v));
    fs::remove(file);
}
BENCHMARK(BM_WriteKey)->Arg(1)->Arg(10)->Unit(benchmark::kMicrosecond);

} // namespace
