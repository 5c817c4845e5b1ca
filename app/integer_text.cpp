#include "app/integer_text.h"

#include "base/number_text.h"

namespace app {

std::optional<std::int32_t> parseInteger(std::string_view text) {
    constexpr base::NumberRules kRules{base::NumberBlanks::Around, true, UINT32_MAX};
    const std::optional<base::NumberText> number = base::readNumberText(text, kRules);
    // A negative decimal must fit a signed 32-bit value; hexadecimal digits give a bit pattern.
    if (!number || (number->negative && !number->hexadecimal && number->magnitude > 0x80000000ull))
        return std::nullopt;
    std::uint32_t bits = static_cast<std::uint32_t>(number->magnitude);
    if (number->negative)
        bits = 0u - bits;
    return static_cast<std::int32_t>(bits);
}

} // namespace app
