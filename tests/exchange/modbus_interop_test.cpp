// Our exchange against a MODBUS-RTU server built on libmodbus: a device none of our code wrote.
// The protocol description uses the standard function codes 03 (read holding registers) and
// 16 (write multiple registers).

#include "exchange/command_exchange.h"
#include "exchange_rig.h"
#include "support/modbus_server.h"

#include <gtest/gtest.h>

using namespace exchangetest;

namespace {

constexpr int kSlave = 17;
constexpr int kReadList = 3;
constexpr int kWriteList = 6;

struct ModbusRig : ExchangeRig {
    ModbusRig() : ExchangeRig(RigLine::Pty) {
        // Read four registers from 0 into the image at the page address.
        const int read = addCommand("Чтение регистров", "RECIPIENT;3;0;0;0;4;LOW(PACK_CRC);HIGH(PACK_CRC);",
                                    "RECIPIENT;3;<SIZE>;<DATABLOCK>;LOW(PACK_CRC);HIGH(PACK_CRC);",
                                    "RECIPIENT;0x83;<ERRORCODE>;LOW(PACK_CRC);HIGH(PACK_CRC);", 0, 500);
        // Write two registers from 4 with the image bytes at 0x2200.
        const int write = addCommand(
            "Запись регистров", "RECIPIENT;0x10;0;4;0;2;4;DATABLOCK(0x2200,4);LOW(PACK_CRC);HIGH(PACK_CRC);",
            "RECIPIENT;0x10;0;4;0;2;LOW(PACK_CRC);HIGH(PACK_CRC);",
            "RECIPIENT;0x90;<ERRORCODE>;LOW(PACK_CRC);HIGH(PACK_CRC);", 0, 500);
        addStep(kReadList, read);
        addStep(kWriteList, write);
        protocol.Exceptions.push_back(protocol::MakeException(2, "Недопустимый адрес данных"));
    }
};

} // namespace

TEST(ModbusInterop, ReadAndWriteHoldingRegisters) {
    ModbusRig rig;
    testsupport::ModbusRtuServer server(*rig.pty, kSlave, 16);
    const std::uint16_t registers[] = {0x1122, 0x3344, 0x5566, 0x7788};
    for (int i = 0; i < 4; ++i)
        server.setHoldingRegister(i, registers[i]);

    exchange::ListBuffers read;
    read.receive = rig.image.Data.span();
    read.receiveOffset = 0x2100;
    const auto got = exchange::ExecuteActionList(rig.ctx, kReadList, read);
    EXPECT_EQ(got.result, 0);
    EXPECT_EQ(got.answerKind, exchange::kAnswerNormal);
    EXPECT_EQ(got.size, 8);
    const Bytes expected{0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77, 0x88};
    EXPECT_EQ(Bytes(rig.image.Data.data() + 0x2100, rig.image.Data.data() + 0x2108), expected);
    EXPECT_EQ(rig.image.Data[0x2108], 0xFF);

    const Bytes block{0xA1, 0xB2, 0xC3, 0xD4};
    std::copy(block.begin(), block.end(), rig.image.Data.data() + 0x2200);
    exchange::ListBuffers write;
    write.send = rig.image.Data.span();
    EXPECT_EQ(exchange::ExecuteActionList(rig.ctx, kWriteList, write).result, 0);
    server.stop();
    EXPECT_EQ(server.holdingRegister(4), 0xA1B2);
    EXPECT_EQ(server.holdingRegister(5), 0xC3D4);
    EXPECT_EQ(server.requestsServed(), 2);
    EXPECT_EQ(rig.ctx.CommErrors, 0);
    EXPECT_TRUE(rig.messages.texts.empty());
}

TEST(ModbusInterop, ServerExceptionsAndOtherSlaves) {
    struct Case {
        std::string name;
        int registers;        // the server has this many
        std::int32_t address; // our device address
        std::int32_t result;
        std::string message;
    };
    const Case cases[] = {
        // Four registers asked of a server with two: MODBUS exception 2, "illegal data address".
        {"exception answer", 2, kSlave, 3, boxText("ОШИБКА #2", "Недопустимый адрес данных")},
        // A frame for another slave goes unanswered.
        {"another slave", 16, kSlave + 1, -1,
         boxText("ОШИБКА! ", "Устройство не отвечает (Чтение регистров)")},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ModbusRig rig;
        rig.state.deviceAddress = c.address;
        app::SetProtocolVariables(rig.ctx, rig.around);
        testsupport::ModbusRtuServer server(*rig.pty, kSlave, c.registers);
        const auto out = exchange::ExecuteActionList(rig.ctx, kReadList, {});
        server.stop();
        EXPECT_EQ(out.result, c.result);
        ASSERT_EQ(rig.messages.texts.size(), 1u);
        EXPECT_EQ(rig.messages.texts[0], c.message);
        EXPECT_EQ(rig.ctx.CommErrors, 1);
    }
}
