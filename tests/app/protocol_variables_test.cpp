// The protocol variables and the frame context taken from the profile, the device address and the image.

#include "exchange/command_exchange.h"
#include "exchange/exchange_rig.h"
#include "image/compat_list.h"
#include "image/version_record.h"
#include "support/scripted_peer.h"

#include <gtest/gtest.h>

using namespace exchangetest;

namespace {

// An image of 0x100 bytes at 0x2100 carrying a version record with HWID 0x1234 and, when given, a
// compatibility list.
Bytes firmware(const std::vector<std::uint16_t>& compat) {
    Bytes bytes(0x100, 0x00);
    image::VersionRecord record = image::emptyVersionRecord();
    record.bytes[47] = 0x34;
    record.bytes[48] = 0x12;
    std::copy(record.bytes.begin(), record.bytes.end(), bytes.begin() + 0x10);
    if (!compat.empty()) {
        const Bytes list = image::serializeCompatList(compat);
        std::copy(list.begin(), list.end(), bytes.begin() + 0x60);
    }
    return bytes;
}

} // namespace

TEST(ProtocolVariables, TakenFromProfileAddressAndImage) {
    struct Case {
        std::vector<std::uint16_t> compat;
        Bytes appCmptField; // what an APP_CMPT field sends
    };
    const Case cases[] = {
        {{}, {0x01, 0x34, 0x12}},
        {{0x0102, 0xBEEF}, {0x03, 0x34, 0x12, 0x02, 0x01, 0xEF, 0xBE}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.compat.size());
        ExchangeRig rig;
        rig.state.activeProfile = "bench";
        rig.state.deviceAddress = 0x1F5; // the bus uses 0xF5
        rig.ctx.address = 0x2180;
        ASSERT_TRUE(rig.settings.writeInteger(app::Setting::PageSize, 64, "bench"));
        ASSERT_TRUE(rig.settings.writeInteger(app::Setting::FlashStart, 0x3000, "bench"));
        ASSERT_TRUE(rig.settings.writeInteger(app::Setting::CtrlArea, 0x800, "bench"));
        ASSERT_TRUE(rig.settings.writeInteger(app::Setting::PageSize, 32, "default")); // another profile
        const Bytes fw = firmware(c.compat);
        ASSERT_TRUE(rig.image.LoadFromStream(0x2100, fw, false));
        rig.image.BlockCount = 4;
        rig.image.CalcCRC();
        rig.evaluator.SetVariable("STALE", 1);

        app::SetProtocolVariables(rig.ctx, rig.around);

        EXPECT_EQ(rig.state.pageSize, 64);
        const std::pair<const char*, long double> expected[] = {
            {"PAGE", 0},
            {"ADDRESS", 0x2180},
            {"RECIPIENT", 0xF5},
            {"SIZE", 64},
            {"PAGESIZE", 64},
            {"APP_START", 0x2100},
            {"APP_END", 0x21FF},
            {"APP_SIZE", 0x100},
            {"APP_BSIZE", 4},
            {"APP_CRC", rig.image.CRC},
            {"PACK_CRC", 65535},
            {"APP_HWID", 0x1234},
            {"APP_SWID", image::CalcSWID(rig.image.Version)},
            {"APP_CMPT_SIZE", static_cast<long double>((c.compat.size() + 1) * 2 + 1)},
            {"APP_AREA", 0x3000},
            {"SYS_AREA", 0x800},
        };
        for (const auto& [name, value] : expected) {
            EXPECT_TRUE(rig.evaluator.HasVariable(name)) << name;
            EXPECT_EQ(rig.evaluator.GetVariable(name), value) << name;
        }
        EXPECT_FALSE(rig.evaluator.HasVariable("STALE")); // the table was emptied first
        EXPECT_EQ(rig.protocol.Commands.VersionBlock, rig.image.Version.bytes);

        const int cmd = rig.addCommand("IDENT", "RECIPIENT;APP_CMPT;", "");
        testsupport::ScriptedPeer peer(*rig.line, [](const Bytes&, int) { return std::nullopt; });
        EXPECT_EQ(exchange::ExecuteCommand(rig.ctx, rig.command(cmd), nullptr, {}).result, 0);
        peer.stop();
        Bytes frame{0xF5};
        frame.insert(frame.end(), c.appCmptField.begin(), c.appCmptField.end());
        ASSERT_EQ(peer.frames().size(), 1u);
        EXPECT_EQ(peer.frames()[0], frame);
    }
}

TEST(ProtocolVariables, FirstStartDefaults) {
    ExchangeRig rig;
    rig.state.pageSize = 7;
    app::SetProtocolVariables(rig.ctx, rig.around);
    EXPECT_EQ(rig.state.pageSize, 128);
    EXPECT_EQ(rig.evaluator.GetVariable("RECIPIENT"), 17);
    EXPECT_EQ(rig.evaluator.GetVariable("APP_AREA"), 0x2100);
    EXPECT_EQ(rig.evaluator.GetVariable("SYS_AREA"), 0xF00);
    EXPECT_EQ(rig.evaluator.GetVariable("APP_CMPT_SIZE"), 3);
    EXPECT_EQ(rig.protocol.Commands.CompatibilityList, std::vector<std::uint16_t>{0});
}
