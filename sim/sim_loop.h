#pragma once
// The simulated device's life on the line: collects bytes into frames by the silence after them,
// echoes them when asked, hands each frame to the device and sends its answer at the emulated speed.

#include "sim/pty_line.h"
#include "sim/sim_device.h"

#include <chrono>
#include <csignal>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace sim {

struct LoopOptions {
    std::uint32_t baud = 0;                  // emulated line speed; 0: as fast as the pseudo-terminal goes
    unsigned characterBits = 10;             // bits of one character on the wire: 11 with a parity bit
    bool echo = false;                       // send every received byte straight back
    std::chrono::milliseconds replyDelay{0}; // the device's own time before it answers
    // Told of every frame received (answer false, stamped with its first byte) and every answer sent.
    std::function<void(bool answer, const std::vector<std::uint8_t>& bytes,
                       std::chrono::steady_clock::time_point at)>
        trace;
};

enum class LoopEnd { Stopped, HungUp, LineFailed };

// Runs until `stop` becomes non-zero (a signal handler sets it), a fault drops the line, or the line
// fails. Every frame goes to every device on the line (their addresses differ, so at most one
// answers). `log` gets one line per event when set.
LoopEnd runSimLoop(PtyLine& line, std::vector<SimDevice>& devices, const LoopOptions& options,
                   const volatile std::sig_atomic_t& stop,
                   const std::function<void(const std::string&)>& log);

} // namespace sim
