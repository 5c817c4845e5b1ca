// The port component and the POSIX line over real pseudo-terminals.

#include "exchange/comm.h"
#include "exchange/posix_serial_line.h"
#include "support/paths.h"
#include "support/pty.h"

#include <gtest/gtest.h>

#include <grp.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <fstream>
#include <thread>

using namespace std::chrono_literals;
using exchange::TComm;
using testsupport::PseudoTerminal;
using Clock = std::chrono::steady_clock;

namespace {

std::unique_ptr<TComm> commOn(const PseudoTerminal& pty, std::vector<std::string>* log = nullptr) {
    auto comm = std::make_unique<TComm>(std::make_unique<exchange::PosixSerialLine>());
    comm->setDevicePath(pty.slavePath());
    if (log)
        comm->setLogSink([log](const std::string& line) { log->push_back(line); });
    return comm;
}

termios slaveAttributes(const PseudoTerminal& pty) {
    termios tio{};
    EXPECT_EQ(tcgetattr(pty.slaveFd(), &tio), 0);
    return tio;
}

// Puts the slave in the cooked state a fresh terminal has, so that opening must undo it.
void cook(const PseudoTerminal& pty) {
    termios tio = slaveAttributes(pty);
    tio.c_iflag |= ICRNL | IXON;
    tio.c_oflag |= OPOST | ONLCR;
    tio.c_lflag |= ICANON | ECHO | ISIG | IEXTEN;
    tio.c_cflag |= HUPCL;
    ASSERT_EQ(tcsetattr(pty.slaveFd(), TCSANOW, &tio), 0);
}

} // namespace

TEST(SerialPty, OpenMakesTheLineRawAndBytesPassUnchanged) {
    PseudoTerminal pty;
    cook(pty);
    auto comm = commOn(pty);
    comm->setBaudRate(exchange::BR__19200);
    ASSERT_TRUE(comm->Open()) << comm->LastOpenError();

    const termios tio = slaveAttributes(pty);
    EXPECT_EQ(tio.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
    EXPECT_TRUE(tio.c_cflag & CLOCAL);
    EXPECT_TRUE(tio.c_cflag & CREAD);
    EXPECT_FALSE(tio.c_cflag & HUPCL);
    EXPECT_FALSE(tio.c_cflag & CRTSCTS);
    EXPECT_FALSE(tio.c_lflag & (ICANON | ECHO | ISIG | IEXTEN));
    EXPECT_FALSE(tio.c_iflag & (ICRNL | IXON | IXOFF));
    EXPECT_FALSE(tio.c_oflag & OPOST);
    EXPECT_EQ(cfgetospeed(&tio), static_cast<speed_t>(B19200));

    const std::vector<std::uint8_t> bytes{0x0D, 0x0A, 0x00, 0x03, 0x04, 0x11, 0x13, 0x1A, 0x7F, 0xFF};
    ASSERT_TRUE(pty.write(bytes));
    std::vector<std::uint8_t> got(bytes.size());
    comm->setReadTimeout(200);
    EXPECT_EQ(comm->Read(got.data(), static_cast<int>(got.size())), static_cast<int>(got.size()));
    EXPECT_EQ(got, bytes);
    EXPECT_EQ(comm->Write(bytes.data(), static_cast<int>(bytes.size())), static_cast<int>(bytes.size()));
    EXPECT_EQ(pty.read(bytes.size(), 1s), bytes);
}

TEST(SerialPty, SecondOpenerIsRefusedUntilTheFirstCloses) {
    PseudoTerminal pty;
    auto first = commOn(pty);
    std::vector<std::string> log;
    auto second = commOn(pty, &log);
    ASSERT_TRUE(first->Open());
    EXPECT_FALSE(second->Open());
    EXPECT_NE(second->LastOpenError().find(pty.slavePath()), std::string::npos);
    ASSERT_EQ(log.size(), 1u);
    EXPECT_NE(log[0].find(pty.slavePath()), std::string::npos);
    first->Close();
    EXPECT_TRUE(second->Open()) << second->LastOpenError();
}

TEST(SerialPty, OpenFailuresNameThePathAndTheReason) {
    testsupport::TempDir dir;
    const std::string missing = (dir / "ttyNONE").string();
    const std::string plain = (dir / "file").string();
    std::ofstream(plain) << "x";
    struct Case {
        std::string path;
        std::string expected;
    };
    const Case cases[] = {{missing, "No such file"}, {plain, "не является последовательным портом"}};
    for (const auto& c : cases) {
        exchange::PosixSerialLine line;
        std::string reason;
        EXPECT_FALSE(line.open(c.path, reason));
        EXPECT_FALSE(line.isOpen());
        EXPECT_NE(reason.find(c.path), std::string::npos) << reason;
        EXPECT_NE(reason.find(c.expected), std::string::npos) << reason;
    }
}

// What opening `path` tells a user without access to it. Root opens any device, so as root the open
// runs in a child process that has become "nobody".
std::string refusedOpenReason(const std::string& path) {
    exchange::PosixSerialLine line;
    std::string reason;
    if (geteuid() != 0)
        return line.open(path, reason) ? "opened" : reason;
    int pipeFds[2];
    if (pipe(pipeFds) != 0)
        return "no pipe";
    const pid_t child = fork();
    if (child == 0) {
        close(pipeFds[0]);
        const uid_t nobody = 65534;
        if (setgroups(0, nullptr) != 0 || setgid(nobody) != 0 || setuid(nobody) != 0)
            reason = "cannot become nobody";
        else if (line.open(path, reason))
            reason = "opened";
        const ssize_t written = write(pipeFds[1], reason.data(), reason.size());
        _exit(written == static_cast<ssize_t>(reason.size()) ? 0 : 1);
    }
    close(pipeFds[1]);
    char buffer[512];
    ssize_t n;
    while ((n = read(pipeFds[0], buffer, sizeof buffer)) > 0)
        reason.append(buffer, static_cast<std::size_t>(n));
    close(pipeFds[0]);
    waitpid(child, nullptr, 0);
    return reason;
}

TEST(SerialPty, AccessDeniedSaysHowToJoinTheDialoutGroup) {
    PseudoTerminal pty;
    ASSERT_EQ(chmod(pty.slavePath().c_str(), 0), 0);
    const std::string reason = refusedOpenReason(pty.slavePath());
    EXPECT_NE(reason.find("Permission denied"), std::string::npos) << reason;
    EXPECT_NE(reason.find("sudo usermod -aG dialout $USER"), std::string::npos) << reason;
}

// Each wait holds its limits whether or not a front end serves its window during the waits.
class SerialPtyWait : public ::testing::TestWithParam<bool> {
  protected:
    void SetUp() override {
        if (GetParam())
            comm->setWaitHook([this] {
                ++hookCalls;
                return false;
            });
        ASSERT_TRUE(comm->Open());
    }
    void TearDown() override { EXPECT_EQ(hookCalls > 0, GetParam()); }

    PseudoTerminal pty;
    std::unique_ptr<TComm> comm = commOn(pty);
    int hookCalls = 0;
};

INSTANTIATE_TEST_SUITE_P(HookedOrNot, SerialPtyWait, ::testing::Bool(),
                         [](const auto& info) { return info.param ? "WithWaitHook" : "WithoutWaitHook"; });

TEST_P(SerialPtyWait, SingleByteReadWithNothingArrivingEndsWithinTwiceTheTimeout) {
    comm->setReadTimeout(50);
    std::uint8_t byte = 0;
    const auto t0 = Clock::now();
    EXPECT_FALSE(comm->ReadByte(byte));
    const auto took = Clock::now() - t0;
    EXPECT_TRUE(comm->LastReadEmpty());
    EXPECT_GE(took, 100ms); // never gives up early
    EXPECT_LT(took, 600ms); // and is bounded (loose: the machine is shared)
}

TEST_P(SerialPtyWait, ReadEndsAtTheGapAfterTheLastByte) {
    comm->setReadTimeout(60);
    Clock::time_point written;
    std::thread peer([&] {
        std::this_thread::sleep_for(30ms);
        pty.write(std::string_view("\x01\x02", 2));
        std::this_thread::sleep_for(30ms); // less than the gap: the read goes on
        written = Clock::now();
        pty.write(std::string_view("\x03", 1));
    });
    std::uint8_t buf[100] = {};
    const auto t0 = Clock::now();
    const int got = comm->Read(buf, 100); // the total budget alone would allow 6 s
    const auto ended = Clock::now();
    peer.join();
    EXPECT_EQ(got, 3);
    EXPECT_GE(ended - written, 50ms); // waited for the gap after the last byte
    EXPECT_LT(ended - t0, 1500ms);
}

TEST(SerialPty, InputCountAndPurge) {
    PseudoTerminal pty;
    auto comm = commOn(pty);
    EXPECT_EQ(comm->InputCount(), 0);
    ASSERT_TRUE(comm->Open());
    EXPECT_EQ(comm->InputCount(), 0);
    ASSERT_TRUE(pty.write(std::string_view("hello")));
    for (int i = 0; i < 100 && comm->InputCount() < 5; ++i)
        std::this_thread::sleep_for(2ms);
    EXPECT_EQ(comm->InputCount(), 5);
    // The line may read ahead of a single-byte read; what it holds still counts and is purged.
    comm->setReadTimeout(10);
    std::uint8_t byte = 0;
    ASSERT_TRUE(comm->ReadByte(byte));
    EXPECT_EQ(byte, 'h');
    EXPECT_EQ(comm->InputCount(), 4);
    ASSERT_TRUE(comm->ReadByte(byte));
    EXPECT_EQ(byte, 'e');
    comm->PurgeBuffers();
    EXPECT_EQ(comm->InputCount(), 0);
    EXPECT_FALSE(comm->ReadByte(byte));
    comm->Close();
    EXPECT_EQ(comm->InputCount(), 0);
}

TEST(SerialPty, ComNoChangeClosesAndTheNextOpenTakesTheNewPort) {
    PseudoTerminal a;
    PseudoTerminal b;
    auto comm = std::make_unique<TComm>(std::make_unique<exchange::PosixSerialLine>());
    comm->setDevicePath(a.slavePath());
    ASSERT_TRUE(comm->OpenPort(3));
    comm->setComNo(4);
    EXPECT_FALSE(comm->IsOpen());
    // The lock went with the close: somebody else can have the first port now.
    auto other = commOn(a);
    EXPECT_TRUE(other->Open());
    comm->setDevicePath(b.slavePath());
    ASSERT_TRUE(comm->Open());
    const std::uint8_t x = 0x5A;
    EXPECT_EQ(comm->Write(&x, 1), 1);
    EXPECT_EQ(b.read(1, 1s), std::vector<std::uint8_t>{0x5A});
    EXPECT_TRUE(a.read(1, 20ms).empty());
}

TEST(SerialPty, EverySpeedParityAndStopBitSettingIsAccepted) {
    PseudoTerminal pty;
    exchange::PosixSerialLine line;
    std::string reason;
    ASSERT_TRUE(line.open(pty.slavePath(), reason)) << reason;
    for (int i = 0; i < exchange::kBaudRateCount; ++i) {
        const std::uint32_t baud = exchange::baudRateBits(i);
        const auto applied = line.configure({baud, exchange::LineParity::None, exchange::LineStopBits::One});
        EXPECT_TRUE(applied.ok) << baud << ": " << applied.reason;
        EXPECT_EQ(applied.baud, baud);
    }
    struct Case {
        exchange::LineParity parity;
        exchange::LineStopBits stop;
        tcflag_t set;
        tcflag_t clear;
        bool replaced;
    };
    const Case cases[] = {
        {exchange::LineParity::None, exchange::LineStopBits::One, 0, PARENB | CSTOPB, false},
        {exchange::LineParity::Odd, exchange::LineStopBits::Two, PARENB | PARODD | CSTOPB, CMSPAR, false},
        {exchange::LineParity::Even, exchange::LineStopBits::OnePointFive, PARENB | CSTOPB, PARODD | CMSPAR,
         true},
        {exchange::LineParity::Mark, exchange::LineStopBits::One, PARENB | PARODD | CMSPAR, CSTOPB, false},
        {exchange::LineParity::Space, exchange::LineStopBits::One, PARENB | CMSPAR, PARODD | CSTOPB, false},
    };
    for (const auto& c : cases) {
        const auto applied = line.configure({9600, c.parity, c.stop});
        EXPECT_TRUE(applied.ok);
        EXPECT_EQ(applied.stopBitsReplaced, c.replaced);
        // A pseudo-terminal drops PARENB whatever it is given; the other bits stay as set.
        const termios tio = slaveAttributes(pty);
        const tcflag_t set = c.set & ~static_cast<tcflag_t>(PARENB);
        EXPECT_EQ(tio.c_cflag & set, set) << static_cast<int>(c.parity);
        EXPECT_EQ(tio.c_cflag & c.clear, 0u) << static_cast<int>(c.parity);
    }

    // Through the component: no speed is reported as replaced or refused.
    std::vector<std::string> log;
    line.close();
    auto comm = commOn(pty, &log);
    ASSERT_TRUE(comm->Open());
    for (int i = 0; i <= exchange::kBaudRateCount; ++i)
        comm->setBaudRate(i);
    for (const auto& l : log)
        EXPECT_NE(l.find("DTR"), std::string::npos) << l; // only the missing modem lines of a pty
}
