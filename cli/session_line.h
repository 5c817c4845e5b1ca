#pragma once
// The serial line a device command runs on: the real port, with a frame trace around it when
// --trace names a file.

#include "cli/cli_context.h"
#include "exchange/exchange_observer.h"
#include "exchange/serial_line.h"

#include <memory>
#include <string>

namespace cli {

struct SessionLine {
    std::unique_ptr<exchange::SerialLine> line;
    exchange::ExchangeObserver* observer = nullptr; // the trace, owned by `line`; null without one
};

// Null line with a message in `error` when the trace file cannot be created.
SessionLine makeSessionLine(const CliContext& ctx, std::string& error);

} // namespace cli
