#include "cli/cli_context.h"

namespace cli {

void registerProtocolCommands(CLI::App& app, CliContext& ctx) {
    (void)app;
    (void)ctx;
}

} // namespace cli
