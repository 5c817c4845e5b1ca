#include "image/lh5_huffman_table.h"

#include "image/lh5_constants.h"

#include <algorithm>
#include <array>

namespace image {

Lh5HuffmanTable::Lh5HuffmanTable(int primaryBits)
    : m_primaryBits(primaryBits), m_shift(kLh5MaxCodeLength - primaryBits),
      m_subMask((1u << (kLh5MaxCodeLength - primaryBits)) - 1),
      m_primary(size_t{1} << primaryBits, kInvalid) {}

bool Lh5HuffmanTable::build(std::span<const uint8_t> lengths) {
    std::fill(m_primary.begin(), m_primary.end(), kInvalid);
    m_secondary.clear();

    std::array<uint32_t, kLh5MaxCodeLength + 1> count{};
    for (uint8_t len : lengths) {
        if (len > kLh5MaxCodeLength)
            return false;
        ++count[len];
    }
    count[0] = 0;
    // Check the Kraft sum before filling anything, so an over-full code never writes outside
    // the tables.
    uint64_t used = 0;
    for (int len = 1; len <= kLh5MaxCodeLength; ++len)
        used += static_cast<uint64_t>(count[len]) << (kLh5MaxCodeLength - len);
    if (used > (uint64_t{1} << kLh5MaxCodeLength))
        return false;

    std::array<uint32_t, kLh5MaxCodeLength + 2> nextCode{};
    for (int len = 1; len <= kLh5MaxCodeLength; ++len)
        nextCode[len + 1] = (nextCode[len] + count[len]) << 1;

    const uint32_t subSize = m_subMask + 1;
    for (size_t s = 0; s < lengths.size(); ++s) {
        const int len = lengths[s];
        if (len == 0)
            continue;
        const uint32_t code = nextCode[len]++;
        const uint32_t entry = static_cast<uint32_t>(s) | (static_cast<uint32_t>(len) << 16);
        if (len <= m_primaryBits) {
            const uint32_t first = code << (m_primaryBits - len);
            std::fill_n(m_primary.begin() + first, size_t{1} << (m_primaryBits - len), entry);
            continue;
        }
        const uint32_t prefix = code >> (len - m_primaryBits);
        if (!(m_primary[prefix] & kSubtable)) {
            m_primary[prefix] = static_cast<uint32_t>(m_secondary.size()) | kSubtable;
            m_secondary.resize(m_secondary.size() + subSize, kInvalid);
        }
        const uint32_t base = m_primary[prefix] & 0xFFFF;
        const uint32_t first = (code << (kLh5MaxCodeLength - len)) & m_subMask;
        std::fill_n(m_secondary.begin() + base + first, size_t{1} << (kLh5MaxCodeLength - len), entry);
    }
    return true;
}

void Lh5HuffmanTable::buildSingle(uint16_t symbol) {
    std::fill(m_primary.begin(), m_primary.end(), static_cast<uint32_t>(symbol));
    m_secondary.clear();
}

} // namespace image
