#include "image/lh5_match_finder.h"

#include "image/lh5_constants.h"

#include <algorithm>
#include <bit>
#include <cstring>

namespace image {

namespace {

constexpr int kHashBits = 15;
constexpr uint32_t kRingSize = 2 * kLh5DictionarySize;
constexpr uint32_t kRingMask = kRingSize - 1;

} // namespace

Lh5MatchFinder::Lh5MatchFinder(std::span<const uint8_t> data, uint32_t maxChain)
    : m_data(data), m_maxChain(maxChain), m_head(size_t{1} << kHashBits, -1), m_prev(kRingSize, -1) {}

uint32_t Lh5MatchFinder::hashAt(size_t pos) const {
    const uint32_t v = static_cast<uint32_t>(m_data[pos]) | (static_cast<uint32_t>(m_data[pos + 1]) << 8) |
                       (static_cast<uint32_t>(m_data[pos + 2]) << 16);
    return (v * 2654435761u) >> (32 - kHashBits);
}

uint32_t Lh5MatchFinder::matchLength(size_t a, size_t b, uint32_t limit) const {
    static_assert(std::endian::native == std::endian::little, "the first differing byte is the lowest");
    const uint8_t* p = m_data.data();
    uint32_t len = 0;
    while (len + 8 <= limit) {
        uint64_t x;
        uint64_t y;
        std::memcpy(&x, p + a + len, 8);
        std::memcpy(&y, p + b + len, 8);
        if (x != y)
            return len + static_cast<uint32_t>(std::countr_zero(x ^ y) >> 3);
        len += 8;
    }
    while (len < limit && p[a + len] == p[b + len])
        ++len;
    return len;
}

void Lh5MatchFinder::insert(size_t pos) {
    if (pos + kLh5MinMatch > m_data.size())
        return;
    const uint32_t h = hashAt(pos);
    m_prev[pos & kRingMask] = m_head[h];
    m_head[h] = static_cast<int32_t>(pos);
}

Lh5Match Lh5MatchFinder::findAndInsert(size_t pos) {
    Lh5Match best;
    if (pos + kLh5MinMatch > m_data.size())
        return best;
    const uint32_t limit = static_cast<uint32_t>(std::min<size_t>(kLh5MaxMatch, m_data.size() - pos));
    const uint32_t h = hashAt(pos);
    const uint8_t* p = m_data.data();
    int32_t cand = m_head[h];
    uint32_t bestLen = kLh5MinMatch - 1;
    for (uint32_t tries = m_maxChain; cand >= 0 && tries > 0; --tries) {
        const size_t distance = pos - static_cast<size_t>(cand);
        if (distance > kLh5DictionarySize)
            break;
        // The byte that would make this candidate longer than the best one decides first.
        if (p[cand + bestLen] == p[pos + bestLen] && p[cand] == p[pos]) {
            const uint32_t len = matchLength(static_cast<size_t>(cand), pos, limit);
            if (len > bestLen) {
                bestLen = len;
                best = {len, static_cast<uint32_t>(distance)};
                if (len == limit)
                    break;
            }
        }
        cand = m_prev[static_cast<size_t>(cand) & kRingMask];
    }
    m_prev[pos & kRingMask] = m_head[h];
    m_head[h] = static_cast<int32_t>(pos);
    return best;
}

} // namespace image
