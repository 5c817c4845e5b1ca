#pragma once
// The standard reflected CRC-32 (polynomial 0xEDB88320 reflected form) as a single step over a fixed
// table, for the LH5 container and the packed envelope. The caller supplies the initial value and
// any final XOR.

#include <cstddef>
#include <cstdint>

namespace base {

// The next CRC after `byte`: table[(crc XOR byte) AND 0xFF] XOR (crc >> 8).
uint32_t CRC32Step(uint32_t crc, uint8_t byte);

// CRC32Step over `size` bytes, starting from `crc`. No initial value or final XOR is applied.
uint32_t CRC32Update(uint32_t crc, const uint8_t* bytes, size_t size);

// The table entry for `index` (entry 1 = 0x77073096, entry 255 = 0x2D02EF8D).
uint32_t CRC32TableEntry(uint8_t index);

} // namespace base
