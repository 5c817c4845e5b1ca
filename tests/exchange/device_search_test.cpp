#include "exchange/device_search.h"

#include "exchange/operation_sequencer.h"
#include "scripted_device_host.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

using exchange::DeviceSearch;
using testsupport::ScriptedDeviceHost;

// Devices on the bus: address -> (serial number, text). The answer stores a 6-byte head and the
// text from offset 0 and captures the block size.
ScriptedDeviceHost::Script bus(std::map<int, std::pair<uint16_t, std::string>> devices) {
    return [devices](const ScriptedDeviceHost::ListCall& call) {
        auto it = devices.find(static_cast<int>(call.variables.at("RECIPIENT")));
        if (it == devices.end())
            return exchange::ListOutcome{-1, -1, 0};
        auto& buf = call.buffers.receive;
        const auto& [serial, text] = it->second;
        buf[4] = static_cast<uint8_t>(serial >> 8);
        buf[5] = static_cast<uint8_t>(serial);
        std::memcpy(buf.data() + 6, text.data(), text.size());
        return exchange::ListOutcome{0, 1, static_cast<int32_t>(6 + text.size())};
    };
}

void runToEnd(DeviceSearch& search) {
    for (int i = 0; i < 1000 && search.running(); ++i)
        search.tick();
}

TEST(DeviceSearch, NoDeviceTriesEveryAddress) {
    ScriptedDeviceHost host;
    host.script = bus({});
    bool quietDuring = true;
    host.duringList = [&] { quietDuring = quietDuring && host.quiet && host.busyFlag; };
    DeviceSearch search(host);
    ASSERT_TRUE(search.start());
    EXPECT_TRUE(host.busyFlag);
    EXPECT_EQ(host.variables.at("SIZE"), 128);
    runToEnd(search);
    EXPECT_EQ(host.calls.size(), 256u);
    EXPECT_EQ(host.calls.front().variables.at("RECIPIENT"), 0);
    EXPECT_EQ(host.calls.back().variables.at("RECIPIENT"), 255);
    EXPECT_TRUE(quietDuring);
    EXPECT_FALSE(host.quiet);
    EXPECT_TRUE(search.devices().empty());
    EXPECT_EQ(search.progressText(), "100%");
    EXPECT_EQ(search.outcome(), DeviceSearch::Outcome::Completed);
    EXPECT_FALSE(host.open);
    EXPECT_FALSE(host.busyFlag);
    EXPECT_TRUE(host.messages.empty());
    EXPECT_EQ(host.errors, 256);
}

TEST(DeviceSearch, TwoDevicesInAddressOrder) {
    ScriptedDeviceHost host;
    host.script = bus({{0x20, {7, "Second"}}, {0x11, {65535, "  \xCD\xE0\xF1\xEE\xF1 \t"}}});
    DeviceSearch search(host);
    ASSERT_TRUE(search.start());
    runToEnd(search);
    ASSERT_EQ(search.devices().size(), 2u);
    EXPECT_EQ(search.devices()[0].addressText, "0x11");
    EXPECT_EQ(search.devices()[0].serialNumber, 65535);
    EXPECT_EQ(search.devices()[0].identText, "Насос");
    EXPECT_EQ(search.devices()[1].addressText, "0x20");
    EXPECT_EQ(search.devices()[1].identText, "Second");
}

TEST(DeviceSearch, CancelPartWayKeepsTheRowsFound) {
    ScriptedDeviceHost host;
    host.script = bus({{5, {1, "A"}}, {200, {2, "B"}}});
    DeviceSearch search(host);
    ASSERT_TRUE(search.start());
    while (search.progress() < 40)
        search.tick();
    search.cancel();
    EXPECT_FALSE(search.running());
    EXPECT_EQ(search.outcome(), DeviceSearch::Outcome::Cancelled);
    EXPECT_EQ(search.progressText(), "40%");
    ASSERT_EQ(search.devices().size(), 1u);
    EXPECT_EQ(search.devices()[0].address, 5);
    EXPECT_FALSE(host.open);
    EXPECT_FALSE(host.busyFlag);
    search.tick();
    EXPECT_EQ(host.calls.size(), 102u); // addresses 0..101
    // a new start clears the previous results
    ASSERT_TRUE(search.start());
    EXPECT_TRUE(search.devices().empty());
    EXPECT_EQ(search.address(), 0);
}

TEST(DeviceSearch, CancelDuringAnExchangeWaitsForIt) {
    ScriptedDeviceHost host;
    host.script = bus({{3, {1, "A"}}});
    DeviceSearch search(host);
    host.duringList = [&] {
        search.tick(); // must not start another exchange
        if (host.calls.back().variables.at("RECIPIENT") == 3)
            search.cancel();
    };
    ASSERT_TRUE(search.start());
    runToEnd(search);
    EXPECT_EQ(host.calls.size(), 4u);
    EXPECT_EQ(search.devices().size(), 1u);
    EXPECT_EQ(search.outcome(), DeviceSearch::Outcome::Cancelled);
}

TEST(DeviceSearch, RefusedStarts) {
    ScriptedDeviceHost busy;
    busy.busyFlag = true;
    DeviceSearch s1(busy);
    EXPECT_FALSE(s1.start());
    EXPECT_EQ(busy.opens, 0);

    ScriptedDeviceHost closed;
    closed.openFails = true;
    DeviceSearch s2(closed);
    EXPECT_FALSE(s2.start());
    ASSERT_EQ(closed.messages.size(), 1u);
    EXPECT_EQ(closed.messages[0].text, "Не могу открыть порт!");
    EXPECT_FALSE(closed.busyFlag);
}

TEST(DecodeSearchAnswer, TextLengthAndEnd) {
    struct Case {
        const char* name;
        std::vector<uint8_t> tail; // bytes from offset 6
        int32_t size;
        std::string text;
    };
    std::vector<uint8_t> longText(200, 'x');
    const Case cases[] = {
        {"size limits the text", {'A', 'B', 'C', 'D'}, 8, "AB"},
        {"ends at 0x00", {'A', 'B', 0, 'D'}, 10, "AB"},
        {"ends at 0xFF", {'A', 0xFF, 'C'}, 9, "A"},
        {"size below 7 gives nothing", {'A'}, 6, ""},
        {"negative size", {'A'}, -3, ""},
        {"size beyond the buffer stops at 123 bytes", longText, 5000, std::string(123, 'x')},
        {"code page 1251", {0xC0, 0xE1, 0x20}, 9, "Аб"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<uint8_t> buf(exchange::kSearchBufferSize, 0);
        buf[4] = 0x12;
        buf[5] = 0x34;
        for (size_t i = 0; i < c.tail.size() && 6 + i < buf.size(); ++i)
            buf[6 + i] = c.tail[i];
        auto d = exchange::decodeSearchAnswer(0x0A, buf, c.size);
        EXPECT_EQ(d.identText, c.text);
        EXPECT_EQ(d.serialNumber, 0x1234);
        EXPECT_EQ(d.addressText, "0x0A");
    }
    // a buffer shorter than the head reads no serial number and no text
    std::vector<uint8_t> tiny(3, 0x41);
    auto d = exchange::decodeSearchAnswer(1, tiny, 100);
    EXPECT_EQ(d.serialNumber, 0);
    EXPECT_EQ(d.identText, "");
}

} // namespace
