#include "cli/session_line.h"

#include "cli/dry_run.h"
#include "exchange/posix_serial_line.h"
#include "exchange/traced_line.h"
#include "sim/sim_serial_line.h"

namespace cli {

SessionLine makeSessionLine(const CliContext& ctx, std::string& error) {
    SessionLine made;
    std::unique_ptr<exchange::SerialLine> inner;
    sim::SimSerialLine* simulated = nullptr;
    if (ctx.dryRun) {
        auto device = std::make_unique<sim::SimSerialLine>();
        simulated = device.get();
        inner = std::move(device);
    } else {
        inner = std::make_unique<exchange::PosixSerialLine>();
    }
    if (ctx.trace.empty() && !ctx.dryRun) {
        made.line = std::move(inner);
        return made;
    }
    // A dry run prints its frames unless they go to a file; with --json its events keep the output.
    const std::string path = !ctx.trace.empty() ? ctx.trace : ctx.json ? "/dev/stderr" : "/dev/stdout";
    auto file = std::make_unique<exchange::FrameTraceFile>();
    std::string reason;
    if (!file->open(path, reason, ctx.traceAppend)) {
        error = "device: --trace " + path + ": " + reason;
        return made;
    }
    auto traced = std::make_unique<exchange::TracedLine>(std::move(inner), std::move(file));
    made.observer = traced.get();
    if (simulated) {
        made.dryRun = std::make_unique<DryRun>(*simulated, *traced);
        made.observer = made.dryRun.get();
    }
    made.line = std::move(traced);
    return made;
}

} // namespace cli
