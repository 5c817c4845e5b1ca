#include "exchange/retry_policy.h"

namespace exchange {
namespace {

// The exception modes; any other aborts.
constexpr int kRepeat = 1;
constexpr int kIgnore = 2;

// A failed attempt: counted, and repeated when the rule allows and attempts remain.
AttemptVerdict failure(ExchangeResult result, bool repeats, int attemptNumber) {
    return {result, repeats && attemptNumber < kAttempts, true};
}

AttemptVerdict afterException(int mode, const AttemptResult& attempt, int attemptNumber) {
    if (attempt.errorCode < 0 || attempt.codeIgnored || mode == kIgnore)
        return {};
    return failure(deviceErrorResult(attempt.errorCode), mode == kRepeat, attemptNumber);
}

} // namespace

AttemptVerdict nextStep(int mode, const AttemptResult& attempt, bool repeatGarbled, int attemptNumber) {
    switch (attempt.end) {
    case AttemptEnd::Answer:
        return {};
    case AttemptEnd::Exception:
        return afterException(mode, attempt, attemptNumber);
    case AttemptEnd::NoAnswer:
        if (mode == kIgnore)
            return {};
        return failure(kNoAnswer, mode == kRepeat, attemptNumber);
    case AttemptEnd::Garbled:
        return failure(kWrongAnswer, mode == kRepeat && repeatGarbled, attemptNumber);
    case AttemptEnd::NoEcho:
        return {kNoEcho, false, false};
    case AttemptEnd::Cancelled:
        return {kExchangeCancelled, false, false};
    }
    return {};
}

} // namespace exchange
