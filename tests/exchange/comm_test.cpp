// The port component above a scripted line: what it asks of the line and when.

#include "exchange/comm.h"
#include "support/fake_serial_line.h"

#include <gtest/gtest.h>

using namespace std::chrono_literals;
using exchange::TComm;
using testsupport::FakeLineState;
using testsupport::FakeSerialLine;

namespace {

struct Rig {
    std::vector<std::string> log;
    std::vector<std::string> events;
    std::shared_ptr<FakeLineState> state = std::make_shared<FakeLineState>();
    TComm comm{std::make_unique<FakeSerialLine>(state)}; // last: its destructor still raises OnDeActivate
    Rig() {
        comm.setLogSink([this](const std::string& line) { log.push_back(line); });
        comm.OnActivate = [this] { events.push_back("activate open=" + std::to_string(state->open)); };
        comm.OnDeActivate = [this] { events.push_back("deactivate open=" + std::to_string(state->open)); };
    }
};

} // namespace

TEST(Comm, OpenSetsTheLineUpInOrder) {
    Rig r;
    EXPECT_EQ(r.comm.ComNo(), 2);
    ASSERT_TRUE(r.comm.Open());
    EXPECT_EQ(r.state->calls, (std::vector<std::string>{"open /dev/ttyS1", "configure 9600 N 1",
                                                        "modem DTR=0 RTS=1", "drain", "discard"}));
    EXPECT_EQ(r.events, std::vector<std::string>{"activate open=1"});
    EXPECT_TRUE(r.log.empty());

    r.state->calls.clear();
    r.comm.Close();
    EXPECT_EQ(r.state->calls, (std::vector<std::string>{"drain", "discard", "close"}));
    EXPECT_EQ(r.events.back(), "deactivate open=1");
    r.comm.Close(); // closing twice does nothing
    EXPECT_EQ(r.events.size(), 2u);
}

TEST(Comm, BaudIndexMapsToSpeedAndOutOfRangeMeans9600) {
    const std::pair<int, std::uint32_t> cases[] = {{0, 110},    {4, 2400},    {7, 14400},   {8, 19200},
                                                   {10, 56000}, {13, 128000}, {14, 256000}, {15, 9600},
                                                   {99, 9600},  {-1, 9600}};
    for (auto [index, bits] : cases) {
        Rig r;
        r.comm.setBaudRate(index);
        ASSERT_TRUE(r.comm.Open());
        EXPECT_EQ(r.state->calls[1], "configure " + std::to_string(bits) + " N 1") << index;
    }
}

TEST(Comm, FormatChangesApplyAtOnceWhenOpen) {
    Rig r;
    r.comm.setBaudRate(exchange::BR___2400);
    r.comm.setStopBits(exchange::SB_TWOSTOPBITS);
    r.comm.setParity(exchange::Even_Parity);
    EXPECT_TRUE(r.state->calls.empty()); // closed: only remembered
    ASSERT_TRUE(r.comm.Open());
    EXPECT_EQ(r.state->calls[1], "configure 2400 E 2");
    r.state->calls.clear();
    r.comm.setBaudRate(exchange::BR_115200);
    r.comm.setStopBits(exchange::SB_ONESTOPBIT);
    r.comm.setParity(exchange::Mark_Parity);
    EXPECT_EQ(r.state->calls, (std::vector<std::string>{"configure 115200 E 2", "configure 115200 E 1",
                                                        "configure 115200 M 1"}));
}

TEST(Comm, OneAndAHalfStopBitsAreReportedOnce) {
    Rig r;
    r.comm.setStopBits(exchange::SB_ONE5STOPBITS);
    ASSERT_TRUE(r.comm.Open());
    r.comm.Close();
    ASSERT_TRUE(r.comm.Open());
    ASSERT_EQ(r.log.size(), 1u);
    EXPECT_NE(r.log[0].find("2"), std::string::npos);
}

TEST(Comm, OpenFailureKeepsPathAndReasonForTheLog) {
    Rig r;
    r.state->failOpenReason = "/dev/ttyS1: Permission denied (dialout)";
    EXPECT_FALSE(r.comm.Open());
    EXPECT_FALSE(r.comm.IsOpen());
    EXPECT_EQ(r.comm.LastOpenError(), r.state->failOpenReason);
    ASSERT_EQ(r.log.size(), 1u);
    EXPECT_NE(r.log[0].find("Permission denied (dialout)"), std::string::npos);
    EXPECT_TRUE(r.events.empty());
    r.state->failOpenReason.clear();
    EXPECT_TRUE(r.comm.Open());
    EXPECT_TRUE(r.comm.LastOpenError().empty());
}

TEST(Comm, LineTroubleAfterOpenDoesNotFailOpen) {
    Rig r;
    r.state->modemLinesWork = false;
    r.state->reportedBaud = 250000;
    r.comm.setBaudRate(exchange::BR_256000);
    EXPECT_TRUE(r.comm.Open());
    ASSERT_EQ(r.log.size(), 2u);
    EXPECT_NE(r.log[0].find("250000"), std::string::npos);
    EXPECT_NE(r.log[1].find("DTR"), std::string::npos);
}

TEST(Comm, PortNumberAndPathChangesClose) {
    Rig r;
    ASSERT_TRUE(r.comm.OpenPort(5));
    EXPECT_EQ(r.state->calls[0], "open /dev/ttyS4");
    r.comm.setComNo(5); // same number: stays open
    r.comm.setComNo(0); // ignored
    r.comm.setComNo(-3);
    EXPECT_TRUE(r.comm.IsOpen());
    EXPECT_EQ(r.comm.ComNo(), 5);
    r.comm.setComNo(6);
    EXPECT_FALSE(r.comm.IsOpen());
    EXPECT_EQ(r.events.back(), "deactivate open=1");

    r.comm.setDevicePath("/dev/ttyUSB0");
    ASSERT_TRUE(r.comm.Open());
    EXPECT_EQ(r.state->calls.back(), "discard");
    EXPECT_EQ(r.comm.DevicePath(), "/dev/ttyUSB0");
    r.comm.setDevicePath("/dev/ttyUSB1");
    EXPECT_FALSE(r.comm.IsOpen());
    r.comm.setDevicePath("");
    EXPECT_EQ(r.comm.DevicePath(), "/dev/ttyS5");
}

TEST(Comm, ClosedPortTransfersNothing) {
    Rig r;
    r.state->input = {1, 2, 3};
    std::uint8_t buf[4] = {};
    std::uint8_t byte = 0;
    EXPECT_EQ(r.comm.Write(buf, 4), 0);
    EXPECT_EQ(r.comm.Read(buf, 4), 0);
    EXPECT_TRUE(r.comm.LastReadEmpty());
    EXPECT_FALSE(r.comm.ReadByte(byte));
    EXPECT_EQ(r.comm.InputCount(), 0);
    r.comm.PurgeBuffers();
    EXPECT_TRUE(r.state->calls.empty());
    EXPECT_TRUE(r.state->written.empty());
}

TEST(Comm, ReadAsksForTheTimeoutRule) {
    Rig r;
    ASSERT_TRUE(r.comm.Open());
    std::uint8_t buf[10];
    r.comm.setReadTimeout(20);
    EXPECT_EQ(r.comm.Read(buf, 1), 0);
    r.comm.setReadTimeout(50);
    r.state->input = {7, 8};
    EXPECT_EQ(r.comm.Read(buf, 10), 2);
    EXPECT_FALSE(r.comm.LastReadEmpty());
    ASSERT_EQ(r.state->reads.size(), 2u);
    EXPECT_EQ(r.state->reads[0].total, 40ms);
    EXPECT_EQ(r.state->reads[0].interByte, 20ms);
    EXPECT_EQ(r.state->reads[1].total, 550ms);
    EXPECT_EQ(r.state->reads[1].interByte, 50ms);
    EXPECT_EQ(r.comm.Read(buf, 0), 0);
    EXPECT_EQ(r.comm.Read(buf, -1), 0);
}
