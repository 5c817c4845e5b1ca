#include "base/crc32.h"

#include <array>

namespace base {
namespace {

constexpr std::array<uint32_t, 256> makeTable() {
    std::array<uint32_t, 256> table{};
    for (uint32_t b = 0; b < 256; ++b) {
        uint32_t r = b;
        for (int i = 0; i < 8; ++i)
            r = (r & 1u) ? (r >> 1) ^ 0xEDB88320u : r >> 1;
        table[b] = r;
    }
    return table;
}

constexpr std::array<uint32_t, 256> kTable = makeTable();
static_assert(kTable[1] == 0x77073096u && kTable[255] == 0x2D02EF8Du);

} // namespace

uint32_t CRC32Step(uint32_t crc, uint8_t byte) {
    return kTable[(crc ^ byte) & 0xFFu] ^ (crc >> 8);
}

uint32_t CRC32Update(uint32_t crc, const uint8_t* bytes, size_t size) {
    for (size_t i = 0; i < size; ++i)
        crc = kTable[(crc ^ bytes[i]) & 0xFFu] ^ (crc >> 8);
    return crc;
}

uint32_t CRC32TableEntry(uint8_t index) {
    return kTable[index];
}

} // namespace base
