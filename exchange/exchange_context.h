#pragma once
// What the exchange needs of its owner (the device session or a test): the line, the loaded protocol
// description, the evaluator holding the protocol variables, the settings it reads and where it
// reports, plus the exchange's own state (current address, communication error count, quiet flag) and
// the hooks through which it ends a running operation and waits.
//
// The owner fills it once; all references must outlive it. Nothing here opens a window or prints.

#include <chrono>
#include <cstdint>
#include <functional>

namespace protocol {
class TFunctionEvaluator;
class TProtocol;
} // namespace protocol

namespace exchange {

class ExchangeReporter;
class ExchangeSettings;
class TComm;
class ExchangeObserver;

struct ExchangeContext {
    ExchangeContext(TComm& comm, protocol::TProtocol& protocol, protocol::TFunctionEvaluator& evaluator,
                    ExchangeReporter& reporter, const ExchangeSettings& settings)
        : comm(comm), protocol(protocol), evaluator(evaluator), reporter(reporter), settings(settings) {}
    ExchangeContext(const ExchangeContext&) = delete;
    ExchangeContext& operator=(const ExchangeContext&) = delete;

    TComm& comm;
    protocol::TProtocol& protocol;
    protocol::TFunctionEvaluator& evaluator;
    ExchangeReporter& reporter;
    const ExchangeSettings& settings;

    std::uint32_t address = 0;            // the current address (ADDRESS)
    std::uint16_t CommErrors = 0;         // failed attempts of the running operation
    bool Quiet = false;                   // suppress ReportExchangeError (device search)
    ExchangeObserver* observer = nullptr; // learns of every attempt (a frame trace); may be null

    // Ends the running operation (timer off, port closed, progress hidden, busy flag cleared). May be
    // empty: then the exchange only closes the port (enough under OperationSequencer, which stops
    // itself when a list fails).
    std::function<void()> StopExchange;
    // Blocking sleep; empty means the real clock.
    std::function<void(std::chrono::milliseconds)> sleep;
};

} // namespace exchange
