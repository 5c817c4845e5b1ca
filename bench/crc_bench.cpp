// CRC throughput over an 8 MiB buffer (the memory image's size): the frame CRC with the MODBUS RTU
// parameters, the generator preset to CRC-32, the fixed-table CRC-32 step, and zlib's crc32 on the
// same buffer for reference.

#include "base/crc32.h"
#include "base/crc_generator.h"

#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

#ifdef VELMORA_HAVE_ZLIB
#include <zlib.h>
#endif

namespace {

const std::vector<uint8_t>& buffer() {
    static const std::vector<uint8_t> data = [] {
        std::vector<uint8_t> d(8u << 20);
        uint32_t x = 12345;
        for (auto& b : d) {
            x = x * 1103515245u + 12345u;
            b = static_cast<uint8_t>(x >> 16);
        }
        return d;
    }();
    return data;
}

void finish(benchmark::State& state) {
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(buffer().size()));
}

// The whole buffer through the generator, from its initial value each time.
void runGenerator(benchmark::State& state, base::TCRCGenerator& g) {
    const auto& d = buffer();
    for (auto _ : state) {
        g.Reset();
        benchmark::DoNotOptimize(g.AddBytes(d.data(), static_cast<int64_t>(d.size())));
    }
    finish(state);
}

void BM_Crc16Modbus(benchmark::State& state) {
    base::TCRCGenerator g(16, 0x8005, 0xFFFF, true, true, 0);
    runGenerator(state, g);
}
BENCHMARK(BM_Crc16Modbus)->Unit(benchmark::kMillisecond);

void BM_Crc32Generator(benchmark::State& state) {
    base::TCRC32Generator g;
    runGenerator(state, g);
}
BENCHMARK(BM_Crc32Generator)->Unit(benchmark::kMillisecond);

void BM_Crc32Step(benchmark::State& state) {
    const auto& d = buffer();
    for (auto _ : state)
        benchmark::DoNotOptimize(base::CRC32Update(0xFFFFFFFFu, d.data(), d.size()) ^ 0xFFFFFFFFu);
    finish(state);
}
BENCHMARK(BM_Crc32Step)->Unit(benchmark::kMillisecond);

#ifdef VELMORA_HAVE_ZLIB
void BM_ZlibCrc32(benchmark::State& state) {
    const auto& d = buffer();
    for (auto _ : state)
        benchmark::DoNotOptimize(crc32(0L, d.data(), static_cast<uInt>(d.size())));
    finish(state);
}
BENCHMARK(BM_ZlibCrc32)->Unit(benchmark::kMillisecond);
#endif

} // namespace
