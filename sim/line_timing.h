#pragma once
// Time on an emulated serial line: ten bits per character (start, eight data bits, stop), eleven with
// a parity bit.

#include <chrono>
#include <cstdint>

namespace sim {

using Micros = std::chrono::microseconds;

// The silence that ends a frame when no line speed is emulated. A pseudo-terminal hands a frame
// written at once over in one piece; the quarter millisecond covers a writer that sends it in a few
// calls one after the other.
inline constexpr Micros kMinFrameGap{250};

// Time of `bytes` characters of `characterBits` at `baud` bit/s; zero when `baud` is 0 (no emulation).
constexpr Micros wireTime(std::uint64_t bytes, std::uint32_t baud, unsigned characterBits = 10) {
    return baud == 0 ? Micros{0} : Micros{static_cast<std::int64_t>(bytes * characterBits * 1000000 / baud)};
}

// Above 19200 bit/s MODBUS-RTU devices use a fixed silence of 1.75 ms instead of 3.5 characters.
inline constexpr Micros kFastLineFrameGap{1750};

// The silence that ends a frame: without an emulated speed kMinFrameGap; otherwise three and a half
// characters, and 1.75 ms above 19200 bit/s, as a device on a real line waits.
constexpr Micros frameGap(std::uint32_t baud) {
    if (baud == 0)
        return kMinFrameGap;
    if (baud > 19200)
        return kFastLineFrameGap;
    return Micros{static_cast<std::int64_t>(35ull * 1000000 / baud)};
}

} // namespace sim
