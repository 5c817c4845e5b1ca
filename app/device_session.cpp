#include "app/device_session.h"

#include "app/protocol_variables.h"
#include "exchange/serial_line.h"
#include "protocol/evaluator_setup.h"

namespace app {

DeviceSession::DeviceSession(std::unique_ptr<exchange::SerialLine> line, const DeviceSurroundings& around)
    : m_evaluator(protocol::makeMainEvaluator()), m_comm(std::move(line)),
      m_link(around.settings, around.log, around.messages, around.state),
      m_ctx(m_comm, m_protocol, m_evaluator, m_link, m_link), m_host(m_ctx, around), m_around(around) {
    protocol::declareProtocolVariables(m_evaluator);
    m_protocol.Commands.setEvaluator(&m_evaluator);
}

DeviceSession::~DeviceSession() {
    m_comm.Close();
}

void DeviceSession::setProtocolVariables() {
    SetProtocolVariables(m_ctx, m_around);
}

} // namespace app
