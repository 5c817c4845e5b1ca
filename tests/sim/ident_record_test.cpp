#include "sim/ident_record.h"
#include "sim/sim_device.h"

#include <gtest/gtest.h>

#include <string>

namespace {

sim::IdentRecord recordWithLength(std::uint8_t length) {
    sim::IdentRecord rec{};
    rec.fill(' ');
    rec[4] = 17;
    rec[5] = length;
    rec[10] = 0xFF;
    rec[11] = 0xFE;
    return rec;
}

} // namespace

TEST(IdentRecord, LayoutFollowsTheClampedLength) {
    struct Case {
        std::uint8_t length;
        std::size_t versionAt; // first byte of the version text
    };
    // L below 6 must never move the version text over the fixed fields at 4..11.
    for (const Case& c : std::vector<Case>{{0, 12}, {5, 12}, {6, 12}, {7, 13}, {128, 134}, {200, 134}}) {
        sim::IdentRecord rec = recordWithLength(c.length);
        for (std::size_t i = 12; i < c.versionAt; ++i)
            rec[i] = 'I';
        for (std::size_t i = c.versionAt; i < sim::kRecordSize; ++i)
            rec[i] = 'V';
        EXPECT_EQ(sim::effectiveLength(c.length) + 6, c.versionAt) << int(c.length);
        EXPECT_EQ(sim::identText(rec), std::string(c.versionAt - 12, 'I')) << int(c.length);
        EXPECT_EQ(sim::versionText(rec), std::string(sim::kRecordSize - c.versionAt, 'V')) << int(c.length);
    }
}

TEST(IdentRecord, TextsStopAtEmptyBytesAndLoseTrailingBlanks) {
    sim::IdentRecord rec = recordWithLength(20);
    const std::string abc = "ABC";
    std::copy(abc.begin(), abc.end(), rec.begin() + 12);
    std::fill(rec.begin() + 15, rec.begin() + 26, 0xFF);
    EXPECT_EQ(sim::identText(rec), "ABC");
    rec[15] = ' ';
    rec[16] = 0x00;
    EXPECT_EQ(sim::identText(rec), "ABC");
}

TEST(IdentRecord, SetIdentTextMovesTheVersionTextAndKeepsTheFixedFields) {
    sim::RecordFields fields;
    fields.networkNumber = 0x22;
    fields.deviceId = 7;
    fields.tableAddress = 0x1A2B;
    fields.serial = 65535;
    fields.identText = "Short";
    fields.versionText = "Version 1.2";
    sim::IdentRecord rec = sim::makeRecord(fields);
    EXPECT_EQ(rec[5], 11);
    EXPECT_EQ(rec[8], 0x1A);
    EXPECT_EQ(rec[9], 0x2B);
    EXPECT_EQ(rec[10], 0xFF);
    EXPECT_EQ(rec[11], 0xFF);

    for (const std::string& text : {std::string(), std::string(122, 'x'), std::string(130, 'y')}) {
        sim::setIdentText(rec, text);
        const std::string kept = text.substr(0, 122);
        EXPECT_EQ(rec[5], 6 + kept.size());
        EXPECT_EQ(sim::identText(rec), kept);
        EXPECT_EQ(sim::versionText(rec), "Version 1.2");
        EXPECT_EQ(rec[4], 0x22);
        EXPECT_EQ(rec[6], 7);
        EXPECT_EQ(sim::serialNumber(rec), 65535);
    }
    // With the longest string the version text has 122 bytes of room.
    sim::setIdentText(rec, std::string(122, 'x'));
    EXPECT_EQ(rec[133], 'x');
    EXPECT_EQ(rec[134], 'V');
}

TEST(IdentRecord, SearchBlockCarriesSerialAndTextFromOffsetSix) {
    for (std::uint8_t length : {0, 6, 9, 128}) {
        sim::IdentRecord rec = recordWithLength(length);
        const std::size_t room = sim::effectiveLength(length) - 6;
        std::fill(rec.begin() + 12, rec.begin() + 12 + room, 'T');
        const auto block = sim::searchBlock(rec);
        ASSERT_EQ(block.size(), 7 + room) << int(length);
        ASSERT_LE(block.size(), 129u);
        EXPECT_EQ(block[0], 17);
        EXPECT_EQ(block[2], length);
        EXPECT_EQ(block[4] * 256 + block[5], 0xFFFE);
        EXPECT_EQ(std::string(block.begin() + 6, block.end() - 1), std::string(room, 'T'));
        EXPECT_EQ(block.back(), 0x00);
    }
}
