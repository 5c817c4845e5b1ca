#include "exchange/answer_matcher.h"
#include "exchange/frame_builder.h"

#include "frame_fixture.h"

#include <gtest/gtest.h>

namespace {

using Bytes = std::vector<uint8_t>;

constexpr const char* kReadAnswer = "<RECIPIENT>;0x03;<SIZE>;<DATABLOCK>;HIGH(PACK_CRC);LOW(PACK_CRC);";
constexpr const char* kReadException = "<RECIPIENT>;0x83;<ERRORCODE>;HIGH(PACK_CRC);LOW(PACK_CRC);";

struct MatchCase {
    const char* name;
    const char* templ;
    Bytes received;
    bool matches;
    std::vector<std::pair<std::string, long double>> captured;
    Bytes destinationAfter; // destination of 8 bytes, 0xEE before; default offset 2
};

TEST(MatchAnswer, RealModbusAnswers) {
    const Bytes untouched(8, 0xEE);
    const MatchCase cases[] = {
        {"read answer",
         kReadAnswer,
         {0x01, 0x03, 0x02, 0x00, 0x2A, 0x39, 0x9B},
         true,
         {{"RECIPIENT", 1}, {"SIZE", 2}, {"ERRORCODE", -1}},
         {0xEE, 0xEE, 0x00, 0x2A, 0xEE, 0xEE, 0xEE, 0xEE}},
        {"four data bytes",
         kReadAnswer,
         {0x01, 0x03, 0x04, 0x12, 0x34, 0xAB, 0xCD, 0x00, 0x20},
         true,
         {{"SIZE", 4}},
         {0xEE, 0xEE, 0x12, 0x34, 0xAB, 0xCD, 0xEE, 0xEE}},
        {"bad CRC never lands in the destination",
         kReadAnswer,
         {0x01, 0x03, 0x02, 0x00, 0x2A, 0x39, 0x9C},
         false,
         {{"RECIPIENT", 1}, {"SIZE", 2}},
         untouched},
        {"one byte more",
         kReadAnswer,
         {0x01, 0x03, 0x02, 0x00, 0x2A, 0x39, 0x9B, 0x00},
         false,
         {},
         untouched},
        {"one byte less", kReadAnswer, {0x01, 0x03, 0x02, 0x00, 0x2A, 0x39}, false, {}, untouched},
        {"first literal differs", "0x01;<ERRORCODE>;", {0x02, 0x07}, false, {{"ERRORCODE", 7}}, untouched},
        {"nothing received", kReadAnswer, {}, false, {{"ERRORCODE", -1}}, untouched},
        {"store past the destination",
         kReadAnswer,
         {0x01, 0x03, 0x07, 1, 2, 3, 4, 5, 6, 7, 0x00, 0x00},
         false,
         {{"SIZE", 7}},
         untouched},
        {"size larger than the answer",
         kReadAnswer,
         {0x01, 0x03, 0xFF, 0x01},
         false,
         {{"SIZE", 255}},
         untouched},
        {"exception answer",
         kReadException,
         {0x01, 0x83, 0x02, 0xC0, 0xF1},
         true,
         {{"ERRORCODE", 2}},
         untouched},
        {"exception template on a normal answer",
         kReadException,
         {0x01, 0x03, 0x02, 0x00, 0x2A, 0x39, 0x9B},
         false,
         {},
         untouched},
        {"skipped bytes enter the CRC once",
         "<OMITTED(2)>;<OMITTED>;HIGH(PACK_CRC);LOW(PACK_CRC);",
         {0x01, 0x83, 0x02, 0xC0, 0xF1},
         true,
         {},
         untouched},
        {"OMITTED below one takes nothing", "<OMITTED(0)>;0x05;", {0x05}, true, {}, untouched},
        {"OMITTED with two arguments never matches", "<OMITTED(1,2)>;", {0x05}, false, {}, untouched},
        {"value 256 matches no byte", "256;", {0x00}, false, {}, untouched},
        {"BYTES compare 16-bit values", "BYTES(0x1FF,1);", {0xFF}, false, {}, untouched},
        {"BYTES", "BYTES(0x55,3);0x01;", {0x55, 0x55, 0x55, 0x01}, true, {}, untouched},
        {"unbracketed DATABLOCK verifies", "DATABLOCK(0,2);", {0xEE, 0xEE}, true, {}, untouched},
        {"unbracketed DATABLOCK differs", "DATABLOCK(0,2);", {0xEE, 0xEF}, false, {}, untouched},
        {"address captures",
         "<BYTE3(ADDR)>;<BYTE2(ADDR)>;<HIGH(ADDR)>;<LOW(ADDR)>;",
         {0x12, 0x34, 0x56, 0x78},
         true,
         {{"ADDR", 0x12345678}},
         untouched},
        {"address register starts at 0", "<LOW(ADDR)>;", {0x78}, true, {{"ADDR", 0x78}}, untouched},
        {"size halves", "<HIGH(SIZE)>;<LOW(SIZE)>;", {0x01, 0x02}, true, {{"SIZE", 0x0102}}, untouched},
        {"unknown bracketed field", "<PAGE>;", {0x00}, false, {}, untouched},
        {"PACK_CRC expression taken unchecked", "0x01;BYTE0(PACK_CRC);", {0x01, 0x99}, true, {}, untouched},
        {"template longer than the answer", "0x01;0x02;<DATABLOCK(0,5)>;", {0x01}, false, {}, untouched},
    };
    for (const auto& c : cases) {
        testsupport::FrameFixture f;
        // A previous match left values behind: a match must not depend on them.
        f.set({{"SIZE", 0}, {"ADDR", 0xFFFFFFFF}, {"ERRORCODE", 9}});
        const auto& cmd = f.command("", c.templ);
        Bytes destination(8, 0xEE);
        std::span<uint8_t> dest(destination);
        const int32_t r = exchange::MatchAnswer(f.commands, cmd.compiledAnswer(), c.received, &dest, 2);
        EXPECT_EQ(r == 0, c.matches) << c.name << " (result " << r << ")";
        for (const auto& [name, value] : c.captured)
            EXPECT_EQ(f.evaluator.GetVariable(name), value) << c.name << ": " << name;
        EXPECT_EQ(destination, c.destinationAfter) << c.name;
    }
}

TEST(MatchAnswer, WithoutDestination) {
    testsupport::FrameFixture f;
    const auto& cmd = f.command("", "0x01;<DATABLOCK>;DATABLOCK(0,4);0x02;");
    // Each DATABLOCK takes one byte and checks nothing.
    EXPECT_EQ(exchange::MatchAnswer(f.commands, cmd.compiledAnswer(), Bytes{1, 9, 9, 2}, nullptr, 0), 0);
    EXPECT_NE(exchange::MatchAnswer(f.commands, cmd.compiledAnswer(), Bytes{1, 9, 2}, nullptr, 0), 0);
}

TEST(MatchAnswer, FrameAndAnswerRoundTrip) {
    // The request a read page sends and the answer a device gives back, both from the same
    // templates as a protocol description holds them.
    testsupport::FrameFixture f;
    f.set({{"RECIPIENT", 0x11}, {"ADDRESS", 0x6B}, {"SIZE", 3}});
    const auto& cmd = f.command("RECIPIENT;3;HIGH(ADDRESS);LOW(ADDRESS);0;SIZE;HIGH(PACK_CRC);LOW(PACK_CRC);",
                                "RECIPIENT;3;<SIZE>;<DATABLOCK(ADDRESS)>;HIGH(PACK_CRC);LOW(PACK_CRC);");
    Bytes frame(32, exchange::kSendFill);
    auto r = exchange::BuildFrame(f.commands, cmd, 0, nullptr, frame);
    EXPECT_EQ(Bytes(frame.begin(), frame.begin() + r.length),
              (Bytes{0x11, 0x03, 0x00, 0x6B, 0x00, 0x03, 0x76, 0x87}));

    Bytes answer{0x11, 0x03, 0x03, 0xAE, 0x41, 0x56};
    base::TCRCGenerator crc(16, 0x8005, 0xFFFF, true, false, 0);
    crc.AddBytes(answer.data(), static_cast<int64_t>(answer.size()));
    answer.push_back(static_cast<uint8_t>(crc.CRC() & 0xFF));
    answer.push_back(static_cast<uint8_t>(crc.CRC() >> 8));
    Bytes image(0x100, 0xFF);
    std::span<uint8_t> dest(image);
    EXPECT_EQ(exchange::MatchAnswer(f.commands, cmd.compiledAnswer(), answer, &dest, 0), 0);
    EXPECT_EQ(image[0x6B], 0xAE);
    EXPECT_EQ(image[0x6D], 0x56);
    EXPECT_EQ(image[0x6E], 0xFF);
}

} // namespace
