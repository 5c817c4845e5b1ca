// velmora-cli as a new user tries it: options in any place, errors that name what they are about,
// file commands that say what they did.

#include "support/files.h"
#include "support/paths.h"
#include "support/process.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <fstream>

namespace {

using testsupport::runCli;

TEST(CliHabits, SaysWhatItDidAndWhatIsWrong) {
    testsupport::TempDir dir;
    const std::string protocol = (dir / "sim").string();
    ASSERT_EQ(runCli({"protocol", "import",
                      (testsupport::sourceDir() / "examples" / "sim.vpdf.json").string(), protocol})
                  .exitCode,
              0);
    auto settings = [&](const std::string& name, const std::string& extra) {
        testsupport::writeText(dir / name,
                               "[Profiles]\nactive=default\n[default\\Connection]\nprotocolFile=" + protocol +
                                   "\n" + extra);
        return (dir / name).string();
    };
    const std::string good = settings("good.ini", "[Port settings]\ndevice=/nonexistent/tty\n");
    const std::string badNumber = settings("bad.ini", "FLASH start=zz\n");
    const std::string missing = (dir / "missing.ini").string();
    const std::string noPort = settings("noport.ini", "");
    testsupport::writeText(dir / "torn.vpdf", "PRTCL");
    testsupport::writeText(dir / "torn.ini",
                           "[Profiles]\nactive=default\n[default\\Connection]\nprotocolFile=" +
                               (dir / "torn.vpdf").string() + "\n");
    const std::string torn = (dir / "torn.ini").string();
    testsupport::writeText(dir / "empty.bin", "");
    testsupport::writeBytes(dir / "one.bin", std::vector<uint8_t>(16, 0x11));
    const std::string header(33, 'H');
    nlohmann::json desc;
    std::ifstream(testsupport::sourceDir() / "examples" / "sim.vpdf.json") >> desc;
    desc["commands"][0]["command"] = "NOSUCH(1);RECIPIENT;";
    desc["commands"][1]["answer"] = "RECIPIENT;<BYTES(1)>;";
    testsupport::writeText(dir / "faulty.json", desc.dump());
    const std::string faulty = (dir / "faulty").string();

    struct Case {
        std::vector<std::string> args;
        int exitCode;        // -1: any
        std::string said;    // on the standard or the error output
        std::string notSaid; // in neither
    };
    const Case cases[] = {
        {{"frobnicate"}, 2, "'frobnicate' is no command; the commands are eval, crc", ""},
        {{"device", "frob"}, 2, "'frob' is no device command; the commands are read, write", ""},
        // a speed is named in bit/s; the settings' table index is no speed
        {{"--baud", "12", "device", "reset", "--settings", good}, 2, "--baud", "/nonexistent/tty"},
        // global options after the command: the port named last is the one that fails to open
        {{"device", "reset", "--settings", good, "--port", "/nonexistent/other"},
         3,
         "/nonexistent/other",
         ""},
        {{"--settings", badNumber, "device", "reset", "--port", "/nonexistent/tty"},
         2,
         "bad.ini: [default\\Connection] FLASH start=zz is not a number",
         ""},
        {{"--settings", missing, "device", "reset"}, 2, "missing.ini (it does not exist)", ""},
        {{"--settings", good, "--profile", "other", "device", "reset"}, 2, "holds no profile 'other'", ""},
        // the tool's own words are English, also for what the window says in Russian
        {{"--settings", torn, "device", "reset"},
         2,
         "device: protocol description " + (dir / "torn.vpdf").string() + ": damaged",
         "файл описания"},
        {{"info", (dir / "empty.bin").string()}, 0, "range:     none, the file is empty", "0xFFFFFFFF"},
        {{"pack", (dir / "empty.bin").string(), (dir / "e.q7r").string()}, 2, "holds no data", ""},
        {{"pack", (dir / "one.bin").string(), (dir / "h.q7r").string(), "--header", header},
         2,
         "the header has 33 characters, at most 32 fit",
         ""},
        // no port anywhere: the tool says which one it opens (whether that works or not)
        {{"--settings", noPort, "device", "reset"},
         -1,
         "noport.ini nor --port names a port; opening /dev/ttyS0 (COM1)",
         ""},
        // template faults with their causes, as the evaluator words them
        {{"protocol", "import", (dir / "faulty.json").string(), faulty},
         0,
         "protocol import: command [0] Идентификация, command: field 1 'NOSUCH(1)': Undefined function",
         "an empty argument"},
        {{"protocol", "check", faulty},
         1,
         "answer: field 2 'BYTES(1)': a bracketed field that is neither",
         ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args.front() + (c.args.size() > 1 ? " " + c.args[1] : ""));
        auto r = runCli(c.args);
        if (c.exitCode >= 0) {
            EXPECT_EQ(r.exitCode, c.exitCode) << r.err;
        }
        EXPECT_NE((r.out + r.err).find(c.said), std::string::npos) << r.out << r.err;
        if (!c.notSaid.empty()) {
            EXPECT_EQ((r.out + r.err).find(c.notSaid), std::string::npos) << r.out << r.err;
        }
    }
}

} // namespace
