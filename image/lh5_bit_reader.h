#pragma once
// Reads an "-lh5-" bit stream (most significant bit first) from a byte span.
//
// The reader never touches memory outside the span: past its end it supplies zero bits and
// remembers that it did, so a decoder can run its fast path without bounds checks and ask
// `overrun()` at its checkpoints.

#include <bit>
#include <cstdint>
#include <cstring>
#include <span>

namespace image {

class Lh5BitReader {
  public:
    explicit Lh5BitReader(std::span<const uint8_t> in) : m_data(in.data()), m_size(in.size()) { refill(); }

    // The next `count` bits (1..32) without consuming them.
    uint32_t peek(int count) const { return static_cast<uint32_t>(m_buf >> (64 - count)); }

    // Consumes `count` bits (0..32). At least 32 bits are always buffered after a call.
    void skip(int count) {
        m_buf <<= count;
        m_count -= count;
        if (m_count < 32)
            refill();
    }

    // Reads `count` bits (0..32) as a number.
    uint32_t getBits(int count) {
        if (count == 0)
            return 0;
        const uint32_t v = peek(count);
        skip(count);
        return v;
    }

    // True once a bit beyond the end of the input has been consumed.
    bool overrun() const { return m_count < m_padBits; }

  private:
    void refill() {
        static_assert(std::endian::native == std::endian::little, "the word load assumes little-endian");
        if (m_pos + 8 <= m_size) {
            // Whole-word load: takes as many bytes as fit; the bits below m_count it repeats are
            // the same stream bits, so OR-ing them is harmless.
            uint64_t word;
            std::memcpy(&word, m_data + m_pos, 8);
            word = __builtin_bswap64(word);
            m_buf |= word >> m_count;
            m_pos += static_cast<size_t>((63 - m_count) >> 3);
            m_count |= 56;
            return;
        }
        while (m_count <= 56) {
            if (m_pos < m_size) {
                m_buf |= static_cast<uint64_t>(m_data[m_pos++]) << (56 - m_count);
            } else {
                m_padBits += 8;
            }
            m_count += 8;
        }
    }

    const uint8_t* m_data;
    size_t m_size;
    size_t m_pos = 0;
    uint64_t m_buf = 0; // the next bits, first one at bit 63; m_count of them are valid
    int m_count = 0;
    int64_t m_padBits = 0; // zero bits supplied past the end, at the bottom of the buffer
};

} // namespace image
