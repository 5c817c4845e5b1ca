#include "exchange/frame_builder.h"

#include "frame_fixture.h"

#include <gtest/gtest.h>

#include <optional>

namespace {

using Bytes = std::vector<uint8_t>;

struct FrameCase {
    const char* name;
    const char* templ;
    std::vector<std::pair<std::string, long double>> vars;
    std::optional<Bytes> source; // data source, index = address
    int64_t offset;
    Bytes expected; // 0xAA where a position was left untouched
    int32_t result;
    int32_t check;
};

TEST(BuildFrame, FieldsAndModbusFrames) {
    const FrameCase cases[] = {
        {"two literals", "0x01;0x03;", {}, std::nullopt, 0, {0x01, 0x03}, 0, 0},
        {"modbus read request",
         "RECIPIENT;0x03;HIGH(ADDRESS);LOW(ADDRESS);HIGH(SIZE);LOW(SIZE);HIGH(PACK_CRC);LOW(PACK_CRC);",
         {{"RECIPIENT", 1}, {"ADDRESS", 0}, {"SIZE", 10}},
         std::nullopt,
         0,
         {0x01, 0x03, 0x00, 0x00, 0x00, 0x0A, 0xC5, 0xCD},
         0,
         0},
        {"modbus read at 0x6B",
         "recipient; 3; high(address); low(address); 0; 3; high(pack_crc); low(pack_crc);",
         {{"RECIPIENT", 0x11}, {"ADDRESS", 0x6B}},
         std::nullopt,
         0,
         {0x11, 0x03, 0x00, 0x6B, 0x00, 0x03, 0x76, 0x87},
         0,
         0},
        {"modbus write registers from the data source",
         "1;0x10;0;1;0;2;4;DATABLOCK(ADDRESS,4);HIGH(PACK_CRC);LOW(PACK_CRC);",
         {{"ADDRESS", 2}},
         Bytes{0xFF, 0xFF, 0x00, 0x0A, 0x01, 0x02},
         0,
         {0x01, 0x10, 0x00, 0x01, 0x00, 0x02, 0x04, 0x00, 0x0A, 0x01, 0x02, 0x92, 0x30},
         0,
         0},
        {"DATABLOCK default start and SIZE",
         "DATABLOCK;",
         {{"SIZE", 3}},
         Bytes{1, 2, 3, 4, 5, 6},
         2,
         {3, 4, 5},
         0,
         0},
        {"DATABLOCK start only", "DATABLOCK(1);", {{"SIZE", 2}}, Bytes{1, 2, 3}, 0, {2, 3}, 0, 0},
        {"DATABLOCK without a source emits nothing",
         "0x01;DATABLOCK(0,4);0x02;",
         {},
         std::nullopt,
         0,
         {1, 2},
         0,
         0},
        {"DATABLOCK past the source end",
         "DATABLOCK(6,4);0x07;",
         {},
         Bytes(8, 0x11),
         0,
         {0x11, 0x11, 0xAA, 0xAA, 7},
         1,
         0},
        {"DATABLOCK before the source start", "DATABLOCK(-1,2);", {}, Bytes(8, 0x11), 0, {0xAA, 0x11}, 1, 0},
        {"BYTES", "BYTES(0x1FF,2);BYTES(5,0);BYTES(7,65537);", {}, std::nullopt, 0, {0xFF, 0xFF, 0x07}, 0, 0},
        {"LOW of a negative value", "LOW(-1);", {}, std::nullopt, 0, {0xFF}, 0, 0},
        {"text after the last field", "0x01;0x02", {}, std::nullopt, 0, {0x01}, 0, -1},
        {"value not computable", "LN(0);0x05;1/0;", {}, std::nullopt, 0, {0xAA, 0x05, 0xAA}, 3, 0},
        {"one error does not spoil later fields", "LN(0);0x05;", {}, std::nullopt, 0, {0xAA, 0x05}, 1, 0},
        {"malformed keyword forms", "BYTES(1);DATABLOCK(1,2,3);0x09;", {}, Bytes(4, 0), 0, {0x09}, 2, 2},
        {"SIZE too large for any register",
         "DATABLOCK;0x01;",
         {{"SIZE", 1e30}},
         Bytes(4, 9),
         0,
         {0x01},
         0,
         0},
        {"SIZE taken as 16 bits", "DATABLOCK;", {{"SIZE", 65538}}, Bytes(4, 9), 0, {9, 9}, 0, 0},
        {"non-finite value", "EXP(100000);", {}, std::nullopt, 0, {0xAA}, 1, 0},
    };
    for (const auto& c : cases) {
        testsupport::FrameFixture f;
        f.set(c.vars);
        const protocol::TprCOMMAND& cmd = f.command(c.templ);
        EXPECT_EQ(cmd.compiledCommand().checkResult, c.check) << c.name;
        Bytes frame(64, exchange::kSendFill);
        std::optional<std::span<const uint8_t>> source;
        if (c.source)
            source = std::span<const uint8_t>(*c.source);
        auto r = exchange::BuildFrame(f.commands, cmd, c.offset, source ? &*source : nullptr, frame);
        ASSERT_TRUE(r.built) << c.name << ": " << r.message;
        EXPECT_EQ(r.result, c.result) << c.name;
        EXPECT_EQ(Bytes(frame.begin(), frame.begin() + r.length), c.expected) << c.name;
    }
}

TEST(BuildFrame, CrcOrderWithoutSwap) {
    testsupport::FrameFixture f;
    f.crc.setTableSwap(false);
    const auto& cmd = f.command("0x01;0x03;0x00;0x00;0x00;0x01;LOW(PACK_CRC);HIGH(PACK_CRC);");
    Bytes frame(16, exchange::kSendFill);
    auto r = exchange::BuildFrame(f.commands, cmd, 0, nullptr, frame);
    EXPECT_EQ(Bytes(frame.begin(), frame.begin() + r.length), (Bytes{1, 3, 0, 0, 0, 1, 0x84, 0x0A}));
    // The PACK_CRC bytes stay outside the CRC, so a field after them still sees the frame's CRC.
    const auto& again =
        f.command("0x01;0x03;0x00;0x00;0x00;0x01;LOW(PACK_CRC);HIGH(PACK_CRC);LOW(PACK_CRC);");
    r = exchange::BuildFrame(f.commands, again, 0, nullptr, frame);
    EXPECT_EQ(frame[8], 0x84);
}

TEST(BuildFrame, ContextFields) {
    testsupport::FrameFixture f;
    f.commands.Password = std::string("ab\0c", 4);
    f.commands.CompatibilityList = {0x1234, 0xBEEF};
    for (size_t i = 0; i < 64; ++i)
        f.commands.VersionBlock[i] = static_cast<uint8_t>(i);
    const auto& cmd = f.command("PASSWORD;APP_CMPT;APP_VER;LOW(PACK_CRC);");
    Bytes frame(300, exchange::kSendFill);
    auto r = exchange::BuildFrame(f.commands, cmd, 0, nullptr, frame);
    ASSERT_TRUE(r.built);
    EXPECT_EQ(r.result, 0);
    ASSERT_EQ(r.length, 3 + 5 + 128 + 1);
    EXPECT_EQ(Bytes(frame.begin(), frame.begin() + 8), (Bytes{'a', 'b', 'c', 2, 0x34, 0x12, 0xEF, 0xBE}));
    base::TCRCGenerator check(16, 0x8005, 0xFFFF, true, true, 0);
    check.AddBytes(frame.data(), 8);
    for (size_t k = 0; k < 64; ++k) {
        EXPECT_EQ(frame[8 + 2 * k], k);
        EXPECT_EQ(frame[8 + 2 * k + 1], exchange::kSendFill);
        check.AddByte(static_cast<uint8_t>(k));
    }
    // Only the 64 version bytes enter the CRC, not the fill between them.
    EXPECT_EQ(frame[136], check.CRC() & 0xFF);
}

TEST(BuildFrame, NeverWritesPastTheBuffer) {
    struct Case {
        const char* templ;
        size_t room;
    };
    const Case cases[] = {
        {"BYTES(0,20);", 10}, {"0x01;DATABLOCK(0,300);", 100}, {"APP_VER;", 127}, {"PASSWORD;", 3},
        {"1;2;3;4;", 3},
    };
    for (const auto& c : cases) {
        testsupport::FrameFixture f;
        f.commands.Password = "secret";
        const auto& cmd = f.command(c.templ);
        Bytes source(1000, 0x55);
        const std::span<const uint8_t> src(source);
        // The buffer is a view of a larger one, so a stray write would show past `room`.
        Bytes storage(c.room + 16, 0xAA);
        auto r = exchange::BuildFrame(f.commands, cmd, 0, &src, std::span<uint8_t>(storage.data(), c.room));
        EXPECT_FALSE(r.built) << c.templ;
        EXPECT_EQ(r.length, 0) << c.templ;
        EXPECT_FALSE(r.message.empty()) << c.templ;
        for (size_t i = c.room; i < storage.size(); ++i)
            EXPECT_EQ(storage[i], 0xAA) << c.templ;
    }
}

TEST(BuildFrame, ChecksDoNotDependOnSetVariables) {
    // A fresh evaluator knows no variables; the check declares them all first.
    protocol::TFunctionEvaluator ev = protocol::makeMainEvaluator();
    protocol::TprCOMMANDS commands;
    commands.setEvaluator(&ev);
    protocol::TprCOMMAND& c = commands.Add();
    commands.setCommand(c, "APP_HWID;LOW(APP_SWID);APP_CMPT_SIZE;SYS_AREA;ERRORCODE;ADDR;PAGESIZE;");
    EXPECT_EQ(c.LastCheckResult(), 0);
    commands.setAnswer(c, "<RECIPIENT>;UNKNOWN_NAME;<FOO>;");
    EXPECT_EQ(c.LastCheckResult(), 3);
    EXPECT_EQ(c.compiledAnswer().fields[1].faulty, true);
    EXPECT_EQ(c.Answer(), "<RECIPIENT>;\r\nUNKNOWN_NAME;\r\n<FOO>;\r\n");
}

TEST(CommandCollection, FindByName) {
    protocol::TprCOMMANDS commands;
    commands.Add().Name = "Чтение";
    commands.Add().Name = "write";
    commands.Add().Name = "WRITE";
    EXPECT_EQ(commands.IndexOfName("ЧТЕНИЕ"), 0);
    EXPECT_EQ(commands.IndexOfName("Write"), 1);
    EXPECT_EQ(commands.IndexOfName("erase"), -1);
    EXPECT_EQ(commands.FindByName("nothing"), nullptr);
}

} // namespace
