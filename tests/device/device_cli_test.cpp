// velmora-cli device commands end to end: the command-line tool over a pseudo-terminal against the
// simulated device (one or two of them on a shared bus).

#include "support/background_process.h"
#include "support/bus_relay.h"
#include "support/files.h"
#include "support/modbus_server.h"
#include "support/paths.h"
#include "support/process.h"
#include "support/pty.h"
#include "support/sim_process.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <csignal>
#include <fstream>
#include <iterator>
#include <map>

namespace {

using testsupport::BackgroundProcess;
using testsupport::BusRelay;
using testsupport::runCli;
using testsupport::SimProcess;
using testsupport::TempDir;
namespace fs = std::filesystem;

uint8_t pattern(size_t address) {
    return static_cast<uint8_t>(address * 7 + 3 + (address >> 8));
}

// A device memory of `size` bytes filled with the pattern from `from` on, 0xFF below.
std::vector<uint8_t> patternImage(size_t size, size_t from) {
    std::vector<uint8_t> b(size, 0xFF);
    for (size_t a = from; a < size; ++a)
        b[a] = pattern(a);
    return b;
}

// Settings and the protocol description of one test: the example description for the simulator with
// a short search timeout, so that a scan of 256 silent addresses takes seconds.
class Rig {
  public:
    Rig() {
        nlohmann::json desc;
        std::ifstream(testsupport::sourceDir() / "examples" / "sim.vpdf.json") >> desc;
        desc["commands"][0]["answer_timeout"] = 10;
        std::ofstream(m_dir / "sim.vpdf.json") << desc.dump(2);
        useProtocol(m_dir / "sim.vpdf.json");
    }

    // Builds the description from its text form and names it in the profile.
    void useProtocol(const fs::path& text) {
        m_protocol = (m_dir / text.filename()).replace_extension("").string();
        auto r = runCli({"protocol", "import", text.string(), m_protocol});
        if (r.exitCode != 0)
            throw std::runtime_error("protocol import failed: " + r.err);
        settings({});
    }

    const std::string& protocolPath() const { return m_protocol; }
    fs::path path(const std::string& name) const { return m_dir / name; }

    // Writes prog.ini: the default profile with the simulator's protocol, and `profileKeys` of
    // \Connection ("FLASH start", ...), \Protocol ("Pagesize") and the speed index ("baudrate").
    void settings(std::map<std::string, std::string> keys) {
        std::map<std::string, std::string> connection = {
            {"protocolFile", protocolPath()}, {"FLASH start", "0x2100"}, {"FLASH end", "0x3FFF"}};
        std::string pageSize = "128";
        std::string baudIndex = "12";
        for (const auto& [k, v] : keys) {
            if (k == "Pagesize")
                pageSize = v;
            else if (k == "baudrate")
                baudIndex = v;
            else
                connection[k] = v;
        }
        std::ofstream ini(m_dir / "prog.ini");
        ini << "[Profiles]\nactive=default\n[Port settings]\nbaudrate=" << baudIndex
            << "\n[Errors]\nDontShowErrMsgs=0\n";
        ini << "[default\\Connection]\n";
        for (const auto& [k, v] : connection)
            ini << k << "=" << v << "\n";
        ini << "[default\\Protocol]\nPagesize=" << pageSize << "\n";
    }

    testsupport::ProcessResult cli(const std::string& port, std::vector<std::string> args, bool quiet = false,
                                   const std::vector<std::string>& globals = {}) const {
        args.insert(args.begin(), {"--settings", (m_dir / "prog.ini").string(), "--port", port, "device"});
        args.insert(args.begin(), globals.begin(), globals.end());
        if (quiet)
            args.insert(args.begin(), "--quiet");
        return runCli(args);
    }
    std::unique_ptr<BackgroundProcess> background(const std::string& port,
                                                  std::vector<std::string> args) const {
        args.insert(args.begin(), {"--settings", (m_dir / "prog.ini").string(), "--port", port, "device"});
        return std::make_unique<BackgroundProcess>(testsupport::toolPath("velmora-cli").string(), args);
    }

  private:
    TempDir m_tmp;
    fs::path m_dir = m_tmp.path();
    std::string m_protocol;
};

TEST(DeviceCliRead, ReadsThePagesOfTheWindow) {
    struct Case {
        const char* name;
        const char* flashStart;
        size_t firstRead; // first address read from the device
    };
    const Case cases[] = {
        {"default window: 62 pages from 0x2100 to 0x3F80", "0x2100", 0x2100},
        {"start inside a page is rounded down", "0x2110", 0x2100},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Rig rig;
        rig.settings({{"FLASH start", c.flashStart}});
        testsupport::writeBytes(rig.path("mem.bin"), patternImage(0x4000, 0x2000));
        SimProcess sim({"--image-in", rig.path("mem.bin").string()});
        auto r = rig.cli(sim.linePath(), {"read", rig.path("out.bin").string()});
        ASSERT_EQ(r.exitCode, 0) << r.err;
        EXPECT_NE(r.err.find("Чтение завершено("), std::string::npos) << r.err;
        auto out = testsupport::readBytes(rig.path("out.bin"));
        ASSERT_EQ(out.size(), 0x4000u); // up to the last byte of the last page, 0x3FFF
        EXPECT_EQ(out[c.firstRead - 1], 0xFF);
        for (size_t a = c.firstRead; a < 0x4000; ++a)
            ASSERT_EQ(out[a], pattern(a)) << std::hex << a;
    }
}

TEST(DeviceCliRead, DeviceFailingTheThirdPage) {
    struct Case {
        const char* name;
        std::vector<std::string> fault;
        std::string message;
        int exitCode; // by the cause
    };
    const Case cases[] = {
        {"device error", {"--error", "0x43:2:3-"}, "ОШИБКА #2", 6},
        {"unreadable answer",
         {"--corrupt-crc", "4-"},
         "ОШИБКА! Получен не верный ответ (Чтение страницы)",
         5},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Rig rig;
        testsupport::writeBytes(rig.path("mem.bin"), patternImage(0x4000, 0x2100));
        std::vector<std::string> args = {"--image-in", rig.path("mem.bin").string()};
        args.insert(args.end(), c.fault.begin(), c.fault.end());
        SimProcess sim(args);
        auto r = rig.cli(sim.linePath(), {"read", rig.path("out.bin").string()});
        EXPECT_EQ(r.exitCode, c.exitCode);
        EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
        EXPECT_EQ(r.err.find("Чтение завершено"), std::string::npos);
        // the first two pages are kept
        auto out = testsupport::readBytes(rig.path("out.bin"));
        ASSERT_EQ(out.size(), 0x2200u);
        for (size_t a = 0x2100; a < 0x2200; ++a)
            ASSERT_EQ(out[a], pattern(a));
    }
}

TEST(DeviceCliRead, CtrlCCancelsKeepsThePagesAndFreesThePort) {
    Rig rig;
    testsupport::writeBytes(rig.path("mem.bin"), patternImage(0x4000, 0x2100));
    SimProcess sim({"--image-in", rig.path("mem.bin").string(), "--baud", "9600"});
    auto cli = rig.background(sim.linePath(), {"read", rig.path("out.bin").string()});
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));
    cli->signal(SIGINT);
    auto r = cli->wait();
    EXPECT_EQ(r.exitCode, 130) << r.err;
    EXPECT_NE(r.err.find("Операция прервана пользователем"), std::string::npos) << r.err;
    auto out = testsupport::readBytes(rig.path("out.bin"));
    ASSERT_GT(out.size(), 0x2100u);
    EXPECT_LT(out.size(), 0x4000u);
    for (size_t a = 0x2100; a < out.size(); ++a)
        ASSERT_EQ(out[a], pattern(a));
    // the port was closed: the next command opens it
    auto reset = rig.cli(sim.linePath(), {"reset"});
    EXPECT_EQ(reset.exitCode, 0) << reset.err;
}

// A device that thinks for seconds: Ctrl-C ends the wait for its answer at once, whichever command
// waits (the first exchange of a read, an erase).
TEST(DeviceCli, CtrlCEndsALongAnswerWaitAtOnce) {
    for (const char* command : {"read", "erase"}) {
        SCOPED_TRACE(command);
        Rig rig;
        SimProcess sim({"--reply-delay", "3000"});
        std::vector<std::string> args = {command};
        if (std::string(command) == "read")
            args.push_back(rig.path("out.bin").string());
        auto cli = rig.background(sim.linePath(), args);
        std::this_thread::sleep_for(std::chrono::milliseconds(400));
        const auto interrupted = std::chrono::steady_clock::now();
        cli->signal(SIGINT);
        auto r = cli->wait();
        EXPECT_LT(std::chrono::steady_clock::now() - interrupted, std::chrono::milliseconds(1500));
        EXPECT_EQ(r.exitCode, 130) << r.err;
        EXPECT_NE(r.err.find("Операция прервана пользователем"), std::string::npos) << r.err;
    }
}

// A read whose file cannot be written after all (its folder went away while reading) is saved
// beside the working folder instead, and the tool says where.
TEST(DeviceCliRead, SaveFailingAfterTheReadKeepsTheBytes) {
    Rig rig;
    testsupport::writeBytes(rig.path("mem.bin"), patternImage(0x4000, 0x2100));
    fs::create_directory(rig.path("gone"));
    // At 38400 bit/s the read takes over two seconds: the folder goes away while it runs.
    SimProcess sim({"--image-in", rig.path("mem.bin").string(), "--baud", "38400"});
    auto cli = rig.background(sim.linePath(), {"read", rig.path("gone/out.bin").string()});
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    fs::remove_all(rig.path("gone"));
    auto r = cli->wait();
    EXPECT_EQ(r.exitCode, 1) << r.err;
    const std::string said = "the bytes read are saved in ";
    const size_t at = r.err.find(said);
    ASSERT_NE(at, std::string::npos) << r.err;
    const fs::path fallback =
        r.err.substr(at + said.size(), r.err.find(' ', at + said.size()) - at - said.size());
    auto out = testsupport::readBytes(fallback);
    fs::remove(fallback);
    ASSERT_EQ(out.size(), 0x4000u);
    for (size_t a = 0x2100; a < 0x4000; ++a)
        ASSERT_EQ(out[a], pattern(a)) << std::hex << a;
}

TEST(DeviceCliWrite, WritesOnlyTheFilledPagesOfTheWindow) {
    struct Case {
        const char* name;
        size_t fileSize; // binary from address 0: everything below 0x2100 lies outside the window
        size_t firstWritten, lastWritten;
    };
    const Case cases[] = {
        {"one short page of 0x51 bytes", 0x2151, 0x2100, 0x2150},
        {"short last page", 0x2201, 0x2100, 0x2200},
        {"clipped at the window's end", 0x5000, 0x2100, 0x3FFF},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Rig rig;
        auto image = patternImage(c.fileSize, 0);
        testsupport::writeBytes(rig.path("in.bin"), image);
        SimProcess sim({"--image-out", rig.path("mem.bin").string()});
        auto r = rig.cli(sim.linePath(), {"write", "--window-only", rig.path("in.bin").string()});
        ASSERT_EQ(r.exitCode, 0) << r.err;
        EXPECT_NE(r.err.find("Программирование завершено ("), std::string::npos) << r.err;
        EXPECT_NE(r.out.find("left out "), std::string::npos) << r.out;
        ASSERT_EQ(sim.stop(), 0);
        auto mem = testsupport::readBytes(rig.path("mem.bin"));
        ASSERT_GE(mem.size(), c.lastWritten + 1);
        for (size_t a = 0x2000; a < c.firstWritten; ++a)
            ASSERT_EQ(mem[a], 0xFF) << std::hex << a;
        for (size_t a = c.firstWritten; a <= c.lastWritten; ++a)
            ASSERT_EQ(mem[a], image[a]) << std::hex << a;
        for (size_t a = c.lastWritten + 1; a < std::min<size_t>(mem.size(), 0x4000); ++a)
            ASSERT_EQ(mem[a], 0xFF) << std::hex << a;
    }
}

// A file with data outside the FLASH window (0x2100..0x3FFF) is refused before anything is sent,
// naming where that data lies, unless only the window's part is asked for.
TEST(DeviceCliWrite, DataOutsideTheWindow) {
    struct Case {
        const char* name;
        size_t outsideFrom, outsideTo; // filled with 0x5A; 0x2100..0x21FF holds the pattern
        bool windowOnly;
        int exitCode;
        std::string message; // on stdout when written, else on stderr
    };
    const Case cases[] = {
        {"a page below the window", 0x2000, 0x20FF, false, 7, "256 bytes outside the FLASH window"},
        {"a block far above, in a sparse file", 0x100000, 0x1001FF, false, 7, "0x00100000..0x001001FF"},
        {"the window's part on request", 0x2000, 0x20FF, true, 0,
         "left out 256 bytes outside the FLASH window, at 0x00002000..0x000020FF"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Rig rig;
        std::vector<uint8_t> image(std::max<size_t>(c.outsideTo + 1, 0x2200), 0xFF);
        std::fill(image.begin() + c.outsideFrom, image.begin() + c.outsideTo + 1, 0x5A);
        for (size_t a = 0x2100; a < 0x2200; ++a)
            image[a] = pattern(a);
        testsupport::writeBytes(rig.path("in.bin"), image);
        SimProcess sim({"--image-out", rig.path("mem.bin").string()});
        std::vector<std::string> args = {"write", rig.path("in.bin").string()};
        if (c.windowOnly)
            args.push_back("--window-only");
        auto r = rig.cli(sim.linePath(), args);
        EXPECT_EQ(r.exitCode, c.exitCode) << r.err;
        EXPECT_NE((c.exitCode == 0 ? r.out : r.err).find(c.message), std::string::npos) << r.out << r.err;
        ASSERT_EQ(sim.stop(), 0);
        auto mem = testsupport::readBytes(rig.path("mem.bin"));
        mem.resize(0x2200, 0xFF);
        for (size_t a = 0x2000; a < 0x2200; ++a)
            ASSERT_EQ(mem[a], c.exitCode == 0 && a >= 0x2100 ? pattern(a) : 0xFF) << std::hex << a;
    }
}

// At 9600 bit/s a page frame takes about 144 ms on the wire; the device answers in time though the
// answer timeout is only 50 ms, because the wait starts when the frame has left.
TEST(DeviceCliWrite, AnswerTimeoutRunsFromTheFramesLastBit) {
    Rig rig;
    nlohmann::json desc;
    std::ifstream(rig.path("sim.vpdf.json")) >> desc;
    for (auto& command : desc["commands"])
        if (command["name"] == "Запись страницы") {
            command["answer_timeout"] = 50;
            command["exception_mode"] = 0; // a late answer must not be rescued by a repeat
        }
    std::ofstream(rig.path("slow.vpdf.json")) << desc.dump(2);
    rig.useProtocol(rig.path("slow.vpdf.json"));
    rig.settings({{"baudrate", "6"}, {"FLASH end", "0x21FF"}});
    testsupport::writeBytes(rig.path("in.bin"), patternImage(0x2200, 0x2100));
    SimProcess sim({"--image-out", rig.path("mem.bin").string(), "--baud", "9600"});
    auto r = rig.cli(sim.linePath(), {"write", rig.path("in.bin").string()});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    sim.stop();
    const auto memory = testsupport::readBytes(rig.path("mem.bin"));
    ASSERT_GE(memory.size(), 0x2200u);
    for (size_t a = 0x2100; a < 0x2200; ++a)
        ASSERT_EQ(memory[a], pattern(a)) << a;
}

// Each cause of an end has its own exit status, from refusals before the first frame to the device's
// own error.
TEST(DeviceCliWrite, ExitStatusByCause) {
    struct Case {
        const char* name;
        std::map<std::string, std::string> settings;
        std::vector<std::string> args; // after "device"
        std::vector<std::string> simArgs;
        bool badPort;
        int exitCode;
        std::string message;
    };
    Rig probe;
    const std::string outside = probe.path("outside.bin").string();
    testsupport::writeBytes(outside, patternImage(0x100, 0)); // 0x000..0x0FF: nothing in the window
    const std::string inside = probe.path("inside.bin").string();
    testsupport::writeBytes(inside, patternImage(0x2180, 0x2100));
    const Case cases[] = {
        {"nothing in the window",
         {},
         {"write", "--window-only", outside},
         {},
         false,
         7,
         "нет данных для записи"},
        {"read into a folder that does not exist: refused before the first frame",
         {},
         {"read", probe.path("none/x.hex").string()},
         {},
         false,
         2,
         "cannot create a file in"},
        {"page size 0", {{"Pagesize", "0"}}, {"write", inside}, {}, false, 7, "Размер страницы равен 0"},
        {"window upside down",
         {{"FLASH start", "0x4000"}},
         {"read", probe.path("x.bin").string()},
         {},
         false,
         7,
         "FLASH"},
        {"port cannot be opened", {}, {"erase"}, {}, true, 3, "Не могу открыть порт!"},
        {"unreadable firmware file",
         {},
         {"write", probe.path("missing.bin").string()},
         {},
         false,
         2,
         "missing.bin"},
        {"no answer", {}, {"write", inside}, {"--silent", "100"}, false, 4, "Устройство не отвечает"},
        {"wrong answer", {}, {"reset"}, {"--corrupt-crc", "1-"}, false, 5, "Получен не верный ответ"},
        {"device error", {}, {"write", inside}, {"--error", "0x44:3"}, false, 6, "ОШИБКА #3"},
        {"verify finds other bytes: the description takes the device's refusal to write for success",
         {{"ignore write errors", "5"}},
         {"write", inside, "--verify"},
         {"--error", "0x44:5"},
         false,
         1,
         "verify failed at 0x00002100"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Rig rig;
        if (c.settings.count("ignore write errors")) {
            nlohmann::json desc;
            std::ifstream(rig.path("sim.vpdf.json")) >> desc;
            desc["action_lists"][6]["steps"][0]["ignore_list"] = 0; // the list that holds code 5
            std::ofstream(rig.path("lax.vpdf.json")) << desc.dump(2);
            rig.useProtocol(rig.path("lax.vpdf.json"));
        } else {
            rig.settings(c.settings);
        }
        SimProcess sim(c.simArgs);
        auto r = rig.cli(c.badPort ? "/nonexistent/tty" : sim.linePath(), c.args);
        EXPECT_EQ(r.exitCode, c.exitCode) << r.err;
        EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
    }
}

// One garbled answer to the first page: the write stops there and says where, unless garbled answers
// are repeated; then the device holds every byte.
TEST(DeviceCliWrite, GarbledAnswerStopsOrIsRepeated) {
    for (const bool repeat : {false, true}) {
        SCOPED_TRACE(repeat ? "repeated" : "stops");
        Rig rig;
        testsupport::writeBytes(rig.path("in.bin"), patternImage(0x2300, 0x2100));
        // Frames 1 and 2 unlock and erase; frame 3 writes the first page.
        SimProcess sim({"--garbage", "3", "--image-out", rig.path("mem.bin").string()});
        std::vector<std::string> args = {"write", rig.path("in.bin").string(), "--verify"};
        auto r = repeat ? rig.cli(sim.linePath(), args, false, {"--repeat-garbled"})
                        : rig.cli(sim.linePath(), args);
        EXPECT_EQ(r.exitCode, repeat ? 0 : 5) << r.err;
        EXPECT_NE(r.err.find("Ошибка ]"), std::string::npos) << r.err; // the raw answer is shown either way
        EXPECT_EQ(r.err.find("Запись остановлена: страница 0, адрес 0x00002100") != std::string::npos,
                  !repeat)
            << r.err;
    }
}

TEST(DeviceCliWrite, EraseAndReset) {
    Rig rig;
    SimProcess sim;
    auto erase = rig.cli(sim.linePath(), {"erase"});
    EXPECT_EQ(erase.exitCode, 0) << erase.err;
    EXPECT_NE(erase.err.find("Приложение стерто."), std::string::npos);
    auto reset = rig.cli(sim.linePath(), {"reset"});
    EXPECT_EQ(reset.exitCode, 0) << reset.err;
    EXPECT_NE(reset.err.find("Устройство перезапущено."), std::string::npos);
}

TEST(DeviceCliFind, Bus) {
    struct Device {
        std::string address, serial, ident;
    };
    struct Case {
        const char* name;
        std::vector<Device> devices;
        std::string out;
        std::vector<std::string> args = {"find"};
        int exitCode = 0;
    };
    const std::vector<Device> two = {{"0x20", "513", "Beta"}, {"0x11", "65535", "Альфа"}};
    const Case cases[] = {
        {"no device on the bus", {}, "", {"find", "--range", "0-63"}},
        {"two devices in address order", two, "0x11\t65535\tАльфа\n0x20\t513\tBeta\n"},
        {"a range holding one of them",
         two,
         "0x11\t65535\tАльфа\n",
         {"find", "--range", "0x10-31", "--answer-timeout", "5"}},
        {"a range upside down", two, "", {"find", "--range", "9-3"}, 2},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Rig rig;
        std::vector<std::unique_ptr<SimProcess>> sims;
        std::vector<std::string> lines;
        for (const auto& d : c.devices) {
            sims.push_back(std::make_unique<SimProcess>(
                std::vector<std::string>{"--address", d.address, "--serial", d.serial, "--ident", d.ident}));
            lines.push_back(sims.back()->linePath());
        }
        BusRelay bus(lines);
        auto r = rig.cli(bus.busPath(), c.args);
        EXPECT_EQ(r.exitCode, c.exitCode) << r.err;
        EXPECT_EQ(r.out, c.out);
        if (c.devices.empty()) {
            EXPECT_NE(r.err.find("no device answered"), std::string::npos);
        }
    }
}

TEST(DeviceCliFind, CancelledPartWayKeepsWhatWasFound) {
    Rig rig;
    SimProcess low({"--address", "5", "--serial", "7", "--ident", "Low"});
    SimProcess high({"--address", "240", "--serial", "8", "--ident", "High"});
    BusRelay bus({low.linePath(), high.linePath()});
    auto cli = rig.background(bus.busPath(), {"find"});
    ASSERT_TRUE(cli->waitForOutput("0x05\t7\tLow\n", std::chrono::seconds(20)));
    cli->signal(SIGINT);
    auto r = cli->wait();
    EXPECT_EQ(r.exitCode, 130);
    EXPECT_EQ(r.out, "0x05\t7\tLow\n");
    EXPECT_NE(r.err.find("Операция прервана пользователем"), std::string::npos);
}

TEST(DeviceCliIdent, RecordLayoutByLength) {
    struct Case {
        int length;
        std::string ident, version;
        std::string identStored; // blanks at either end do not survive the record
    };
    const Case cases[] = {
        {0, "", std::string(244, 'v'), ""},
        {6, "", "строка 1\nстрока 2", ""},
        {128, std::string(122, 'I'), std::string(122, 'v'), std::string(122, 'I')},
        {20, "  Ключ 7 ", "v", "Ключ 7"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.length);
        Rig rig;
        SimProcess sim({"--serial", "4660", "--image-out", rig.path("mem.bin").string()});
        auto w = rig.cli(sim.linePath(),
                         {"ident", "--json", "--set", "length=" + std::to_string(c.length), "--set",
                          "ident_string=" + c.ident, "--set", "version_text=" + c.version});
        ASSERT_EQ(w.exitCode, 0) << w.err;
        auto r = rig.cli(sim.linePath(), {"ident", "--json"});
        ASSERT_EQ(r.exitCode, 0) << r.err;
        auto j = nlohmann::json::parse(r.out);
        EXPECT_EQ(nlohmann::json::parse(w.out), j); // the write prints what was stored
        EXPECT_EQ(j["length"], c.length);
        EXPECT_EQ(j["serial_number"], 4660); // the fixed fields keep their place
        EXPECT_EQ(j["network_number"], 17);
        EXPECT_EQ(j["system_table_address"], 0xF00);
        EXPECT_EQ(j["ident_string"], c.identStored);
        EXPECT_EQ(j["version_text"], c.version);
        ASSERT_EQ(sim.stop(), 0);
        auto mem = testsupport::readBytes(rig.path("mem.bin"));
        ASSERT_GE(mem.size(), 0xF00u + 256);
        EXPECT_EQ(mem[0xF00 + 5], c.length);
        EXPECT_EQ(mem[0xF00 + 10], 0x12);
        EXPECT_EQ(mem[0xF00 + 11], 0x34);
    }
}

TEST(DeviceCliIdent, BadSettingsAreRefusedWithoutWriting) {
    struct Case {
        std::vector<std::string> args;
        std::string mention;
    };
    const std::vector<Case> cases = {
        {{"ident", "--set", "colour=red"}, "colour"},
        {{"ident", "--set", "length=129"}, "length"},
        {{"ident", "--set", "serial_number=65536"}, "serial_number"},
        {{"ident", "--set", "length=10", "--set", "ident_string=12345"}, "ident_string"},
        // "я" is 0xFF in code page 1251, which reads back as a blank
        {{"ident", "--set", "length=40", "--set", "ident_string=Длинное имя устройства"}, "'я'"},
        {{"ident", "--set", "version_text=Серия 5"}, "'я'"},
    };
    for (const auto& [args, mention] : cases) {
        Rig rig;
        SimProcess sim;
        auto before = rig.cli(sim.linePath(), {"ident", "--json"});
        ASSERT_EQ(before.exitCode, 0) << before.err;
        auto r = rig.cli(sim.linePath(), args);
        EXPECT_EQ(r.exitCode, 2) << r.err;
        EXPECT_NE(r.err.find(mention), std::string::npos) << r.err;
        auto after = rig.cli(sim.linePath(), {"ident", "--json"});
        EXPECT_EQ(after.out, before.out);
    }
}

// The same commands against a MODBUS device none of us wrote: device memory as holding registers,
// read with function 03 and written with function 16.
TEST(DeviceCliModbus, ReadAndWriteHoldingRegisters) {
    Rig rig;
    rig.useProtocol(testsupport::sourceDir() / "tests" / "data" / "device" / "modbus.vpdf.json");
    rig.settings({{"FLASH end", "0x21FF"}, {"Pagesize", "64"}});
    testsupport::PseudoTerminal pty;
    testsupport::ModbusRtuServer server(pty, 17, 0x1100); // memory 0 .. 0x21FF
    for (size_t a = 0x2100; a < 0x2200; a += 2)
        server.setHoldingRegister(static_cast<int>(a / 2),
                                  static_cast<uint16_t>(pattern(a) << 8 | pattern(a + 1)));

    auto read = rig.cli(pty.slavePath(), {"read", rig.path("out.hex").string()});
    ASSERT_EQ(read.exitCode, 0) << read.err;
    auto conv = runCli({"convert", rig.path("out.hex").string(), rig.path("out.bin").string()});
    ASSERT_EQ(conv.exitCode, 0) << conv.err;
    auto out = testsupport::readBytes(rig.path("out.bin"));
    ASSERT_EQ(out.size(), 0x2200u);
    for (size_t a = 0x2100; a < 0x2200; ++a)
        ASSERT_EQ(out[a], pattern(a)) << std::hex << a;

    std::vector<uint8_t> image(0x2200, 0xFF);
    for (size_t a = 0x2100; a < 0x2200; ++a)
        image[a] = static_cast<uint8_t>(~pattern(a));
    testsupport::writeBytes(rig.path("in.bin"), image);
    auto write = rig.cli(pty.slavePath(), {"write", rig.path("in.bin").string(), "--verify"});
    ASSERT_EQ(write.exitCode, 0) << write.err;
    for (size_t a = 0x2100; a < 0x2200; a += 2)
        ASSERT_EQ(server.holdingRegister(static_cast<int>(a / 2)), image[a] << 8 | image[a + 1])
            << std::hex << a;
}

TEST(DeviceCliWrite, OneMebibyteWithVerify) {
    Rig rig;
    rig.settings({{"FLASH start", "0x10000"}, {"FLASH end", "0x10FFFF"}, {"Pagesize", "256"}});
    auto image = patternImage(0x110000, 0x10000);
    testsupport::writeBytes(rig.path("big.bin"), image);
    SimProcess sim({"--flash-start", "0x10000", "--flash-end", "0x10FFFF", "--page-size", "256"});
    auto r = rig.cli(sim.linePath(), {"write", rig.path("big.bin").string(), "--verify"}, true);
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "verified 1048576 bytes (0x00010000..0x0010FFFF)\n");
}

} // namespace
