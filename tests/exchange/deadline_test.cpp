#include "exchange/deadline.h"
#include "exchange/wire_time.h"

#include <gtest/gtest.h>

using namespace std::chrono_literals;
using exchange::Deadline;
using exchange::SteadyClock;

TEST(TransferBudget, FollowsThePerByteRule) {
    struct Case {
        std::int32_t perByte;
        std::size_t count;
        std::chrono::milliseconds expected;
    };
    const Case cases[] = {
        {20, 1, 40ms}, // a single-byte read waits at most twice the timeout
        {1000, 1, 2000ms},     {1000, 0, 1000ms}, {5, 2200, 11005ms},
        {0, 100, 0ms},         {-5, 100, 0ms}, // no negative waits
        {1000, SIZE_MAX, 24h},                 // saturates instead of wrapping around
        {INT32_MAX, 2, 24h},
    };
    for (const auto& c : cases)
        EXPECT_EQ(exchange::transferBudget(c.perByte, c.count), c.expected) << c.perByte << " x " << c.count;
}

TEST(Deadline, RemainingNeverNegativeAndPollTimeoutRoundsUp) {
    const auto t0 = SteadyClock::now();
    const Deadline d = Deadline::after(10ms, t0);
    EXPECT_EQ(d.remaining(t0), 10ms);
    EXPECT_EQ(d.remaining(t0 + 15ms), 0ms);
    EXPECT_TRUE(d.expired(t0 + 10ms));
    EXPECT_FALSE(d.expired(t0 + 9ms));
    // 8.5 ms left must not become an 8 ms poll that wakes up before the deadline.
    EXPECT_EQ(d.pollTimeout(t0 + 1500us), 9);
    EXPECT_EQ(d.pollTimeout(t0 + 1s), 0);
    EXPECT_EQ(Deadline::after(-5ms, t0).remaining(t0), 0ms);
    EXPECT_EQ(Deadline::after(std::chrono::milliseconds(1LL << 40), t0).pollTimeout(t0), INT32_MAX);
}

TEST(Deadline, CappedTakesTheEarlierPoint) {
    const auto t0 = SteadyClock::now();
    const Deadline total = Deadline::after(100ms, t0);
    EXPECT_EQ(total.capped(20ms, t0).when(), t0 + 20ms);
    EXPECT_EQ(total.capped(500ms, t0).when(), total.when());
    EXPECT_EQ(total.capped(20ms, t0 + 90ms).when(), total.when());
}

// Wire time of a frame, from the line format: start bit, eight data bits, parity, stop bits.
TEST(WireTime, FromTheLineFormat) {
    struct Case {
        std::size_t bytes;
        std::uint32_t baud;
        bool parity;
        int stopTenths;
        long long micros;
    };
    const Case cases[] = {
        {138, 9600, false, 10, 143750}, // a 128-byte page frame, 8N1
        {138, 9600, true, 10, 158125},  // 8E1
        {138, 9600, false, 20, 158125}, // 8N2
        {10, 115200, false, 10, 869},   // 868.06, rounded up
        {1, 0, false, 10, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.bytes);
        EXPECT_EQ(
            exchange::wireTime(c.bytes, c.baud, exchange::characterTenthBits(c.parity, c.stopTenths)).count(),
            c.micros);
    }
}
