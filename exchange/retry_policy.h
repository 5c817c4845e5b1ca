#pragma once
// What the exchange does after one attempt of a command: the result it keeps, whether another
// attempt follows and whether the attempt counts as a communication error. The exception-mode rules
// of ExecuteCommand (exchange/command_exchange.h) in one pure function.

#include "exchange/exchange_result.h"

#include <cstdint>

namespace exchange {

// How one attempt ended.
enum class AttemptEnd : std::uint8_t {
    Answer,    // the bytes matched the answer template
    Exception, // the bytes matched the exception template
    NoAnswer,  // no byte arrived
    Garbled,   // bytes arrived that match neither template
    NoEcho,    // the frame's own bytes did not come back first
    Cancelled, // the user ended a wait
};

struct AttemptResult {
    AttemptEnd end = AttemptEnd::Answer;
    std::int32_t errorCode = -1; // an exception answer's code; below 0 when it carries none
    bool codeIgnored = false;    // the code is in the step's ignore list
};

struct AttemptVerdict {
    ExchangeResult result = kExchangeOk;
    bool again = false;   // another attempt follows
    bool counted = false; // the attempt counts as a communication error
};

// `mode` is the command's exception mode as effectiveExceptionMode gives it (0 abort, 1 repeat,
// 2 ignore), `repeatGarbled` whether a repeating command also repeats after a garbled answer, and
// `attempt` the number of the attempt just made, from 1; no attempt follows the kAttempts-th.
AttemptVerdict nextStep(int mode, const AttemptResult& attempt, bool repeatGarbled, int attemptNumber);

} // namespace exchange
