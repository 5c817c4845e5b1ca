// "-lh5-" compression and decompression speed and compressed size on 1 MiB of machine code and
// on an 8 MiB firmware image, beside the public LHA archivers measured in the same run:
// lhasa decompressing our stream (whole process, output to /dev/null) and jlha's compressed
// size. Targets: decoding faster than lhasa, size within 1% of jlha.

#include "image/lh5_decoder.h"
#include "image/lh5_encoder.h"
#include "tests/support/lha_archive.h"

#include <benchmark/benchmark.h>
#include <elf.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>

namespace {

namespace fs = std::filesystem;

std::vector<uint8_t> readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void writeFile(const fs::path& path, std::span<const uint8_t> bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

// The .text section of a 64-bit ELF file, or nothing.
std::vector<uint8_t> textSection(const fs::path& path) {
    const std::vector<uint8_t> f = readFile(path);
    if (f.size() < sizeof(Elf64_Ehdr) || std::memcmp(f.data(), ELFMAG, SELFMAG) != 0 ||
        f[EI_CLASS] != ELFCLASS64)
        return {};
    Elf64_Ehdr eh;
    std::memcpy(&eh, f.data(), sizeof eh);
    auto section = [&](size_t i) {
        Elf64_Shdr sh{};
        const size_t at = eh.e_shoff + i * sizeof(Elf64_Shdr);
        if (at + sizeof sh <= f.size())
            std::memcpy(&sh, f.data() + at, sizeof sh);
        return sh;
    };
    const Elf64_Shdr names = section(eh.e_shstrndx);
    for (size_t i = 0; i < eh.e_shnum; ++i) {
        const Elf64_Shdr sh = section(i);
        const size_t nameAt = names.sh_offset + sh.sh_name;
        if (nameAt + 6 <= f.size() && std::memcmp(f.data() + nameAt, ".text", 6) == 0 &&
            sh.sh_offset + sh.sh_size <= f.size())
            return {f.begin() + static_cast<std::ptrdiff_t>(sh.sh_offset),
                    f.begin() + static_cast<std::ptrdiff_t>(sh.sh_offset + sh.sh_size)};
    }
    return {};
}

// Real machine code: the largest .text among a few programs that are always on a build machine.
const std::vector<uint8_t>& machineCode() {
    static const std::vector<uint8_t> code = [] {
        std::vector<uint8_t> best;
        for (const char* p : {"/usr/bin/cmake", "/usr/bin/ninja", "/proc/self/exe"}) {
            std::vector<uint8_t> t = textSection(p);
            if (t.size() > best.size())
                best = std::move(t);
        }
        return best;
    }();
    return code;
}

enum DataSet { kCode1M = 0, kImage8M = 1 };

// 1 MiB of machine code; or an 8 MiB image: up to 6 MiB of code, the rest erased flash (0xFF).
const std::vector<uint8_t>& dataSet(int which) {
    static std::map<int, std::vector<uint8_t>> cache;
    auto& d = cache[which];
    if (d.empty()) {
        const std::vector<uint8_t>& code = machineCode();
        const size_t size = which == kCode1M ? (1u << 20) : (8u << 20);
        const size_t codePart = which == kCode1M ? size : (6u << 20);
        d.assign(code.begin(), code.begin() + static_cast<std::ptrdiff_t>(std::min(code.size(), codePart)));
        // A short .text is repeated with a drifting byte so that the data stays code-like.
        for (size_t i = 0; d.size() < codePart && !code.empty(); ++i)
            d.push_back(static_cast<uint8_t>(code[i % code.size()] + i / code.size()));
        d.resize(size, 0xFF);
    }
    return d;
}

const std::vector<uint8_t>& compressed(int which) {
    static std::map<int, std::vector<uint8_t>> cache;
    auto& c = cache[which];
    if (c.empty())
        image::lh5Encode(dataSet(which), c);
    return c;
}

// The peer tool's path from PATH; empty, with the benchmark skipped, when it is not installed.
std::string peerTool(benchmark::State& state, const std::string& name) {
    const char* path = std::getenv("PATH");
    std::string dirs = path ? path : "/usr/bin";
    size_t start = 0;
    while (start <= dirs.size()) {
        const size_t end = std::min(dirs.find(':', start), dirs.size());
        const fs::path candidate = fs::path(dirs.substr(start, end - start)) / name;
        if (::access(candidate.c_str(), X_OK) == 0)
            return candidate.string();
        start = end + 1;
    }
    state.SkipWithError((name + " not installed").c_str());
    return {};
}

fs::path scratch(const std::string& name) {
    return fs::temp_directory_path() / ("velmora-lh5-bench-" + std::to_string(::getpid()) + "-" + name);
}

void setSizeCounters(benchmark::State& state, int which) {
    const double original = static_cast<double>(dataSet(which).size());
    const double packed = static_cast<double>(compressed(which).size());
    state.counters["compressed"] = packed;
    state.counters["ratio%"] = 100.0 * packed / original;
}

void BM_Lh5Encode(benchmark::State& state) {
    const int which = static_cast<int>(state.range(0));
    const std::vector<uint8_t>& data = dataSet(which);
    for (auto _ : state) {
        std::vector<uint8_t> out;
        image::lh5Encode(data, out);
        benchmark::DoNotOptimize(out.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(data.size()));
    setSizeCounters(state, which);
}
BENCHMARK(BM_Lh5Encode)->Arg(kCode1M)->Arg(kImage8M)->Unit(benchmark::kMillisecond);

void BM_Lh5Decode(benchmark::State& state) {
    const int which = static_cast<int>(state.range(0));
    const std::vector<uint8_t>& data = dataSet(which);
    const std::vector<uint8_t>& stream = compressed(which);
    std::vector<uint8_t> out(data.size());
    for (auto _ : state) {
        if (image::lh5Decode(stream, out) != image::Lh5DecodeResult::Ok) {
            state.SkipWithError("decode failed");
            break;
        }
        benchmark::DoNotOptimize(out.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(data.size()));
    setSizeCounters(state, which);
}
BENCHMARK(BM_Lh5Decode)->Arg(kCode1M)->Arg(kImage8M)->Unit(benchmark::kMillisecond);

// lhasa decompressing our stream of the same data to /dev/null (process start included, as a
// user would see it).
void BM_LhasaDecode(benchmark::State& state) {
    const std::string lhasa = peerTool(state, "lhasa");
    if (lhasa.empty())
        return;
    const int which = static_cast<int>(state.range(0));
    const std::vector<uint8_t>& data = dataSet(which);
    const fs::path archive = scratch("peer.lzh");
    writeFile(archive, testsupport::makeLhaArchive(2, "data.bin", "-lh5-", data, compressed(which)));
    const std::string command = lhasa + " pq " + archive.string() + " > /dev/null 2>&1";
    for (auto _ : state)
        benchmark::DoNotOptimize(std::system(command.c_str()));
    fs::remove(archive);
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(data.size()));
}
BENCHMARK(BM_LhasaDecode)->Arg(kCode1M)->Arg(kImage8M)->Unit(benchmark::kMillisecond)->UseRealTime();

// jlha compressing the same data with -lh5- (its Java start-up dominates the time); the figure
// that matters is its compressed size beside ours.
void BM_JlhaEncode(benchmark::State& state) {
    const std::string jlha = peerTool(state, "jlha");
    if (jlha.empty())
        return;
    const int which = static_cast<int>(state.range(0));
    const std::vector<uint8_t>& data = dataSet(which);
    const fs::path input = scratch("peer.bin");
    const fs::path archive = scratch("jlha.lzh");
    writeFile(input, data);
    const std::string command =
        jlha + " co5q " + archive.string() + " " + input.string() + " > /dev/null 2>&1";
    for (auto _ : state) {
        fs::remove(archive);
        benchmark::DoNotOptimize(std::system(command.c_str()));
    }
    const std::vector<uint8_t> bytes = readFile(archive);
    fs::remove(input);
    fs::remove(archive);
    const auto member = testsupport::readFirstLhaMember(bytes);
    if (!member || member->method != "-lh5-") {
        state.SkipWithError("jlha made no -lh5- member");
        return;
    }
    const double theirs = static_cast<double>(member->data.size());
    state.counters["compressed"] = theirs;
    state.counters["ratio%"] = 100.0 * theirs / static_cast<double>(data.size());
    state.counters["ours/jlha%"] = 100.0 * static_cast<double>(compressed(which).size()) / theirs;
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(data.size()));
}
BENCHMARK(BM_JlhaEncode)
    ->Arg(kCode1M)
    ->Arg(kImage8M)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(1);

} // namespace
