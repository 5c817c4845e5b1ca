#pragma once
// The device side of the program, built the same way for the window and for velmora-cli: the
// evaluator with every protocol variable declared, the protocol description bound to it, the port
// component over the given serial line, the exchange context over them and the device host that the
// operations (OperationSequencer, DeviceSearch, DeviceOptions) run on.

#include "app/device_surroundings.h"
#include "app/exchange_device_host.h"
#include "app/exchange_link.h"
#include "exchange/comm.h"
#include "exchange/exchange_context.h"
#include "protocol/function_evaluator.h"
#include "protocol/protocol_description.h"

#include <memory>

namespace exchange {
class SerialLine;
}

namespace app {

class DeviceSession {
  public:
    // Everything `around` refers to must outlive the session.
    DeviceSession(std::unique_ptr<exchange::SerialLine> line, const DeviceSurroundings& around);
    // Closes the port.
    ~DeviceSession();
    DeviceSession(const DeviceSession&) = delete;
    DeviceSession& operator=(const DeviceSession&) = delete;

    protocol::TFunctionEvaluator& evaluator() { return m_evaluator; }
    protocol::TProtocol& protocol() { return m_protocol; }
    exchange::TComm& comm() { return m_comm; }
    ExchangeLink& link() { return m_link; }
    exchange::ExchangeContext& context() { return m_ctx; }
    const exchange::ExchangeContext& context() const { return m_ctx; }
    ExchangeDeviceHost& host() { return m_host; }
    const ExchangeDeviceHost& host() const { return m_host; }
    const DeviceSurroundings& surroundings() const { return m_around; }

    // Sets the protocol variables and the frame context from the settings and the image.
    void setProtocolVariables();

  private:
    protocol::TFunctionEvaluator m_evaluator;
    protocol::TProtocol m_protocol;
    exchange::TComm m_comm;
    ExchangeLink m_link;
    exchange::ExchangeContext m_ctx;
    ExchangeDeviceHost m_host;
    DeviceSurroundings m_around;
};

} // namespace app
