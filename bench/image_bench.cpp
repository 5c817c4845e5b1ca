// The memory image at full size: loading and saving an 8 MiB image as Intel HEX (beside srecord's
// srec_cat converting the same file, when installed) and one full Update (rescan, segments, CRC).

#include "image/hex_file.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

namespace {

const std::filesystem::path& workDir() {
    static const std::filesystem::path dir = [] {
        auto d =
            std::filesystem::temp_directory_path() / ("velmora-image-bench-" + std::to_string(::getpid()));
        std::filesystem::create_directories(d);
        return d;
    }();
    return dir;
}

// An image filled from 0 to 0x7FFFFF with machine-code-like bytes and the settings' default CRC.
std::unique_ptr<image::THEXFile> fullImage() {
    auto file = std::make_unique<image::THEXFile>();
    file->SetAutoCRC(true);
    file->SetCRCParams(image::ImageCrcParams{});
    file->Clear();
    uint32_t x = 12345;
    for (int32_t a = 0; a < image::kMaxImageSize; ++a) {
        x = x * 1103515245u + 12345u;
        file->Data[static_cast<size_t>(a)] = static_cast<uint8_t>((a % 7 == 0) ? x >> 16 : a & 0x3F);
        file->Filled[static_cast<size_t>(a)] = 1;
    }
    file->Update();
    return file;
}

// The 8 MiB image as Intel HEX, written once.
const std::filesystem::path& hexFile() {
    static const std::filesystem::path path = [] {
        auto p = workDir() / "full.hex";
        if (!fullImage()->SaveHexFile(p.string()))
            std::abort();
        return p;
    }();
    return path;
}

void BM_HexLoad8MiB(benchmark::State& state) {
    auto file = std::make_unique<image::THEXFile>();
    file->SetAutoCRC(true);
    for (auto _ : state) {
        if (!file->LoadFromFile(image::kFileTypeDetect, -1, false, hexFile().string()))
            state.SkipWithError("load failed");
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * image::kMaxImageSize);
}
BENCHMARK(BM_HexLoad8MiB)->Unit(benchmark::kMillisecond);

void BM_HexSave8MiB(benchmark::State& state) {
    auto file = fullImage();
    const std::string out = (workDir() / "saved.hex").string();
    for (auto _ : state) {
        if (!file->SaveHexFile(out))
            state.SkipWithError("save failed");
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * image::kMaxImageSize);
}
BENCHMARK(BM_HexSave8MiB)->Unit(benchmark::kMillisecond);

// srec_cat reading the same Intel HEX file and writing it again, for comparison.
void BM_SrecCatHexToHex8MiB(benchmark::State& state) {
    if (std::system("command -v srec_cat >/dev/null 2>&1") != 0) {
        state.SkipWithError("srec_cat (package srecord) is not installed");
        return;
    }
    const std::string command = "srec_cat " + hexFile().string() + " -intel -o " +
                                (workDir() / "peer.hex").string() + " -intel -Output_Block_Size 16";
    for (auto _ : state) {
        if (std::system(command.c_str()) != 0)
            state.SkipWithError("srec_cat failed");
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * image::kMaxImageSize);
}
BENCHMARK(BM_SrecCatHexToHex8MiB)->Unit(benchmark::kMillisecond)->Iterations(2);

void BM_Update8MiB(benchmark::State& state) {
    auto file = fullImage();
    for (auto _ : state)
        file->Update();
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * image::kMaxImageSize);
}
BENCHMARK(BM_Update8MiB)->Unit(benchmark::kMillisecond);

// An image of many short runs: the segment list dominates.
void BM_UpdateFragmented8MiB(benchmark::State& state) {
    auto file = fullImage();
    for (int32_t a = 0; a < image::kMaxImageSize; a += 64)
        file->Filled[static_cast<size_t>(a)] = 0;
    for (auto _ : state)
        file->Update();
    state.counters["segments"] = file->SegmentCount();
}
BENCHMARK(BM_UpdateFragmented8MiB)->Unit(benchmark::kMillisecond);

} // namespace
