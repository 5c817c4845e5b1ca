#include "cli/exit_codes.h"

#include "exchange/exchange_result.h"

namespace cli {

int exitCodeOfResult(int32_t result) {
    if (result == exchange::kExchangeOk)
        return kExitOk;
    if (result > 0)
        return kExitDeviceError;
    switch (result) {
    case exchange::kNoAnswer:
    case exchange::kNoEcho: // nothing came back, not even the frame itself
        return kExitNoAnswer;
    case exchange::kWrongAnswer:
        return kExitWrongAnswer;
    case exchange::kExchangeCancelled:
        return kExitCancelled;
    default: // the frame could not be built or the list cannot run: nothing was sent
        return kExitRefused;
    }
}

int exitCodeOfOutcome(exchange::OperationSequencer::Outcome outcome, int32_t lastResult, bool portFailed) {
    using Outcome = exchange::OperationSequencer::Outcome;
    switch (outcome) {
    case Outcome::Completed:
        return kExitOk;
    case Outcome::Cancelled:
        return kExitCancelled;
    case Outcome::Refused:
        return portFailed ? kExitPortUnavailable : kExitRefused;
    default:
        return lastResult == 0 ? kExitFailed : exitCodeOfResult(lastResult);
    }
}

int worseExitCode(int a, int b) {
    if (a == kExitCancelled || b == kExitCancelled)
        return kExitCancelled;
    return a > b ? a : b;
}

} // namespace cli
