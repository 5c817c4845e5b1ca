#pragma once
// The compatibility list block: further hardware identifiers an image accepts.
//
// Layout for N entries (20 + 2N bytes): "<CLIST>", N (1 byte), N 16-bit identifiers low byte
// first, the standard CRC-32 of the N byte and the entries (1 + 2N bytes, little-endian),
// "</CLIST>".

#include <cstddef>
#include <cstdint>
#include <vector>

namespace image {

struct CompatListMatch {
    int32_t position = -1; // offset of the block in the buffer searched, -1 = none
    std::vector<uint16_t> entries;
    bool crcBad = false; // the stored CRC does not match
};

// Looks for the first block starting at a position 0 .. positions - 1 of `buffer`. A candidate
// whose block would reach past `size` is no match.
CompatListMatch findCompatList(const uint8_t* buffer, int64_t size, int64_t positions);

// The block for `entries` (at most 255 are written) with its CRC filled in.
std::vector<uint8_t> serializeCompatList(const std::vector<uint16_t>& entries);

inline constexpr int32_t compatListBlockSize(size_t entries) {
    return 20 + 2 * static_cast<int32_t>(entries);
}

} // namespace image
