#pragma once
// The exit status of a device command by the cause of its end, so that a script can tell a device
// that does not answer from one that answers wrongly or reports an error. docs/automation.md lists them.

#include "cli/cli_context.h"
#include "exchange/operation_sequencer.h"

#include <cstdint>

namespace cli {

inline constexpr int kExitVerifyMismatch = 1;
inline constexpr int kExitPortUnavailable = 3;
inline constexpr int kExitNoAnswer = 4;
inline constexpr int kExitWrongAnswer = 5;
inline constexpr int kExitDeviceError = 6;
inline constexpr int kExitRefused = 7;

// The status of an exchange result that ended an operation (0 for success).
int exitCodeOfResult(int32_t exchangeResult);

// The status of a sequencer's operation; `portFailed` tells a port that could not be opened from the
// other refusals.
int exitCodeOfOutcome(exchange::OperationSequencer::Outcome outcome, int32_t lastResult, bool portFailed);

// The worse of two statuses: cancelled above everything, then the higher number.
int worseExitCode(int a, int b);

} // namespace cli
