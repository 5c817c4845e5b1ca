#include "cli/variable_value.h"

#include "protocol/function_evaluator.h"

#include <cstdint>

namespace cli {

bool parseVariableValue(const std::string& text, long double& value) {
    if (protocol::parseDecimalLiteral(text, value))
        return true;
    size_t i = 0;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-'))
        negative = text[i++] == '-';
    if (text.compare(i, 2, "0x") == 0 || text.compare(i, 2, "0X") == 0)
        i += 2;
    else if (i < text.size() && (text[i] == 'x' || text[i] == 'X' || text[i] == '$'))
        ++i;
    else
        return false;
    if (i == text.size() || text.size() - i > 16)
        return false;
    uint64_t v = 0;
    for (; i < text.size(); ++i) {
        const char c = text[i];
        unsigned digit;
        if (c >= '0' && c <= '9')
            digit = static_cast<unsigned>(c - '0');
        else if (c >= 'a' && c <= 'f')
            digit = static_cast<unsigned>(c - 'a' + 10);
        else if (c >= 'A' && c <= 'F')
            digit = static_cast<unsigned>(c - 'A' + 10);
        else
            return false;
        v = v * 16 + digit;
    }
    value = negative ? -static_cast<long double>(v) : static_cast<long double>(v);
    return true;
}

} // namespace cli
