#pragma once
// The cause of each faulty field of a compiled template, worded for `protocol check` and
// `protocol import`: the evaluator's own error text for an expression, the form's fault otherwise.

#include "protocol/command_template.h"

#include <string>
#include <vector>

namespace cli {

// One line per faulty field: "field N 'TEXT': CAUSE".
std::vector<std::string> templateFaults(const protocol::CompiledTemplate& compiled);

} // namespace cli
