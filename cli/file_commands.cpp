#include "cli/cli_context.h"

namespace cli {

void registerFileCommands(CLI::App& app, CliContext& ctx) {
    (void)app;
    (void)ctx;
}

} // namespace cli
