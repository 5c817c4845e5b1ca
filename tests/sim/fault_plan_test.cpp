#include "sim/fault_plan.h"

#include <gtest/gtest.h>

TEST(FaultPlan, FrameRanges) {
    struct Case {
        const char* text;
        bool ok;
        std::uint64_t first, last;
    };
    const Case cases[] = {
        {"3", true, 3, 3},           {"3-", true, 3, 0},  {"3-5", true, 3, 5},
        {"0x10-0x11", true, 16, 17}, {"0", false, 0, 0},  {"5-3", false, 0, 0},
        {"", false, 0, 0},           {"-3", false, 0, 0}, {"3-x", false, 0, 0},
        {"1 ", false, 0, 0},         {"0-", false, 0, 0}, {"99999999999999999999", false, 0, 0},
    };
    for (const auto& c : cases) {
        std::string error;
        const auto range = sim::parseFrameRange(c.text, error);
        ASSERT_EQ(range.has_value(), c.ok) << c.text;
        if (range) {
            EXPECT_EQ(range->first, c.first) << c.text;
            EXPECT_EQ(range->last, c.last) << c.text;
        } else {
            EXPECT_NE(error.find(c.text), std::string::npos) << error;
        }
    }
}

TEST(FaultPlan, ErrorRules) {
    struct Case {
        const char* text;
        bool ok;
        std::uint8_t function, code;
        std::uint64_t first, last;
    };
    const Case cases[] = {
        {"0x43:4", true, 0x43, 4, 1, 0},       {"0x43:4:3-", true, 0x43, 4, 3, 0},
        {"67:0x10:2-4", true, 0x43, 16, 2, 4}, {"0x80:4", false, 0, 0, 0, 0},
        {"0x43", false, 0, 0, 0, 0},           {"0x43:256", false, 0, 0, 0, 0},
        {"0x43:4:0", false, 0, 0, 0, 0},       {":4", false, 0, 0, 0, 0},
    };
    for (const auto& c : cases) {
        std::string error;
        const auto rule = sim::parseErrorRule(c.text, error);
        ASSERT_EQ(rule.has_value(), c.ok) << c.text;
        if (!rule) {
            EXPECT_FALSE(error.empty());
            continue;
        }
        EXPECT_EQ(rule->function, c.function) << c.text;
        EXPECT_EQ(rule->code, c.code) << c.text;
        EXPECT_EQ(rule->range.first, c.first) << c.text;
        EXPECT_EQ(rule->range.last, c.last) << c.text;
    }
}
