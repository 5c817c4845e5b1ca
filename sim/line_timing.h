#pragma once
// Time on an emulated serial line: ten bits per character (start, eight data bits, stop).

#include <chrono>
#include <cstdint>

namespace sim {

using Micros = std::chrono::microseconds;

// The shortest silence that ends a frame when no line speed is emulated. A pseudo-terminal hands a
// frame over in one piece, but a busy machine may pause between its pieces.
inline constexpr Micros kMinFrameGap{5000};

// Time of `bytes` characters at `baud` bit/s; zero when `baud` is 0 (no emulation).
constexpr Micros wireTime(std::uint64_t bytes, std::uint32_t baud) {
    return baud == 0 ? Micros{0} : Micros{static_cast<std::int64_t>(bytes * 10 * 1000000 / baud)};
}

// The silence that ends a frame: three and a half characters, never less than kMinFrameGap.
constexpr Micros frameGap(std::uint32_t baud) {
    const Micros gap{baud == 0 ? 0 : static_cast<std::int64_t>(35ull * 1000000 / baud)};
    return gap > kMinFrameGap ? gap : kMinFrameGap;
}

} // namespace sim
