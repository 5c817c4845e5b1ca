#include "support/modbus_server.h"

#include <modbus/modbus.h>

#include <cerrno>
#include <stdexcept>

namespace testsupport {

ModbusRtuServer::ModbusRtuServer(PseudoTerminal& pty, int slaveId, int registerCount) {
    // The context never opens its own device: it is handed the pseudo-terminal's master side.
    m_ctx = modbus_new_rtu("/dev/null", 19200, 'N', 8, 1);
    if (!m_ctx)
        throw std::runtime_error("modbus_new_rtu failed");
    modbus_set_slave(m_ctx, slaveId);
    modbus_set_socket(m_ctx, pty.masterFd());
    modbus_set_indication_timeout(m_ctx, 0, 50000);
    m_map = modbus_mapping_new(0, 0, registerCount, 0);
    if (!m_map) {
        modbus_free(m_ctx);
        throw std::runtime_error("modbus_mapping_new failed");
    }
    m_thread = std::thread([this] { run(); });
}

ModbusRtuServer::~ModbusRtuServer() {
    stop();
    modbus_mapping_free(m_map);
    // The descriptor belongs to the pseudo-terminal: detach it before the context goes.
    modbus_set_socket(m_ctx, -1);
    modbus_free(m_ctx);
}

void ModbusRtuServer::stop() {
    m_stop = true;
    if (m_thread.joinable())
        m_thread.join();
}

std::uint16_t ModbusRtuServer::holdingRegister(int index) const {
    std::lock_guard lock(m_mutex);
    return m_map->tab_registers[index];
}

void ModbusRtuServer::setHoldingRegister(int index, std::uint16_t value) {
    std::lock_guard lock(m_mutex);
    m_map->tab_registers[index] = value;
}

void ModbusRtuServer::run() {
    std::uint8_t query[MODBUS_RTU_MAX_ADU_LENGTH];
    while (!m_stop) {
        int n = modbus_receive(m_ctx, query);
        if (n <= 0) {
            // Timeout, a frame for another slave, or a damaged frame: drop what is left and listen on.
            if (n < 0 && errno != ETIMEDOUT)
                modbus_flush(m_ctx);
            continue;
        }
        std::lock_guard lock(m_mutex);
        if (modbus_reply(m_ctx, query, n, m_map) > 0)
            ++m_served;
    }
}

} // namespace testsupport
