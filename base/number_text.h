#pragma once
// Whole numbers written as text: decimal digits, or hexadecimal digits (either case) after a "$",
// "0x" or "x" prefix (either case). Settings, typed fields, expression literals and command-line
// addresses all read this form; what each of them allows around it differs and is said by the rules.

#include <cstdint>
#include <optional>
#include <string_view>

namespace base {

// Which spaces and tabs may stand around the number.
enum class NumberBlanks { None, Leading, Around };

// What happens to digits that take the magnitude beyond `max`.
enum class NumberOverflow {
    Reject,     // the text is not a number
    KeepLowBits // only the low bits are kept; `max` is then all ones (0xFF, 0xFFFF, ...)
};

struct NumberRules {
    NumberBlanks blanks = NumberBlanks::None;
    bool sign = false;              // a "+" or "-" before the prefix
    std::uint64_t max = UINT32_MAX; // the largest magnitude
    NumberOverflow overflow = NumberOverflow::Reject;
};

struct NumberText {
    std::uint64_t magnitude = 0;
    bool negative = false;
    bool hexadecimal = false;
};

// Empty when `text` breaks the rules: no digits, a stray character, a blank or a sign where none
// is allowed, or (with Reject) a magnitude above `max`.
std::optional<NumberText> readNumberText(std::string_view text, const NumberRules& rules);

} // namespace base
