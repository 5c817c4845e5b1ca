#include "sim/modbus_rtu.h"

#include "base/crc_generator.h"

namespace sim {

std::uint16_t modbusCrc(std::span<const std::uint8_t> bytes) {
    // No byte swap here: the register itself holds the low byte that goes first on the line.
    // The table is built once; each call works on a copy.
    static const base::TCRCGenerator kModbus(16, 0x8005, 0xFFFF, true, false, 0);
    base::TCRCGenerator crc = kModbus;
    crc.AddBytes(bytes.data(), static_cast<std::int64_t>(bytes.size()));
    return static_cast<std::uint16_t>(crc.Register());
}

void appendCrc(std::vector<std::uint8_t>& frame) {
    const std::uint16_t crc = modbusCrc(frame);
    frame.push_back(static_cast<std::uint8_t>(crc & 0xFF));
    frame.push_back(static_cast<std::uint8_t>(crc >> 8));
}

bool hasValidCrc(std::span<const std::uint8_t> frame) {
    if (frame.size() < kMinFrameSize)
        return false;
    const std::uint16_t crc = modbusCrc(frame.first(frame.size() - 2));
    return frame[frame.size() - 2] == (crc & 0xFF) && frame[frame.size() - 1] == (crc >> 8);
}

std::vector<std::uint8_t> exceptionFrame(std::uint8_t address, std::uint8_t function, std::uint8_t code) {
    std::vector<std::uint8_t> frame{address, static_cast<std::uint8_t>(function | kExceptionFlag), code};
    appendCrc(frame);
    return frame;
}

} // namespace sim
