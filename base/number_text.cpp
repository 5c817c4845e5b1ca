#include "base/number_text.h"

#include "base/text_utils.h"

namespace base {

namespace {

std::string_view withoutBlanks(std::string_view text, NumberBlanks blanks) {
    if (blanks == NumberBlanks::Around)
        return TrimmedBlanks(text);
    if (blanks == NumberBlanks::Leading)
        while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
            text.remove_prefix(1);
    return text;
}

// Removes a leading "+" or "-"; true for "-".
bool takeSign(std::string_view& text) {
    if (text.empty() || (text.front() != '+' && text.front() != '-'))
        return false;
    const bool negative = text.front() == '-';
    text.remove_prefix(1);
    return negative;
}

// Removes a hexadecimal prefix; true when there was one.
bool takeHexPrefix(std::string_view& text) {
    if (text.size() >= 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        text.remove_prefix(2);
        return true;
    }
    if (!text.empty() && (text[0] == '$' || text[0] == 'x' || text[0] == 'X')) {
        text.remove_prefix(1);
        return true;
    }
    return false;
}

// Appends one digit; false when the magnitude would pass `max` and that is refused.
bool addDigit(std::uint64_t& magnitude, unsigned radix, unsigned digit, const NumberRules& rules) {
    if (rules.overflow == NumberOverflow::KeepLowBits) {
        magnitude = (magnitude * radix + digit) & rules.max;
        return true;
    }
    if (digit > rules.max || magnitude > (rules.max - digit) / radix)
        return false;
    magnitude = magnitude * radix + digit;
    return true;
}

} // namespace

std::optional<NumberText> readNumberText(std::string_view text, const NumberRules& rules) {
    text = withoutBlanks(text, rules.blanks);
    NumberText number;
    if (rules.sign)
        number.negative = takeSign(text);
    number.hexadecimal = takeHexPrefix(text);
    if (text.empty())
        return std::nullopt;
    const unsigned radix = number.hexadecimal ? 16 : 10;
    for (const char c : text) {
        const int digit = HexDigitValue(c);
        if (digit < 0 || static_cast<unsigned>(digit) >= radix ||
            !addDigit(number.magnitude, radix, static_cast<unsigned>(digit), rules))
            return std::nullopt;
    }
    return number;
}

} // namespace base
