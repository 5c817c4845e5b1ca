#include "image/lh5_huffman_code.h"

#include "image/lh5_constants.h"

#include <algorithm>
#include <array>
#include <vector>

namespace image {

namespace {

struct Leaf {
    uint32_t freq;
    uint16_t symbol;
};

// Depths of an unrestricted Huffman tree over `leaves` (sorted by ascending frequency), by the
// two-queue method: leaves and merged nodes are both taken in ascending weight order.
std::vector<int> huffmanDepths(const std::vector<Leaf>& leaves) {
    const size_t n = leaves.size();
    std::vector<uint64_t> weight(2 * n - 1);
    std::vector<size_t> parent(2 * n - 1, 0);
    for (size_t i = 0; i < n; ++i)
        weight[i] = leaves[i].freq;
    size_t nextLeaf = 0;
    size_t nextNode = n;
    auto takeSmallest = [&](size_t made) {
        if (nextLeaf < n && (nextNode >= made || weight[nextLeaf] <= weight[nextNode]))
            return nextLeaf++;
        return nextNode++;
    };
    for (size_t made = n; made < 2 * n - 1; ++made) {
        const size_t a = takeSmallest(made);
        const size_t b = takeSmallest(made);
        weight[made] = weight[a] + weight[b];
        parent[a] = made;
        parent[b] = made;
    }
    // Nodes are created in order, so a parent always has a higher index than its children.
    std::vector<int> depth(2 * n - 1, 0);
    for (size_t i = 2 * n - 1; i-- > 0;)
        if (i != 2 * n - 2)
            depth[i] = depth[parent[i]] + 1;
    depth.resize(n);
    return depth;
}

} // namespace

int lh5BuildCodeLengths(std::span<const uint32_t> freq, std::span<uint8_t> lengths) {
    std::fill(lengths.begin(), lengths.end(), uint8_t{0});
    std::vector<Leaf> leaves;
    for (size_t s = 0; s < freq.size(); ++s)
        if (freq[s] != 0)
            leaves.push_back({freq[s], static_cast<uint16_t>(s)});
    if (leaves.size() < 2)
        return static_cast<int>(leaves.size());
    std::stable_sort(leaves.begin(), leaves.end(),
                     [](const Leaf& a, const Leaf& b) { return a.freq < b.freq; });

    const std::vector<int> depth = huffmanDepths(leaves);
    std::array<uint32_t, kLh5MaxCodeLength + 1> count{};
    for (int d : depth)
        ++count[std::min(d, kLh5MaxCodeLength)];

    // Folding deeper leaves up to 16 bits over-fills the code space; each step moves one leaf
    // down from the deepest shorter level to make room for one 16-bit leaf.
    uint64_t kraft = 0;
    for (int len = 1; len <= kLh5MaxCodeLength; ++len)
        kraft += static_cast<uint64_t>(count[len]) << (kLh5MaxCodeLength - len);
    const uint64_t full = uint64_t{1} << kLh5MaxCodeLength;
    while (kraft > full) {
        --count[kLh5MaxCodeLength];
        for (int len = kLh5MaxCodeLength - 1; len > 0; --len) {
            if (count[len] != 0) {
                --count[len];
                count[len + 1] += 2;
                break;
            }
        }
        --kraft;
    }

    // Rarest symbols get the longest codes.
    size_t next = 0;
    for (int len = kLh5MaxCodeLength; len > 0; --len)
        for (uint32_t k = 0; k < count[len]; ++k)
            lengths[leaves[next++].symbol] = static_cast<uint8_t>(len);
    return static_cast<int>(leaves.size());
}

void lh5MakeCodes(std::span<const uint8_t> lengths, std::span<uint16_t> codes) {
    std::array<uint32_t, kLh5MaxCodeLength + 2> count{};
    for (uint8_t len : lengths)
        ++count[len];
    count[0] = 0;
    std::array<uint32_t, kLh5MaxCodeLength + 2> nextCode{};
    for (int len = 1; len <= kLh5MaxCodeLength; ++len)
        nextCode[len + 1] = (nextCode[len] + count[len]) << 1;
    for (size_t s = 0; s < lengths.size(); ++s)
        codes[s] = lengths[s] == 0 ? 0 : static_cast<uint16_t>(nextCode[lengths[s]]++);
}

} // namespace image
