#pragma once
// Values given on the command line for protocol variables (NAME=VALUE) and addresses.

#include <string>

namespace cli {

// A decimal number, or an integer after "0x", "x" or "$" with an optional sign, taken in full (up to
// 64 bits; unlike a literal inside an expression, which keeps 16 bits). False for anything else.
bool parseVariableValue(const std::string& text, long double& value);

} // namespace cli
