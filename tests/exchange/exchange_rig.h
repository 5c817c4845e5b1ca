#pragma once
// A complete exchange set-up over a real pseudo-terminal: settings file, log, message recorder, the
// port component on the slave side, the program's evaluator, a protocol description with the MODBUS
// frame CRC, a memory image and the exchange context joining them. The device (a scripted peer or a
// libmodbus server) sits on the master side.

#include "app/exchange_link.h"
#include "app/log.h"
#include "app/main_state.h"
#include "app/message_sink.h"
#include "app/protocol_variables.h"
#include "app/settings_store.h"
#include "app/view_notifications.h"
#include "exchange/comm.h"
#include "exchange/exchange_context.h"
#include "exchange/posix_serial_line.h"
#include "image/dump_versioned_file.h"
#include "protocol/evaluator_setup.h"
#include "protocol/protocol_description.h"
#include "support/paths.h"
#include "support/pty.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace exchangetest {

using Bytes = std::vector<std::uint8_t>;

// MODBUS RTU CRC appended low byte first.
inline Bytes withCrc(Bytes frame) {
    std::uint16_t crc = 0xFFFF;
    for (std::uint8_t b : frame) {
        crc ^= b;
        for (int i = 0; i < 8; ++i)
            crc = (crc & 1) ? static_cast<std::uint16_t>((crc >> 1) ^ 0xA001)
                            : static_cast<std::uint16_t>(crc >> 1);
    }
    frame.push_back(static_cast<std::uint8_t>(crc & 0xFF));
    frame.push_back(static_cast<std::uint8_t>(crc >> 8));
    return frame;
}

struct RecordedMessage {
    std::string title;
    std::string text;
    app::MessageKind kind;
};

class MessageRecorder : public app::MessageSink {
  public:
    bool showMessage(std::string_view title, std::string_view text, app::MessageKind kind) override {
        shown.push_back({std::string(title), std::string(text), kind});
        return true;
    }
    std::vector<RecordedMessage> shown;
};

// The text of an exchange error box: title, "\r", nineteen blanks, text.
inline std::string boxText(const std::string& title, const std::string& text) {
    return title + "\r" + std::string(19, ' ') + text;
}

class ExchangeRig {
  public:
    explicit ExchangeRig(int baudIndex = exchange::BR_115200) {
        protocol.CRCGenerator.SetParameters(16, 0x8005, 0, false, true, 0xFFFF); // MODBUS RTU
        protocol.Commands.setEvaluator(&evaluator);
        protocol::PrepareActionLists(protocol);
        state.activeProfile = "default";
        comm.setDevicePath(pty.slavePath());
        comm.setBaudRate(baudIndex);
        ctx.StopExchange = [this] { ++stops; };
        ctx.sleep = [this](std::chrono::milliseconds d) { pauses.push_back(static_cast<int>(d.count())); };
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
    MessageRecorder messages;
    app::MainState state;
    testsupport::PseudoTerminal pty;
    protocol::TFunctionEvaluator evaluator = protocol::makeMainEvaluator();
    protocol::TProtocol protocol;
    image::TDUMPVersionedFile image;
    exchange::TComm comm{std::make_unique<exchange::PosixSerialLine>()};
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
