#pragma once
// A command collection bound to the program's evaluator and a MODBUS RTU CRC, for frame and answer
// tests.

#include "base/crc_generator.h"
#include "protocol/evaluator_setup.h"
#include "protocol/protocol_command.h"

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace testsupport {

struct FrameFixture {
    // The MODBUS RTU preset: reflected 0x8005 from 0xFFFF, bytes of the result exchanged, so a frame
    // ends HIGH(PACK_CRC);LOW(PACK_CRC) in wire order.
    FrameFixture() : evaluator(protocol::makeMainEvaluator()), crc(16, 0x8005, 0xFFFF, true, true, 0) {
        protocol::declareProtocolVariables(evaluator);
        commands.setEvaluator(&evaluator);
        commands.setCrcGenerator(&crc);
    }

    protocol::TprCOMMAND& command(const std::string& cmd, const std::string& answer = "",
                                  const std::string& exceptn = "") {
        protocol::TprCOMMAND& c = commands.Add();
        c.Name = "C" + std::to_string(commands.Count());
        commands.setCommand(c, cmd);
        commands.setAnswer(c, answer);
        commands.setExceptn(c, exceptn);
        return c;
    }

    void set(const std::vector<std::pair<std::string, long double>>& vars) {
        for (const auto& [name, value] : vars)
            evaluator.SetVariable(name, value);
    }

    protocol::TFunctionEvaluator evaluator;
    base::TCRCGenerator crc;
    protocol::TprCOMMANDS commands;
};

} // namespace testsupport
