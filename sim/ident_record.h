#pragma once
// The device's 256-byte identification record and the answer block of a bus search.
// All texts here are code page 1251 bytes, as they are stored in the device.
//
// Record layout (L is byte 5, Lx = min(max(L, 6), 128)):
//   0..3   not interpreted by the program, kept as written
//   4      network number (the bus address the device takes after a reset)
//   5      L, length of the identification record (0..128)
//   6      device identifier
//   7      not interpreted, kept as written
//   8..9   system table address, high byte first
//   10..11 serial number, high byte first
//   12..Lx+5    identification string, blank padded (Lx - 6 bytes)
//   Lx+6..255   version information text, blank padded (250 - Lx bytes)

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace sim {

inline constexpr std::size_t kRecordSize = 256;
inline constexpr std::uint8_t kMaxRecordLength = 128;
// The identification string starts here; the fixed fields before it are never overwritten.
inline constexpr std::size_t kIdentOffset = 12;
inline constexpr std::size_t kMaxIdentText = kMaxRecordLength - 6;

using IdentRecord = std::array<std::uint8_t, kRecordSize>;

struct RecordFields {
    std::uint8_t networkNumber = 17;
    std::uint8_t deviceId = 1;
    std::uint16_t tableAddress = 0x0F00;
    std::uint16_t serial = 1;
    std::string identText;   // at most kMaxIdentText bytes; longer text is cut
    std::string versionText; // cut to the room the identification string leaves
};

// Lx: the length the layout works with, L clamped to 6..128.
std::size_t effectiveLength(std::uint8_t recordLength);

// A record holding `fields`, with L = 6 + the length of the identification string and bytes 0..3
// and 7 set to the device's own marker.
IdentRecord makeRecord(const RecordFields& fields);

// The identification string: bytes 12..Lx+5, up to the first 0x00 or 0xFF, trailing blanks removed.
std::string identText(const IdentRecord& record);
// The version text: bytes Lx+6..255, up to the first 0x00 or 0xFF, trailing blanks removed.
std::string versionText(const IdentRecord& record);

// Replaces the identification string (cut to kMaxIdentText bytes), sets L to fit it and moves the
// version text behind it (cut to its new room). Other fields are kept.
void setIdentText(IdentRecord& record, std::string_view text);

std::uint16_t serialNumber(const IdentRecord& record);
void setSerialNumber(IdentRecord& record, std::uint16_t serial);

// The data block answered to a bus search: network number, device identifier, L, run indicator
// 0xFF, serial number (high byte first), the identification string, one 0x00. At most 129 bytes.
std::vector<std::uint8_t> searchBlock(const IdentRecord& record);

} // namespace sim
