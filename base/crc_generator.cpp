#include "base/crc_generator.h"

namespace base {

uint32_t reflectBits(uint32_t value, int bits) {
    if (bits < 1 || bits > 32)
        return 0;
    uint32_t out = 0;
    for (int i = 0; i < bits; ++i)
        if (value & (uint32_t{1} << i))
            out |= uint32_t{1} << (bits - 1 - i);
    return out;
}

TCRCGenerator::TCRCGenerator() {
    rebuild();
}

TCRCGenerator::TCRCGenerator(int32_t width, uint32_t polynom, uint32_t initial, bool reflected,
                             bool tableSwap, uint32_t xorValue)
    : m_width(width), m_polynom(polynom), m_initial(initial), m_reflected(reflected), m_tableSwap(tableSwap),
      m_xorValue(xorValue) {
    rebuild();
}

void TCRCGenerator::setWidth(int32_t width) {
    m_width = width;
    rebuild();
}

void TCRCGenerator::setPolynom(uint32_t polynom) {
    m_polynom = polynom;
    rebuild();
}

void TCRCGenerator::setInitial(uint32_t initial) {
    m_initial = initial;
    rebuild();
}

void TCRCGenerator::setReflected(bool reflected) {
    m_reflected = reflected;
    rebuild();
}

void TCRCGenerator::setTableSwap(bool tableSwap) {
    m_tableSwap = tableSwap;
    rebuild();
}

void TCRCGenerator::setXORvalue(uint32_t xorValue) {
    m_xorValue = xorValue;
    rebuild();
}

void TCRCGenerator::SetParameters(int32_t width, uint32_t polynom, uint32_t xorValue, bool tableSwap,
                                  bool reflected, uint32_t initial) {
    m_width = width;
    m_polynom = polynom;
    m_xorValue = xorValue;
    m_tableSwap = tableSwap;
    m_reflected = reflected;
    m_initial = initial;
    rebuild();
}

void TCRCGenerator::rebuild() {
    m_table.fill(0);
    // Only 16 and 32 bits are computed; any other width would need shifts by negative or
    // oversized counts, so it gets no table and adding bytes leaves the register alone.
    if (m_width == 16 || m_width == 32) {
        const uint32_t top = uint32_t{1} << (m_width - 1);
        const uint32_t mask = m_width == 32 ? 0xFFFFFFFFu : 0xFFFFu;
        for (uint32_t b = 0; b < 256; ++b) {
            uint32_t r = (m_reflected ? reflectBits(b, 8) : b) << (m_width - 8);
            for (int i = 0; i < 8; ++i)
                r = (r & top) ? (r << 1) ^ m_polynom : r << 1;
            m_table[b] = (m_reflected ? reflectBits(r, m_width) : r) & mask;
        }
    }
    for (uint32_t b = 0; b < 256; ++b) {
        uint32_t r = m_table[b];
        for (auto& slice : m_slices) {
            r = m_table[r & 0xFFu] ^ (r >> 8);
            slice[b] = r;
        }
    }
    Reset();
}

void TCRCGenerator::Reset() {
    m_register = m_initial;
    updateOutput();
}

void TCRCGenerator::updateOutput() {
    uint32_t out = m_register ^ m_xorValue;
    if (m_tableSwap)
        out = (out >> 8) | ((out << 8) & 0xFFFFu);
    m_crc = out;
}

uint32_t TCRCGenerator::AddByte(uint8_t byte) {
    uint32_t r = m_register;
    if (m_width == 16) {
        if (m_reflected)
            r = m_table[(byte ^ r) & 0xFFu] ^ (r >> 8);
        else
            r = ((r << 8) & 0xFFFFu) ^ m_table[((r >> 8) ^ byte) & 0xFFu];
    } else if (m_width == 32) {
        if (m_reflected)
            r = m_table[(byte ^ r) & 0xFFu] ^ (r >> 8);
        else
            r = (r << 8) ^ m_table[((r >> 24) ^ byte) & 0xFFu];
    }
    m_register = r;
    updateOutput();
    return m_crc;
}

uint32_t TCRCGenerator::AddBytes(const uint8_t* bytes, int64_t length) {
    if (bytes == nullptr || length <= 0)
        return m_crc;
    if (!m_reflected || (m_width != 16 && m_width != 32)) {
        for (int64_t i = 0; i < length; ++i)
            AddByte(bytes[i]);
        return m_crc;
    }
    // The reflected step is linear in the 32-bit register, so four steps collapse into four table
    // look-ups; this holds for the 16-bit tables too, whatever the register's upper bits hold.
    uint32_t r = m_register;
    int64_t i = 0;
    for (; i + 4 <= length; i += 4) {
        r ^= uint32_t{bytes[i]} | uint32_t{bytes[i + 1]} << 8 | uint32_t{bytes[i + 2]} << 16 |
             uint32_t{bytes[i + 3]} << 24;
        r = m_slices[2][r & 0xFFu] ^ m_slices[1][(r >> 8) & 0xFFu] ^ m_slices[0][(r >> 16) & 0xFFu] ^
            m_table[r >> 24];
    }
    for (; i < length; ++i)
        r = m_table[(bytes[i] ^ r) & 0xFFu] ^ (r >> 8);
    m_register = r;
    updateOutput();
    return m_crc;
}

TCRC32Generator::TCRC32Generator() : TCRCGenerator(32, 0x04C11DB7u, 0xFFFFFFFFu, true, false, 0xFFFFFFFFu) {}

} // namespace base
