#pragma once
// Conversions from the evaluator's extended-precision values to integers, without undefined
// behaviour: every conversion reports a value that is not finite or does not fit instead of
// producing an arbitrary integer.

#include <cstdint>

namespace protocol {

// The value rounded to the nearest integer, halves to the even neighbour (2.5 -> 2, 3.5 -> 4,
// -2.5 -> -2). Infinities and NaN are returned unchanged.
long double roundHalfEven(long double value);

// The value truncated toward zero as a 64-bit signed integer. False (out untouched) when the value
// is not finite or its truncation lies outside the 64-bit signed range.
bool truncToInt64(long double value, int64_t& out);

// The value rounded to the nearest integer (halves to even) as a 64-bit signed integer. False (out
// untouched) when the value is not finite or the rounded value lies outside the 64-bit signed range.
bool roundToInt64(long double value, int64_t& out);

// The low 16 bits of a whole value (two's complement for a negative one): a register or a count as
// it goes on the wire.
inline uint16_t low16(int64_t value) {
    return static_cast<uint16_t>(static_cast<uint64_t>(value) & 0xFFFFu);
}

} // namespace protocol
