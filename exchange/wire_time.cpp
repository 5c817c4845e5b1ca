#include "exchange/wire_time.h"

namespace exchange {

int characterTenthBits(bool parity, int stopBitTenths) {
    return 10 + 80 + (parity ? 10 : 0) + stopBitTenths;
}

std::chrono::microseconds wireTime(std::size_t bytes, std::uint32_t bitsPerSecond, int tenthBits) {
    if (bitsPerSecond == 0)
        return std::chrono::microseconds(0);
    const std::uint64_t tenthsOfBits =
        static_cast<std::uint64_t>(bytes) * static_cast<std::uint64_t>(tenthBits);
    // Rounded up: the answer wait may start a microsecond late, never early.
    const std::uint64_t divisor = static_cast<std::uint64_t>(bitsPerSecond) * 10;
    return std::chrono::microseconds((tenthsOfBits * 1000000 + divisor - 1) / divisor);
}

} // namespace exchange
