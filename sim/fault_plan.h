#pragma once
// Faults the simulated device can be told to make, and the parsing of their option texts.
//
// Frame ranges count from 1 and are written "N" (only the N-th), "N-" (the N-th and every later one)
// or "N-M" (the N-th to the M-th). Numbers are decimal or hexadecimal with "0x".

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace sim {

struct FrameRange {
    std::uint64_t first = 1;
    std::uint64_t last = 0; // 0: no end
    bool contains(std::uint64_t n) const { return n >= first && (last == 0 || n <= last); }
};

// Answer device error `code` to requests with function `function`; `range` counts the requests of
// that function.
struct ErrorRule {
    std::uint8_t function = 0;
    std::uint8_t code = 0;
    FrameRange range;
};

// Every count below is over the frames addressed to the device (its own address or broadcast)
// that arrived with a correct CRC.
struct FaultPlan {
    std::uint64_t silentFirst = 0;      // ignore the first N frames
    std::vector<ErrorRule> errors;      // first matching rule wins
    std::vector<FrameRange> corruptCrc; // answer with the CRC's last byte inverted
    std::vector<FrameRange> garbage;    // answer with bytes that form no frame
    std::uint64_t dropAfter = 0;        // 0: never; else hang up after answering frame N
};

// "N", "N-" or "N-M" with 1 <= N <= M. Empty with a message in `error` otherwise.
std::optional<FrameRange> parseFrameRange(std::string_view text, std::string& error);

// "FUNCTION:CODE" or "FUNCTION:CODE:RANGE", e.g. "0x43:4:3-". Empty with a message otherwise.
std::optional<ErrorRule> parseErrorRule(std::string_view text, std::string& error);

// A number from 0 to `max`, decimal or with a "0x" prefix.
std::optional<std::uint64_t> parseNumber(std::string_view text, std::uint64_t max);

} // namespace sim
