#include "cli/variable_value.h"

#include "base/number_text.h"
#include "protocol/function_evaluator.h"

#include <cstdint>

namespace cli {

bool parseVariableValue(const std::string& text, long double& value) {
    if (protocol::parseDecimalLiteral(text, value))
        return true;
    const auto number =
        base::readNumberText(text, {.blanks = base::NumberBlanks::None, .sign = true, .max = UINT64_MAX});
    if (!number || !number->hexadecimal)
        return false;
    value = static_cast<long double>(number->magnitude);
    if (number->negative)
        value = -value;
    return true;
}

} // namespace cli
