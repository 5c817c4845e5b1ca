#pragma once
// How long bytes take on the wire: one start bit, eight data bits, a parity bit when there is one, and
// the stop bits, at the line's speed.

#include <chrono>
#include <cstddef>
#include <cstdint>

namespace exchange {

// Tenths of a bit per character for the line format: 100 for 8N1, 110 for 8E1, 115 for 8N1.5.
int characterTenthBits(bool parity, int stopBitTenths);

// The time `bytes` take at `bitsPerSecond` with `tenthBits` per character (see above). Zero for a
// speed of 0.
std::chrono::microseconds wireTime(std::size_t bytes, std::uint32_t bitsPerSecond, int tenthBits);

} // namespace exchange
