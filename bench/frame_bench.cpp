// Building one frame and matching one answer, as a device read does for every page: a MODBUS read
// request, a write request carrying a 128-byte data block, and the matching of a 128-byte answer.

#include "base/crc_generator.h"
#include "exchange/answer_matcher.h"
#include "exchange/frame_builder.h"
#include "protocol/evaluator_setup.h"

#include <benchmark/benchmark.h>

#include <vector>

namespace {

struct Setup {
    Setup() : evaluator(protocol::makeMainEvaluator()), crc(16, 0x8005, 0xFFFF, true, true, 0) {
        protocol::declareProtocolVariables(evaluator);
        evaluator.SetVariable("RECIPIENT", 1);
        evaluator.SetVariable("ADDRESS", 0x2100);
        evaluator.SetVariable("SIZE", 128);
        commands.setEvaluator(&evaluator);
        commands.setCrcGenerator(&crc);
        auto& read = commands.Add();
        commands.setCommand(
            read,
            "RECIPIENT;3;HIGH(ADDRESS);LOW(ADDRESS);HIGH(SIZE/2);LOW(SIZE/2);HIGH(PACK_CRC);LOW(PACK_CRC);");
        commands.setAnswer(read, "<RECIPIENT>;3;<SIZE>;<DATABLOCK>;HIGH(PACK_CRC);LOW(PACK_CRC);");
        auto& write = commands.Add();
        commands.setCommand(write, "RECIPIENT;0x10;HIGH(ADDRESS);LOW(ADDRESS);0;SIZE/"
                                   "2;SIZE;DATABLOCK;HIGH(PACK_CRC);LOW(PACK_CRC);");
        image.assign(0x10000, 0x5A);
    }
    protocol::TFunctionEvaluator evaluator;
    base::TCRCGenerator crc;
    protocol::TprCOMMANDS commands;
    std::vector<uint8_t> image;
};

void BM_BuildReadFrame(benchmark::State& state) {
    Setup s;
    std::vector<uint8_t> frame(exchange::kSendBufferSize, exchange::kSendFill);
    for (auto _ : state)
        benchmark::DoNotOptimize(
            exchange::BuildFrame(s.commands, s.commands[0], 0x2100, nullptr, frame).length);
}
BENCHMARK(BM_BuildReadFrame);

void BM_BuildWriteFrame128(benchmark::State& state) {
    Setup s;
    std::vector<uint8_t> frame(exchange::kSendBufferSize, exchange::kSendFill);
    const std::span<const uint8_t> source(s.image);
    for (auto _ : state)
        benchmark::DoNotOptimize(
            exchange::BuildFrame(s.commands, s.commands[1], 0x2100, &source, frame).length);
}
BENCHMARK(BM_BuildWriteFrame128);

void BM_MatchReadAnswer128(benchmark::State& state) {
    Setup s;
    std::vector<uint8_t> answer{1, 3, 128};
    answer.resize(3 + 128, 0x33);
    base::TCRCGenerator crc(16, 0x8005, 0xFFFF, true, false, 0);
    crc.AddBytes(answer.data(), static_cast<int64_t>(answer.size()));
    answer.push_back(static_cast<uint8_t>(crc.CRC() & 0xFF));
    answer.push_back(static_cast<uint8_t>(crc.CRC() >> 8));
    std::span<uint8_t> destination(s.image);
    for (auto _ : state)
        benchmark::DoNotOptimize(
            exchange::MatchAnswer(s.commands, s.commands[0].compiledAnswer(), answer, &destination, 0x2100));
    if (exchange::MatchAnswer(s.commands, s.commands[0].compiledAnswer(), answer, &destination, 0x2100) != 0)
        state.SkipWithError("the answer does not match");
}
BENCHMARK(BM_MatchReadAnswer128);

} // namespace
