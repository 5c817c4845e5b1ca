#include "exchange/device_options.h"

#include "exchange/operation_sequencer.h"
#include "scripted_device_host.h"

#include <gtest/gtest.h>

namespace {

using exchange::DeviceOptions;
using WriteResult = exchange::DeviceOptions::WriteResult;
using testsupport::ScriptedDeviceHost;

// A device whose list 0 stores a record with serial 0x0102 and L = 10, and whose list 1 answers
// the results queued in `writeResults`.
struct Device {
    std::vector<int32_t> writeResults;
    std::vector<std::vector<uint8_t>> written;
    ScriptedDeviceHost::Script script() {
        return [this](const ScriptedDeviceHost::ListCall& call) {
            if (call.index == exchange::kListIdentRead) {
                auto& b = call.buffers.receive;
                b[5] = 10;
                b[10] = 1;
                b[11] = 2;
                b[12] = 'I';
                return exchange::ListOutcome{};
            }
            written.emplace_back(call.buffers.send.begin(), call.buffers.send.begin() + 256);
            int32_t r = writeResults.empty() ? 0 : writeResults.front();
            if (!writeResults.empty())
                writeResults.erase(writeResults.begin());
            return exchange::ListOutcome{r, 1, 0};
        };
    }
};

TEST(DeviceOptions, ReadEditWrite) {
    ScriptedDeviceHost host;
    Device dev;
    host.script = dev.script();
    DeviceOptions opts(host);
    ASSERT_TRUE(opts.readRecord());
    EXPECT_TRUE(host.busyFlag);
    EXPECT_EQ(opts.record().serialNumber, 0x0102);
    EXPECT_EQ(opts.record().identString, "I");
    auto edited = opts.record();
    edited.serialNumber = 0xBEEF;
    EXPECT_EQ(opts.writeRecord(edited), WriteResult::Written);
    ASSERT_EQ(dev.written.size(), 1u);
    EXPECT_EQ(dev.written[0][10], 0xBE);
    EXPECT_EQ(dev.written[0][11], 0xEF);
    EXPECT_EQ(dev.written[0][12], 'I');
    EXPECT_FALSE(host.open);
    EXPECT_FALSE(host.busyFlag);
    EXPECT_EQ(opts.state(), DeviceOptions::State::Idle);
}

TEST(DeviceOptions, WriteRetries) {
    struct Case {
        const char* name;
        std::vector<int32_t> results;
        bool reopenFails;
        std::vector<WriteResult> expected;
        int opens;
    };
    const Case cases[] = {
        {"device error keeps the port", {4, 0}, false, {WriteResult::Retry, WriteResult::Written}, 1},
        {"no answer reopens the port", {-1, 0}, false, {WriteResult::Retry, WriteResult::Written}, 2},
        {"port does not open again", {-1}, true, {WriteResult::Retry, WriteResult::Ended}, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ScriptedDeviceHost host;
        Device dev;
        dev.writeResults = c.results;
        host.script = dev.script();
        DeviceOptions opts(host);
        ASSERT_TRUE(opts.readRecord());
        std::vector<WriteResult> got;
        for (size_t i = 0; i < c.expected.size(); ++i) {
            host.openFails = c.reopenFails && i > 0;
            got.push_back(opts.writeRecord(opts.record()));
            if (got.back() == WriteResult::Retry) {
                EXPECT_TRUE(host.busyFlag);
            }
        }
        EXPECT_EQ(got, c.expected);
        EXPECT_EQ(host.opens, c.opens);
        EXPECT_FALSE(host.busyFlag);
        EXPECT_FALSE(host.open);
        if (c.reopenFails) {
            ASSERT_EQ(host.messages.size(), 1u);
            EXPECT_EQ(host.messages[0].text, "Не могу открыть порт!");
            EXPECT_EQ(dev.written.size(), 1u);
        }
    }
}

TEST(DeviceOptions, FailedReadOrCancelEndsTheOperation) {
    ScriptedDeviceHost host;
    host.script = [](const ScriptedDeviceHost::ListCall&) { return exchange::ListOutcome{-1, -1, 0}; };
    DeviceOptions opts(host);
    EXPECT_FALSE(opts.readRecord());
    EXPECT_EQ(opts.lastResult(), -1);
    EXPECT_FALSE(host.busyFlag);
    EXPECT_EQ(opts.state(), DeviceOptions::State::Idle);
    EXPECT_EQ(opts.writeRecord({}), WriteResult::Ended);

    ScriptedDeviceHost ok;
    Device dev;
    ok.script = dev.script();
    DeviceOptions opts2(ok);
    ASSERT_TRUE(opts2.readRecord());
    opts2.finish();
    EXPECT_TRUE(dev.written.empty());
    EXPECT_FALSE(ok.open);
    EXPECT_FALSE(ok.busyFlag);
}

TEST(DeviceOptions, EachRunStartsFromAZeroBuffer) {
    ScriptedDeviceHost host;
    int run = 0;
    host.script = [&](const ScriptedDeviceHost::ListCall& call) {
        if (++run == 1)
            call.buffers.receive[100] = 'Z'; // first device leaves a byte in the version text
        return exchange::ListOutcome{};
    };
    DeviceOptions opts(host);
    ASSERT_TRUE(opts.readRecord());
    EXPECT_EQ(opts.record().versionText, "Z");
    opts.finish();
    ASSERT_TRUE(opts.readRecord());
    EXPECT_EQ(opts.record().versionText, "");
}

} // namespace
