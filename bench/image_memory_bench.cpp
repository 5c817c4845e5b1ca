// Memory the image holds around a save and an append load ("load at address") of a full 8 MiB image
// with a version record: what a save leaves allocated after it returns, and how far the resident
// size peaks above the image itself while a small file is loaded on top. The figures are counters in
// MiB; the times are incidental.

#include "image/hex_file.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <unistd.h>

namespace {

const std::filesystem::path& workDir() {
    static const std::filesystem::path dir = [] {
        auto d = std::filesystem::temp_directory_path() /
                 ("velmora-image-memory-bench-" + std::to_string(::getpid()));
        std::filesystem::create_directories(d);
        return d;
    }();
    return dir;
}

// A field of /proc/self/status in MiB ("VmRSS", "VmHWM").
double statusMiB(const char* field) {
    std::ifstream in("/proc/self/status");
    std::string line;
    const std::string key = std::string(field) + ":";
    while (std::getline(in, line))
        if (line.rfind(key, 0) == 0)
            return std::stod(line.substr(key.size())) / 1024.0;
    return 0;
}

// Lets VmHWM start again from the present resident size.
void resetPeak() {
    std::ofstream("/proc/self/clear_refs") << "5";
}

// The whole image filled, with a version record at 0x100 so that a save writes from a prepared copy.
std::unique_ptr<image::THEXFile> fullImage() {
    auto file = std::make_unique<image::THEXFile>();
    file->Clear();
    for (int32_t a = 0; a < image::kMaxImageSize; ++a) {
        file->Data[static_cast<size_t>(a)] = static_cast<uint8_t>(a * 7 + (a >> 9));
        file->Filled[static_cast<size_t>(a)] = 1;
    }
    static const char kRecord[] = "<VER>BENCH";
    std::memcpy(file->Data.data() + 0x100, kRecord, sizeof kRecord - 1);
    std::memcpy(file->Data.data() + 0x100 + 58, "</VER>", 6);
    file->AfterLoad();
    file->Update();
    return file;
}

void BM_ResidentKeptAfterSave(benchmark::State& state) {
    auto file = fullImage();
    const std::string out = (workDir() / "saved.bin").string();
    double kept = 0;
    for (auto _ : state) {
        const double before = statusMiB("VmRSS");
        if (!file->SaveBinaryFile(out))
            state.SkipWithError("save failed");
        kept = statusMiB("VmRSS") - before;
    }
    state.counters["kept_MiB"] = kept;
}
BENCHMARK(BM_ResidentKeptAfterSave)->Iterations(1)->Unit(benchmark::kMillisecond);

void BM_PeakDuringAppendLoad(benchmark::State& state) {
    auto file = fullImage();
    const std::string small = (workDir() / "small.bin").string();
    std::ofstream(small, std::ios::binary) << std::string(256, '\x5A');
    double peak = 0;
    for (auto _ : state) {
        const double before = statusMiB("VmRSS");
        resetPeak();
        if (!file->LoadFromFile(image::kFileTypeBinary, 0x200000, true, small))
            state.SkipWithError("append failed");
        peak = statusMiB("VmHWM") - before;
    }
    state.counters["peak_above_image_MiB"] = peak;
}
BENCHMARK(BM_PeakDuringAppendLoad)->Iterations(1)->Unit(benchmark::kMillisecond);

} // namespace
