#pragma once
// The MODBUS RTU frame check as the protocol's tables define it, written out bit by bit, so that
// expected frames do not come from the program's own CRC generator.

#include <cstdint>
#include <vector>

namespace testsupport {

// `frame` followed by its CRC-16 (polynomial 0xA001 reflected, initial 0xFFFF), low byte first.
inline std::vector<std::uint8_t> withCrc(std::vector<std::uint8_t> frame) {
    std::uint16_t crc = 0xFFFF;
    for (std::uint8_t b : frame) {
        crc ^= b;
        for (int i = 0; i < 8; ++i)
            crc = (crc & 1) ? static_cast<std::uint16_t>((crc >> 1) ^ 0xA001)
                            : static_cast<std::uint16_t>(crc >> 1);
    }
    frame.push_back(static_cast<std::uint8_t>(crc & 0xFF));
    frame.push_back(static_cast<std::uint8_t>(crc >> 8));
    return frame;
}

} // namespace testsupport
