#pragma once
// Writes a bit stream most significant bit first, the bit order of the "-lh5-" method.

#include <cstddef>
#include <cstdint>
#include <vector>

namespace image {

class Lh5BitWriter {
  public:
    // Appends to `out`; the bytes written before stay untouched.
    explicit Lh5BitWriter(std::vector<uint8_t>& out) : m_out(out) {}
    Lh5BitWriter(const Lh5BitWriter&) = delete;
    Lh5BitWriter& operator=(const Lh5BitWriter&) = delete;

    // Writes the low `count` bits of `value` (count 0..32), highest first.
    void putBits(int count, uint32_t value) {
        if (count == 0)
            return;
        m_acc = (m_acc << count) | (value & (0xFFFFFFFFu >> (32 - count)));
        m_pending += count;
        while (m_pending >= 8) {
            m_pending -= 8;
            m_out.push_back(static_cast<uint8_t>(m_acc >> m_pending));
        }
    }

    // Pads the last byte with zero bits. Returns the number of padding bits written (0..7).
    int flush() {
        const int pad = (8 - m_pending) & 7;
        putBits(pad, 0);
        return pad;
    }

    // Number of bits written so far, the pending ones included.
    uint64_t bitCount() const { return (m_out.size() - m_start) * 8 + static_cast<uint64_t>(m_pending); }

  private:
    std::vector<uint8_t>& m_out;
    size_t m_start = m_out.size();
    uint64_t m_acc = 0; // the low m_pending bits are not yet in m_out
    int m_pending = 0;
};

} // namespace image
