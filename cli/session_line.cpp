#include "cli/session_line.h"

#include "exchange/posix_serial_line.h"
#include "exchange/traced_line.h"

namespace cli {

SessionLine makeSessionLine(const CliContext& ctx, std::string& error) {
    SessionLine made;
    auto port = std::make_unique<exchange::PosixSerialLine>();
    if (ctx.trace.empty()) {
        made.line = std::move(port);
        return made;
    }
    auto file = std::make_unique<exchange::FrameTraceFile>();
    std::string reason;
    if (!file->open(ctx.trace, reason)) {
        error = "device: --trace " + ctx.trace + ": " + reason;
        return made;
    }
    auto traced = std::make_unique<exchange::TracedLine>(std::move(port), std::move(file));
    made.observer = traced.get();
    made.line = std::move(traced);
    return made;
}

} // namespace cli
