#pragma once
// The serial line a device command runs on: the real port, with a frame trace around it when
// --trace names a file; with --dry-run the simulated device in memory, its frames traced to --trace
// or the standard output.

#include "cli/cli_context.h"
#include "exchange/exchange_observer.h"
#include "exchange/serial_line.h"

#include <memory>
#include <string>

namespace cli {

class DryRun;

struct SessionLine {
    std::unique_ptr<exchange::SerialLine> line;
    exchange::ExchangeObserver* observer = nullptr; // the trace (or the dry run); null without one
    std::unique_ptr<DryRun> dryRun;                 // with --dry-run
};

// Null line with a message in `error` when the trace file cannot be created.
SessionLine makeSessionLine(const CliContext& ctx, std::string& error);

} // namespace cli
