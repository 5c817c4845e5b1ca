#include "base/crc_generator.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

namespace {

struct Setting {
    int32_t width;
    uint32_t polynom;
    uint32_t initial;
    bool reflected;
    bool swap;
    uint32_t xorValue;
};

// Adding a buffer at once must give exactly what adding its bytes one by one gives, for every
// length around the four-byte steps and for registers whose upper bits are set.
TEST(CrcBulk, AddBytesEqualsByteByByte) {
    const Setting settings[] = {
        {16, 0x8005, 0xFFFF, true, true, 0},           // MODBUS
        {16, 0x8005, 0, true, false, 0},               // ARC
        {16, 0x8408, 0, true, false, 0},               // as the panel's XMODEM entry
        {16, 0x1021, 0xFFFF, false, false, 0},         // not reflected: byte by byte
        {16, 0x8005, 0xFFFFFFFF, true, false, 0x1234}, // initial wider than the CRC
        {32, 0x04C11DB7, 0xFFFFFFFF, true, false, 0xFFFFFFFF},
        {32, 0x04C11DB7, 0xFFFFFFFF, false, true, 0},
        {24, 0x864CFB, 0xB704CE, true, false, 0}, // computes nothing
    };
    std::mt19937 rng(7);
    std::vector<uint8_t> data(300);
    for (auto& b : data)
        b = static_cast<uint8_t>(rng());
    for (const auto& s : settings) {
        for (size_t length : {size_t{0}, size_t{1}, size_t{3}, size_t{4}, size_t{5}, size_t{7}, size_t{8},
                              size_t{9}, size_t{255}, size_t{300}}) {
            base::TCRCGenerator bulk(s.width, s.polynom, s.initial, s.reflected, s.swap, s.xorValue);
            base::TCRCGenerator single(s.width, s.polynom, s.initial, s.reflected, s.swap, s.xorValue);
            // Start both from a register a previous call left behind.
            bulk.AddByte(0x5A);
            single.AddByte(0x5A);
            bulk.AddBytes(data.data(), static_cast<int64_t>(length));
            for (size_t i = 0; i < length; ++i)
                single.AddByte(data[i]);
            EXPECT_EQ(bulk.CRC(), single.CRC())
                << "width " << s.width << " poly " << s.polynom << " length " << length;
            EXPECT_EQ(bulk.Register(), single.Register());
        }
    }
}

} // namespace
