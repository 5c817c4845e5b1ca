// velmora-cli eval: compiles an expression with the program's evaluator, sets variables, prints the
// value or the error bits with their texts.

#include "base/codepage.h"
#include "base/text_utils.h"
#include "cli/cli_context.h"
#include "cli/variable_value.h"
#include "protocol/evaluator_setup.h"
#include "protocol/function_evaluator.h"

#include <cstdio>
#include <string>
#include <vector>

namespace cli {

namespace {

int runEval(const std::string& expression, const std::vector<std::string>& assignments) {
    if (!base::utf8ToCp1251(expression)) {
        std::fprintf(stderr, "eval: the expression must be UTF-8 text of characters of code page 1251\n");
        return kExitUsage;
    }
    protocol::TFunctionEvaluator evaluator = protocol::makeMainEvaluator();
    for (const std::string& assignment : assignments) {
        const size_t eq = assignment.find('=');
        const std::string name = eq == std::string::npos ? assignment : assignment.substr(0, eq);
        if (eq == std::string::npos || !base::IsIdentifier(name)) {
            std::fprintf(stderr, "eval: '%s' is not NAME=VALUE with a name of letters, digits and _\n",
                         assignment.c_str());
            return kExitUsage;
        }
        long double value = 0;
        if (!parseVariableValue(assignment.substr(eq + 1), value)) {
            std::fprintf(stderr, "eval: '%s' is not a number (decimal, or hexadecimal after 0x, x or $)\n",
                         assignment.substr(eq + 1).c_str());
            return kExitUsage;
        }
        evaluator.SetVariableQuiet(name, value);
    }
    evaluator.setEquation(expression);
    const long double value = evaluator.Evaluate();
    const uint16_t error = evaluator.ErrorCode();
    if (error != 0) {
        std::fprintf(stderr, "error %u: %s\n", static_cast<unsigned>(error),
                     protocol::EvaluatorErrorTexts(error).c_str());
        return kExitFailed;
    }
    std::printf("%.15Lg\n", value == 0 ? 0.0L : value); // no "-0"
    return kExitOk;
}

} // namespace

void registerEvalCommands(CLI::App& app, CliContext& ctx) {
    auto* cmd = app.add_subcommand("eval", "Evaluate an expression of the template language");
    auto expression = std::make_shared<std::string>();
    auto assignments = std::make_shared<std::vector<std::string>>();
    cmd->add_option("EXPR", *expression, "Expression, e.g. \"HIGH(ADDRESS+1)\"")->required();
    cmd->add_option("NAME=VALUE", *assignments, "Variables to set before evaluating");
    cmd->footer("Prints the value, or 'error N: TEXT; ...' with the evaluator's error bits (exit 1).");
    cmd->callback([&ctx, expression, assignments] { ctx.exitCode = runEval(*expression, *assignments); });
}

} // namespace cli
