// velmora-sim as a process: its line is a real pseudo-terminal that the test opens as a serial port.

#include "sim/modbus_rtu.h"
#include "support/files.h"
#include "support/paths.h"
#include "support/process.h"
#include "support/sim_process.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

using namespace std::chrono_literals;
using Bytes = std::vector<std::uint8_t>;
using Clock = std::chrono::steady_clock;
using testsupport::SimProcess;

namespace {

// The program's side of the line, opened as a serial port is.
class Port {
  public:
    explicit Port(const std::string& path) {
        m_fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        if (m_fd < 0)
            throw std::runtime_error("cannot open " + path);
        termios tio{};
        tcgetattr(m_fd, &tio);
        cfmakeraw(&tio);
        tcsetattr(m_fd, TCSANOW, &tio);
    }
    ~Port() { ::close(m_fd); }
    Port(const Port&) = delete;
    Port& operator=(const Port&) = delete;

    void send(Bytes frame) {
        sim::appendCrc(frame);
        ASSERT_EQ(::write(m_fd, frame.data(), frame.size()), static_cast<ssize_t>(frame.size()));
    }
    // Everything that arrives until the line is quiet for `gap`; waits `first` for the first byte.
    Bytes receive(std::chrono::milliseconds first = 2000ms, std::chrono::milliseconds gap = 100ms,
                  std::size_t enough = SIZE_MAX) {
        Bytes got;
        for (auto wait = first; got.size() < enough; wait = gap) {
            pollfd p{m_fd, POLLIN, 0};
            if (poll(&p, 1, static_cast<int>(wait.count())) <= 0 || !(p.revents & POLLIN))
                return got;
            std::uint8_t buf[4096];
            const ssize_t n = ::read(m_fd, buf, sizeof buf);
            if (n <= 0)
                return got;
            got.insert(got.end(), buf, buf + n);
        }
        return got;
    }
    Bytes exchange(Bytes frame, std::chrono::milliseconds first = 2000ms) {
        send(std::move(frame));
        return receive(first);
    }

  private:
    int m_fd = -1;
};

Bytes withCrc(Bytes frame) {
    sim::appendCrc(frame);
    return frame;
}

} // namespace

TEST(SimProcess, ProgramsReadsAndSavesItsImageAtTermination) {
    testsupport::TempDir dir;
    const auto link = dir / "ttyVELMORA";
    const auto out = dir / "out.bin";
    SimProcess simulator({"--address", "0x22", "--password", "пароль", "--link", link.string(), "--image-out",
                          out.string(), "--serial", "4660", "--ident", "Тест"});
    ASSERT_EQ(std::filesystem::read_symlink(link), simulator.linePath());
    {
        Port port(link.string());
        // Identity: serial number and the identification text (code page 1251) from offset 6 of the block.
        EXPECT_EQ(port.exchange({0x22, 0x11}),
                  withCrc({0x22, 0x11, 11, 0x22, 1, 10, 0xFF, 0x12, 0x34, 0xD2, 0xE5, 0xF1, 0xF2, 0x00}));
        EXPECT_EQ(port.exchange({0x11, 0x11}, 300ms), Bytes{}); // another address stays quiet
        const Bytes password{0xEF, 0xE0, 0xF0, 0xEE, 0xEB, 0xFC};
        Bytes unlock{0x22, 0x47};
        unlock.insert(unlock.end(), password.begin(), password.end());
        EXPECT_EQ(port.exchange(unlock), withCrc({0x22, 0x47}));
        EXPECT_EQ(port.exchange({0x22, 0x44, 0, 0, 0x21, 0x00, 0, 2, 0xAB, 0xCD}),
                  withCrc({0x22, 0x44, 0, 0, 0x21, 0x00, 0, 2}));
        EXPECT_EQ(port.exchange({0x22, 0x43, 0, 0, 0x21, 0x00, 0, 3}),
                  withCrc({0x22, 0x43, 0, 3, 0xAB, 0xCD, 0xFF}));
    }
    // The port may be closed and opened again: the simulator keeps its line.
    {
        Port again(simulator.linePath());
        EXPECT_EQ(again.exchange({0x22, 0x48}), withCrc({0x22, 0x48}));
    }
    EXPECT_EQ(simulator.stop(SIGTERM), 0);
    EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(link)));
    const std::string saved = testsupport::readText(out);
    ASSERT_EQ(saved.size(), 0x2102u);
    EXPECT_EQ(static_cast<std::uint8_t>(saved[0x2100]), 0xAB);
    EXPECT_EQ(saved.substr(0xF00, 4), "VSIM");
    EXPECT_EQ(static_cast<std::uint8_t>(saved[0xF04]), 0x22);

    // Loaded again, the image gives back the same device: address and data survive.
    SimProcess second({"--image-in", out.string()});
    Port port(second.linePath());
    EXPECT_EQ(port.exchange({0x22, 0x43, 0, 0, 0x21, 0x00, 0, 2}), withCrc({0x22, 0x43, 0, 2, 0xAB, 0xCD}));
    EXPECT_EQ(second.stop(SIGINT), 0);
}

TEST(SimProcess, SeveralDevicesShareOneLine) {
    SimProcess simulator({"--address", "0x11", "--address", "0x22", "--serial", "100", "--ident", "AB"});
    Port port(simulator.linePath());
    EXPECT_EQ(port.exchange({0x11, 0x11}), withCrc({0x11, 0x11, 9, 0x11, 1, 8, 0xFF, 0, 100, 'A', 'B', 0}));
    EXPECT_EQ(port.exchange({0x22, 0x11}), withCrc({0x22, 0x11, 9, 0x22, 1, 8, 0xFF, 0, 101, 'A', 'B', 0}));
    EXPECT_EQ(port.exchange({0x33, 0x11}, 300ms), Bytes{});
    // A broadcast reaches both; neither answers.
    EXPECT_EQ(port.exchange({0x00, 0x48}, 300ms), Bytes{});
}

TEST(SimProcess, EchoesEveryByteBeforeTheAnswer) {
    SimProcess simulator({"--echo"});
    Port port(simulator.linePath());
    const Bytes request = withCrc({0x11, 0x48});
    Bytes expected = request;
    const Bytes answer = withCrc({0x11, 0x48});
    expected.insert(expected.end(), answer.begin(), answer.end());
    EXPECT_EQ(port.exchange({0x11, 0x48}), expected);
    // Bytes for nobody are echoed too, and get no answer.
    EXPECT_EQ(port.exchange({0x05, 0x48}), withCrc({0x05, 0x48}));
}

TEST(SimProcess, AnswersNoSoonerThanTheEmulatedLineAllows) {
    SimProcess simulator({"--baud", "9600"});
    Port port(simulator.linePath());
    const auto start = Clock::now();
    const Bytes answer = port.exchange({0x11, 0x43, 0, 0, 0x21, 0x00, 0x01, 0x00});
    const auto took = Clock::now() - start;
    ASSERT_EQ(answer.size(), 262u);
    // 10 request and 262 answer bytes of 10 bits at 9600 bit/s: at least 283 ms on the line.
    EXPECT_GE(took, 280ms);
}

TEST(SimProcess, ASignalEndsEvenASlowAnswer) {
    SimProcess simulator({"--baud", "300"});
    Port port(simulator.linePath());
    // 2048 bytes at 300 bit/s would take more than a minute on the line.
    port.send({0x11, 0x43, 0, 0, 0x21, 0x00, 0x08, 0x00});
    EXPECT_FALSE(port.receive(5000ms, 200ms, 1).empty());
    EXPECT_EQ(simulator.stop(SIGINT), 0); // SIGKILL after 5 s would give 137
}

TEST(SimProcess, DroppingTheLineEndsTheSimulator) {
    testsupport::TempDir dir;
    const auto link = dir / "tty";
    SimProcess simulator({"--drop-after", "2", "--link", link.string()});
    Port port(simulator.linePath());
    EXPECT_FALSE(port.exchange({0x11, 0x48}).empty());
    EXPECT_FALSE(port.exchange({0x11, 0x48}).empty());
    EXPECT_EQ(simulator.waitExit(5s), 0);
    EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(link)));
}

TEST(SimProcess, RefusesBadOptionsWithAMessage) {
    testsupport::TempDir dir;
    std::ofstream(dir / "regular") << "x";
    std::ofstream(dir / "big.bin") << std::string(16, 'x');
    struct Case {
        std::vector<std::string> args;
        int exitCode;
        std::string mention;
    };
    const std::vector<Case> cases{
        {{"--page-size", "0"}, 2, "--page-size"},
        {{"--address", "248"}, 2, "--address"},
        {{"--address", "zz"}, 2, "--address"},
        {{"--address", "5", "--address", "5"}, 2, "twice"},
        {{"--flash-start", "0x5000"}, 2, "FLASH window"},
        {{"--ctrl-area", "0x2001"}, 2, "control area"},
        {{"--error", "0x43"}, 2, "--error"},
        {{"--garbage", "0"}, 2, "--garbage"},
        {{"--ident", std::string(123, 'a')}, 2, "--ident"},
        {{"--ident", "Серия"}, 2, "'я'"},
        {{"--password", "\xE2\x82\xAC\xF0\x9F\x98\x80"}, 2, "code page 1251"},
        {{"--image-in", (dir / "missing.bin").string()}, 2, "missing.bin"},
        {{"--image-in", (dir / "big.bin").string(), "--load-at", "0x7FFFF8"}, 2, "does not fit"},
        {{"--image-in", dir.path().string()}, 2, "not a regular file"},
        {{"--image-out", (dir / "none" / "out.bin").string()}, 2, "cannot create a file in"},
        {{"--image-out", dir.path().string()}, 2, "is a folder"},
        {{"--link", (dir / "regular").string()}, 2, "not a symbolic link"},
        {{"--link", (dir / "none" / "line").string()}, 2, "--link"},
        {{"--no-such-option"}, 2, "no-such-option"},
    };
    for (const auto& c : cases) {
        const auto result = testsupport::runProcess(testsupport::toolPath("velmora-sim").string(), c.args);
        EXPECT_EQ(result.exitCode, c.exitCode) << c.args[0] << ": " << result.err;
        EXPECT_NE(result.err.find(c.mention), std::string::npos) << c.args[0] << ": " << result.err;
        EXPECT_TRUE(result.out.empty()) << c.args[0];
    }
    EXPECT_EQ(testsupport::readText(dir / "regular"), "x");
}
