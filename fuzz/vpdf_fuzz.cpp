// Reads arbitrary bytes as a protocol description file; when they read, builds every command's frame
// and matches the same bytes against every answer and exception template, then writes the
// description back out.

#include "exchange/answer_matcher.h"
#include "exchange/frame_builder.h"
#include "protocol/evaluator_setup.h"
#include "protocol/vpdf_reader.h"
#include "protocol/vpdf_writer.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static protocol::TFunctionEvaluator evaluator = [] {
        protocol::TFunctionEvaluator ev = protocol::makeMainEvaluator();
        protocol::declareProtocolVariables(ev);
        return ev;
    }();
    const std::span<const uint8_t> bytes(data, size);
    uint32_t crc = 0;
    protocol::CheckProtocolBytesCRC(bytes, crc);
    protocol::TProtocol comment;
    protocol::ReadProtocolCommentBytes(comment, bytes);

    protocol::TProtocol p;
    p.Commands.setEvaluator(&evaluator);
    protocol::PrepareActionLists(p);
    if (protocol::ReadProtocolBytes(p, bytes) != protocol::kReadOk)
        return 0;
    for (size_t i = 0; i < p.ActionLists.size(); ++i)
        protocol::actionListFault(p, static_cast<int32_t>(i));

    evaluator.SetVariable("SIZE", 16);
    evaluator.SetVariable("ADDRESS", 8);
    std::vector<uint8_t> image(64, 0x5A);
    const std::span<const uint8_t> source(image);
    std::span<uint8_t> destination(image);
    std::vector<uint8_t> frame(512, exchange::kSendFill);
    p.Commands.Password = "pw";
    p.Commands.CompatibilityList = {1, 2};
    for (size_t i = 0; i < p.Commands.Count(); ++i) {
        const protocol::TprCOMMAND& c = p.Commands[i];
        exchange::BuildFrame(p.Commands, c, 8, &source, frame);
        exchange::MatchAnswer(p.Commands, c.compiledAnswer(), bytes.first(std::min<size_t>(size, 300)),
                              &destination, 8);
        exchange::MatchAnswer(p.Commands, c.compiledExceptn(), bytes.first(std::min<size_t>(size, 40)),
                              nullptr, 0);
    }
    std::string out, error;
    protocol::SerializeProtocol(p, out, error);
    return 0;
}
