#pragma once
// Deterministic sample contents for codec tests and benchmarks. Header-only.

#include <algorithm>
#include <cstdint>
#include <random>
#include <vector>

namespace testsupport {

// Uniformly random bytes: incompressible.
inline std::vector<uint8_t> randomBytes(size_t size, uint32_t seed = 1) {
    std::mt19937 rng(seed);
    std::vector<uint8_t> out(size);
    for (auto& b : out)
        b = static_cast<uint8_t>(rng());
    return out;
}

// Bytes shaped like compiled code: a skewed instruction alphabet, short repeated idioms at
// varying distances and little-endian addresses that drift slowly.
inline std::vector<uint8_t> codeLikeBytes(size_t size, uint32_t seed = 7) {
    std::mt19937 rng(seed);
    std::vector<uint8_t> out;
    out.reserve(size);
    uint32_t address = 0x08000000;
    while (out.size() < size) {
        const uint32_t pick = rng() % 16;
        if (pick < 7) {
            static constexpr uint8_t kOps[] = {0x48, 0x89, 0x8B, 0xE8, 0xC3, 0x0F,
                                               0x85, 0x74, 0x83, 0xFF, 0x00, 0x45};
            out.push_back(kOps[rng() % (rng() % 2 ? 4 : sizeof kOps)]);
        } else if (pick < 11 && out.size() > 64) {
            // Repeat an earlier idiom.
            const size_t back = 1 + rng() % std::min<size_t>(out.size() - 1, 6000);
            const size_t len = 3 + rng() % 20;
            const size_t from = out.size() - back;
            for (size_t i = 0; i < len && out.size() < size; ++i)
                out.push_back(out[from + i]);
        } else if (pick < 13) {
            address += rng() % 64;
            for (int i = 0; i < 4; ++i)
                out.push_back(static_cast<uint8_t>(address >> (8 * i)));
        } else {
            out.push_back(static_cast<uint8_t>(rng()));
        }
    }
    out.resize(size);
    return out;
}

// A firmware image: code in the first part, a text table, then erased flash (0xFF).
inline std::vector<uint8_t> firmwareImage(size_t size, uint32_t seed = 11) {
    std::vector<uint8_t> out = codeLikeBytes(size * 5 / 8, seed);
    static constexpr char kText[] = "Device ready; error %d at address 0x%08X; calibration table v2\n";
    while (out.size() < size * 3 / 4)
        out.insert(out.end(), kText, kText + sizeof kText - 1);
    out.resize(size, 0xFF);
    return out;
}

} // namespace testsupport
