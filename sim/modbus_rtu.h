#pragma once
// MODBUS-RTU framing as the simulated device sees it: address, function code, data, then the
// CRC-16 of the MODBUS line (polynomial 0x8005 reflected, initial 0xFFFF), low byte first.

#include <cstdint>
#include <span>
#include <vector>

namespace sim {

inline constexpr std::uint8_t kBroadcastAddress = 0;
inline constexpr std::uint8_t kExceptionFlag = 0x80;
// Address, function code and two CRC bytes.
inline constexpr std::size_t kMinFrameSize = 4;

// The CRC register over `bytes`, as it goes on the line: low byte first.
std::uint16_t modbusCrc(std::span<const std::uint8_t> bytes);

// Appends the CRC of everything in `frame` to it, low byte first.
void appendCrc(std::vector<std::uint8_t>& frame);

// True when `frame` has at least kMinFrameSize bytes and ends with the CRC of the bytes before it.
bool hasValidCrc(std::span<const std::uint8_t> frame);

// A complete exception answer: address, function | 0x80, code, CRC.
std::vector<std::uint8_t> exceptionFrame(std::uint8_t address, std::uint8_t function, std::uint8_t code);

} // namespace sim
