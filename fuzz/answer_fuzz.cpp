// Hostile device answers against the answer and exception templates of the simulator's description.
// Input: one byte choosing the template (command = byte / 2, exception when odd), two bytes of SIZE
// and two of the receive offset (little-endian), one byte of RECIPIENT, then the bytes received.
// A failed match leaves the destination untouched; no match reads or writes outside its buffers.

#include "exchange/answer_matcher.h"
#include "exchange/exchange_result.h"
#include "protocol/evaluator_setup.h"
#include "protocol/vpdf_reader.h"

#include "fuzz/fuzz_check.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>

namespace {

// Smaller than the offsets an input can choose, so data blocks reach past its end.
constexpr size_t kDestinationSize = 0x1000;
constexpr size_t kHeaderSize = 6;

struct Description {
    protocol::TFunctionEvaluator evaluator = protocol::makeMainEvaluator();
    protocol::TProtocol protocol;
};

Description& description() {
    static Description* d = [] {
        auto* loaded = new Description;
        protocol::declareProtocolVariables(loaded->evaluator);
        loaded->protocol.Commands.setEvaluator(&loaded->evaluator);
        if (protocol::ReadProtocolFile(loaded->protocol, VELMORA_EXAMPLES_DIR "/sim.vpdf") !=
                protocol::kReadOk ||
            loaded->protocol.Commands.Count() == 0)
            std::abort();
        return loaded;
    }();
    return *d;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Description& d = description();
    if (size < kHeaderSize || size - kHeaderSize > exchange::kMaxAnswerBytes)
        return 0;
    const protocol::TprCOMMAND& command = d.protocol.Commands[(data[0] / 2) % d.protocol.Commands.Count()];
    const bool exception = data[0] % 2 == 1;
    d.evaluator.SetVariable("SIZE", data[1] | data[2] << 8);
    const int64_t offset = data[3] | data[4] << 8;
    d.evaluator.SetVariable("ADDRESS", offset);
    d.evaluator.SetVariable("RECIPIENT", data[5]);
    const std::span<const uint8_t> received(data + kHeaderSize, size - kHeaderSize);

    static std::array<uint8_t, kDestinationSize> buffer;
    static std::array<uint8_t, kDestinationSize> before;
    buffer.fill(0x5A);
    before = buffer;
    std::span<uint8_t> destination(buffer);
    const auto& answer = exception ? command.compiledExceptn() : command.compiledAnswer();
    const int32_t result = exchange::MatchAnswer(d.protocol.Commands, answer, received, &destination, offset);
    if (result != 0)
        check(buffer == before);
    exchange::MatchAnswer(d.protocol.Commands, answer, received, nullptr, 0);
    return 0;
}
