#pragma once
// A complete exchange set-up: settings file, log, message recorder, the port component, the program's
// evaluator, a protocol description with the MODBUS frame CRC, a memory image and the exchange context
// joining them. The line is the in-memory one by default (a scripted peer answers on `line`); with
// RigLine::Pty it is a real pseudo-terminal, the port on the slave side and the device (a scripted
// peer or a libmodbus server) on the master side of `pty`.

#include "app/exchange_link.h"
#include "app/log.h"
#include "app/main_state.h"
#include "app/protocol_variables.h"
#include "app/settings_store.h"
#include "app/view_notifications.h"
#include "exchange/comm.h"
#include "exchange/exchange_context.h"
#include "exchange/posix_serial_line.h"
#include "image/dump_versioned_file.h"
#include "protocol/evaluator_setup.h"
#include "protocol/protocol_description.h"
#include "support/fake_serial_line.h"
#include "support/modbus_crc.h"
#include "support/paths.h"
#include "support/pty.h"
#include "support/recorded_messages.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace exchangetest {

using Bytes = std::vector<std::uint8_t>;
using testsupport::withCrc;

// The text of an exchange error box: title, "\r", nineteen blanks, text.
inline std::string boxText(const std::string& title, const std::string& text) {
    return title + "\r" + std::string(19, ' ') + text;
}

enum class RigLine { Memory, Pty };

class ExchangeRig {
  public:
    explicit ExchangeRig(RigLine kind = RigLine::Memory, int baudIndex = exchange::BR_115200)
        : pty(kind == RigLine::Pty ? std::make_unique<testsupport::PseudoTerminal>() : nullptr),
          comm(pty ? std::unique_ptr<exchange::SerialLine>(std::make_unique<exchange::PosixSerialLine>())
                   : std::make_unique<testsupport::FakeSerialLine>(line)) {
        protocol.CRCGenerator.SetParameters(16, 0x8005, 0, false, true, 0xFFFF); // MODBUS RTU
        protocol.Commands.setEvaluator(&evaluator);
        protocol::PrepareActionLists(protocol);
        state.activeProfile = "default";
        comm.setDevicePath(pty ? pty->slavePath() : "memory");
        comm.setBaudRate(baudIndex);
        ctx.StopExchange = [this] { ++stops; };
        // A pause lets the in-memory line's time pass as well.
        ctx.sleep = [this](std::chrono::milliseconds d) {
            pauses.push_back(static_cast<int>(d.count()));
            line->clock += d;
        };
        image.Clear();
        app::SetProtocolVariables(ctx, around);
        EXPECT_TRUE(comm.Open()) << comm.LastOpenError();
    }

    // Adds a command and returns its index.
    int addCommand(const std::string& name, const std::string& command, const std::string& answer,
                   const std::string& exceptn = {}, int mode = 0, int answerTimeout = 60) {
        protocol::TprCOMMANDS& commands = protocol.Commands;
        protocol::TprCOMMAND& c = commands.Add();
        c.Name = name;
        c.ExceptionMode = static_cast<std::uint8_t>(mode);
        c.AnswerTimeout = answerTimeout;
        commands.setCommand(c, command);
        commands.setAnswer(c, answer);
        commands.setExceptn(c, exceptn);
        return static_cast<int>(commands.Count()) - 1;
    }
    const protocol::TprCOMMAND& command(int index) const {
        return protocol.Commands[static_cast<std::size_t>(index)];
    }

    // Appends a step to action list `list`.
    void addStep(int list, int command, bool enabled = true, int ignoreList = -1) {
        protocol::TVLMAction& action = protocol.ActionLists[static_cast<std::size_t>(list)];
        const int step = protocol::AddStep(action, command, enabled);
        action.StepIgnoreLists[static_cast<std::size_t>(step)] = ignoreList;
    }

    testsupport::TempDir dir;
    app::SettingsStore settings{dir / "prog.ini"};
    app::Log log;
    testsupport::RecordedMessages messages;
    app::MainState state;
    std::shared_ptr<testsupport::FakeLineState> line = std::make_shared<testsupport::FakeLineState>();
    std::unique_ptr<testsupport::PseudoTerminal> pty; // only with RigLine::Pty
    protocol::TFunctionEvaluator evaluator = protocol::makeMainEvaluator();
    protocol::TProtocol protocol;
    image::TDUMPVersionedFile image;
    exchange::TComm comm;
    app::ViewNotifications view;
    app::DeviceSurroundings around{settings, state, image, log, messages, view};
    app::ExchangeLink link{settings, log, messages, state};
    exchange::ExchangeContext ctx{comm, protocol, evaluator, link, link};
    int stops = 0;
    std::vector<int> pauses;
};

// A MODBUS "read holding registers" command for slave RECIPIENT: register 0, `count` registers; the answer
// stores the data block, the exception captures the error code.
inline const char* kReadCommand = "RECIPIENT;3;0;0;0;2;LOW(PACK_CRC);HIGH(PACK_CRC);";
inline const char* kReadAnswer = "RECIPIENT;3;<SIZE>;<DATABLOCK>;LOW(PACK_CRC);HIGH(PACK_CRC);";
inline const char* kReadException = "RECIPIENT;0x83;<ERRORCODE>;LOW(PACK_CRC);HIGH(PACK_CRC);";

} // namespace exchangetest
