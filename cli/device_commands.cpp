#include "cli/cli_context.h"

namespace cli {

void registerDeviceCommands(CLI::App& app, CliContext& ctx) {
    (void)app;
    (void)ctx;
}

} // namespace cli
