#pragma once
// The program's conversion of typed or stored text to an integer: decimal, or hexadecimal after a "$",
// "0x" or "x" prefix (either case), with an optional sign and blanks around. Values of the whole
// unsigned 32-bit range are accepted and wrap to signed, so "4294967295" and "0xFFFFFFFF" read as -1
// (the bit pattern a 32-bit CRC parameter needs).

#include <cstdint>
#include <optional>
#include <string_view>

namespace app {

// Empty when `text` is not such a number: no digits, a stray character, or a magnitude beyond
// 4294967295 (beyond 2147483648 with a minus sign for decimals).
std::optional<std::int32_t> parseInteger(std::string_view text);

} // namespace app
