#pragma once
// The result of one exchange and of an action list, and the limits of the exchange buffers.
//
// ExchangeResult is a signed 32-bit value: 0 success, −1 no answer byte arrived, −2 the answer fit
// neither template, −3 the echo of the frame did not come back, k + 1 for a device error code k ≥ 0.
// Two more negative values are our own: −4 the frame could not be built (it would not fit the send
// buffer), −5 the action list cannot run (missing list, a step naming no command, lists of different
// lengths); in both cases nothing was sent. −6 the user cancelled while the exchange waited for the
// line: the exchange did not complete, and nothing is reported.

#include <cstddef>
#include <cstdint>

namespace exchange {

using ExchangeResult = std::int32_t;

inline constexpr ExchangeResult kExchangeOk = 0;
inline constexpr ExchangeResult kNoAnswer = -1;
inline constexpr ExchangeResult kWrongAnswer = -2;
inline constexpr ExchangeResult kNoEcho = -3;
inline constexpr ExchangeResult kFrameNotBuilt = -4;
inline constexpr ExchangeResult kListNotRunnable = -5;
inline constexpr ExchangeResult kExchangeCancelled = -6;

// The result of a device exception answer carrying error code k.
constexpr ExchangeResult deviceErrorResult(std::int32_t code) {
    return code + 1;
}

// Which template an answer matched.
enum AnswerKind : std::int32_t { kAnswerNone = -1, kAnswerNormal = 1, kAnswerException = 2 };

inline constexpr std::size_t kReceiveBufferSize = 16385;
inline constexpr std::uint8_t kReceiveFill = 0xFF;
// Answer bytes collected at most; the rest of a longer answer is left unread.
inline constexpr std::size_t kMaxAnswerBytes = 2200;
// Number of attempts of a command whose exception mode repeats.
inline constexpr int kAttempts = 3;

} // namespace exchange
