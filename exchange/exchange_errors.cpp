#include "exchange/exchange_errors.h"

#include "exchange/comm.h"
#include "exchange/exchange_reporter.h"
#include "protocol/protocol_description.h"

namespace exchange {

namespace {

void stopOperation(ExchangeContext& ctx) {
    if (ctx.StopExchange)
        ctx.StopExchange();
    else
        ctx.comm.Close();
}

} // namespace

std::string_view exchangeResultText(ExchangeResult result) {
    switch (result) {
    case kNoAnswer:
        return "Устройство не отвечает";
    case kWrongAnswer:
        return "Получен не верный ответ";
    case kNoEcho:
        return "Эхо пакета не получено";
    case kFrameNotBuilt:
        return "Кадр команды не помещается в буфер передачи";
    case kListNotRunnable:
        return "Список действий не может быть выполнен";
    default:
        return {};
    }
}

bool ReportExchangeError(ExchangeContext& ctx, ExchangeResult result, std::string_view commandName) {
    if (result == kExchangeOk || result == kExchangeCancelled || ctx.Quiet)
        return result == kExchangeOk;
    if (result < 0) {
        stopOperation(ctx);
        std::string text(exchangeResultText(result));
        text += " (";
        text += commandName;
        text += ")";
        ctx.reporter.error("ОШИБКА! ", text);
        stopOperation(ctx);
        return false;
    }
    const std::int32_t code = result - 1;
    const std::int32_t entry = protocol::FindException(ctx.protocol.Exceptions, code);
    const std::string text =
        entry >= 0 ? ctx.protocol.Exceptions[static_cast<std::size_t>(entry)].Text : "Неизвестная ошибка";
    ctx.reporter.error("ОШИБКА #" + std::to_string(code), text);
    return false;
}

} // namespace exchange
