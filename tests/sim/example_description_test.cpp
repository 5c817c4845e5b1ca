// The example protocol description and the simulator agree: every frame velmora-cli builds from
// examples/sim.vpdf.json is understood by the device, and every answer the device gives matches the
// command's answer or exception template.

#include "sim/sim_device.h"
#include "support/paths.h"
#include "support/process.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

using Bytes = std::vector<std::uint8_t>;

namespace {

std::string description() {
    return (testsupport::binaryDir() / "examples" / "sim.vpdf").string();
}

Bytes parseHex(const std::string& text) {
    Bytes bytes;
    std::istringstream in(text);
    std::string item;
    while (in >> item)
        bytes.push_back(static_cast<std::uint8_t>(std::stoul(item, nullptr, 16)));
    return bytes;
}

std::string toHex(const Bytes& bytes) {
    std::string text;
    char buf[4];
    for (auto b : bytes) {
        std::snprintf(buf, sizeof buf, "%02X ", b);
        text += buf;
    }
    return text;
}

struct Step {
    const char* name;
    int command;
    std::vector<std::string> vars;
    Bytes data; // data source for DATABLOCK, at `at`
    std::uint32_t at;
    std::string outcome; // first line of protocol match
    std::string capture; // a line protocol match must print, such as "SIZE=4"
};

} // namespace

TEST(ExampleDescription, FramesAndAnswersAgreeWithTheSimulator) {
    testsupport::TempDir dir;
    sim::SimDevice device(sim::DeviceConfig{}, {}, sim::RecordOverrides{});
    sim::IdentRecord newRecord = device.record();
    newRecord[4] = 0x30;
    newRecord[5] = 0;
    const Bytes page{0x12, 0x34, 0x56};
    const std::vector<std::string> base{"RECIPIENT=17", "PAGESIZE=128"};
    const std::vector<Step> steps{
        {"identity for the search", 0, {}, {}, 0, "answer", "SIZE=35"},
        {"ping before reading", 1, {}, {}, 0, "answer", "SIZE=35"},
        {"unlock with the empty password", 8, {}, {}, 0, "answer", ""},
        {"erase", 6, {}, {}, 0, "answer", ""},
        {"write a short page", 5, {"ADDRESS=0x2100", "SIZE=3"}, page, 0x2100, "answer", ""},
        {"read a page", 4, {"ADDRESS=0x2100", "PAGESIZE=4"}, {}, 0, "answer", "SIZE=4"},
        {"read a page above 64 KiB", 4, {"ADDRESS=0x12345", "PAGESIZE=2"}, {}, 0, "answer", "SIZE=2"},
        {"read the identification record", 2, {}, {}, 0, "answer", "SIZE=256"},
        {"write the identification record",
         3,
         {},
         Bytes(newRecord.begin(), newRecord.end()),
         0,
         "answer",
         ""},
        {"lock", 9, {}, {}, 0, "answer", ""},
        {"write while locked", 5, {"ADDRESS=0x2180", "SIZE=1"}, {0}, 0x2180, "exception", "ERRORCODE=16"},
        {"page too large to read", 4, {"ADDRESS=0x2100", "PAGESIZE=4096"}, {}, 0, "exception", "ERRORCODE=3"},
        {"reset", 7, {}, {}, 0, "answer", ""},
        {"the old address is silent after the reset", 0, {}, {}, 0, "", ""},
        {"the new address answers", 0, {"RECIPIENT=0x30"}, {}, 0, "answer", "RECIPIENT=48"},
    };
    for (const auto& s : steps) {
        std::vector<std::string> args{"protocol", "frame", description(), std::to_string(s.command)};
        args.insert(args.end(), base.begin(), base.end());
        args.insert(args.end(), s.vars.begin(), s.vars.end());
        if (!s.data.empty()) {
            const auto file = dir / "data.bin";
            std::ofstream(file, std::ios::binary)
                .write(reinterpret_cast<const char*>(s.data.data()),
                       static_cast<std::streamsize>(s.data.size()));
            args.insert(args.end(), {"--data", file.string(), "--at", std::to_string(s.at)});
        }
        const auto frame = testsupport::runCli(args);
        ASSERT_EQ(frame.exitCode, 0) << s.name << ": " << frame.err;
        const sim::Reply reply = device.handleFrame(parseHex(frame.out));
        if (s.outcome.empty()) {
            EXPECT_TRUE(reply.bytes.empty()) << s.name;
            continue;
        }
        ASSERT_FALSE(reply.bytes.empty()) << s.name << ": " << reply.note << " for " << frame.out;

        std::vector<std::string> matchArgs{"protocol", "match", description(), std::to_string(s.command),
                                           toHex(reply.bytes)};
        matchArgs.insert(matchArgs.end(), base.begin(), base.end());
        matchArgs.insert(matchArgs.end(), s.vars.begin(), s.vars.end());
        const auto match = testsupport::runCli(matchArgs);
        EXPECT_EQ(match.out.substr(0, match.out.find('\n')), s.outcome) << s.name << ": " << match.out;
        if (!s.capture.empty()) {
            EXPECT_NE(match.out.find(s.capture + "\n"), std::string::npos) << s.name << ": " << match.out;
        }
    }
    EXPECT_EQ(device.memory()[0x2100], 0x12);
    EXPECT_EQ(device.memory()[0x2102], 0x56);
    EXPECT_EQ(device.memory()[0x2103], 0xFF);
    EXPECT_EQ(device.address(), 0x30);
}

TEST(ExampleDescription, PassesTheProtocolCheck) {
    const auto check = testsupport::runCli({"protocol", "check", description()});
    EXPECT_EQ(check.exitCode, 0) << check.out << check.err;
}
