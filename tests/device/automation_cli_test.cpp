// velmora-cli for other programs, end to end against the simulated device: JSON events, exit
// statuses and frame traces.

#include "support/background_process.h"
#include "support/files.h"
#include "support/paths.h"
#include "support/process.h"
#include "support/pty.h"
#include "support/sim_process.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <fstream>
#include <map>
#include <sstream>
#include <thread>

namespace {

using testsupport::runCli;
using testsupport::SimProcess;
namespace fs = std::filesystem;

uint8_t pattern(size_t address) {
    return static_cast<uint8_t>(address * 5 + 1 + (address >> 8));
}

// Settings naming the example description for the simulator; its window is 0x2100..0x3FFF in pages of
// 128 bytes.
class Rig {
  public:
    Rig() {
        auto r =
            runCli({"protocol", "import", (testsupport::sourceDir() / "examples" / "sim.vpdf.json").string(),
                    (m_tmp / "sim").string()});
        if (r.exitCode != 0)
            throw std::runtime_error("protocol import failed: " + r.err);
        std::ofstream(m_tmp / "prog.ini") << "[Profiles]\nactive=default\n[Port settings]\nbaudrate=12\n"
                                             "[default\\Connection]\nprotocolFile="
                                          << (m_tmp / "sim").string()
                                          << "\nFLASH start=0x2100\nFLASH end=0x3FFF\n"
                                             "[default\\Protocol]\nPagesize=128\n";
    }
    fs::path path(const std::string& name) const { return m_tmp / name; }

    // A firmware file with the pattern from 0x2100 up to `end` (exclusive).
    std::string firmware(size_t end) const {
        std::vector<uint8_t> bytes(end, 0xFF);
        for (size_t a = 0x2100; a < end; ++a)
            bytes[a] = pattern(a);
        testsupport::writeBytes(path("in.bin"), bytes);
        return path("in.bin").string();
    }

    testsupport::ProcessResult cli(const std::string& port, std::vector<std::string> args,
                                   const std::vector<std::string>& globals = {}) const {
        args.insert(args.begin(), {"--settings", path("prog.ini").string(), "--port", port, "device"});
        args.insert(args.begin(), globals.begin(), globals.end());
        return runCli(args);
    }

  private:
    testsupport::TempDir m_tmp;
};

std::vector<nlohmann::json> jsonLines(const std::string& out) {
    std::vector<nlohmann::json> events;
    std::istringstream lines(out);
    for (std::string line; std::getline(lines, line);)
        events.push_back(nlohmann::json::parse(line)); // throws on anything that is not one object a line
    return events;
}

// A write of four pages: the events name the job, each page once with its retries, and the result.
TEST(AutomationCli, JsonEventsOfAWrite) {
    struct Case {
        const char* name;
        std::vector<std::string> fault;
        int pagesDone;
        int retriedPage; // the page with one failed attempt, -1 for none
        int deviceError; // -1 for none
        int exitCode;
    };
    const Case cases[] = {
        {"second page written at the second attempt", {"--error", "0x44:4:2"}, 4, 1, -1, 0},
        {"device refuses the third page for good", {"--error", "0x44:3:3-"}, 2, -1, 3, 6},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Rig rig;
        const std::string in = rig.firmware(0x2300);
        SimProcess sim(c.fault);
        auto r = rig.cli(sim.linePath(), {"write", in}, {"--json"});
        EXPECT_EQ(r.exitCode, c.exitCode) << r.err;
        const auto events = jsonLines(r.out);
        ASSERT_GE(events.size(), 2u) << r.out;
        const auto& start = events.front();
        EXPECT_EQ(start["event"], "start");
        EXPECT_EQ(start["operation"], "write");
        EXPECT_EQ(start["port"], sim.linePath());
        EXPECT_EQ(start["address"], 17);
        EXPECT_EQ(start["range"]["first"], 0x2100);
        EXPECT_EQ(start["range"]["last"], 0x22FF);
        EXPECT_EQ(start["pages"], 4);
        int pages = 0;
        std::vector<std::string> others;
        for (const auto& e : events) {
            if (e["event"] == "page") {
                EXPECT_EQ(e["index"], pages);
                EXPECT_EQ(e["address"], 0x2100 + 128 * pages);
                EXPECT_EQ(e["bytes"], 128);
                EXPECT_EQ(e["retries"], pages == c.retriedPage ? 1 : 0);
                ++pages;
            } else if (e["event"] == "device_error") {
                EXPECT_EQ(e["code"], c.deviceError);
                EXPECT_FALSE(e["text"].get<std::string>().empty());
                others.push_back("device_error");
            } else if (e["event"] == "message") {
                EXPECT_EQ(e["code"], "device_error") << e;
                others.push_back("message");
            }
        }
        EXPECT_EQ(pages, c.pagesDone);
        const std::vector<std::string> expected = c.deviceError < 0
                                                      ? std::vector<std::string>{}
                                                      : std::vector<std::string>{"message", "device_error"};
        EXPECT_EQ(others, expected);
        const auto& result = events.back();
        EXPECT_EQ(result["event"], "result");
        EXPECT_EQ(result["ok"], c.exitCode == 0);
        EXPECT_EQ(result["exit_code"], c.exitCode);
        EXPECT_EQ(result["pages_done"], c.pagesDone);
        EXPECT_GE(result["elapsed_seconds"].get<double>(), 0.0);
    }
}

struct TraceLine {
    int64_t micros;
    std::string direction, command, retry, result, bytes;
};

std::vector<TraceLine> readTrace(const fs::path& path) {
    std::vector<TraceLine> lines;
    std::istringstream text(testsupport::readText(path));
    for (std::string line; std::getline(text, line);) {
        std::istringstream fields(line);
        TraceLine t;
        std::string micros;
        std::getline(fields, micros, '\t');
        std::getline(fields, t.direction, '\t');
        std::getline(fields, t.command, '\t');
        std::getline(fields, t.retry, '\t');
        std::getline(fields, t.result, '\t');
        std::getline(fields, t.bytes);
        t.micros = std::stoll(micros);
        lines.push_back(t);
    }
    return lines;
}

// The frames of one side, in order.
std::vector<std::string> framesOf(const std::vector<TraceLine>& trace, const std::string& direction) {
    std::vector<std::string> frames;
    for (const auto& t : trace)
        if (t.direction == direction && !t.bytes.empty())
            frames.push_back(t.bytes);
    return frames;
}

// Both ends of the line keep a trace of a read; what one sent, the other received, frame for frame.
TEST(AutomationCli, TraceOfAReadMatchesTheDevicesOwn) {
    struct Case {
        const char* name;
        std::vector<std::string> fault;
        int exitCode;
        std::string failedResult; // the result column of the one failed attempt, empty for none
    };
    const Case cases[] = {
        {"clean read", {}, 0, ""},
        {"second page answered with a device error first", {"--error", "0x43:4:2"}, 0, "5"},
        {"answer with a broken check sum ends the read", {"--corrupt-crc", "5"}, 5, "-2"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Rig rig;
        std::vector<std::string> simArgs = {"--trace", rig.path("sim.trace").string()};
        simArgs.insert(simArgs.end(), c.fault.begin(), c.fault.end());
        SimProcess sim(simArgs);
        auto r = rig.cli(sim.linePath(), {"read", rig.path("out.bin").string()},
                         {"--trace", rig.path("cli.trace").string()});
        EXPECT_EQ(r.exitCode, c.exitCode) << r.err;
        sim.stop();
        const auto ours = readTrace(rig.path("cli.trace"));
        const auto device = readTrace(rig.path("sim.trace"));
        ASSERT_FALSE(ours.empty());
        EXPECT_EQ(framesOf(ours, "TX"), framesOf(device, "RX"));
        EXPECT_EQ(framesOf(ours, "RX"), framesOf(device, "TX"));
        std::vector<std::string> failed;
        for (size_t i = 0; i < ours.size(); ++i) {
            const auto& t = ours[i];
            EXPECT_TRUE(i == 0 || t.micros >= ours[i - 1].micros);
            if (t.direction == "TX") {
                EXPECT_EQ(t.result, "-");
                EXPECT_NE(t.command.find_first_not_of(" -"), std::string::npos) << t.command; // a name
            } else if (t.result != "0") {
                failed.push_back(t.result);
                if (c.exitCode == 0) { // the repeat follows, counted
                    ASSERT_LT(i + 1, ours.size());
                    EXPECT_EQ(ours[i + 1].retry, "1");
                }
            }
        }
        const std::vector<std::string> expected =
            c.failedResult.empty() ? std::vector<std::string>{} : std::vector<std::string>{c.failedResult};
        EXPECT_EQ(failed, expected);
    }
}

// Three addresses on one bus where nothing answers at the second: the first and the third are written
// and read back into files named by their addresses, the second is reported, and the job ends with
// its status.
TEST(AutomationCli, AddressListGoesOnPastASilentDevice) {
    Rig rig;
    const std::string in = rig.firmware(0x2300);
    SimProcess sim({"--address", "1", "--address", "3"});
    auto write = rig.cli(sim.linePath(), {"write", in, "--address-list", "1-3"}, {"--json"});
    EXPECT_EQ(write.exitCode, 4) << write.err;
    std::map<int, int> results; // address -> exit status
    for (const auto& e : jsonLines(write.out))
        if (e["event"] == "result")
            results[e["address"].get<int>()] = e["exit_code"].get<int>();
    EXPECT_EQ(results, (std::map<int, int>{{1, 0}, {2, 4}, {3, 0}}));
    // the table on the error output (standard output carries the events), serial numbers included
    EXPECT_NE(write.err.find("address\tserial\tresult\tseconds\n1\t"), std::string::npos) << write.err;
    EXPECT_NE(write.err.find("\n2\t-\t4\t"), std::string::npos) << write.err;

    auto read =
        rig.cli(sim.linePath(), {"read", rig.path("dev-{address}.bin").string(), "--address-list", "1,3"});
    EXPECT_EQ(read.exitCode, 0) << read.err;
    for (const char* name : {"dev-1.bin", "dev-3.bin"}) {
        SCOPED_TRACE(name);
        const auto bytes = testsupport::readBytes(rig.path(name));
        ASSERT_GE(bytes.size(), 0x2300u);
        for (size_t a = 0x2100; a < 0x2300; ++a)
            ASSERT_EQ(bytes[a], pattern(a)) << std::hex << a;
    }
    auto ident = rig.cli(sim.linePath(), {"ident", "--address-list", "1,3"}, {"--json"});
    EXPECT_EQ(ident.exitCode, 0) << ident.err;
    std::vector<int> serials;
    for (const auto& e : jsonLines(ident.out))
        if (e["event"] == "ident")
            serials.push_back(e["serial_number"].get<int>());
    ASSERT_EQ(serials.size(), 2u);
    EXPECT_EQ(serials[1], serials[0] + 1); // the simulator numbers its devices in turn
    auto broadcast = rig.cli(sim.linePath(), {"reset", "--address-list", "0,1"});
    EXPECT_EQ(broadcast.exitCode, 2);
    EXPECT_NE(broadcast.err.find("address 0 is the broadcast"), std::string::npos) << broadcast.err;
}

std::vector<int> pageIndices(const std::string& out) {
    std::vector<int> pages;
    for (const auto& e : jsonLines(out))
        if (e["event"] == "page")
            pages.push_back(e["index"].get<int>());
    return pages;
}

// A write of 60 pages whose line goes away after page 20 goes on from page 21 with --resume, without
// erasing what was written: the device then holds the whole image, which the verify reads back.
TEST(AutomationCli, ResumeAfterTheLineWentAway) {
    Rig rig;
    const std::string in = rig.firmware(0x3F00);
    const std::string port = rig.path("ttyV").string(); // both devices on the same path
    {
        // frames 1 and 2 unlock and erase, frame 23 writes page 20
        SimProcess sim({"--drop-after", "23", "--image-out", rig.path("half.bin").string(), "--link", port});
        auto broken = rig.cli(port, {"write", in}, {"--json"});
        EXPECT_EQ(broken.exitCode, 4) << broken.err;
        const auto pages = pageIndices(broken.out);
        ASSERT_FALSE(pages.empty());
        EXPECT_EQ(pages.back(), 20);
        EXPECT_TRUE(sim.waitExit(std::chrono::seconds(5)).has_value());
    }
    SimProcess sim({"--image-in", rig.path("half.bin").string(), "--image-out", rig.path("full.bin").string(),
                    "--link", port});
    auto resumed = rig.cli(port, {"write", in, "--resume", "--verify"}, {"--json"});
    EXPECT_EQ(resumed.exitCode, 0) << resumed.err;
    const auto pages = pageIndices(resumed.out);
    ASSERT_EQ(pages.size(), 39u);
    EXPECT_EQ(pages.front(), 21);
    EXPECT_NE(resumed.err.find("verified 7680 bytes"), std::string::npos) << resumed.err;

    // the checkpoint went with the good end: another resume is refused before anything is sent
    auto again = rig.cli(port, {"write", in, "--resume"});
    EXPECT_EQ(again.exitCode, 7);
    EXPECT_NE(again.err.find("no checkpoint"), std::string::npos) << again.err;
    sim.stop();
    const auto memory = testsupport::readBytes(rig.path("full.bin"));
    ASSERT_GE(memory.size(), 0x3F00u);
    for (size_t a = 0x2100; a < 0x3F00; ++a)
        ASSERT_EQ(memory[a], pattern(a)) << std::hex << a;
}

// A checkpoint made for one image does not let another one resume.
TEST(AutomationCli, ResumeOfAnotherImageIsRefused) {
    Rig rig;
    const std::string port = rig.path("ttyV").string();
    const std::string in = rig.firmware(0x2800);
    {
        SimProcess sim({"--drop-after", "5", "--link", port});
        EXPECT_EQ(rig.cli(port, {"write", in}).exitCode, 4);
    }
    SimProcess sim({"--link", port, "--trace", rig.path("sim.trace").string()});
    const std::string other = rig.firmware(0x2900);
    auto r = rig.cli(port, {"write", other, "--resume"});
    EXPECT_EQ(r.exitCode, 7);
    EXPECT_NE(r.err.find("another firmware image"), std::string::npos) << r.err;
    sim.stop();
    EXPECT_EQ(testsupport::readText(rig.path("sim.trace")), ""); // nothing was sent
}

// The trace lines in a text (a dry run prints them among its other lines).
std::vector<TraceLine> traceLines(const std::string& text) {
    std::string lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        if (line.find('\t') != std::string::npos)
            lines += line + "\n";
    testsupport::TempDir dir;
    testsupport::writeText(dir / "trace", lines);
    return readTrace(dir / "trace");
}

// A dry run sends nothing to the port it is given, and prints the frames and answers the real job
// then exchanges with the device, with its page count and time estimate.
TEST(AutomationCli, DryRunSendsNothingAndListsTheRealFrames) {
    struct Case {
        std::vector<std::string> args;
        int pages;
    };
    Rig rig;
    const std::string in = rig.firmware(0x2300);
    const Case cases[] = {
        {{"write", in}, 4},
        {{"read", rig.path("out.bin").string()}, 62},
        {{"erase"}, 0},
        {{"reset"}, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args.front());
        fs::remove(rig.path("out.bin"));
        SimProcess sim({"--trace", rig.path("sim.trace").string()});
        auto dry = rig.cli(sim.linePath(), c.args, {"--dry-run"});
        EXPECT_EQ(dry.exitCode, 0) << dry.err;
        EXPECT_NE(dry.out.find("dry run: nothing sent; " + std::to_string(c.pages) + " pages"),
                  std::string::npos)
            << dry.out;
        EXPECT_FALSE(fs::exists(rig.path("out.bin")));
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        EXPECT_EQ(testsupport::readText(rig.path("sim.trace")), "");

        auto real = rig.cli(sim.linePath(), c.args, {"--trace", rig.path("cli.trace").string()});
        EXPECT_EQ(real.exitCode, 0) << real.err;
        const auto planned = traceLines(dry.out);
        const auto done = readTrace(rig.path("cli.trace"));
        ASSERT_FALSE(done.empty());
        EXPECT_EQ(framesOf(planned, "TX"), framesOf(done, "TX"));
        EXPECT_EQ(framesOf(planned, "RX"), framesOf(done, "RX"));
    }
}

// On a terminal the progress line ends at 100 % with the last page's address, and the device log's
// lines start on lines of their own instead of being printed over it.
TEST(AutomationCli, ProgressLineEndsAtTheLastPage) {
    Rig rig;
    SimProcess sim;
    testsupport::PseudoTerminal terminal; // the tool's error output
    const std::string command = testsupport::toolPath("velmora-cli").string() + " --settings " +
                                rig.path("prog.ini").string() + " --port " + sim.linePath() +
                                " device read " + rig.path("out.bin").string() + " 2>" + terminal.slavePath();
    // Read while it runs, so that a full terminal queue never holds the tool up.
    testsupport::BackgroundProcess cli("/bin/sh", {"-c", command});
    const auto bytes = terminal.readUntilGap(std::chrono::milliseconds(1000), std::chrono::seconds(20));
    ASSERT_EQ(cli.wait().exitCode, 0);
    const std::string said(bytes.begin(), bytes.end());
    std::vector<std::string> lines;
    std::istringstream in(said);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    std::string lastProgress;
    for (const auto& line : lines) {
        const bool progress = line.find("Прогресс") != std::string::npos;
        if (line.find("Чтение завершено") != std::string::npos) {
            EXPECT_FALSE(progress) << line; // not glued to the progress line
        }
        if (progress)
            lastProgress = line.substr(line.rfind('\r') + 1);
    }
    EXPECT_NE(lastProgress.find("Прогресс 100%  Адрес доступа: 0x00003F80 (P:61)"), std::string::npos)
        << lastProgress;
}

} // namespace
