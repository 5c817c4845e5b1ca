#pragma once
// Learns of every attempt of an exchange: which command is about to go out and how the attempt
// ended. A frame trace uses it to name the frames the line sees; nothing is reported when no
// observer is set.

#include "exchange/exchange_result.h"

#include <string_view>

namespace exchange {

class ExchangeObserver {
  public:
    virtual ~ExchangeObserver() = default;
    // Right before the frame of attempt `retry` (0 for the first) is written.
    virtual void attemptStarting(std::string_view command, int retry) = 0;
    // After the attempt's answer was judged (or its wait ended).
    virtual void attemptEnded(ExchangeResult result) = 0;
};

} // namespace exchange
