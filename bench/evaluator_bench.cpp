// Expression compile and evaluate per template field, with the program's evaluator configuration.

#include "protocol/evaluator_setup.h"
#include "protocol/function_evaluator.h"
#include "protocol/string_parser.h"

#include <benchmark/benchmark.h>

#include <string>
#include <vector>

namespace {

// Fields as they appear in the command and answer templates of a page read and write.
const std::vector<std::string> kFields = {
    "RECIPIENT",
    "0x03",
    "HIGH(ADDRESS)",
    "LOW(ADDRESS)",
    "BYTE2(ADDRESS+PAGE*PAGESIZE)",
    "IF(SIZE>128,128,SIZE)",
    "LOW(PACK_CRC)",
    "HIGH(PACK_CRC)",
    "(APP_END-APP_START+1)/PAGESIZE",
    "$10",
};

protocol::TFunctionEvaluator preparedEvaluator() {
    protocol::TFunctionEvaluator ev = protocol::makeMainEvaluator();
    protocol::declareProtocolVariables(ev);
    ev.SetVariable("ADDRESS", 0x2100);
    ev.SetVariable("PAGESIZE", 128);
    ev.SetVariable("SIZE", 256);
    return ev;
}

// One step per iteration, on the fields in turn; an item is a field.
template <typename Step> void eachField(benchmark::State& state, Step step) {
    size_t i = 0;
    for (auto _ : state)
        step(i++ % kFields.size());
    state.SetItemsProcessed(state.iterations());
}

void BM_CompileField(benchmark::State& state) {
    protocol::TFunctionEvaluator ev = preparedEvaluator();
    eachField(state, [&](size_t k) {
        ev.setEquation(kFields[k]);
        benchmark::DoNotOptimize(ev.ErrorCode());
    });
    state.SetLabel("per field");
}
BENCHMARK(BM_CompileField);

// What the frame builder does per field: put the stored program back and run it.
void BM_EvaluateField(benchmark::State& state) {
    protocol::TFunctionEvaluator ev = preparedEvaluator();
    protocol::TEqCollection programs;
    for (size_t k = 0; k < kFields.size(); ++k) {
        ev.setEquation(kFields[k]);
        protocol::TFunctionEvaluator::StoreCompiled(programs, ev.Compiled(), k + 1);
    }
    eachField(state, [&](size_t k) {
        ev.setCompiled(programs[k]);
        benchmark::DoNotOptimize(ev.Evaluate());
    });
    state.SetLabel("per field");
}
BENCHMARK(BM_EvaluateField);

void BM_TokenizeField(benchmark::State& state) {
    protocol::TStringParser parser = protocol::makeEvaluatorParser();
    eachField(state, [&](size_t k) { benchmark::DoNotOptimize(parser.Tokenize(kFields[k])); });
}
BENCHMARK(BM_TokenizeField);

} // namespace
