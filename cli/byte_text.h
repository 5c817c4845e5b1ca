#pragma once
// Byte strings typed on the command line and printed by it.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace cli {

// Hexadecimal bytes such as "01 03 00 0A" or "0x01,0x03" or "01030000": tokens separated by blanks or
// commas, each an optional "0x" and an even number of hex digits (one digit alone is one byte).
// Empty on anything else.
std::optional<std::vector<uint8_t>> parseHexBytes(std::string_view text);

// Upper-case hexadecimal bytes separated by single spaces ("01 03 C5 CD").
std::string formatHexBytes(const uint8_t* bytes, size_t size);

} // namespace cli
