#pragma once
// Decoding table for one static Huffman code of an "-lh5-" block (codes of up to 16 bits).
//
// A primary table indexed by the next `primaryBits` bits resolves short codes in one look-up;
// longer codes go through a second table per prefix. Bit patterns that are no code of the table
// (an incomplete code, as a damaged stream may send) decode as an error instead of a symbol.

#include "image/lh5_bit_reader.h"

#include <cstdint>
#include <span>
#include <vector>

namespace image {

class Lh5HuffmanTable {
  public:
    // primaryBits: 1..16, the size of the first-level table (1 << primaryBits entries).
    explicit Lh5HuffmanTable(int primaryBits);

    // Rebuilds the table from code lengths (0 = unused, at most 16; canonical codes as
    // lh5MakeCodes assigns them). Returns false, leaving no usable table, when a length exceeds
    // 16 or the lengths over-fill the code space. An incomplete code is accepted.
    bool build(std::span<const uint8_t> lengths);

    // Every bit pattern decodes to `symbol` without consuming any bits (a table with one symbol).
    void buildSingle(uint16_t symbol);

    // Decodes the next symbol and consumes its bits. Returns -1 (consuming nothing) when the
    // bits are no code of the table or no table was built.
    int decode(Lh5BitReader& in) const {
        const uint32_t bits = in.peek(16);
        uint32_t e = m_primary[bits >> m_shift];
        if (e & kSubtable)
            e = m_secondary[(e & 0xFFFF) + (bits & m_subMask)];
        if (e & kInvalid)
            return -1;
        in.skip(static_cast<int>((e >> 16) & 0x1F));
        return static_cast<int>(e & 0xFFFF);
    }

  private:
    static constexpr uint32_t kSubtable = 1u << 31;
    static constexpr uint32_t kInvalid = 1u << 30;

    int m_primaryBits;
    int m_shift;
    uint32_t m_subMask;
    std::vector<uint32_t> m_primary;   // symbol | length << 16, or offset | kSubtable, or kInvalid
    std::vector<uint32_t> m_secondary; // symbol | length << 16, or kInvalid
};

} // namespace image
