#pragma once
// Collects the literals and matches of the "-lh5-" compressor into blocks and sends each block
// with its static Huffman tables: the character/length table (sent through the code-length
// table), then the position table, then the codes.

#include "image/lh5_bit_writer.h"
#include "image/lh5_constants.h"

#include <array>
#include <cstdint>
#include <vector>

namespace image {

class Lh5BlockEncoder {
  public:
    explicit Lh5BlockEncoder(Lh5BitWriter& out) : m_out(out) {}
    Lh5BlockEncoder(const Lh5BlockEncoder&) = delete;
    Lh5BlockEncoder& operator=(const Lh5BlockEncoder&) = delete;

    void literal(uint8_t byte) {
        startCode(1);
        m_codes.push_back({byte, 0});
        ++m_charFreq[byte];
    }

    // length 3..256, distance 1..8192.
    void match(uint32_t length, uint32_t distance) {
        startCode(3);
        const uint16_t code = static_cast<uint16_t>(length + kLh5LengthCodeOffset);
        const uint16_t position = static_cast<uint16_t>(distance - 1);
        m_codes.push_back({code, position});
        ++m_charFreq[code];
        ++m_positionFreq[positionCode(position)];
    }

    // Sends what is left and pads the last byte with zero bits.
    void finish();

    // Bit length of a position (distance - 1): the position code, 0..13.
    static int positionCode(uint32_t position) {
        int bits = 0;
        while (position != 0) {
            position >>= 1;
            ++bits;
        }
        return bits;
    }

  private:
    struct Code {
        uint16_t charCode; // literal byte, or match length + 253
        uint16_t position; // distance - 1, for matches
    };

    // Accounts one code in the block buffer: a flag byte opens each group of eight codes, and a
    // full buffer is sent when a new group would start.
    void startCode(size_t bytes) {
        if (m_codes.size() % 8 == 0) {
            if (m_bufferUsed >= kLh5BlockBufferSize - kLh5BlockBufferReserve)
                sendBlock();
            ++m_bufferUsed;
        }
        m_bufferUsed += bytes;
    }

    void sendBlock();

    Lh5BitWriter& m_out;
    std::vector<Code> m_codes;
    size_t m_bufferUsed = 0;
    std::array<uint32_t, kLh5CharCodes> m_charFreq{};
    std::array<uint32_t, kLh5PositionCodes> m_positionFreq{};
};

} // namespace image
