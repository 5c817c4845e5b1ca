#pragma once
// Turning exchange results into messages for the user.

#include "exchange/exchange_context.h"
#include "exchange/exchange_result.h"

#include <string>
#include <string_view>

namespace exchange {

// The message text of a negative result: "Устройство не отвечает" (−1), "Получен не верный ответ" (−2),
// "Эхо пакета не получено" (−3), and our own texts for −4 and −5; empty for 0 and device errors.
std::string_view exchangeResultText(ExchangeResult result);

// True when the caller may go on (result 0). With Quiet set, or for a cancelled exchange (−6), nothing
// is reported. A negative result ends
// the running operation (StopExchange), shows "ОШИБКА! " with the result's text followed by " (", the
// command name and ")", then calls StopExchange again. A device error k + 1 shows "ОШИБКА #k" with the
// text of the protocol description's last entry for k, or "Неизвестная ошибка"; the caller stops.
bool ReportExchangeError(ExchangeContext& ctx, ExchangeResult result, std::string_view commandName);

} // namespace exchange
