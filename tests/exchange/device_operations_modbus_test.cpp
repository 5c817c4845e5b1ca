// Whole device operations (the sequencer over the exchange device host) against a libmodbus RTU
// server on a pseudo-terminal: pages of device memory are holding registers, two bytes each.

#include "app/exchange_device_host.h"
#include "app/view_notifications.h"
#include "exchange/operation_sequencer.h"
#include "exchange_rig.h"
#include "support/modbus_server.h"

#include <gtest/gtest.h>

using namespace exchangetest;
using Outcome = exchange::OperationSequencer::Outcome;

namespace {

constexpr int kRegisters = 0x1100; // device memory 0 .. 0x21FF

std::uint8_t pattern(std::uint32_t address) {
    return static_cast<std::uint8_t>(address * 13 + (address >> 8));
}

struct DeviceRig : ExchangeRig {
    DeviceRig() : ExchangeRig(RigLine::Pty) {
        EXPECT_TRUE(settings.writeString(app::Setting::PortDevice, pty->slavePath()));
        EXPECT_TRUE(settings.writeInteger(app::Setting::BaudRateIndex, exchange::BR_115200));
        EXPECT_TRUE(settings.writeInteger(app::Setting::FlashStart, 0x2100, "default"));
        EXPECT_TRUE(settings.writeInteger(app::Setting::FlashEnd, 0x21FF, "default"));
        EXPECT_TRUE(settings.writeInteger(app::Setting::PageSize, 64, "default"));
        const int read = addCommand(
            "Чтение страницы",
            "RECIPIENT;3;HIGH(ADDRESS/2);LOW(ADDRESS/2);0;PAGESIZE/2;LOW(PACK_CRC);HIGH(PACK_CRC);",
            "RECIPIENT;3;<SIZE>;<DATABLOCK>;LOW(PACK_CRC);HIGH(PACK_CRC);",
            "RECIPIENT;0x83;<ERRORCODE>;LOW(PACK_CRC);HIGH(PACK_CRC);", 1, 300);
        const int write =
            addCommand("Запись страницы",
                       "RECIPIENT;0x10;HIGH(ADDRESS/2);LOW(ADDRESS/2);0;SIZE/"
                       "2;SIZE;DATABLOCK;LOW(PACK_CRC);HIGH(PACK_CRC);",
                       "RECIPIENT;0x10;HIGH(ADDRESS/2);LOW(ADDRESS/2);0;SIZE/2;LOW(PACK_CRC);HIGH(PACK_CRC);",
                       "RECIPIENT;0x90;<ERRORCODE>;LOW(PACK_CRC);HIGH(PACK_CRC);", 1, 300);
        addStep(exchange::kListReadPage, read);
        addStep(exchange::kListWritePage, write);
        protocol.Exceptions.push_back(protocol::MakeException(2, "Недопустимый адрес данных"));
        comm.Close(); // the operations open the port themselves
    }
    app::ViewNotifications view;
    app::ExchangeDeviceHost host{ctx, around};
    exchange::OperationSequencer sequencer{host};

    void runToEnd() {
        for (int i = 0; i < 1000 && sequencer.paging(); ++i)
            sequencer.tick();
    }
};

} // namespace

TEST(DeviceOperationsModbus, ReadsTheFlashWindowPageByPage) {
    DeviceRig rig;
    testsupport::ModbusRtuServer server(*rig.pty, 17, kRegisters);
    for (std::uint32_t a = 0x2100; a < 0x2200; a += 2)
        server.setHoldingRegister(static_cast<int>(a / 2),
                                  static_cast<std::uint16_t>(pattern(a) << 8 | pattern(a + 1)));

    ASSERT_TRUE(rig.sequencer.startRead());
    rig.runToEnd();
    server.stop();
    EXPECT_EQ(rig.sequencer.outcome(), Outcome::Completed);
    EXPECT_EQ(server.requestsServed(), 4);
    for (std::uint32_t a = 0x2100; a < 0x2200; ++a)
        ASSERT_EQ(rig.image.Data[a], pattern(a)) << std::hex << a;
    EXPECT_EQ(rig.image.StartAddr, 0x2100);
    EXPECT_EQ(rig.image.EndAddr, 0x21FF);
    EXPECT_FALSE(rig.comm.IsOpen());
    EXPECT_EQ(rig.ctx.CommErrors, 0);
    ASSERT_FALSE(rig.log.lines().empty());
    EXPECT_NE(rig.log.lines().back().find("Чтение завершено("), std::string::npos);
}

TEST(DeviceOperationsModbus, WritesTheImageAndStopsAtADeviceError) {
    struct Case {
        std::string name;
        int registers;
        Outcome outcome;
        int pagesWritten;
    };
    // The second case's device ends inside the second page: it answers exception 2 three times.
    const Case cases[] = {{"whole image", kRegisters, Outcome::Completed, 2},
                          {"device too small", 0x10A0, Outcome::Failed, 1}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        DeviceRig rig;
        std::vector<std::uint8_t> bytes(0x80);
        for (std::uint32_t i = 0; i < bytes.size(); ++i)
            bytes[i] = pattern(0x2100 + i);
        ASSERT_TRUE(rig.image.LoadFromStream(0x2100, bytes, false));
        testsupport::ModbusRtuServer server(*rig.pty, 17, c.registers);

        ASSERT_TRUE(rig.sequencer.startWrite());
        rig.runToEnd();
        server.stop();
        EXPECT_EQ(rig.sequencer.outcome(), c.outcome);
        for (int page = 0; page < c.pagesWritten; ++page)
            for (std::uint32_t a = 0x2100 + page * 64; a < 0x2140 + page * 64u; a += 2)
                ASSERT_EQ(server.holdingRegister(static_cast<int>(a / 2)), pattern(a) << 8 | pattern(a + 1))
                    << std::hex << a;
        EXPECT_FALSE(rig.comm.IsOpen());
        if (c.outcome == Outcome::Failed) {
            EXPECT_EQ(rig.sequencer.lastResult(), 3);
            EXPECT_EQ(rig.ctx.CommErrors, 3);
            ASSERT_EQ(rig.messages.texts.size(), 1u);
            EXPECT_EQ(rig.messages.texts[0], boxText("ОШИБКА #2", "Недопустимый адрес данных"));
        } else {
            EXPECT_TRUE(rig.messages.texts.empty());
        }
    }
}

TEST(DeviceOperationsModbus, PortThatCannotBeOpenedIsReported) {
    DeviceRig rig;
    ASSERT_TRUE(rig.settings.writeString(app::Setting::PortDevice, (rig.dir / "no-such-tty").string()));
    EXPECT_FALSE(rig.sequencer.startRead());
    ASSERT_EQ(rig.messages.texts.size(), 1u);
    EXPECT_EQ(rig.messages.texts[0], "Не могу открыть порт!");
    ASSERT_FALSE(rig.log.lines().empty());
    EXPECT_NE(rig.log.lines().back().find("no-such-tty: No such file"), std::string::npos)
        << rig.log.lines().back();
}
