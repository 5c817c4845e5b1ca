#pragma once
// What the exchange needs of its owner (the main window, velmora-cli or a test): the port, the loaded
// protocol description, the evaluator holding the protocol variables, the memory image, the settings,
// the log, the message sink and the main window's state (active profile, device address, page size,
// password), plus the exchange's own state (current address, communication error count, quiet flag)
// and the hooks through which it ends a running operation and waits.
//
// The owner fills it once; all references must outlive it. Nothing here opens a window: the message
// sink and the log decide how a message reaches the user, so the whole exchange runs headless.

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace app {
class Log;
class MessageSink;
class SettingsStore;
struct MainState;
} // namespace app
namespace image {
class TDUMPVersionedFile;
}
namespace protocol {
class TFunctionEvaluator;
class TProtocol;
} // namespace protocol

namespace exchange {

class TComm;
class ExchangeObserver;

// What velmora-cli's options put in place of the port settings; empty or unset means the setting.
struct LineOverrides {
    std::string device;           // --port
    std::optional<int> baudIndex; // --baud, a TBaudRate index
    std::optional<int> parity;    // --parity, a TParity value
};

struct ExchangeContext {
    ExchangeContext(TComm& comm, protocol::TProtocol& protocol, protocol::TFunctionEvaluator& evaluator,
                    image::TDUMPVersionedFile& image, const app::SettingsStore& settings, app::Log& log,
                    app::MessageSink& messages, app::MainState& state)
        : comm(comm), protocol(protocol), evaluator(evaluator), image(image), settings(settings), log(log),
          messages(messages), state(state) {}
    ExchangeContext(const ExchangeContext&) = delete;
    ExchangeContext& operator=(const ExchangeContext&) = delete;

    TComm& comm;
    protocol::TProtocol& protocol;
    protocol::TFunctionEvaluator& evaluator;
    image::TDUMPVersionedFile& image;
    const app::SettingsStore& settings;
    app::Log& log;
    app::MessageSink& messages;
    // activeProfile selects the per-profile sections; deviceAddress gives RECIPIENT (its low byte);
    // pageSize is set by SetProtocolVariables; password goes into the frames of each action list.
    app::MainState& state;

    std::uint32_t address = 0;         // the main window's current address (ADDRESS)
    std::uint16_t CommErrors = 0;      // failed attempts of the running operation
    bool Quiet = false;                // suppress ReportExchangeError (device search)
    LineOverrides line;                // line settings that win over the settings (velmora-cli options)
    std::optional<bool> repeatGarbled; // wins over Protocol/Repeat garbled answers while set
    ExchangeObserver* observer = nullptr; // learns of every attempt (a frame trace); may be null

    // Ends the running operation (timer off, port closed, progress hidden, busy flag cleared). May be
    // empty: then the exchange only closes the port (enough under OperationSequencer, which stops
    // itself when a list fails).
    std::function<void()> StopExchange;
    // Blocking sleep; empty means the real clock.
    std::function<void(std::chrono::milliseconds)> sleep;
};

} // namespace exchange
