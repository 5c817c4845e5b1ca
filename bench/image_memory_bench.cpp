// Memory the image holds around a save and an append load ("load at address") of a full-size
// unpacked envelope: what a save leaves allocated after it returns, and how far the resident size
// peaks above the image itself while a small file is loaded on top after a save. The figures are counters in
// MiB; the times are incidental.

#include "image/envelope_builder.h"
#include "image/hex_file.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <unistd.h>
#include <vector>

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

// A plain image filled from 0x2000 to near the top, with a version record.
std::unique_ptr<image::THEXFile> plainImage() {
    auto file = std::make_unique<image::THEXFile>();
    file->Clear();
    for (int32_t a = 0x2000; a < image::kMaxImageSize - 0x1000; ++a) {
        file->Data[static_cast<size_t>(a)] = static_cast<uint8_t>(a * 7 + (a >> 9));
        file->Filled[static_cast<size_t>(a)] = 1;
    }
    static const char kRecord[] = "<VER>BENCH";
    std::memcpy(file->Data.data() + 0x2100, kRecord, sizeof kRecord - 1);
    std::memcpy(file->Data.data() + 0x2100 + 58, "</VER>", 6);
    file->AfterLoad();
    file->Update();
    return file;
}

// That image as an unpacked envelope, loaded from its file: a save writes it from a prepared copy
// of the whole image.
std::unique_ptr<image::THEXFile> fullEnvelope() {
    const std::string path = (workDir() / "full.env").string();
    std::vector<uint8_t> bytes;
    std::string error;
    if (!image::buildEnvelope(*plainImage(), {"BENCH", false}, bytes, error))
        return nullptr;
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    auto file = std::make_unique<image::THEXFile>();
    if (!file->LoadFromFile(image::kFileTypeDetect, -1, false, path))
        return nullptr;
    return file;
}

void BM_ResidentKeptAfterSave(benchmark::State& state) {
    auto file = fullEnvelope();
    if (!file) {
        state.SkipWithError("no envelope");
        return;
    }
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
    auto file = fullEnvelope();
    if (!file) {
        state.SkipWithError("no envelope");
        return;
    }
    file->SaveBinaryFile((workDir() / "saved.bin").string());
    const std::string small = (workDir() / "small.bin").string();
    std::ofstream(small, std::ios::binary) << std::string(256, '\x5A');
    double peak = 0;
    for (auto _ : state) {
        const double before = statusMiB("VmRSS");
        resetPeak();
        if (!file->LoadFromFile(image::kFileTypeBinary, 0x7FF800, true, small))
            state.SkipWithError("append failed");
        peak = statusMiB("VmHWM") - before;
    }
    state.counters["peak_above_image_MiB"] = peak;
}
BENCHMARK(BM_PeakDuringAppendLoad)->Iterations(1)->Unit(benchmark::kMillisecond);

} // namespace
