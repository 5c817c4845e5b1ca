#include "support/paths.h"
#include "support/process.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

namespace {

std::string slurp(const std::filesystem::path& path) {
    std::ifstream f(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
}

void spit(const std::filesystem::path& path, const std::string& text) {
    std::ofstream f(path, std::ios::binary);
    f << text;
}

std::filesystem::path dataFile(const std::string& name) {
    return testsupport::sourceDir() / "tests/data/protocol" / name;
}

struct CliCase {
    std::vector<std::string> args;
    int exitCode;
    const char* out; // null: not compared
    const char* err; // substring of stderr
};

void runCases(const std::vector<CliCase>& cases) {
    for (const auto& c : cases) {
        const auto r = testsupport::runCli(c.args);
        std::string line;
        for (const auto& a : c.args)
            line += a + " ";
        EXPECT_EQ(r.exitCode, c.exitCode) << line << r.err;
        if (c.out) {
            EXPECT_EQ(r.out, c.out) << line;
        }
        EXPECT_NE(r.err.find(c.err), std::string::npos) << line << r.err;
    }
}

TEST(CrcCli, PresetsParametersAndInput) {
    testsupport::TempDir dir;
    spit(dir / "digits", "123456789");
    runCases({
        {{"crc", "--preset", "1", "--text", "123456789"}, 0, "0x000029B1\n", ""},
        {{"crc", "--preset", "2", "--text", "123456789"}, 0, "0x00000C73\n", ""},
        {{"crc", "--preset", "3", "--text", "123456789"}, 0, "0x0000BB3D\n", ""},
        {{"crc", "--preset", "4", "--text", "123456789"}, 0, "0x0000374B\n", ""},
        {{"crc", "--preset", "5", (dir / "digits").string()}, 0, "0xCBF43926\n", ""},
        {{"crc", "--preset", "4", "--hex", "01 03 00 00 00 0A"}, 0, "0x0000C5CD\n", ""},
        {{"crc", "--preset", "4", "--swap", "0", "--hex", "010300000001"}, 0, "0x00000A84\n", ""},
        {{"crc", "--width", "16", "--poly", "$1021", "--init", "65535", "--reflect", "0", "--xorout", "x0",
          "--swap", "0", "--text", "123456789"},
         0,
         "0x000029B1\n",
         ""},
        {{"crc", "--width", "8", "--init", "0x5A", "--hex", "01 02"}, 0, "0x0000005A\n", ""},
        {{"crc", "--poly", "0x1G", "--text", "1"}, 2, "", "not a number"},
        {{"crc", "--reflect", "2", "--text", "1"}, 2, "", "0 or 1"},
        {{"crc", "--hex", "0x1 zz"}, 2, "", "hexadecimal"},
        {{"crc", "--text", "1", "--hex", "01"}, 2, "", "exactly one"},
        {{"crc", "--text", "\xE4\xB8\xAD"}, 2, "", "code page 1251"},
        {{"crc", (dir / "missing").string()}, 2, "", "cannot read"},
        {{"crc", dir.path().string()}, 2, "", "not a regular file"},
        {{"crc", "--preset", "6", "--text", "1"}, 2, "", ""},
    });
}

TEST(CrcCli, TableExport) {
    testsupport::TempDir dir;
    auto r = testsupport::runCli({"crc-table", "--preset", "4", (dir / "t.c").string()});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    std::istringstream in(slurp(dir / "t.c"));
    std::vector<std::string> lines;
    for (std::string l; std::getline(in, l);)
        lines.push_back(l);
    ASSERT_EQ(lines.size(), 33u);
    EXPECT_EQ(lines[0], "usigned int CRC_table[256]={");
    EXPECT_EQ(lines[1], "              0x0000,0xC0C1,0xC181,0x0140,0xC301,0x03C0,0x0280,0xC241,");
    EXPECT_EQ(lines[32], "              0x8201,0x42C0,0x4380,0x8341,0x4100,0x81C1,0x8081,0x4040};");

    r = testsupport::runCli({"crc-table", "--preset", "5", (dir / "t32.c").string()});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const std::string wide = slurp(dir / "t32.c");
    EXPECT_NE(wide.find("\n              0x00000000,0x77073096,0xEE0E612C,"), std::string::npos);
    EXPECT_NE(wide.find(",0x2D02EF8D};\n"), std::string::npos);

    r = testsupport::runCli({"crc-table", "--width", "24", (dir / "t24.c").string()});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_FALSE(std::filesystem::exists(dir / "t24.c"));
    r = testsupport::runCli({"crc-table", "--preset", "4", (dir / "no" / "t.c").string()});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_NE(r.err.find("cannot create a file in"), std::string::npos) << r.err;
}

TEST(ProtocolCli, ImportExportRoundTrips) {
    testsupport::TempDir dir;
    for (const char* name : {"modbus_read.vpdf.json", "all_fields.vpdf.json"}) {
        const auto vpdf = dir / "a.vpdf";
        auto r = testsupport::runCli({"protocol", "import", dataFile(name).string(), vpdf.string()});
        ASSERT_EQ(r.exitCode, 0) << name << r.err;
        r = testsupport::runCli({"protocol", "export", vpdf.string(), (dir / "a.json").string()});
        ASSERT_EQ(r.exitCode, 0) << name << r.err;
        r = testsupport::runCli({"protocol", "import", (dir / "a.json").string(), (dir / "b.vpdf").string()});
        ASSERT_EQ(r.exitCode, 0) << name << r.err;
        EXPECT_EQ(slurp(vpdf), slurp(dir / "b.vpdf")) << name;
        r = testsupport::runCli({"protocol", "export", (dir / "b.vpdf").string(), (dir / "b.json").string()});
        EXPECT_EQ(slurp(dir / "a.json"), slurp(dir / "b.json")) << name;
        r = testsupport::runCli({"protocol", "show", "--json", vpdf.string()});
        EXPECT_EQ(r.exitCode, 0);
        EXPECT_NE(r.out.find("\"check\""), std::string::npos);
    }
}

TEST(ProtocolCli, ImportRefusesWhatTheFileCannotHold) {
    testsupport::TempDir dir;
    const std::string good = slurp(dataFile("modbus_read.vpdf.json"));
    struct Case {
        const char* name;
        std::string from, to;
        const char* err;
    };
    const Case cases[] = {
        {"not JSON", "{", "[", "not valid JSON"},
        {"missing key", "\"comment\"", "\"note\"", "comment: missing"},
        {"character outside code page 1251", "\"Недопустимый адрес\"", "\"\xE4\xB8\xAD\"", "1251"},
        {"text over 255 bytes", "\"Недопустимый адрес\"", "\"" + std::string(256, 'R') + "\"", "255"},
        {"timeout out of range", "\"answer_timeout\": 500", "\"answer_timeout\": 70000", "answer_timeout"},
        {"unknown step command", "\"command\": \"Read\"", "\"command\": \"Nothing\"", "no command named"},
    };
    for (const auto& c : cases) {
        std::string text = good;
        const size_t at = text.find(c.from);
        ASSERT_NE(at, std::string::npos) << c.name;
        text.replace(at, c.from.size(), c.to);
        spit(dir / "in.json", text);
        const auto r = testsupport::runCli(
            {"protocol", "import", (dir / "in.json").string(), (dir / "out.vpdf").string()});
        EXPECT_EQ(r.exitCode, 2) << c.name;
        EXPECT_NE(r.err.find(c.err), std::string::npos) << c.name << ": " << r.err;
        EXPECT_FALSE(std::filesystem::exists(dir / "out.vpdf")) << c.name;
    }
}

TEST(ProtocolCli, CheckFrameAndMatch) {
    testsupport::TempDir dir;
    const auto vpdf = (dir / "m.vpdf").string();
    ASSERT_EQ(testsupport::runCli({"protocol", "import", dataFile("modbus_read.vpdf.json").string(), vpdf})
                  .exitCode,
              0);
    const auto rich = (dir / "rich.vpdf").string();
    ASSERT_EQ(
        testsupport::runCli({"protocol", "import", dataFile("all_fields.vpdf.json").string(), rich}).exitCode,
        0);
    std::string damaged = slurp(vpdf);
    damaged[30] ^= 0x01;
    spit(dir / "damaged.vpdf", damaged);
    spit(dir / "cut.vpdf", slurp(vpdf).substr(0, 40));
    spit(dir / "data.bin", std::string("\x00\x0A\x01\x02", 4));

    runCases({
        {{"protocol", "frame", vpdf, "read", "RECIPIENT=1", "ADDRESS=0", "SIZE=10"},
         0,
         "01 03 00 00 00 0A C5 CD\n",
         ""},
        {{"protocol", "frame", vpdf, "0", "RECIPIENT=0x11", "ADDRESS=0x6B", "SIZE=3"},
         0,
         "11 03 00 6B 00 03 76 87\n",
         ""},
        {{"protocol", "frame", rich, "Broken"}, 1, "AA AA\n", "field 4"},
        {{"protocol", "frame", vpdf, "write"}, 2, "", "no command"},
        {{"protocol", "frame", vpdf, "read", "SIZE"}, 2, "", "NAME=VALUE"},
        {{"protocol", "frame", (dir / "cut.vpdf").string(), "0"}, 2, "", "damaged"},
        {{"protocol", "match", vpdf, "read", "01 03 02 00 2A 39 9B"},
         0,
         "answer\nRECIPIENT=1\nSIZE=2\nADDR=0\nERRORCODE=-1\n",
         ""},
        {{"protocol", "match", vpdf, "read", "01 83 02 C0 F1"},
         0,
         "exception\nRECIPIENT=1\nSIZE=2\nADDR=0\nERRORCODE=2\n",
         ""},
        {{"protocol", "match", vpdf, "read", "01 03 02 00 2A 39 9C"},
         1,
         "none\nRECIPIENT=1\nSIZE=2\nADDR=0\n", // no ERRORCODE without an exception answer
         ""},
        {{"protocol", "match", vpdf, "read", "zz"}, 2, "", "hexadecimal"},
        {{"protocol", "check", vpdf}, 0, nullptr, ""},
        {{"protocol", "check", (dir / "damaged.vpdf").string()}, 1, nullptr, ""},
        {{"protocol", "check", rich}, 1, nullptr, ""},
        {{"protocol", "check", (dir / "none.vpdf").string()}, 2, nullptr, "missing"},
        {{"protocol", "show", (dir / "none.vpdf").string()}, 2, nullptr, "missing"},
        {{"protocol", "check", dir.path().string()}, 2, "", "cannot be read"},
        {{"protocol", "frame", vpdf, "read", "--data", dir.path().string()}, 2, "", "not a regular file"},
        {{"protocol", "import", dir.path().string(), (dir / "x.vpdf").string()}, 2, "", "not a regular file"},
        {{"protocol", "show", dir.path().string()}, 2, "", "cannot be read"},
    });
    // The frame of a command whose DATABLOCK comes from a data file placed at an address.
    const auto r = testsupport::runCli({"protocol", "frame", rich, "Write", "RECIPIENT=1", "ADDRESS=0x100",
                                        "SIZE=2", "--data", (dir / "data.bin").string(), "--at", "0x100"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.out.find("00 0A 00 0A 00 0A 01 02 FF FF FF"), std::string::npos) << r.out;
}

} // namespace
