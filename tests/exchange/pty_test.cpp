#include "support/pty.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <chrono>

using namespace std::chrono_literals;
using testsupport::PseudoTerminal;

TEST(PseudoTerminal, BytesCrossBothWaysUnchanged) {
    PseudoTerminal pty;
    ASSERT_FALSE(pty.slavePath().empty());
    // Raw mode: CR, LF, 0x00, 0x03 (^C), 0x11/0x13 (XON/XOFF) and 0xFF arrive as they are.
    const std::vector<std::uint8_t> bytes{0x0D, 0x0A, 0x00, 0x03, 0x11, 0x13, 0x7F, 0xFF};
    ASSERT_TRUE(pty.write(bytes));
    std::vector<std::uint8_t> got(bytes.size());
    std::size_t have = 0;
    while (have < got.size()) {
        ssize_t n = ::read(pty.slaveFd(), got.data() + have, got.size() - have);
        ASSERT_GT(n, 0);
        have += static_cast<std::size_t>(n);
    }
    EXPECT_EQ(got, bytes);

    ASSERT_EQ(::write(pty.slaveFd(), bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
    EXPECT_EQ(pty.read(bytes.size(), 1s), bytes);
}

TEST(PseudoTerminal, ReadsEndAtTimeoutOrGap) {
    PseudoTerminal pty;
    EXPECT_TRUE(pty.read(1, 30ms).empty());
    EXPECT_TRUE(pty.readUntilGap(30ms).empty());
    ASSERT_EQ(::write(pty.slaveFd(), "abc", 3), 3);
    auto got = pty.readUntilGap(50ms);
    EXPECT_EQ(std::string(got.begin(), got.end()), "abc");
    ASSERT_EQ(::write(pty.slaveFd(), "xyz", 3), 3);
    pty.drain();
    EXPECT_TRUE(pty.read(1, 20ms).empty());
}
