#pragma once
// Hexadecimal text helpers used for addresses, identifiers and CRC values throughout the program.
// Output uses the upper-case digits "0123456789ABCDEF". All texts are ASCII (valid UTF-8).

#include <cstdint>
#include <string>
#include <string_view>

namespace image {

std::string ByteToHex(uint8_t value);     // "1F"
std::string ByteToHex0x(uint8_t value);   // "0x1F"
std::string WordToHex(uint16_t value);    // 4 digits, high byte first
std::string WordToHex0x(uint16_t value);  // "0x" + 4 digits
std::string DWordToHex(uint32_t value);   // 8 digits
std::string DWordToHex0x(uint32_t value); // "0x" + 8 digits
// "0x" + 8 digits with leading zeros removed while the text stays at least 5 characters long:
// 0x2100 -> "0x2100", 0 -> "0x00", 0x12 -> "0x12", 0xFFFFFFFF -> "0xFFFFFFFF".
std::string AddrToHex0x(uint32_t value);

} // namespace image
