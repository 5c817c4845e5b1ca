// velmora-cli info, convert, unpack and pack on real files.

#include "support/paths.h"
#include "support/process.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <fstream>
#include <iterator>
#include <sys/stat.h>

namespace {

using testsupport::runCli;

std::string readText(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// A small image with a version record (owner "CLI", 1.02b3, release 4, HWID 0x0021) and a list.
void writeSample(const std::filesystem::path& path) {
    std::string bytes(0x200, '\x11');
    std::string record = "<VER>CLI";
    record.resize(38, '\0');
    record += std::string{'\x01', '\x02', '\x03', '\x04', '\x00', '\x41', '\x2F', '\xED', '\x14', '\x21',
                          '\x00', '\x00', '\x00', '\x00', '\x00', '\x00', '\x00', '\x00', '\x00', '\x00'};
    record += "</VER>";
    bytes.replace(0x40, record.size(), record);
    std::ofstream(path, std::ios::binary) << bytes;
}

TEST(FileCli, InfoPackUnpackConvert) {
    testsupport::TempDir dir;
    const std::string sample = (dir / "sample.bin").string();
    writeSample(sample);

    auto info = runCli({"info", sample, "--json"});
    ASSERT_EQ(info.exitCode, 0) << info.err;
    nlohmann::json j = nlohmann::json::parse(info.out);
    EXPECT_EQ(j["type"], "bin");
    EXPECT_EQ(j["packed"], false);
    EXPECT_EQ(j["start"], 0);
    EXPECT_EQ(j["end"], 0x1FF);
    EXPECT_EQ(j["length"], 0x200);
    EXPECT_EQ(j["filled"], 0x200);
    EXPECT_EQ(j["segments"], nlohmann::json::parse("[[0, 512]]"));
    EXPECT_EQ(j["crc_width"], 16);
    EXPECT_TRUE(j["header"].is_null());
    EXPECT_EQ(j["version"]["owner"], "CLI");
    EXPECT_EQ(j["version"]["full_version"], "1.02b3.4.15.02.11");
    EXPECT_EQ(j["version"]["hwid"], 0x21);
    EXPECT_EQ(j["version"]["damaged"], true); // its CRC field was never filled in
    EXPECT_EQ(j["clist"], nlohmann::json::array());

    // The firmware at 0x2100, where devices keep it: an unpacked envelope holds its own fields below.
    const std::string firmware = (dir / "fw.hex").string();
    ASSERT_EQ(runCli({"convert", sample, firmware, "--at", "0x2100"}).exitCode, 0);
    const std::string sampleBytes = readText(sample);
    const std::string expectedBin = std::string(0x2100, '\xFF') + sampleBytes;

    // pack fills in size and CRC: the envelope loads undamaged, with the header text; every firmware
    // byte is back at its address after unpack.
    for (const bool packed : {true, false}) {
        SCOPED_TRACE(packed ? "packed" : "unpacked");
        const std::string q7r = (dir / "s.q7r").string();
        std::vector<std::string> args = {"pack", firmware, q7r, "--header", "Прошивка 1"};
        if (!packed)
            args.push_back("--unpacked");
        auto pack = runCli(args);
        ASSERT_EQ(pack.exitCode, 0) << pack.err;
        info = runCli({"info", q7r, "--json"});
        ASSERT_EQ(info.exitCode, 0) << info.err;
        j = nlohmann::json::parse(info.out);
        EXPECT_EQ(j["type"], "q7r");
        EXPECT_EQ(j["packed"], packed);
        EXPECT_EQ(j["header"], "Прошивка 1");
        EXPECT_EQ(j["version"]["damaged"], false);
        EXPECT_EQ(j["version"]["size_mismatch"], false);
        EXPECT_EQ(j["version"]["version"], "1.02b3");
        if (!packed) {
            // Loaded as it stands: file offset = image address.
            const std::string envelope = readText(q7r);
            ASSERT_GE(envelope.size(), 0x2300u);
            EXPECT_TRUE(envelope.substr(0x2100, 0x200) == sampleBytes);
        }

        // convert keeps an envelope an envelope.
        auto convert = runCli({"convert", q7r, (dir / "c.q7r").string()});
        ASSERT_EQ(convert.exitCode, 0) << convert.err;
        EXPECT_EQ(readText(dir / "c.q7r"), readText(q7r));

        for (const char* out : {"u.bin", "u.hex"}) {
            SCOPED_TRACE(out);
            auto unpack = runCli({"unpack", q7r, (dir / out).string()});
            ASSERT_EQ(unpack.exitCode, 0) << unpack.err;
            ASSERT_EQ(runCli({"convert", (dir / out).string(), (dir / "back.bin").string()}).exitCode, 0);
            EXPECT_TRUE(readText(dir / "back.bin") == expectedBin);
        }
    }
    // A plain binary starts at address 0, where an unpacked envelope keeps its fields: refused.
    auto clash = runCli({"pack", sample, (dir / "x.q7r").string(), "--unpacked"});
    EXPECT_NE(clash.exitCode, 0);
    EXPECT_NE(clash.err.find("0x00..0x7B"), std::string::npos) << clash.err;
    EXPECT_FALSE(std::filesystem::exists(dir / "x.q7r"));

    // Load at an address.
    auto at = runCli({"convert", sample, (dir / "at.hex").string(), "--at", "0x2100"});
    ASSERT_EQ(at.exitCode, 0) << at.err;
    j = nlohmann::json::parse(runCli({"info", (dir / "at.hex").string(), "--json"}).out);
    EXPECT_EQ(j["start"], 0x2100);
}

// The demo firmware is made by a script of its own; its record's CRC must agree with ours.
TEST(FileCli, SampleFirmwareLoadsUndamaged) {
    auto info =
        runCli({"info", (testsupport::sourceDir() / "examples" / "sample-firmware.hex").string(), "--json"});
    ASSERT_EQ(info.exitCode, 0) << info.err;
    const nlohmann::json j = nlohmann::json::parse(info.out);
    EXPECT_EQ(j["start"], 0x2100);
    EXPECT_EQ(j["end"], 0x2FFF);
    EXPECT_EQ(j["version"]["owner"], "VELMORA SAMPLE");
    EXPECT_EQ(j["version"]["damaged"], false);
    EXPECT_EQ(j["version"]["size_mismatch"], false);
    EXPECT_EQ(j["clist"], nlohmann::json::parse("[34, 49]"));
    EXPECT_EQ(j["clist_bad"], false);
}

TEST(FileCli, FailuresAndExitCodes) {
    testsupport::TempDir dir;
    std::ofstream(dir / "bad.hex", std::ios::binary) << ":020000040000FA\r\n:0100000055AB\r\n";
    std::ofstream(dir / "map.bin", std::ios::binary) << std::string("MAPBIN0\0........", 16);
    std::ofstream(dir / "plain.bin", std::ios::binary) << "abc";
    // A FIFO without a writer would block a reader that opens it before looking at what it is.
    ASSERT_EQ(::mkfifo((dir / "fifo").c_str(), 0600), 0);
    struct Case {
        std::vector<std::string> args;
        int exitCode;
        std::string err;
    };
    const std::string bad = (dir / "bad.hex").string();
    const std::vector<Case> cases = {
        {{"info", bad}, 2, "Не могу открыть файл: " + bad},
        {{"info", (dir / "map.bin").string()}, 2, "Формат MAPBIN не поддерживается: "},
        {{"info", (dir / "missing").string()}, 2, "Не могу открыть файл: "},
        {{"info", (dir / "fifo").string()}, 2, "Не могу открыть файл: "},
        {{"info", dir.path().string()}, 2, "Не могу открыть файл: "},
        {{"unpack", (dir / "plain.bin").string(), (dir / "o.bin").string()}, 2, "is not an envelope"},
        // Output paths are checked before any work: a folder that is not there, or a folder as the file.
        {{"convert", (dir / "plain.bin").string(), (dir / "x" / "o.bin").string()},
         2,
         "cannot create a file in"},
        {{"pack", (dir / "plain.bin").string(), dir.path().string()}, 2, "is a folder"},
        {{"convert", (dir / "plain.bin").string(), (dir / "o.bin").string(), "--at", "0x900000"}, 2, "--at"},
        {{"info", bad, "--type", "elf"}, 2, "--type"},
        {{"--settings", dir.path().string(), "device", "erase"}, 2, "not a regular file"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args[0] + " " + c.args[1]);
        auto r = runCli(c.args);
        EXPECT_EQ(r.exitCode, c.exitCode);
        EXPECT_NE(r.err.find(c.err), std::string::npos) << r.err;
    }
}

} // namespace
